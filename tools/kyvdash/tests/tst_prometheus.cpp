// Prometheus as operators run it: Debian's prometheus scraping two hosts' node exporters,
// started on free loopback ports with data directories of their own and stopped after.
// A query source asks the server PromQL; a scrape source takes the rate of a counter;
// the example layout runs against them; --check asks the server what its queries give; an
// alerting rule marks the controls of the host it fires for. Skipped, saying why, only
// where they cannot start.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>

#include "Dashboard.h"
#include "PromQuerySource.h"
#include "PromSource.h"
#include "PrometheusFleet.h"
#include "Runner.h"
#include "required_tool.h"

using namespace kyvdash;
using std::chrono::milliseconds;

namespace {

using kyvdash::testing::freePort;
using kyvdash::testing::PrometheusFleet;
constexpr int kWait = PrometheusFleet::kWait;

// JSON written with ' for " so that it reads without escapes (\\' gives \" in JSON).
QByteArray j(QByteArray text) { return text.replace('\'', '"'); }

struct Heard {
  QHash<QString, double> last;
  QStringList problems;
  int readings = 0;
  int recovered = 0;
  explicit Heard(Source& s) {
    QObject::connect(&s, &Source::reading, &s, [this](const QString& f, double v) {
      last[f] = v;
      ++readings;
    });
    QObject::connect(&s, &Source::problem, &s, [this](const QString& m) { problems << m; });
    QObject::connect(&s, &Source::recovered, &s, [this] { ++recovered; });
  }
};

// Stands on a port in place of a server that is down, as a proxy before it would: answers
// every request 503 and keeps its path.
class DownPort : public QObject {
 public:
  QStringList paths;
  bool listen(quint16 port) {
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QTcpSocket::readyRead, s, [this, s] {
          if (!s->peek(65536).contains("\r\n\r\n")) return;
          paths << QString::fromLatin1(s->readAll().split(' ').value(1));
          s->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
          s->disconnectFromHost();
        });
      }
    });
    return server_.listen(QHostAddress::LocalHost, port);
  }

 private:
  QTcpServer server_;
};

}  // namespace

class TestPrometheus : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  std::unique_ptr<PrometheusFleet> fleet;
  QUrl metrics, server;

 private slots:
  void initTestCase() {
    PrometheusFleet::Options options;
    options.hosts = 2;
    options.rules = QStringLiteral(
        "groups:\n  - name: fleet\n    rules:\n      - alert: HostTwoUp\n"
        "        expr: up{instance=\"host2\"} == 1\n        for: 0s\n        labels: {severity: info}\n");
    fleet = std::make_unique<PrometheusFleet>(options);
    if (!fleet->problem().isEmpty()) KYV_MISSING_TOOL(qPrintable(fleet->problem()));
    metrics = fleet->metrics(1);
    server = fleet->server();
    QTRY_VERIFY_WITH_TIMEOUT(fleet->up(1) == 1 && fleet->up(2) == 1, kWait);
    // Rates need two scrapes: until then the examples' rates give no data.
    const QUrlQuery rate({{QStringLiteral("query"), QStringLiteral("rate(node_cpu_seconds_total[1m])")}});
    QTRY_VERIFY_WITH_TIMEOUT(!fleet->api(QStringLiteral("/api/v1/query"), rate).contains("\"result\":[]"), kWait);
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
    std::vector<Series> ups, cpuSeconds;
    connect(&source, &Source::series, this, [&](const QString& field, const std::vector<Series>& all) {
      if (field == up) ups = all;
      if (field == many) cpuSeconds = all;
    });
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.last.value(up) == 1 && heard.last.contains(cpus) && !cpuSeconds.empty(), kWait);
    QFile stat(QStringLiteral("/proc/stat"));
    QVERIFY(stat.open(QIODevice::ReadOnly));
    const int cpuLines = QString::fromLatin1(stat.readAll()).count(QRegularExpression(QStringLiteral("\\ncpu[0-9]+ ")));
    std::vector<Labels> upLabels;
    for (const Series& s : ups) upLabels.push_back(s.labels);
    std::sort(upLabels.begin(), upLabels.end());
    QCOMPARE(upLabels, (std::vector<Labels>{{{"__name__", "up"}, {"instance", "host1"}, {"job", "node"}},
                                            {{"__name__", "up"}, {"instance", "host2"}, {"job", "node"}}}));
    QSet<QString> idleCpus;
    for (const Series& s : cpuSeconds)
      if (s.labels.at(QStringLiteral("mode")) == QLatin1String("idle") &&
          s.labels.at(QStringLiteral("instance")) == QLatin1String("host1"))
        idleCpus << s.labels.at(QStringLiteral("cpu"));
    QCOMPARE(idleCpus.size(), cpuLines);
    QCOMPARE(heard.last.value(cpus), double(cpuLines));
    QTest::qWait(1000);  // more rounds: each problem still said once
    QCOMPARE(heard.problems.filter(QLatin1String("query rate(up[1m]: bad_data: ")).size(), 1);
    QCOMPARE(heard.problems.filter(QStringLiteral("query %1: no data").arg(none)).size(), 1);
    // Several series are no problem of the source: the runner, which knows the feeds, says so.
    QCOMPARE(heard.problems.filter(QStringLiteral("query %1").arg(many)), QStringList());
    QVERIFY(heard.last.contains(many));
    QVERIFY(!heard.last.contains(broken) && !heard.last.contains(none));
  }

  // A server that is gone is a failure of the source, probed at each tick.
  void serverGone() {
    PromQuerySource source(QStringLiteral("prom"), QUrl(QStringLiteral("http://127.0.0.1:%1").arg(freePort())),
                           milliseconds(300), milliseconds(5000));
    source.want(QStringLiteral("up"));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(!heard.problems.isEmpty(), kWait);
    QVERIFY2(heard.problems.front().startsWith(QLatin1String("cannot query http://127.0.0.1:")) &&
                 heard.problems.front().endsWith(QLatin1String("/-/ready every 0.3 s")),
             qPrintable(heard.problems.front()));
  }

  // Prometheus stopped and started again. While it is down, the source sends its port (on
  // which the test answers 503 meanwhile) one readiness probe an interval, never a round of
  // its queries; once the server is ready again, it is read within an interval. Each
  // problem of the outage is reported once, also when the causes alternate.
  void serverStoppedAndStarted() {
    PromQuerySource source(QStringLiteral("prom"), server, milliseconds(1000), milliseconds(1000));
    const QString now = QStringLiteral("time()");
    for (const QString& q : {now, QStringLiteral("up{instance=\"host1\"}"), QStringLiteral("count(up)"),
                             QStringLiteral("sum(node_load1)")})
      source.want(q);
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.last.contains(now), kWait);
    QCOMPARE(heard.problems, QStringList());
    fleet->stopServer();
    QTRY_VERIFY_WITH_TIMEOUT(!heard.problems.isEmpty(), kWait);
    QVERIFY2(heard.problems.front().startsWith(QStringLiteral("cannot query %1/api/v1/query: ").arg(server.toString())),
             qPrintable(heard.problems.front()));
    {
      DownPort down;
      QVERIFY(down.listen(quint16(server.port())));
      QTest::qWait(5000);  // five intervals
      QVERIFY2(down.paths.size() >= 3 && down.paths.size() <= 6, qPrintable(down.paths.join(u' ')));
      QCOMPARE(down.paths, QStringList(down.paths.size(), QStringLiteral("/-/ready")));
    }
    QTest::qWait(1500);  // refused again, as at first: said before, so not said again
    const int before = heard.readings;
    QVERIFY2(fleet->startServer(), qPrintable(fleet->problem()));
    QElapsedTimer back;
    back.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.readings > before, kWait);
    qInfo("read %lld ms after the server was ready again", back.elapsed());
    QVERIFY2(back.elapsed() <= 1000 + 1500, qPrintable(QString::number(back.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(heard.recovered, 1, kWait);
    QCOMPARE(heard.problems.size(), QSet<QString>(heard.problems.begin(), heard.problems.end()).size());
    QVERIFY2(heard.problems.size() <= 3, qPrintable(heard.problems.join(u'\n')));
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
  void exampleLayout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fleet");  // made for a fleet: nothing to say of its feeds either
    QTest::newRow("this machine") << QStringLiteral("node-prometheus") << false;
    QTest::newRow("a fleet's alerts") << QStringLiteral("fleet-alerts") << true;
  }
  void exampleLayout() {
    QFETCH(QString, name);
    QFETCH(bool, fleet);
    QFile example(QStringLiteral(KYVDASH_EXAMPLES "/%1.json").arg(name));
    QVERIFY(example.open(QIODevice::ReadOnly));
    QByteArray text = example.readAll();
    text.replace("http://127.0.0.1:9090", server.toString().toUtf8())
        .replace("http://127.0.0.1:9100/metrics", metrics.toString().toUtf8());
    const QString layout = dir.filePath(name + QStringLiteral(".json")),
                  png = dir.filePath(name + QStringLiteral(".png"));
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
    if (fleet) QVERIFY2(!err.contains(QLatin1String("control ")), qPrintable(err));
    QVERIFY(!QImage(png).isNull());
    if (!fleet) return;
    p.start(QStringLiteral(KYVDASH_PROGRAM), {"--check", layout});
    QVERIFY(p.waitForFinished(kWait));
    QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()), QStringLiteral("kyvdash: %1: no errors\n").arg(layout));
  }

  // --check asks the server once what each query gives: a query of several series to a
  // control that shows one, a match that nothing meets, more series than columns are
  // warned of; a server that cannot be reached is a warning too, not an error.
  void checkAsksTheServer() {
    const QString layout = dir.filePath(QStringLiteral("several.json"));
    const auto write = [&layout](const QString& url) {
      QFile f(layout);
      QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      f.write(QString::fromUtf8(
                  j("{'sources': {'prom': {'type': 'prometheus-query', 'url': '%1'}}, 'controls': ["
                    " {'name': 'load', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, 405, 4260],"
                    "  'feed': {'source': 'prom', 'field': 'node_load1'}},"
                    " {'name': 'nine', 'class': 'KyvVStatus.Kyvvstat', 'rect': [600, 0, 405, 4260],"
                    "  'feed': {'source': 'prom', 'field': 'node_load1', 'match': {'instance': 'host9'}}},"
                    " {'name': 'two', 'class': 'KyvVStatus.Kyvvstat', 'rect': [1200, 0, 405, 4260],"
                    "  'feed': {'source': 'prom', 'field': 'node_load1', 'match': {'instance': 'host2'}}},"
                    " {'name': 'ups', 'class': 'KyvMultiBars.KyvMultiBar', 'rect': [1800, 0, 2100, 1305],"
                    "  'properties': [['Columns', 1]],"
                    "  'feed': {'source': 'prom', 'field': 'up{job=\\'node\\'}', 'columns': {'by': 'instance'}}}]}"))
                  .arg(url)
                  .toUtf8());
    };
    write(server.toString());
    QProcess p;
    p.start(QStringLiteral(KYVDASH_PROGRAM), {"--check", layout});
    QVERIFY(p.waitForFinished(kWait));
    QCOMPARE(p.exitCode(), 0);
    const QString prefix = QStringLiteral("kyvdash: %1: ").arg(layout);
    QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts),
             QStringList({prefix + "warning: control \"load\": feed.field: node_load1 gives 2 series now and the "
                                   "control shows one (the first); \"match\" chooses one",
                          prefix + "warning: control \"nine\": feed.match: none of the 2 series node_load1 gives now "
                                   "has {instance=\"host9\"}",
                          prefix + "warning: control \"ups\": feed.columns: up{job=\"node\"} gives 2 series now and "
                                   "the control shows 1 columns",
                          prefix + "no errors, 3 warnings"}));
    const QString nobody = QStringLiteral("http://127.0.0.1:%1").arg(freePort());
    write(nobody);
    p.start(QStringLiteral(KYVDASH_PROGRAM), {"--check", layout});
    QVERIFY(p.waitForFinished(kWait));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts),
             QStringList({prefix + "warning: source \"prom\": could not be asked what its fields give (Connection "
                                   "refused); their series are not checked",
                          prefix + "no errors, 1 warnings"}));
  }

  // An alerting rule that fires for host2 marks the controls showing host2's series, not
  // host1's, and a label lists it; when host2 goes down the rule stops firing and the marks
  // and the list clear. Last: host2 stays down.
  void alertsMarkTheirControls() {
    const QString layout = dir.filePath(QStringLiteral("alerts.json"));
    QFile f(layout);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QString::fromUtf8(
                j("{'sources': {'prom': {'type': 'prometheus-query', 'url': '%1', 'interval': 0.5},"
                  "  'alerts': {'type': 'prometheus-alerts', 'url': '%1', 'interval': 0.5}},"
                  " 'labels': [{'text': '{alerts}', 'rect': [0, 4500, 6000, 300],"
                  "  'feed': {'source': 'alerts', 'field': 'firing'}}],"
                  " 'controls': ["
                  "  {'name': 'one', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, 405, 4260],"
                  "   'feed': {'source': 'prom', 'field': 'node_load1', 'match': {'instance': 'host1'}}},"
                  "  {'name': 'two', 'class': 'KyvVStatus.Kyvvstat', 'rect': [600, 0, 405, 4260],"
                  "   'feed': {'source': 'prom', 'field': 'node_load1', 'match': {'instance': 'host2'}}},"
                  "  {'name': 'ups', 'class': 'KyvMultiBars.KyvMultiBar', 'rect': [1200, 0, 2100, 1305],"
                  "   'properties': [['Columns', 3]],"
                  "   'feed': {'source': 'prom', 'field': 'up{job=\\'node\\'}', 'columns': {'by': 'instance'}}}]}"))
                .arg(server.toString())
                .toUtf8());
    f.close();
    Runner runner(layout);
    QStringList errors;
    QVERIFY2(runner.start(&errors), qPrintable(errors.join(u'\n')));
    Dashboard* d = runner.dashboard();
    const int one = d->indexOf(QStringLiteral("one")), two = d->indexOf(QStringLiteral("two")),
              ups = d->indexOf(QStringLiteral("ups"));
    QTRY_COMPARE_WITH_TIMEOUT(d->labels()[0]->text(), QStringLiteral("1 firing: HostTwoUp (host2)"), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(d->isAlerting(two) && d->isAlerting(ups), kWait);
    QVERIFY(!d->isAlerting(one));
    QCOMPARE(d->control(two)->toolTip(), QStringLiteral("Alert firing: HostTwoUp"));
    QCOMPARE(runner.firingFor({{"instance", "host2"}}), QStringList({"HostTwoUp"}));
    QStringList names;
    for (const QLabel* l : d->columnNames(ups)) names << l->text();
    QCOMPARE(names, QStringList({"host1", "host2", ""}));
    fleet->killHost(2);
    QTRY_COMPARE_WITH_TIMEOUT(d->labels()[0]->text(), QStringLiteral("no alert firing"), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!d->isAlerting(two) && !d->isAlerting(ups), kWait);
    QCOMPARE(d->control(two)->toolTip(), QString());
  }
};

QTEST_MAIN(TestPrometheus)
#include "tst_prometheus.moc"
