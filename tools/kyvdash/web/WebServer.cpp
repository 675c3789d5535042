#include "WebServer.h"

#include <QFile>
#include <QHostInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <QUrlQuery>
#include <algorithm>

#include "Dashboard.h"
#include "Runner.h"
#include "Snapshot.h"
#include "kyv/error.h"

namespace kyvdash {
namespace {

using Status = QHttpServerResponder::StatusCode;

// Scripts and styles from this server only, no inline code, pictures from this server or
// made by the page, the live channel to this server, no framing, no forms.
const QByteArray kPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; connect-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

QHttpServerResponse text(const QByteArray& body, Status status, const QByteArray& type = "text/plain; charset=utf-8") {
  return QHttpServerResponse(type, body, status);
}

void secure(QHttpServerResponse& r) {
  r.setHeader("Content-Security-Policy", kPolicy);
  r.setHeader("X-Content-Type-Options", "nosniff");
  r.setHeader("Referrer-Policy", "no-referrer");
  r.setHeader("Cache-Control", "no-store");
  r.setHeader("X-Frame-Options", "DENY");
}

// Bytes a message of `size` takes on the wire: the payload and the header of each frame
// it is cut into (a server's frames are not masked).
qint64 wireSize(qint64 size, qint64 frameSize) {
  qint64 total = 0;
  do {
    const qint64 part = std::min(size, frameSize);
    total += part + (part <= 125 ? 2 : part <= 65535 ? 4 : 10);
    size -= part;
  } while (size > 0);
  return total;
}

bool isUpgrade(const QHttpServerRequest& request) {
  return request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
}

// The name in a Host header or an origin's authority, without its port.
QString hostName(const QString& authority) {
  if (authority.startsWith(u'[')) return authority.mid(1, authority.indexOf(u']') - 1);
  return authority.count(u':') == 1 ? authority.section(u':', 0, 0) : authority;
}

// A name that can only mean this machine: `localhost` or a loopback address.
bool isLoopbackName(const QString& name) {
  if (name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
  const QHostAddress address(name);
  return !address.isNull() && address.isLoopback();
}

// The authority ("host:port") of an Origin header such as "http://127.0.0.1:8080".
QString originAuthority(const QByteArray& origin) {
  const QUrl url(QString::fromLatin1(origin));
  if (!url.isValid() || url.host().isEmpty()) return {};
  QString host = url.host();
  if (host.contains(u':')) host = u'[' + host + u']';
  return url.port() < 0 ? host : host + u':' + QString::number(url.port());
}

// The names this machine is reached by: its host name, with its domain when it has one, and
// each of its addresses, in lower case.
QStringList machineNames() {
  QStringList names{QHostInfo::localHostName().toLower()};
  if (!QHostInfo::localDomainName().isEmpty())
    names << (QHostInfo::localHostName() + u'.' + QHostInfo::localDomainName()).toLower();
  for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
    QHostAddress plain = a;
    plain.setScopeId({});
    names << plain.toString().toLower();
  }
  return names;
}

// The scale a page asks for in its live channel's address (`?scale=2`), device pixels a
// layout pixel; nullopt when it asks for none or for no sensible one.
std::optional<double> requestedScale(const QUrlQuery& query) {
  bool ok = false;
  const double scale = query.queryItemValue(QStringLiteral("scale")).toDouble(&ok);
  if (!ok || !(scale > 0 && scale < 1000)) return std::nullopt;
  return scale;
}

}  // namespace

// The HTTP side: each request is answered by respond(). Qt hands a WebSocket request on
// to the handshake when this returns true having written nothing; when it returns false,
// the refusal is written by missingHandler() and the connection closed.
class WebServer::Http final : public QAbstractHttpServer {
 public:
  explicit Http(WebServer& server) : server_(server) {}

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
    std::optional<QHttpServerResponse> response = server_.respond(request);
    if (server_.hostAllowed(request) && server_.authorised(request)) server_.guard_->trust(*socket);
    if (!response) return true;
    secure(*response);
    if (isUpgrade(request)) {
      refusal_.emplace(std::move(*response));
      return false;
    }
    response->write(makeResponder(request, socket));
    return true;
  }
  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
    if (!refusal_) {
      makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
      return;
    }
    refusal_->write(makeResponder(request, socket));
    refusal_.reset();
  }

 private:
  WebServer& server_;
  std::optional<QHttpServerResponse> refusal_;
};

WebServer::WebServer(Runner& runner, const ServeOptions& options, ConnectionLimits limits, QObject* parent)
    : QObject(parent),
      runner_(runner),
      options_(options),
      limits_(limits),
      guard_(new ConnectionGuard(limits, this)),
      http_(std::make_unique<Http>(*this)),
      frames_(runner, options.fps) {
  machineNames_ = machineNames();
  guard_->setLiveCheck([this](const QTcpSocket& s) { return isLive(s); });
  // Qt's server warns of every live channel kyvdash refuses as if it were a mistake; the
  // refusals are counted in the metrics instead of filling the log.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.httpserver.warning=false"));
  connect(http_.get(), &QAbstractHttpServer::newWebSocketConnection, this, &WebServer::acceptViewers);
  connect(&frames_, &WebFrames::frame, this, [this](double scale, const QByteArray& m) { broadcast(m, true, scale); });
  connect(&frames_, &WebFrames::screenChanged, this, [this] {
    for (auto& v : viewers_) welcome(*v);
  });
  connect(&frames_, &WebFrames::stateChanged, this, [this](const QByteArray& m) { broadcast(m, false); });
  stallCheck_.setInterval(1000);
  connect(&stallCheck_, &QTimer::timeout, this, &WebServer::dropStalled);
  stallCheck_.start();
  heartbeat_.setInterval(kHeartbeat);
  connect(&heartbeat_, &QTimer::timeout, this, [this] { broadcast(R"({"type":"beat"})", false); });
  heartbeat_.start();
}

WebServer::~WebServer() = default;

bool WebServer::listen(QString* error) {
  if (!guard_->listen(options_.address, options_.port)) {
    *error = QStringLiteral("cannot serve on %1 port %2: %3")
                 .arg(options_.address.toString())
                 .arg(options_.port)
                 .arg(guard_->errorString());
    return false;
  }
  port_ = guard_->serverPort();
  http_->bind(guard_);
  return true;
}

QString WebServer::pageUrl() const {
  // A server on every address is reached by this machine's name; 0.0.0.0 is no address
  // a viewer can open.
  const bool everyAddress = options_.address == QHostAddress::Any || options_.address == QHostAddress::AnyIPv4 ||
                            options_.address == QHostAddress::AnyIPv6;
  QString host = everyAddress ? QHostInfo::localHostName() : options_.address.toString();
  if (!everyAddress && options_.address.protocol() == QAbstractSocket::IPv6Protocol) host = u'[' + host + u']';
  QString url = QStringLiteral("http://%1:%2/").arg(host).arg(port_);
  if (options_.token)
    url += QStringLiteral("?token=") + QString::fromLatin1(QUrl::toPercentEncoding(maskedToken(*options_.token)));
  return url;
}

const WebCounters& WebServer::counters() {
  counters_.viewers = static_cast<int>(viewers_.size());
  counters_.connectionsRefused = guard_->refused();
  return counters_;
}

bool WebServer::tokenMatches(const QString& given) const {
  const QByteArray a = options_.token->toUtf8(), b = given.toUtf8();
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  for (qsizetype i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
  return diff == 0;
}

bool WebServer::authorised(const QHttpServerRequest& request) const {
  if (!options_.token) return true;
  // The scheme's name is matched in any case, as HTTP's authentication schemes are.
  const QByteArray header = request.value("authorization");
  if (header.size() > 7 && qstrnicmp(header.constData(), "bearer ", 7) == 0 &&
      tokenMatches(QString::fromUtf8(header.mid(7).trimmed())))
    return true;
  const QUrlQuery query = request.query();
  return query.hasQueryItem(QStringLiteral("token")) &&
         tokenMatches(query.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded));
}

QHttpServerResponse WebServer::resource(const QString& name, const QByteArray& type) {
  QFile file(QStringLiteral(":/kyvdash/") + name);
  if (!file.open(QIODevice::ReadOnly)) return text("not found\n", Status::NotFound);
  return text(file.readAll(), Status::Ok, type);
}

// Without a token, the server answers only requests addressed to it by a name of this
// machine (a loopback name, its host name, one of its addresses) or one given with
// --allow-host, so that a page of another site whose name was made to resolve to this
// machine (DNS rebinding) cannot read the dashboard. With a token, any name is answered.
bool WebServer::hostAllowed(const QHttpServerRequest& request) const {
  if (options_.token) return true;
  const QString name = hostName(QString::fromLatin1(request.value("host"))).toLower();
  if (isLoopbackName(name) || options_.allowedHosts.contains(name)) return true;
  return !options_.address.isLoopback() && machineNames_.contains(name);
}

// A live channel opened by a page is opened by this server's own page: a browser names the
// page's origin, which must be the host the request was sent to. Programs send no Origin.
bool WebServer::originAllowed(const QHttpServerRequest& request) const {
  const QByteArray origin = request.value("origin");
  if (origin.isEmpty()) return true;
  const QString authority = originAuthority(origin);
  return !authority.isEmpty() &&
         authority.compare(QString::fromLatin1(request.value("host")), Qt::CaseInsensitive) == 0;
}

const std::vector<WebServer::Route>& WebServer::routes() {
  // The page's script and style are the same in every kyvdash and hold no data: the page
  // asks for them by plain links, which carry no token. The health check says only "ok",
  // so that a probe needs no token. Everything else needs it.
  static const std::vector<Route> table{
      {QLatin1StringView("/"), true, &WebServer::page},
      {QLatin1StringView("/live"), true, &WebServer::liveChannel},
      {QLatin1StringView("/kyvdash.js"), false, &WebServer::script},
      {QLatin1StringView("/kyvdash.css"), false, &WebServer::style},
      {QLatin1StringView("/healthz"), false, &WebServer::health},
      {QLatin1StringView("/metrics"), true, &WebServer::metrics},
      {QLatin1StringView("/readings.json"), true, &WebServer::readings},
      {QLatin1StringView("/snapshot.png"), true, &WebServer::snapshotPng},
      {QLatin1StringView("/snapshot.svg"), true, &WebServer::snapshotSvg},
  };
  return table;
}

std::optional<QHttpServerResponse> WebServer::respond(const QHttpServerRequest& request) {
  ++counters_.requests;
  if (!hostAllowed(request)) {
    ++counters_.requestsForbidden;
    return text(
        "this server answers only requests addressed to this machine's names or those given with --allow-host\n",
        Status::Forbidden);
  }
  if (isUpgrade(request) && !originAllowed(request)) {
    ++counters_.requestsForbidden;
    return text("the live channel is open only to this server's own page\n", Status::Forbidden);
  }
  if (request.method() != QHttpServerRequest::Method::Get) {
    QHttpServerResponse r = text("only GET is served\n", Status::MethodNotAllowed);
    r.setHeader("Allow", "GET");
    return r;
  }
  const QString path = request.url().path();
  const auto& table = routes();
  const auto route = std::find_if(table.begin(), table.end(), [&](const Route& r) { return r.path == path; });
  // An unknown path is answered 404 only to a request that carries the token, so that the
  // paths a server has tell nothing to one that does not.
  const bool needsToken = route == table.end() || route->needsToken;
  if (needsToken && !authorised(request)) {
    QHttpServerResponse r = text("a token is required\n", Status::Unauthorized);
    r.setHeader("WWW-Authenticate", "Bearer");
    return r;
  }
  if (route == table.end()) return text("not found\n", Status::NotFound);
  return (this->*route->answer)(request);
}

std::optional<QHttpServerResponse> WebServer::tooManyViewers() {
  ++counters_.viewersRefused;
  QHttpServerResponse r = text("too many viewers; try again later\n", Status::ServiceUnavailable);
  r.setHeader("Retry-After", "5");
  return r;
}

std::optional<QHttpServerResponse> WebServer::page(const QHttpServerRequest&) {
  if (static_cast<int>(viewers_.size()) >= options_.maxViewers) return tooManyViewers();
  return resource(QStringLiteral("index.html"), "text/html; charset=utf-8");
}

// The live channel is a WebSocket: a plain request for it is answered as an unknown path.
std::optional<QHttpServerResponse> WebServer::liveChannel(const QHttpServerRequest& request) {
  if (!isUpgrade(request)) return text("not found\n", Status::NotFound);
  if (static_cast<int>(viewers_.size()) >= options_.maxViewers) return tooManyViewers();
  return std::nullopt;
}

std::optional<QHttpServerResponse> WebServer::script(const QHttpServerRequest&) {
  return resource(QStringLiteral("kyvdash.js"), "text/javascript; charset=utf-8");
}

std::optional<QHttpServerResponse> WebServer::style(const QHttpServerRequest&) {
  return resource(QStringLiteral("kyvdash.css"), "text/css; charset=utf-8");
}

std::optional<QHttpServerResponse> WebServer::health(const QHttpServerRequest&) {
  if (!runner_.dashboard()) return text("no screen\n", Status::ServiceUnavailable);
  return text("ok\n", Status::Ok);
}

std::optional<QHttpServerResponse> WebServer::metrics(const QHttpServerRequest&) {
  return text(metricsText(runner_, counters()), Status::Ok, "text/plain; version=0.0.4; charset=utf-8");
}

std::optional<QHttpServerResponse> WebServer::readings(const QHttpServerRequest&) {
  return text(readingsJson(runner_), Status::Ok, "application/json");
}

std::optional<QHttpServerResponse> WebServer::snapshotPng(const QHttpServerRequest&) {
  if (!runner_.dashboard()) return text("no screen\n", Status::ServiceUnavailable);
  return text(frames_.snapshotPng(), Status::Ok, "image/png");
}

std::optional<QHttpServerResponse> WebServer::snapshotSvg(const QHttpServerRequest&) {
  Dashboard* d = runner_.dashboard();
  if (!d) return text("no screen\n", Status::ServiceUnavailable);
  try {
    return text(dashboardSvg(*d), Status::Ok, "image/svg+xml");
  } catch (const kyv::Error& e) {
    return text("cannot draw the dashboard as SVG: " + QByteArray(e.what()) + '\n', Status::InternalServerError);
  }
}

bool WebServer::isLive(const QTcpSocket& s) const {
  for (const auto& v : viewers_)
    if (v->socket->peerPort() == s.peerPort() && v->socket->peerAddress() == s.peerAddress()) return true;
  return false;
}

void WebServer::acceptViewers() {
  while (http_->hasPendingWebSocketConnections()) {
    std::unique_ptr<QWebSocket> socket = http_->nextPendingWebSocketConnection();
    if (!socket) continue;
    const QUrl url = socket->requestUrl();
    const QUrlQuery query(url);
    if (url.path() != QLatin1String("/live"))
      refuse(std::move(socket), QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("no such channel"));
    else if (options_.token && !tokenMatches(query.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded)))
      refuse(std::move(socket), QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("a token is required"));
    else if (static_cast<int>(viewers_.size()) >= options_.maxViewers)
      refuse(std::move(socket), QWebSocketProtocol::CloseCode(1013), QStringLiteral("too many viewers"));
    else
      addViewer(std::move(socket), requestedScale(query));
  }
}

// The refusal is sent with the closing handshake; the socket goes once closed.
void WebServer::refuse(std::unique_ptr<QWebSocket> socket, QWebSocketProtocol::CloseCode code, const QString& reason) {
  ++counters_.viewersRefused;
  QWebSocket* s = socket.release();
  connect(s, &QWebSocket::disconnected, s, &QObject::deleteLater);
  QTimer::singleShot(2000, s, [s] {
    s->abort();
    s->deleteLater();
  });
  s->close(code, reason);
}

void WebServer::addViewer(std::unique_ptr<QWebSocket> socket, std::optional<double> scale) {
  // A page only listens: one that sends a message is closed, one that sends more than
  // a little is cut off by the socket itself.
  socket->setMaxAllowedIncomingFrameSize(1024);
  socket->setMaxAllowedIncomingMessageSize(1024);
  const auto talks = [s = socket.get()] {
    s->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("a page only listens"));
  };
  connect(socket.get(), &QWebSocket::textMessageReceived, this, talks);
  connect(socket.get(), &QWebSocket::binaryMessageReceived, this, talks);
  auto v = std::make_unique<Viewer>();
  v->socket = std::move(socket);
  Viewer* viewer = v.get();
  QWebSocket* s = viewer->socket.get();
  connect(s, &QWebSocket::bytesWritten, this, [this, viewer](qint64 n) { written(*viewer, n); });
  // Removed later: a socket may go while the viewers are being gone through.
  connect(
      s, &QWebSocket::disconnected, this, [this, s] { removeViewer(s); }, Qt::QueuedConnection);
  viewer->scale = frames_.join(scale);
  viewers_.push_back(std::move(v));
  welcome(*viewer);
}

void WebServer::removeViewer(QWebSocket* socket) {
  const auto at =
      std::find_if(viewers_.begin(), viewers_.end(), [socket](const auto& v) { return v->socket.get() == socket; });
  if (at == viewers_.end()) return;
  (*at)->socket.release()->deleteLater();  // it is still emitting
  frames_.leave((*at)->scale);
  viewers_.erase(at);
}

// The screen, the whole picture and the state: what a page needs to show everything.
void WebServer::welcome(Viewer& v) {
  v.behind = false;
  send(v, frames_.screenMessage(v.scale), false);
  send(v, frames_.wholeFrame(v.scale), true);
  send(v, frames_.stateMessage(), false);
}

bool WebServer::send(Viewer& v, const QByteArray& message, bool binary) {
  if (message.isEmpty()) return false;
  if (binary)
    v.socket->sendBinaryMessage(message);
  else
    v.socket->sendTextMessage(QString::fromUtf8(message));
  v.backlog += wireSize(message.size(), static_cast<qint64>(v.socket->outgoingFrameSize()));
  counters_.bytesSent += message.size();
  if (binary) ++counters_.framesSent;
  return true;
}

// A page too far behind is skipped; it is owed the whole picture once it caught up.
void WebServer::broadcast(const QByteArray& message, bool binary, std::optional<double> scale) {
  for (auto& v : viewers_) {
    if (scale && v->scale != *scale) continue;
    if (!v->behind && v->backlog > limits_.viewerBacklog) {
      v->behind = true;
      v->behindSince.start();
    }
    if (v->behind) {
      if (binary) ++counters_.framesSkipped;
      continue;
    }
    send(*v, message, binary);
  }
}

void WebServer::written(Viewer& v, qint64 bytes) {
  v.backlog = std::max<qint64>(0, v.backlog - bytes);
  if (v.behind && v.backlog < limits_.viewerBacklog / 4) welcome(v);
}

void WebServer::dropStalled() {
  std::vector<QWebSocket*> stalled;
  for (auto& v : viewers_)
    if (v->behind && v->behindSince.elapsed() >= limits_.viewerBehind.count()) stalled.push_back(v->socket.get());
  for (QWebSocket* s : stalled) {
    ++counters_.viewersDropped;
    s->abort();  // disconnected removes it
  }
}

}  // namespace kyvdash
