// Prometheus as operators run it: Debian's prometheus scraping two hosts' node exporters,
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
#include "PrometheusFleet.h"
#include "required_tool.h"

using namespace kyvdash;
using std::chrono::milliseconds;

namespace {

using kyvdash::testing::freePort;
using kyvdash::testing::PrometheusFleet;
constexpr int kWait = PrometheusFleet::kWait;

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
  std::unique_ptr<PrometheusFleet> fleet;
  QUrl metrics, server;

 private slots:
  void initTestCase() {
    fleet = std::make_unique<PrometheusFleet>(
        PrometheusFleet::Options{.hosts = 2, .scrape = std::chrono::milliseconds(1000), .rules = {}});
    if (!fleet->problem().isEmpty()) KYV_MISSING_TOOL(qPrintable(fleet->problem()));
    metrics = fleet->metrics(1);
    server = fleet->server();
    QTRY_VERIFY_WITH_TIMEOUT(fleet->up(1) == 1 && fleet->up(2) == 1, kWait);
  }

  void cleanupTestCase() { fleet.reset(); }

  // PromQL asked of the server: values, every series of a vector with its labels, a query it
  // refuses, one without data, one with several series; each problem said once.
  void queries() {
    PromQuerySource source(QStringLiteral("prom"), server, milliseconds(300), milliseconds(5000));
    const QString up = QStringLiteral("up{job=\"node\"}"),
                  cpus = QStringLiteral("count(node_cpu_seconds_total{mode=\"idle\",instance=\"host1\"})"),
                  broken = QStringLiteral("rate(up[1m]"), none = QStringLiteral("no_such_metric_anywhere"),
                  many = QStringLiteral("node_cpu_seconds_total");
    for (const QString& q : {up, cpus, broken, none, many}) source.want(q);
    Heard heard(source);
    std::vector<Series> ups;
    connect(&source, &Source::series, this, [&](const QString& field, const std::vector<Series>& all) {
      if (field == up) ups = all;
    });
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.last.value(up) == 1 && heard.last.contains(cpus), kWait);
    QStringList instances;
    for (const Series& s : ups) instances << s.labels.at(QStringLiteral("instance")) + '=' + QString::number(s.value);
    instances.sort();
    QCOMPARE(instances, QStringList({"host1=1", "host2=1"}));
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
  // the servers of the test (the first host alone), gives a snapshot with no report of failure.
  void exampleLayout() {
    // The example shows one machine: the second host's series go once it is down.
    fleet->killHost(2);
    QTRY_COMPARE_WITH_TIMEOUT(fleet->up(2), 0, kWait);
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
