#pragma once
// ConnectionGuard: the listening socket of kyvdash's HTTP server, with the limits the
// server itself does not set. At most `maxConnections` are open at once (a connection
// beyond is answered 503 and closed); a request may send at most `maxRequestBytes` before
// it is answered (431 and closed beyond); a request must arrive whole within
// `requestTimeout` of its first byte, and a connection that sends nothing for
// `idleTimeout` is closed (slow or stalled clients cannot hold connections). Connections
// that became live pages (WebSockets) are left to their own limits.
#include <QElapsedTimer>
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
  qint64 maxRequestBytes = 16 * 1024;
  std::chrono::milliseconds requestTimeout{10'000};
  std::chrono::milliseconds idleTimeout{30'000};
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
  // Connections open now.
  int open();
  // Connections refused or closed for a limit so far.
  quint64 refused() const { return refused_; }

 protected:
  void incomingConnection(qintptr handle) override;

 private:
  struct Connection {
    QPointer<QTcpSocket> socket;
    QElapsedTimer since;  // since the first byte of the request, or the last answer
    qint64 received = 0;  // bytes of the request so far
  };
  void refuse(qintptr handle);
  void received(Connection& c);
  void sweep();
  void close(QTcpSocket& socket, const char* status);

  ConnectionLimits limits_;
  std::vector<std::unique_ptr<Connection>> connections_;
  std::function<bool(const QTcpSocket&)> isLive_;
  QTimer sweeper_;
  quint64 refused_ = 0;
};

}  // namespace kyvdash
