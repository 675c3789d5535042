#pragma once
// WebServer: the dashboard served live over HTTP (Qt HTTP Server, with its WebSockets on
// the same port). `/` is the page, which opens `/live` and is sent the screen, the whole
// picture and then only what changes; `/snapshot.png`, `/snapshot.svg`, `/readings.json`,
// `/healthz` and `/metrics` answer what they say. Every request only reads: nothing a
// page sends changes a source, a control or the layout.
//
// Safe by default: without a token, only requests addressed to this machine's own names or
// those given with --allow-host are answered (a rebound name of another site is refused
// 403); a live channel opened by a
// browser must come from the page of the host it addresses (403 otherwise); with a token, each request must carry it
// (Authorization: Bearer, or ?token=); answers carry a strict Content-Security-Policy; unknown paths are 404, other
// methods than GET 405; at most `maxViewers` live pages, the page and the live channel
// answered 503 beyond; a page that falls behind gets no more frames until it has caught
// up, then the whole picture, and is closed when it stays behind. Connection limits are
// ConnectionGuard's. Every page hears from the server at least every kHeartbeat (a
// heartbeat message when nothing else went), so that it notices a server that stopped
// or a network cut, which close nothing, as well as a closed channel.
#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHttpServerResponse>
#include <QTimer>
#include <QWebSocket>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "ConnectionGuard.h"
#include "ServeOptions.h"
#include "WebFrames.h"
#include "WebReports.h"

namespace kyvdash {

class Runner;

class WebServer : public QObject {
  Q_OBJECT

 public:
  // How often a live page is sent a heartbeat: `{"type": "beat"}`.
  static constexpr std::chrono::milliseconds kHeartbeat{500};

  WebServer(Runner& runner, const ServeOptions& options, ConnectionLimits limits = {}, QObject* parent = nullptr);
  ~WebServer() override;

  // Starts listening. Returns false, with the reason in `error`, when it cannot.
  bool listen(QString* error);
  // The page's address to print: with a token, its first characters and "...", since a
  // printed line ends up in logs.
  QString pageUrl() const;
  quint16 port() const { return port_; }
  const WebCounters& counters();
  // Connections open now (pages, requests, live channels).
  int connections() { return guard_->open(); }

  // A path the server answers: whether a request for it must carry the token (when the
  // server has one), and how it is answered (nullopt: a live channel to open).
  using Answer = std::optional<QHttpServerResponse> (WebServer::*)(const QHttpServerRequest&);
  struct Route {
    QLatin1StringView path;
    bool needsToken;
    Answer answer;
  };
  // Every path the server answers, the live channel's included; any other is 404.
  static const std::vector<Route>& routes();

 private:
  struct Viewer {
    std::unique_ptr<QWebSocket> socket;
    qint64 backlog = 0;   // bytes sent but not yet written to the network
    bool behind = false;  // frames were skipped; the whole picture is owed
    QElapsedTimer behindSince;
    double scale = 1;  // of the picture it is sent
  };
  class Http;
  // The answer to `request`; nullopt for a live channel to open.
  std::optional<QHttpServerResponse> respond(const QHttpServerRequest& request);
  QHttpServerResponse resource(const QString& path, const QByteArray& type);
  std::optional<QHttpServerResponse> page(const QHttpServerRequest& request);
  std::optional<QHttpServerResponse> liveChannel(const QHttpServerRequest& request);
  std::optional<QHttpServerResponse> script(const QHttpServerRequest& request);
  std::optional<QHttpServerResponse> style(const QHttpServerRequest& request);
  std::optional<QHttpServerResponse> health(const QHttpServerRequest& request);
  std::optional<QHttpServerResponse> metrics(const QHttpServerRequest& request);
  std::optional<QHttpServerResponse> readings(const QHttpServerRequest& request);
  std::optional<QHttpServerResponse> snapshotPng(const QHttpServerRequest& request);
  std::optional<QHttpServerResponse> snapshotSvg(const QHttpServerRequest& request);
  std::optional<QHttpServerResponse> tooManyViewers();
  bool authorised(const QHttpServerRequest& request) const;
  bool hostAllowed(const QHttpServerRequest& request) const;
  bool originAllowed(const QHttpServerRequest& request) const;
  bool tokenMatches(const QString& given) const;
  void acceptViewers();
  void refuse(std::unique_ptr<QWebSocket> socket, QWebSocketProtocol::CloseCode code, const QString& reason);
  // Adds a live page, sent the picture at the scale it asked for (WebFrames::join).
  void addViewer(std::unique_ptr<QWebSocket> socket, std::optional<double> scale);
  void removeViewer(QWebSocket* socket);
  void welcome(Viewer& v);
  bool send(Viewer& v, const QByteArray& message, bool binary);
  // Sends `message` to every page, or to those of `scale` when given.
  void broadcast(const QByteArray& message, bool binary, std::optional<double> scale = std::nullopt);
  void written(Viewer& v, qint64 bytes);
  void dropStalled();
  bool isLive(const QTcpSocket& socket) const;

  Runner& runner_;
  ServeOptions options_;
  ConnectionLimits limits_;
  ConnectionGuard* guard_;
  std::unique_ptr<Http> http_;
  WebFrames frames_;
  std::vector<std::unique_ptr<Viewer>> viewers_;
  WebCounters counters_;
  QTimer stallCheck_;
  QTimer heartbeat_;
  quint16 port_ = 0;
  QStringList machineNames_;  // what a Host may name without a token, beyond loopback names
};

}  // namespace kyvdash
