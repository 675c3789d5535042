#include "ConnectionGuard.h"

namespace kyvdash {
namespace {

// A socket that does not close on its own after its answer is ended this long after.
constexpr int kLingerMs = 2000;

}  // namespace

ConnectionGuard::ConnectionGuard(ConnectionLimits limits, QObject* parent) : QTcpServer(parent), limits_(limits) {
  sweeper_.setInterval(500);
  connect(&sweeper_, &QTimer::timeout, this, &ConnectionGuard::sweep);
  sweeper_.start();
}

int ConnectionGuard::open() {
  std::erase_if(connections_, [](const auto& c) { return c->socket.isNull(); });
  return static_cast<int>(connections_.size());
}

void ConnectionGuard::incomingConnection(qintptr handle) {
  if (open() >= limits_.maxConnections) {
    refuse(handle);
    return;
  }
  auto* socket = new QTcpSocket(this);
  if (!socket->setSocketDescriptor(handle)) {
    delete socket;
    return;
  }
  socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, limits_.sendBuffer);
  auto c = std::make_unique<Connection>();
  c->socket = socket;
  c->since.start();
  Connection* conn = c.get();
  connections_.push_back(std::move(c));
  // Connected before the server's own handlers, so it sees the bytes first.
  connect(socket, &QTcpSocket::readyRead, this, [this, conn] { received(*conn); });
  connect(socket, &QTcpSocket::bytesWritten, this, [conn] {
    conn->received = 0;
    conn->since.start();
  });
  addPendingConnection(socket);
  emit newConnection();
}

void ConnectionGuard::refuse(qintptr handle) {
  ++refused_;
  auto* socket = new QTcpSocket(this);
  if (!socket->setSocketDescriptor(handle)) {
    delete socket;
    return;
  }
  close(*socket, "503 Service Unavailable");
}

void ConnectionGuard::received(Connection& c) {
  if (isLive_ && isLive_(*c.socket)) return;
  if (c.received == 0) c.since.start();
  c.received += c.socket->bytesAvailable();
  if (c.received <= limits_.maxRequestBytes) return;
  ++refused_;
  c.socket->readAll();  // the server never sees the request
  close(*c.socket, "431 Request Header Fields Too Large");
}

// Answers `status` and closes; the socket goes once closed, or after a short while.
void ConnectionGuard::close(QTcpSocket& socket, const char* status) {
  socket.disconnect(this);
  socket.write(QByteArray("HTTP/1.1 ") + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  socket.disconnectFromHost();
  connect(&socket, &QTcpSocket::disconnected, &socket, &QObject::deleteLater);
  QTimer::singleShot(kLingerMs, &socket, [s = &socket] {
    s->abort();
    s->deleteLater();
  });
}

void ConnectionGuard::sweep() {
  for (auto& c : connections_) {
    QTcpSocket* s = c->socket;
    if (!s || (isLive_ && isLive_(*s))) continue;
    const bool midRequest = c->received > 0;
    const auto allowed = midRequest ? limits_.requestTimeout : limits_.idleTimeout;
    if (c->since.elapsed() < allowed.count()) continue;
    ++refused_;
    if (midRequest)
      close(*s, "408 Request Timeout");
    else {
      s->abort();
      s->deleteLater();
    }
    c->socket = nullptr;
  }
  open();
}

}  // namespace kyvdash
