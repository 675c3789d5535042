#include "ConnectionGuard.h"

#include <algorithm>

namespace kyvdash {
namespace {

// A socket that does not close on its own after its answer is ended this long after.
constexpr int kLingerMs = 2000;

}  // namespace

ConnectionGuard::ConnectionGuard(ConnectionLimits limits, QObject* parent) : QTcpServer(parent), limits_(limits) {
  sweeper_.setInterval(std::clamp(static_cast<int>(limits_.requestTimeout.count() / 4), 50, 500));
  connect(&sweeper_, &QTimer::timeout, this, &ConnectionGuard::sweep);
  sweeper_.start();
}

int ConnectionGuard::open() {
  std::erase_if(connections_, [](const auto& c) { return c->socket.isNull(); });
  return static_cast<int>(connections_.size());
}

int ConnectionGuard::openFrom(const QHostAddress& address) {
  open();
  return static_cast<int>(
      std::count_if(connections_.begin(), connections_.end(), [&](const auto& c) { return c->peer == address; }));
}

int ConnectionGuard::addressLimit() const {
  return std::max(1, static_cast<int>(limits_.maxConnections * limits_.addressShare));
}

void ConnectionGuard::trust(const QTcpSocket& socket) {
  for (auto& c : connections_)
    if (c->socket == &socket) c->trusted = true;
}

void ConnectionGuard::incomingConnection(qintptr handle) {
  auto* socket = new QTcpSocket(this);
  if (!socket->setSocketDescriptor(handle)) {
    delete socket;
    return;
  }
  const QHostAddress peer = socket->peerAddress();
  if ((openFrom(peer) >= addressLimit() && !makeRoom(&peer)) ||
      (open() >= limits_.maxConnections && !makeRoom(nullptr))) {
    refuse(socket);
    return;
  }
  socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, limits_.sendBuffer);
  auto c = std::make_unique<Connection>();
  c->socket = socket;
  c->peer = peer;
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

bool ConnectionGuard::makeRoom(const QHostAddress* from) {
  Connection* oldest = nullptr;
  for (auto& c : connections_) {
    QTcpSocket* s = c->socket;
    if (!s || c->trusted || (from && c->peer != *from) || (isLive_ && isLive_(*s))) continue;
    if (!oldest || c->since.elapsed() > oldest->since.elapsed()) oldest = c.get();
  }
  if (!oldest) return false;
  ++refused_;
  oldest->socket->abort();
  oldest->socket->deleteLater();
  oldest->socket = nullptr;
  open();
  return true;
}

void ConnectionGuard::refuse(QTcpSocket* socket) {
  ++refused_;
  close(*socket, "503 Service Unavailable");
}

void ConnectionGuard::received(Connection& c) {
  if (isLive_ && isLive_(*c.socket)) return;
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

// Closes each connection that has not sent a whole request in time: one that began a
// request is told 408, one that sent nothing is closed without a word.
void ConnectionGuard::sweep() {
  for (auto& c : connections_) {
    QTcpSocket* s = c->socket;
    if (!s || (isLive_ && isLive_(*s)) || c->since.elapsed() < limits_.requestTimeout.count()) continue;
    ++refused_;
    if (c->received > 0)
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
