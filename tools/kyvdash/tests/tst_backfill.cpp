// Charts fed by a Prometheus server are filled from its range queries: at start, at a
// reload, after a restart of the runner, and across an outage of the server once it
// answers again, and go on live without a seam. Debian's prometheus scrapes two node
// exporters on loopback every second; the runner asks it every second. KYVDASH_TEST_OUTAGE
// sets how many seconds the server is stopped for (default 5; `KYVDASH_TEST_OUTAGE=60`
// runs the minute-long outage).
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>

#include "PromQuerySource.h"
#include "PrometheusFleet.h"
#include "Runner.h"
#include "required_tool.h"

using namespace kyvdash;
using kyvdash::testing::PrometheusFleet;
using std::chrono::milliseconds;

namespace {

constexpr int kWait = PrometheusFleet::kWait;
constexpr qint64 kStep = 1000;  // the source's interval, ms

int outageSeconds() {
  bool ok = false;
  const int seconds = qEnvironmentVariableIntValue("KYVDASH_TEST_OUTAGE", &ok);
  return ok && seconds > 0 ? seconds : 5;
}

// host1's available memory in % (a gauge that moves a little at every scrape), and host2's
// CPU busy in % over the last 5 s.
const std::string kMemory =
    "100 * node_memory_MemAvailable_bytes{instance=\"host1\"} / node_memory_MemTotal_bytes{instance=\"host1\"}";
const std::string kBusy = "100 * (1 - avg(rate(node_cpu_seconds_total{instance=\"host2\",mode=\"idle\"}[5s])))";

// A trace of `points` points of the memory, one of more points than a range query of the
// server gives, and a bar graph of the CPU, all asked of `server`.
QByteArray layoutText(const QUrl& server, int points) {
  using nlohmann::json;
  const json doc{
      {"sources",
       {{"prom", {{"type", "prometheus-query"}, {"url", server.toString().toStdString()}, {"interval", 1}}}}},
      {"controls",
       json::array(
           {{{"name", "memory"},
             {"class", "KyvPulse.HeartBeat"},
             {"rect", {0, 0, 6000, 1500}},
             {"properties", json::array({json::array({"HorizCount", points - 1}), json::array({"MaxLimit", 100})})},
             {"feed", {{"source", "prom"}, {"field", kMemory}}}},
            {{"name", "long"},
             {"class", "KyvPulse.HeartBeat"},
             {"rect", {0, 4500, 6000, 1500}},
             {"properties", json::array({json::array({"HorizCount", 12'000}), json::array({"MaxLimit", 100})})},
             {"feed", {{"source", "prom"}, {"field", kMemory}}}},
            {{"name", "busy"},
             {"class", "KyvMovingBars.KyvMovingBar"},
             {"rect", {0, 1800, 3285, 2580}},
             {"feed", {{"source", "prom"}, {"field", kBusy}}}}})}};
  return QByteArray::fromStdString(doc.dump());
}

}  // namespace

class TestBackfill : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  std::unique_ptr<PrometheusFleet> fleet;
  std::unique_ptr<Runner> runner;
  QStringList reports;
  int points = 0;  // the trace's

  void startRunner() {
    runner = std::make_unique<Runner>(dir.filePath(QStringLiteral("fleet.json")));
    runner->setFirstRetry(milliseconds(250));
    connect(runner.get(), &Runner::report, this, [this](const QString& line) { reports << line; });
    QStringList errors;
    QVERIFY2(runner->start(&errors), qPrintable(errors.join(u'\n')));
  }

  // What the server gives of `query` from `from` to `to` ms, one point a step.
  std::vector<TimedReading> serverRange(const std::string& query, qint64 from, qint64 to) const {
    const auto seconds = [](qint64 ms) { return QString::number(double(ms) / 1000.0, 'f', 3); };
    const QByteArray answer = fleet->api(QStringLiteral("/api/v1/query_range"),
                                         QUrlQuery({{QStringLiteral("query"), QString::fromStdString(query)},
                                                    {QStringLiteral("start"), seconds(from)},
                                                    {QStringLiteral("end"), seconds(to)},
                                                    {QStringLiteral("step"), seconds(kStep)}}));
    QString problem;
    return rangeReadings(answer, &problem);
  }

  // What is wrong with what chart `control`, fed `query`, holds; empty when it holds at least
  // `atLeast` readings one step apart (none missing: two steps apart or more; none twice:
  // less than half a step apart), the first `fromServer` or more of them every point the
  // server gives on their grid, with the same values.
  QString trailProblem(int control, const std::string& query, int atLeast, int fromServer) const {
    const std::vector<TimedReading> trail = runner->trail(control);
    if (trail.size() < size_t(atLeast)) return QStringLiteral("%1 readings").arg(trail.size());
    for (size_t i = 1; i < trail.size(); ++i) {
      const qint64 apart = trail[i].at - trail[i - 1].at;
      if (apart < kStep / 2 || apart >= 2 * kStep)
        return QStringLiteral("readings %1 and %2 are %3 ms apart").arg(i - 1).arg(i).arg(apart);
    }
    const std::vector<TimedReading> server = serverRange(query, trail.front().at, trail.back().at);
    size_t matched = 0;
    for (const TimedReading& s : server) {
      const auto held = std::find_if(trail.begin(), trail.end(), [&s](const TimedReading& r) { return r.at == s.at; });
      if (held == trail.end()) break;  // the live part: the server's grid goes on past the fill
      if (held->value != s.value)
        return QStringLiteral("at %1 the chart holds %2, the server gives %3").arg(s.at).arg(held->value).arg(s.value);
      ++matched;
    }
    if (matched < size_t(fromServer))
      return QStringLiteral("only %1 of %2 readings are the server's").arg(matched).arg(trail.size());
    return {};
  }

 private slots:
  void initTestCase() {
    fleet = std::make_unique<PrometheusFleet>(
        PrometheusFleet::Options{.hosts = 2, .scrape = milliseconds(1000), .rules = {}});
    if (!fleet->problem().isEmpty()) KYV_MISSING_TOOL(qPrintable(fleet->problem()));
    QTRY_VERIFY_WITH_TIMEOUT(fleet->up(1) == 1 && fleet->up(2) == 1, kWait);
    points = outageSeconds() + 120;
    QFile layout(dir.filePath(QStringLiteral("fleet.json")));
    QVERIFY(layout.open(QIODevice::WriteOnly));
    layout.write(layoutText(fleet->server(), points));
    layout.close();
    // The server holds some seconds of both before the runner starts.
    const auto held = [this](const std::string& q) {
      const qint64 now = QDateTime::currentMSecsSinceEpoch();
      return serverRange(q, now - 8 * kStep, now - kStep).size();
    };
    QTRY_VERIFY_WITH_TIMEOUT(held(kMemory) >= 6 && held(kBusy) >= 6, kWait);
  }

  void cleanupTestCase() {
    runner.reset();
    fleet.reset();
  }

  // Within two seconds of its start, each chart holds what the server gives for the time
  // it shows, and again after the runner is started anew.
  void filledAtStart() {
    for (int run = 0; run < 2; ++run) {
      runner.reset();
      startRunner();
      QTRY_VERIFY_WITH_TIMEOUT(trailProblem(0, kMemory, 6, 5).isEmpty() && trailProblem(1, kMemory, 6, 5).isEmpty() &&
                                   trailProblem(2, kBusy, 6, 5).isEmpty(),
                               2000);
    }
    // Live readings follow the fill one step apart.
    QTRY_VERIFY2_WITH_TIMEOUT(trailProblem(0, kMemory, 9, 0).isEmpty() && trailProblem(2, kBusy, 9, 0).isEmpty(),
                              qPrintable(trailProblem(0, kMemory, 9, 0) + u' ' + trailProblem(2, kBusy, 9, 0)), kWait);
  }

  // A reload that feeds a chart another query fills it from the server at once; the charts
  // whose feed is as before keep what they showed.
  void filledAtReload() {
    if (!runner) startRunner();
    QTRY_VERIFY_WITH_TIMEOUT(runner->trail(0).size() >= 9, kWait);
    const std::vector<TimedReading> memory = runner->trail(0);
    const std::string idle = "100 * avg(rate(node_cpu_seconds_total{instance=\"host1\",mode=\"idle\"}[5s]))";
    QByteArray text = layoutText(fleet->server(), points);
    const QByteArray busy = QByteArray::fromStdString(nlohmann::json(kBusy).dump());
    text.replace(busy, QByteArray::fromStdString(nlohmann::json(idle).dump()));
    QFile layout(dir.filePath(QStringLiteral("fleet.json")));
    QVERIFY(layout.open(QIODevice::WriteOnly | QIODevice::Truncate));
    layout.write(text);
    layout.close();
    runner->reload();
    QVERIFY(std::equal(memory.begin(), memory.end(), runner->trail(0).begin()));
    QTRY_VERIFY_WITH_TIMEOUT(trailProblem(2, idle, 6, 5).isEmpty(), 2000);
  }

  // The server stopped and started again: once it answers, the readings missed meanwhile
  // are filled from it, the trace spanning the outage without a gap, each point the
  // server's. (The trace shows two minutes and more, beyond the longest retry delay.)
  void outageFilled() {
    if (!runner) startRunner();
    QTRY_VERIFY_WITH_TIMEOUT(runner->trail(0).size() >= 6, kWait);
    const qint64 stopped = QDateTime::currentMSecsSinceEpoch();
    fleet->stopServer();
    QTRY_VERIFY_WITH_TIMEOUT(reports.join(u'\n').contains(QLatin1String("source prom: cannot query")), kWait);
    QTest::qWait(std::max<qint64>(0, outageSeconds() * 1000 - (QDateTime::currentMSecsSinceEpoch() - stopped)));
    reports.clear();
    QVERIFY(fleet->startServer());
    const qint64 restarted = QDateTime::currentMSecsSinceEpoch();
    QTRY_VERIFY_WITH_TIMEOUT(reports.contains(QStringLiteral("source prom: reading again")), 90'000);
    const auto problem = [&]() -> QString {
      const std::vector<TimedReading> trail = runner->trail(0);
      if (trail.empty() || trail.front().at >= stopped)
        return QStringLiteral("the trace does not reach back to the outage");
      const int throughOutage = int((restarted - trail.front().at) / kStep);
      return trailProblem(0, kMemory, throughOutage, throughOutage);
    };
    QTRY_VERIFY2_WITH_TIMEOUT(problem().isEmpty(), qPrintable(problem()), kWait);
  }
};

QTEST_MAIN(TestBackfill)
#include "tst_backfill.moc"
