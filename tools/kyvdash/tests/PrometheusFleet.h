#pragma once
// A fleet as operators run it, on loopback: Debian's prometheus-node-exporter started once
// per host, each scraped by Debian's prometheus as its own `instance` (host1, host2, ...)
// of `job="node"`, every process with a port and data directory of its own. Hosts are read
// from a file of targets the server watches, so one can join or leave while it runs; the
// server can be stopped and started again on the same port and data. Everything is stopped
// when the fleet goes.
#include <signal.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <chrono>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>

namespace kyvdash::testing {

// A loopback port nobody listens on now.
inline quint16 freePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

// The body of `url` when it answers 200 within `ms`; empty otherwise.
inline QByteArray fetch(const QUrl& url, int ms) {
  QNetworkAccessManager network;
  std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(url)));
  QSignalSpy done(reply.get(), &QNetworkReply::finished);
  if (!done.wait(ms)) return {};
  if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200) return {};
  return reply->readAll();
}

// Whether `url` answers 200 within `ms`, asking again every 200 ms.
inline bool answers(const QUrl& url, int ms) {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < ms) {
    if (!fetch(url, 2000).isNull()) return true;
    QTest::qWait(200);
  }
  return false;
}

class PrometheusFleet {
 public:
  static constexpr int kWait = 30'000;

  struct Options {
    int hosts = 6;
    std::chrono::milliseconds scrape{1000};  // scrape and rule evaluation interval
    QString rules;                           // a rule file's YAML (alerting rules), if any
  };

  explicit PrometheusFleet(Options options) : options_(std::move(options)) {
    for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) qunsetenv(v);
    if (!QFile::exists(kExporter) || !QFile::exists(kPrometheus)) {
      problem_ = QStringLiteral(
          "prometheus and prometheus-node-exporter are not installed (scripts/install-deps.sh installs them)");
      return;
    }
    serverPort_ = freePort();
    for (int i = 0; i < options_.hosts && problem_.isEmpty(); ++i) addHost();
    if (problem_.isEmpty()) writeConfig();
    if (problem_.isEmpty()) startServer();
  }
  ~PrometheusFleet() {
    stop(server_.get());
    for (auto& [host, exporter] : exporters_) stop(exporter.process.get());
  }
  PrometheusFleet(const PrometheusFleet&) = delete;
  PrometheusFleet& operator=(const PrometheusFleet&) = delete;

  // Why the fleet could not start (the test says it through KYV_MISSING_TOOL); empty when it runs.
  const QString& problem() const { return problem_; }
  // The server's address, such as http://127.0.0.1:PORT.
  QUrl server() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(serverPort_)); }
  // The metrics page of host `n` (from 1).
  QUrl metrics(int n) const { return exporters_.at(n).metrics; }
  static QString instance(int n) { return QStringLiteral("host%1").arg(n); }
  int hosts() const { return static_cast<int>(exporters_.size()); }
  std::chrono::milliseconds scrape() const { return options_.scrape; }
  QString directory() const { return dir_.path(); }

  // Starts another host's exporter and adds it to the server's targets; returns its number.
  // The server picks it up within a moment of the file changing; wait for it with up().
  int addHost() {
    const int n = exporters_.empty() ? 1 : exporters_.rbegin()->first + 1;
    Exporter& e = exporters_[n];
    const quint16 port = freePort();
    e.port = port;
    e.metrics = QUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(port));
    e.process = std::make_unique<QProcess>();
    e.process->setStandardOutputFile(QProcess::nullDevice());
    e.process->setStandardErrorFile(dir_.filePath(QStringLiteral("exporter%1.log").arg(n)));
    e.process->start(kExporter, {QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port),
                                 QStringLiteral("--collector.disable-defaults"), QStringLiteral("--collector.cpu"),
                                 QStringLiteral("--collector.loadavg"), QStringLiteral("--collector.meminfo"),
                                 QStringLiteral("--collector.netdev"), QStringLiteral("--collector.filesystem"),
                                 QStringLiteral("--collector.stat")});
    if (!e.process->waitForStarted(kWait) || !answers(e.metrics, kWait))
      problem_ = QStringLiteral("prometheus-node-exporter did not start on %1").arg(e.metrics.toString());
    writeTargets();
    return n;
  }
  // Kills host `n`'s exporter at once (SIGKILL), leaving it among the targets: the server
  // finds it down at its next scrape.
  void killHost(int n) {
    QProcess& p = *exporters_.at(n).process;
    ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
    p.waitForFinished(kWait);
  }

  // Stops the server (SIGTERM, waiting for it to end) and starts it again on the same port
  // and data; startServer() returns whether it is ready to answer.
  void stopServer() { stop(server_.get()); }
  bool startServer() {
    server_ = std::make_unique<QProcess>();
    server_->setStandardOutputFile(QProcess::nullDevice());
    server_->setStandardErrorFile(dir_.filePath(QStringLiteral("prometheus.log")), QIODevice::Append);
    server_->start(kPrometheus, {QStringLiteral("--config.file=") + dir_.filePath(QStringLiteral("prometheus.yml")),
                                 QStringLiteral("--storage.tsdb.path=") + dir_.filePath(QStringLiteral("data")),
                                 QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(serverPort_)});
    if (server_->waitForStarted(kWait) && answers(server().resolved(QUrl(QStringLiteral("/-/ready"))), kWait))
      return true;
    problem_ = QStringLiteral("prometheus did not start on %1").arg(server().toString());
    return false;
  }

  // The JSON answer of an API call such as "/api/v1/query" with `query`'s items; empty when
  // the server did not answer 200.
  QByteArray api(const QString& path, const QUrlQuery& query) const {
    QUrl url = server().resolved(QUrl(path));
    url.setQuery(query);
    return fetch(url, kWait);
  }
  // Whether the server's last scrape of host `n` found it `up` (1) or down (0); -1 when the
  // server has no sample of it yet.
  int up(int n) const {
    const QByteArray a =
        api(QStringLiteral("/api/v1/query"),
            QUrlQuery({{QStringLiteral("query"), QStringLiteral("up{instance=\"%1\"}").arg(instance(n))}}));
    const nlohmann::json doc = nlohmann::json::parse(a.begin(), a.end(), nullptr, false);
    if (doc.is_discarded()) return -1;
    const nlohmann::json result = doc.value("data", nlohmann::json::object()).value("result", nlohmann::json::array());
    if (!result.is_array() || result.empty()) return -1;
    const nlohmann::json sample = result[0].value("value", nlohmann::json::array());
    if (!sample.is_array() || sample.size() != 2) return -1;
    return sample[1] == "1" ? 1 : 0;
  }

 private:
  static inline const QString kExporter = QStringLiteral("/usr/bin/prometheus-node-exporter");
  static inline const QString kPrometheus = QStringLiteral("/usr/bin/prometheus");

  struct Exporter {
    quint16 port = 0;
    QUrl metrics;
    std::unique_ptr<QProcess> process;
  };

  static void stop(QProcess* p) {
    if (!p || p->state() == QProcess::NotRunning) return;
    p->terminate();
    if (!p->waitForFinished(kWait)) p->kill();
    p->waitForFinished(kWait);
  }

  // One target group a host, labelled with its instance, written whole so that the server
  // never reads half a file.
  void writeTargets() {
    QByteArray json = "[";
    for (const auto& [n, e] : exporters_) {
      if (json.size() > 1) json += ",";
      json += QStringLiteral(R"({"targets":["127.0.0.1:%1"],"labels":{"instance":"%2"}})")
                  .arg(e.port)
                  .arg(instance(n))
                  .toUtf8();
    }
    json += "]";
    QSaveFile file(dir_.filePath(QStringLiteral("targets.json")));
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
      problem_ = QStringLiteral("cannot write the targets of the fleet");
  }

  void writeConfig() {
    const double seconds = double(options_.scrape.count()) / 1000.0;
    QString yaml = QStringLiteral(
                       "global:\n  scrape_interval: %1s\n  evaluation_interval: %1s\n"
                       "scrape_configs:\n  - job_name: node\n    file_sd_configs:\n"
                       "      - files: ['%2']\n        refresh_interval: 1s\n")
                       .arg(seconds)
                       .arg(dir_.filePath(QStringLiteral("targets.json")));
    if (!options_.rules.isEmpty()) {
      QFile rules(dir_.filePath(QStringLiteral("rules.yml")));
      if (!rules.open(QIODevice::WriteOnly) || rules.write(options_.rules.toUtf8()) < 0) {
        problem_ = QStringLiteral("cannot write the fleet's rules");
        return;
      }
      yaml += QStringLiteral("rule_files: ['%1']\n").arg(rules.fileName());
    }
    QFile config(dir_.filePath(QStringLiteral("prometheus.yml")));
    if (!config.open(QIODevice::WriteOnly) || config.write(yaml.toUtf8()) < 0)
      problem_ = QStringLiteral("cannot write the fleet's configuration");
  }

  Options options_;
  QTemporaryDir dir_;
  QString problem_;
  quint16 serverPort_ = 0;
  std::map<int, Exporter> exporters_;
  std::unique_ptr<QProcess> server_;
};

}  // namespace kyvdash::testing
