// Prometheus as operators run it: Debian's prometheus-node-exporter and prometheus,
// started on free loopback ports with data directories of their own and stopped after.
// A query source asks the server PromQL; a scrape source takes the rate of a counter;
// the example layout runs against them. Skipped, saying why, only where they cannot start.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "PromQuerySource.h"
#include "PromSource.h"
#include "required_tool.h"

using namespace kyvdash;
using std::chrono::milliseconds;

namespace {

constexpr int kWait = 30'000;
const QString kExporter = QStringLiteral("/usr/bin/prometheus-node-exporter");
const QString kPrometheus = QStringLiteral("/usr/bin/prometheus");

// A loopback port nobody listens on now.
quint16 freePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

// Whether `url` answers 200 within `ms`.
bool answers(const QUrl& url, int ms) {
  QNetworkAccessManager network;
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < ms) {
    std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(url)));
    QSignalSpy done(reply.get(), &QNetworkReply::finished);
    done.wait(2000);
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200) return true;
    QTest::qWait(200);
  }
  return false;
}

struct Heard {
  QHash<QString, double> last;
  QStringList problems;
  explicit Heard(Source& s) {
    QObject::connect(&s, &Source::reading, &s, [this](const QString& f, double v) { last[f] = v; });
    QObject::connect(&s, &Source::problem, &s, [this](const QString& m) { problems << m; });
  }
};

}  // namespace

class TestPrometheus : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  QProcess exporter, prometheus;
  QUrl metrics, server;

 private slots:
  void initTestCase() {
    for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) qunsetenv(v);
    if (!QFile::exists(kExporter) || !QFile::exists(kPrometheus))
      KYV_MISSING_TOOL(
          "prometheus and prometheus-node-exporter are not installed (scripts/install-deps.sh installs them)");
    const quint16 exporterPort = freePort(), serverPort = freePort();
    metrics = QUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(exporterPort));
    server = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(serverPort));
    exporter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    exporter.setStandardErrorFile(dir.filePath(QStringLiteral("exporter.log")));
    exporter.start(kExporter, {QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(exporterPort)});
    QFile config(dir.filePath(QStringLiteral("prometheus.yml")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\nscrape_configs:\n"
                                "  - job_name: node\n    static_configs:\n      - targets: ['127.0.0.1:%1']\n")
                     .arg(exporterPort)
                     .toUtf8());
    config.close();
    prometheus.setStandardOutputFile(QProcess::nullDevice());
    prometheus.setStandardErrorFile(dir.filePath(QStringLiteral("prometheus.log")));
    prometheus.start(kPrometheus, {QStringLiteral("--config.file=") + config.fileName(),
                                   QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("data")),
                                   QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(serverPort)});
    if (!exporter.waitForStarted(kWait) || !answers(metrics, kWait))
      KYV_MISSING_TOOL(
          qPrintable(QStringLiteral("prometheus-node-exporter did not start on %1").arg(metrics.toString())));
    if (!prometheus.waitForStarted(kWait) || !answers(server.resolved(QUrl(QStringLiteral("/-/ready"))), kWait))
      KYV_MISSING_TOOL(qPrintable(QStringLiteral("prometheus did not start on %1").arg(server.toString())));
  }

  void cleanupTestCase() {
    for (QProcess* p : {&prometheus, &exporter}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->terminate();
      if (!p->waitForFinished(kWait)) p->kill();
    }
  }

  // PromQL asked of the server: values, a query it refuses, one without data, one with
  // several series; each problem said once.
  void queries() {
    PromQuerySource source(QStringLiteral("prom"), server, milliseconds(300), milliseconds(5000));
    const QString up = QStringLiteral("up{job=\"node\"}"),
                  cpus = QStringLiteral("count(node_cpu_seconds_total{mode=\"idle\"})"),
                  broken = QStringLiteral("rate(up[1m]"), none = QStringLiteral("no_such_metric_anywhere"),
                  many = QStringLiteral("node_cpu_seconds_total");
    for (const QString& q : {up, cpus, broken, none, many}) source.want(q);
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.last.value(up) == 1 && heard.last.contains(cpus), kWait);
    QFile stat(QStringLiteral("/proc/stat"));
    QVERIFY(stat.open(QIODevice::ReadOnly));
    const int cpuLines = QString::fromLatin1(stat.readAll()).count(QRegularExpression(QStringLiteral("\\ncpu[0-9]+ ")));
    QCOMPARE(heard.last.value(cpus), double(cpuLines));
    QTest::qWait(1000);  // more rounds: each problem still said once
    QCOMPARE(heard.problems.filter(QLatin1String("query rate(up[1m]: bad_data: ")).size(), 1);
    QCOMPARE(heard.problems.filter(QStringLiteral("query %1: no data").arg(none)).size(), 1);
    const QStringList several = heard.problems.filter(QStringLiteral("query %1: gives ").arg(many));
    QCOMPARE(several.size(), 1);
    QVERIFY2(several.front().endsWith(QLatin1String(" series; the first is shown")), qPrintable(several.front()));
    QVERIFY(!heard.last.contains(broken) && !heard.last.contains(none));
  }

  // A server that is gone is a failure of the source, retried with back-off.
  void serverGone() {
    PromQuerySource source(QStringLiteral("prom"), QUrl(QStringLiteral("http://127.0.0.1:%1").arg(freePort())),
                           milliseconds(300), milliseconds(5000));
    source.setRetry(milliseconds(50), milliseconds(100));
    source.want(QStringLiteral("up"));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(!heard.problems.isEmpty(), kWait);
    QVERIFY2(heard.problems.front().startsWith(QLatin1String("cannot query http://127.0.0.1:")) &&
                 heard.problems.front().endsWith(QLatin1String("; retrying in 0.05 s")),
             qPrintable(heard.problems.front()));
  }

  // The rate of a counter scraped straight from the exporter: CPU 0's idle seconds a
  // second, between 0 and a little over 1.
  void rateOfACounter() {
    PromSource source(QStringLiteral("node"), metrics, milliseconds(500), milliseconds(5000));
    const QString idle = QStringLiteral("rate(node_cpu_seconds_total{cpu=\"0\",mode=\"idle\"})");
    source.want(idle);
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.last.contains(idle), kWait);
    QVERIFY2(heard.last[idle] >= 0 && heard.last[idle] <= 1.2, qPrintable(QString::number(heard.last[idle])));
    QCOMPARE(heard.problems, QStringList());
  }

  // The example layout of this machine through node-exporter and Prometheus, pointed at
  // the servers of the test, gives a snapshot with no report of failure.
  void exampleLayout() {
    QFile example(QStringLiteral(KYVDASH_EXAMPLES "/node-prometheus.json"));
    QVERIFY(example.open(QIODevice::ReadOnly));
    QByteArray text = example.readAll();
    text.replace("http://127.0.0.1:9090", server.toString().toUtf8())
        .replace("http://127.0.0.1:9100/metrics", metrics.toString().toUtf8());
    const QString layout = dir.filePath(QStringLiteral("node-prometheus.json")),
                  png = dir.filePath(QStringLiteral("node.png"));
    QFile copy(layout);
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(text);
    copy.close();
    QProcess p;
    p.start(QStringLiteral(KYVDASH_PROGRAM), {"--snapshot", png, "--after", "4", layout});
    QVERIFY(p.waitForFinished(kWait * 2));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(!err.contains(QLatin1String("source ")), qPrintable(err));
    QVERIFY(!QImage(png).isNull());
  }
};

QTEST_GUILESS_MAIN(TestPrometheus)
#include "tst_prometheus.moc"
