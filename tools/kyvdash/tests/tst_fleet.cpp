// A fleet's wall as operators run it: the shipped fleet layout against Debian's prometheus
// scraping six node exporters every second, asked every second. One block a host, in
// natural order; a seventh host joins without the others' traces losing a point; a host
// whose exporter is killed is marked down at the server's next scrape and shows no reading.
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "PrometheusFleet.h"
#include "Runner.h"
#include "WebReports.h"
#include "required_tool.h"

using namespace kyvdash;
using kyvdash::testing::PrometheusFleet;

namespace {

constexpr int kWait = PrometheusFleet::kWait;
constexpr int kInterval = 1000;  // the query interval the test sets, ms

QStringList blockValues(const Dashboard& d) {
  QStringList values;
  for (const LayoutBlock& b : d.layout().blocks) values << b.value;
  return values;
}

QStringList hosts(int from, int to) {
  QStringList names;
  for (int n = from; n <= to; ++n) names << PrometheusFleet::instance(n);
  return names;
}

int blockOf(const Dashboard& d, const QString& value) {
  const QStringList values = blockValues(d);
  return static_cast<int>(values.indexOf(value));
}

}  // namespace

class TestFleet : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  std::unique_ptr<PrometheusFleet> fleet;
  std::unique_ptr<Runner> runner;
  QStringList reports;

  Dashboard& screen() { return *runner->dashboard(); }
  int control(const QString& name) { return screen().indexOf(name); }

 private slots:
  void initTestCase() {
    fleet = std::make_unique<PrometheusFleet>(
        PrometheusFleet::Options{.hosts = 6, .scrape = std::chrono::milliseconds(1000), .rules = {}});
    if (!fleet->problem().isEmpty()) KYV_MISSING_TOOL(qPrintable(fleet->problem()));
    for (int n = 1; n <= 6; ++n) QTRY_COMPARE_WITH_TIMEOUT(fleet->up(n), 1, kWait);
    QFile shipped(QStringLiteral(KYVDASH_EXAMPLES "/fleet.json"));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    QByteArray text = shipped.readAll();
    QVERIFY(text.contains("\"http://127.0.0.1:9090\"") && text.contains("\"interval\": 5"));
    text.replace("http://127.0.0.1:9090", fleet->server().toString().toUtf8());
    text.replace("\"interval\": 5", "\"interval\": 1");
    QFile layout(dir.filePath(QStringLiteral("fleet.json")));
    QVERIFY(layout.open(QIODevice::WriteOnly) && layout.write(text) == text.size());
    layout.close();
    runner = std::make_unique<Runner>(layout.fileName());
    connect(runner.get(), &Runner::report, this, [this](const QString& line) { reports << line; });
    QStringList errors;
    QVERIFY2(runner->start(&errors), qPrintable(errors.join(u'\n')));
  }

  void cleanupTestCase() {
    runner.reset();
    fleet.reset();
  }

  // Each host is a block of the group, its controls named by it and fed its own readings.
  void oneBlockPerHost() {
    QTRY_COMPARE_WITH_TIMEOUT(blockValues(screen()), hosts(1, 6), kWait);
    for (const QString& host : hosts(1, 6)) {
      const int cpu = control(QStringLiteral("cpu[%1]").arg(host));
      QVERIFY2(cpu >= 0, qPrintable(host));
      QCOMPARE(
          screen().layout().controls[cpu].feeds.front().field,
          QStringLiteral("100 * (1 - avg(rate(node_cpu_seconds_total{instance=\"%1\",mode=\"idle\"}[1m])))").arg(host));
      QTRY_VERIFY_WITH_TIMEOUT(runner->fed(cpu).at >= 0, kWait);
      QTRY_VERIFY_WITH_TIMEOUT(runner->fed(control(QStringLiteral("load[%1]").arg(host))).at >= 0, kWait);
    }
    const QJsonArray controls = QJsonDocument::fromJson(readingsJson(*runner)).object()[u"controls"].toArray();
    QStringList named;
    for (const QJsonValue& c : controls) named << c[u"name"].toString();
    QVERIFY(named.contains(QStringLiteral("cpuBar[host4]")));
    QVERIFY(reports.filter(QStringLiteral("series; the first is shown")).isEmpty());
  }

  // A snapshot of a given size shows every block, fitted again once the blocks have come
  // (the screen starts without any): its corners are the layout's margin.
  void snapshotFitsTheBlocks() {
    const QString png = dir.filePath(QStringLiteral("fleet.png"));
    QProcess p;
    p.start(QStringLiteral(KYVDASH_PROGRAM),
            {"--snapshot", png, "--size", "1920x1080", "--after", "4", dir.filePath(QStringLiteral("fleet.json"))});
    QVERIFY(p.waitForFinished(kWait * 2));
    QCOMPARE(p.exitCode(), 0);
    const QImage shot(png);
    QCOMPARE(shot.size(), QSize(1920, 1080));
    const QColor background(QStringLiteral("#202428"));
    for (const QPoint& corner : {QPoint(2, 2), QPoint(1917, 2), QPoint(2, 1077), QPoint(1917, 1077)})
      QCOMPARE(shot.pixelColor(corner), background);
  }

  // A seventh host gets its block at the first answer that has it; the other blocks'
  // controls are the same widgets, their traces holding what they held.
  void hostJoins() {
    std::vector<kyvqt::ControlWidget*> traces;
    for (const QString& host : hosts(1, 6)) {
      const int cpu = control(QStringLiteral("cpu[%1]").arg(host));
      QTRY_VERIFY_WITH_TIMEOUT(runner->fed(cpu).at >= 0, kWait);
      traces.push_back(screen().control(cpu));
    }
    // What each trace shows as the screen is laid out again, taken before any later reading.
    std::vector<QImage> kept;
    Dashboard* before = &screen();
    connect(runner.get(), &Runner::dashboardReplaced, this, [&](Dashboard* d) {
      if (!kept.empty()) return;
      for (const QString& host : hosts(1, 6))
        kept.push_back(d->control(d->indexOf(QStringLiteral("cpu[%1]").arg(host)))->grab().toImage());
    });
    const int seventh = fleet->addHost();
    QCOMPARE(seventh, 7);
    QTRY_COMPARE_WITH_TIMEOUT(fleet->up(7), 1, kWait);
    QElapsedTimer known;
    known.start();
    QTRY_COMPARE_WITH_TIMEOUT(blockValues(screen()), hosts(1, 7), kWait);
    qInfo("host7's block came %lld ms after the server had it", known.elapsed());
    QVERIFY(&screen() != before);
    QVERIFY(known.elapsed() <= 2 * kInterval + 3000);
    for (int i = 0; i < 6; ++i) {
      const QString name = QStringLiteral("cpu[%1]").arg(PrometheusFleet::instance(i + 1));
      QVERIFY2(screen().control(control(name)) == traces[i], qPrintable(name));
      QVERIFY2(!kept.empty() && !kept[i].isNull(), qPrintable(name));
    }
    QTRY_VERIFY_WITH_TIMEOUT(runner->fed(control(QStringLiteral("cpu[host7]"))).at >= 0, kWait);
  }

  // Killed, host 3 is down once the server's next scrape fails and the next answer says so:
  // its controls hatched and fed nothing, its readings not reported, the others running on.
  void hostDies() {
    const int cpu = control(QStringLiteral("cpu[host3]"));
    QTRY_VERIFY_WITH_TIMEOUT(runner->fed(cpu).at >= 0, kWait);
    QElapsedTimer sinceKill;
    fleet->killHost(3);
    sinceKill.start();
    // Readings given to host3's trace from the kill until its block is down: at most those
    // of the round under way and of the next (its samples of the last minute, true then).
    QSet<qint64> fedAt;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          fedAt.insert(runner->fed(control(QStringLiteral("cpu[host3]"))).at);
          const int b = blockOf(screen(), QStringLiteral("host3"));
          return b >= 0 && screen().isBlockDown(b);
        }(),
        kWait);
    qInfo("host3 marked down %lld ms after its exporter was killed", sinceKill.elapsed());
    QVERIFY(sinceKill.elapsed() <= fleet->scrape().count() + kInterval + 3000);
    QVERIFY2(fedAt.size() <= 3, qPrintable(QString::number(fedAt.size())));
    const int down = control(QStringLiteral("cpu[host3]"));
    QVERIFY(screen().isDown(down) && screen().isMarked(down));
    QVERIFY(screen().control(down)->toolTip().contains(QStringLiteral("host3 is down")));
    const qint64 lastFed = runner->fed(down).at;
    const int other = control(QStringLiteral("cpu[host4]"));
    const qint64 otherFed = runner->fed(other).at;
    QTRY_VERIFY_WITH_TIMEOUT(runner->fed(other).at > otherFed + kInterval, kWait);
    QCOMPARE(runner->fed(down).at, lastFed);
    QVERIFY(!screen().isDown(other));
    for (const QJsonValue& c : QJsonDocument::fromJson(readingsJson(*runner)).object()[u"controls"].toArray()) {
      if (!c[u"name"].toString().endsWith(QLatin1String("[host3]"))) continue;
      QVERIFY(c[u"down"].toBool());
      QVERIFY(c[u"value"].isNull());
    }
    for (size_t i = 0; i < screen().layout().labels.size(); ++i)
      if (screen().layout().labels[i].block == blockOf(screen(), QStringLiteral("host3")) &&
          screen().layout().labels[i].feed)
        QVERIFY(!screen().labels()[i]->text().contains(QRegularExpression(QStringLiteral("[0-9]"))));
  }
};

QTEST_MAIN(TestFleet)
#include "tst_fleet.moc"
