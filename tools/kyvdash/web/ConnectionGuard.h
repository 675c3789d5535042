#pragma once
// ConnectionGuard: the listening socket of kyvdash's HTTP server, with the limits the
// server itself does not set. A connection must send a whole request within
// `requestTimeout` of opening or of its last answer, or it is closed (408 when it had begun
// one); a request may send at most `maxRequestBytes` before it is answered (431 and closed
// beyond). At most `maxConnections` are open at once, and one address holds at most
// `addressShare` of them. A connection is trusted once it sent a request the server
// answers as authorised (with the token, when there is one): when a limit is reached, the
// oldest untrusted connection (of that address, for the address's share) is closed to make
// room, so that connections that never showed the token hold no place a viewer needs; only
// when none is left is the new one answered 503 and closed. Connections that became live
// pages (WebSockets) are left to their own limits.
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <chrono>
#include <functional>
#include <vector>

namespace kyvdash {

struct ConnectionLimits {
  int maxConnections = 256;
  // The share of maxConnections one address may hold at once.
  double addressShare = 0.25;
  qint64 maxRequestBytes = 16 * 1024;
  std::chrono::milliseconds requestTimeout{5'000};
  // A live page with more bytes than this waiting to go is skipped until it catches up,
  // and closed when it stays behind for `viewerBehind`.
  qint64 viewerBacklog = 1 << 20;
  // The system's send buffer of each connection: small, so that a page that does not
  // read is seen to fall behind instead of having frames pile up unseen.
  int sendBuffer = 64 * 1024;
  std::chrono::milliseconds viewerBehind{10'000};
};

class ConnectionGuard : public QTcpServer {
  Q_OBJECT

 public:
  explicit ConnectionGuard(ConnectionLimits limits, QObject* parent = nullptr);

  // Tells whether `socket` now carries a live page, which the guard no longer times.
  void setLiveCheck(std::function<bool(const QTcpSocket&)> isLive) { isLive_ = std::move(isLive); }
  // Marks the connection of `socket` as having sent an authorised request: it is no
  // longer closed to make room for others.
  void trust(const QTcpSocket& socket);
  // Connections open now.
  int open();
  // Connections open now from `address`.
  int openFrom(const QHostAddress& address);
  // Connections refused or closed for a limit so far.
  quint64 refused() const { return refused_; }

 protected:
  void incomingConnection(qintptr handle) override;

 private:
  struct Connection {
    QPointer<QTcpSocket> socket;
    QHostAddress peer;
    QElapsedTimer since;   // since it opened, or since its last answer
    qint64 received = 0;   // bytes of the request so far
    bool trusted = false;  // it sent an authorised request
  };
  void refuse(QTcpSocket* socket);
  // Closes the oldest untrusted connection, of `from` when given. Returns false when there
  // is none.
  bool makeRoom(const QHostAddress* from);
  void received(Connection& c);
  void sweep();
  void close(QTcpSocket& socket, const char* status);
  int addressLimit() const;

  ConnectionLimits limits_;
  std::vector<std::unique_ptr<Connection>> connections_;
  std::function<bool(const QTcpSocket&)> isLive_;
  QTimer sweeper_;
  quint64 refused_ = 0;
};

}  // namespace kyvdash
