// A dashboard running from its layout file: readings reach the controls scaled and
// rounded, events run their actions, stale controls are marked, a changed file is
// reloaded (a bad one keeps the screen), and snapshots are whole files while being
// rewritten. Standard input is a pipe; the clock is the test's own.
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPaintEvent>
#include <QPointer>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "CounterSource.h"
#include "DashboardWindow.h"
#include "FrameLimiter.h"
#include "Runner.h"
#include "ScreenScale.h"
#include "Snapshot.h"
#include "SnapshotTimer.h"
#include "SourceKind.h"
#include "WebReports.h"
#include "kyv/elements.h"

using namespace kyvdash;
using std::chrono::milliseconds;

namespace {

constexpr int kWait = 20'000;

// JSON written with ' for " so that it reads without escapes.
QByteArray j(QByteArray text) { return text.replace('\'', '"'); }

const QByteArray kLayoutText =
    "{'title': 'Plant', 'sources': {'in': {'type': 'stdin'}},"
    " 'labels': [{'text': 'Pressure', 'rect': [0, 0, 1500, 300]}],"
    " 'controls': ["
    "  {'name': 'bar', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 300, 405, 4260],"
    "   'feed': {'source': 'in', 'field': 'x', 'scale': 2, 'offset': 1},"
    "   'on': {'MaxThreshReached': {'print': '{control} high at {value}', 'holdoff': 30}}},"
    "  {'name': 'quiet', 'class': 'KyvVStatus.Kyvvstat', 'rect': [600, 300, 405, 4260],"
    "   'feed': {'source': 'in', 'field': 'y', 'stale': 5}},"
    "  {'name': 'cols', 'class': 'KyvMultiBars.KyvMultiBar', 'rect': [1200, 300, 2100, 1305],"
    "   'properties': [['Columns', 2]],"
    "   'feed': [{'source': 'in', 'field': 'a', 'column': 0}, {'source': 'in', 'field': 'b', 'column': 1}]}"
    "]}";
const QByteArray kLayout = j(kLayoutText);

const kyv::Element* element(kyvqt::ControlWidget& w, std::string_view path) {
  for (const kyv::Element* e : w.control()->UserControl().elements())
    if (e->path() == path) return e;
  return nullptr;
}

QString caption(Dashboard* d, const char* control) {
  const int i = d->indexOf(QString::fromLatin1(control));
  if (i < 0) return QStringLiteral("(no control %1)").arg(QLatin1String(control));
  return QString::fromStdString(static_cast<const kyv::Label*>(element(*d->control(i), "cntlbl"))->Caption());
}

float heightOf(Dashboard* d, const char* control, std::string_view path) {
  return static_cast<const kyv::RectElement*>(element(*d->control(d->indexOf(QString::fromLatin1(control))), path))
      ->heightTwips();
}

// A source of labelled series the test gives by hand: of values ("series") or of firing
// alerts ("firing-alerts"). Those made are found by name in `made`.
class GivenSeries final : public Source {
 public:
  explicit GivenSeries(QString name) : Source(std::move(name)) {}
  void start() override {}
  // Emits `all` for `field` as a query or an alerts source does: the series, then a reading.
  void give(const QString& field, const std::vector<Series>& all, double reading) {
    emit series(field, all);
    emit this->reading(field, reading);
  }
  static inline std::map<QString, QPointer<GivenSeries>> made;
};

struct GivenSettings final : SourceSettings {
  SeriesKind kind = SeriesKind::Values;
  std::unique_ptr<Source> make(const QString& name, const SourceNeeds&) const override {
    auto source = std::make_unique<GivenSeries>(name);
    GivenSeries::made[name] = source.get();
    return source;
  }
  SeriesKind seriesKind() const override { return kind; }
};

SourceKind givenKind(const char* name, SeriesKind kind) {
  return {QLatin1String(name), [kind](const nlohmann::json&, const FieldReader&) {
            auto s = std::make_unique<GivenSettings>();
            s->kind = kind;
            return s;
          }};
}

Series series(std::initializer_list<std::pair<const QString, QString>> labels, double value = 1) {
  return {Labels(labels), value};
}

// What a control shows now.
QImage picture(kyvqt::ControlWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// What a new control of `className` with `properties`, `size` pixels large, shows once fed
// `values` through `method`: the picture a chart given its trail again must show.
QImage fedPicture(const char* className, const kyv::PropertyBag& properties, QSize size, const char* method,
                  const std::vector<double>& values) {
  kyvqt::ControlWidget w;
  w.restore(kyv::FormControl{"reference", className, float(size.width() * 15), float(size.height() * 15), properties});
  for (double v : values) w.tryCall(method, kyv::Variant(static_cast<int16_t>(v)));
  return picture(&w);
}

std::vector<double> valuesOf(const std::vector<TimedReading>& readings) {
  std::vector<double> values;
  for (const TimedReading& r : readings) values.push_back(r.value);
  return values;
}

// A trace of five points and a bar graph of five bars, fed from standard input; the bar
// graph prints a line for each bar at its top. The screen keeps its charts' readings in
// plant.history.
const QByteArray kChartsText =
    "{'sources': {'in': {'type': 'stdin'}}, 'history': 'plant.history', 'controls': ["
    "  {'name': 'trace', 'class': 'KyvPulse.HeartBeat', 'rect': [0, 0, 3000, 1500],"
    "   'properties': [['HorizCount', 4], ['MaxLimit', 100]], 'feed': {'source': 'in', 'field': 't'}},"
    "  {'name': 'bars', 'class': 'KyvMovingBars.KyvMovingBar', 'rect': [3000, 0, 1200, 2580],"
    "   'feed': {'source': 'in', 'field': 'b'}, 'on': {'MaxLimitReached': {'print': 'full', 'holdoff': 0}}}"
    "]}";

kyv::PropertyBag traceProperties() {
  kyv::PropertyBag bag;
  bag.WriteProperty("HorizCount", kyv::Variant(int16_t(4)));
  bag.WriteProperty("MaxLimit", kyv::Variant(int16_t(100)));
  return bag;
}

}  // namespace

class TestRunner : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  QString layoutPath;
  int pipeFds[2] = {-1, -1};
  qint64 now = 0;
  QStringList printed, reports;
  std::unique_ptr<Runner> runner;

  void writeLayout(const QByteArray& text) {
    QFile f(layoutPath);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(text), text.size());
  }

  void send(const QByteArray& lines) {
    QCOMPARE(::write(pipeFds[1], lines.data(), lines.size()), ssize_t(lines.size()));
  }

  // A runner of the layout file, on the test's pipe and clock.
  bool startRunner(QStringList* errors) {
    runner = std::make_unique<Runner>(layoutPath);
    runner->setStdinFd(pipeFds[0]);
    runner->setClock([this] { return now; });
    runner->setStaleCheckInterval(milliseconds(20));
    runner->setPrinter([this](const QString& line) { printed << line; });
    runner->setHistoryInterval(milliseconds(50));
    connect(runner.get(), &Runner::report, this, [this](const QString& line) { reports << line; });
    return runner->start(errors);
  }

  // The reports but the layout's warnings.
  QStringList said() const {
    QStringList lines = reports;
    lines.removeIf([](const QString& line) { return line.startsWith(QLatin1String("warning: ")); });
    return lines;
  }

  bool reportsContain(const QString& text) const {
    for (const QString& r : reports)
      if (r.contains(text)) return true;
    return false;
  }

 private slots:
  void init() {
    QVERIFY(::pipe(pipeFds) == 0);
    layoutPath = dir.filePath(QStringLiteral("plant.json"));
    writeLayout(kLayout);
    now = 0;
    printed.clear();
    reports.clear();
  }
  void cleanup() {
    runner.reset();
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
  }

  // 20.25 * 2 + 1 = 41.5 is shown as 42 (half to even); above 40 it raises the event.
  void readingsReachTheControls() {
    QStringList errors;
    QVERIFY(startRunner(&errors));
    QCOMPARE(errors, QStringList());
    Dashboard* d = runner->dashboard();
    QCOMPARE(d->count(), 3);
    send("x 20.25\n");
    QTRY_COMPARE_WITH_TIMEOUT(caption(d, "bar"), QStringLiteral("42"), kWait);
    QCOMPARE(printed, QStringList({"bar high at 42"}));

    send("{\"a\": 50, \"b\": 25}\n");  // column 0 at half, column 1 at a quarter of the 1245-twip interior
    QTRY_COMPARE_WITH_TIMEOUT(heightOf(d, "cols", "indic(1)"), 311.25f, kWait);
    QCOMPARE(heightOf(d, "cols", "indic(0)"), 622.5f);
  }

  void actionsHeldOff() {
    QStringList errors;
    QVERIFY(startRunner(&errors));
    Dashboard* d = runner->dashboard();
    send("x 30\n");
    QTRY_COMPARE_WITH_TIMEOUT(caption(d, "bar"), QStringLiteral("61"), kWait);
    now = 29'999;
    send("x 35\n");
    QTRY_COMPARE_WITH_TIMEOUT(caption(d, "bar"), QStringLiteral("71"), kWait);
    QCOMPARE(printed, QStringList({"bar high at 61"}));
    now = 30'000;
    send("x 25\n");
    QTRY_COMPARE_WITH_TIMEOUT(printed, QStringList({"bar high at 61", "bar high at 51"}), kWait);
    send("x 10\n");  // 21: the normal band, whose event has no action
    QTRY_COMPARE_WITH_TIMEOUT(caption(d, "bar"), QStringLiteral("21"), kWait);
    QCOMPARE(printed.size(), 2);
  }

  void staleMarking() {
    QStringList errors;
    QVERIFY(startRunner(&errors));
    Dashboard* d = runner->dashboard();
    const int quiet = d->indexOf(QStringLiteral("quiet")), bar = d->indexOf(QStringLiteral("bar"));
    QTest::qWait(100);
    QVERIFY(!d->isStale(quiet));
    now = 4'990;  // its 5 s are seconds: just short of them, it is fresh
    QTest::qWait(100);
    QVERIFY(!d->isStale(quiet));
    now = 5'000;
    QTRY_VERIFY_WITH_TIMEOUT(d->isStale(quiet), kWait);
    QCOMPARE(d->control(quiet)->toolTip(), QStringLiteral("No reading from in.y for 5 s"));
    QVERIFY(!d->isStale(bar));  // states no time
    now = 65'000;
    QTRY_COMPARE_WITH_TIMEOUT(d->control(quiet)->toolTip(), QStringLiteral("No reading from in.y for 1 min 5 s"),
                              kWait);
    send("y 3\n");
    QTRY_VERIFY_WITH_TIMEOUT(!d->isStale(quiet), kWait);
    QCOMPARE(d->control(quiet)->toolTip(), QString());
    QCOMPARE(caption(d, "quiet"), QStringLiteral("3"));
  }

  // A kind of source added to the list is read from a layout, checked and run as any
  // other: its members and fields are checked by its own rules, and its readings reach
  // the controls.
  void addedSourceKind() {
    addSourceKind(counterSourceKind());
    const QByteArray control =
        j("'controls': [{'name': 'n', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, 405, 4260],"
          " 'feed': {'source': 'c', 'field': 'count'}}]}");
    writeLayout(j("{'sources': {'c': {'type': 'counter', 'stepp': 2}},") +
                QByteArray(control).replace("count", "total"));
    QStringList errors;
    QVERIFY(!startRunner(&errors));
    QCOMPARE(errors, QStringList({"source \"c\": stepp: unknown member (known: type, step, interval)",
                                  "control \"n\": feed.field: a counter gives only \"count\""}));
    writeLayout(j("{'sources': {'c': {'type': 'counters'}},") + control);
    errors.clear();
    QVERIFY(!startRunner(&errors));
    QCOMPARE(errors, QStringList({"source \"c\": type: must be stdin, file, proc, prometheus, prometheus-query, "
                                  "prometheus-alerts, command or counter"}));
    writeLayout(j("{'sources': {'c': {'type': 'counter', 'step': 7, 'interval': 0.02}},") + control);
    errors.clear();
    QVERIFY2(startRunner(&errors), qPrintable(errors.join(u'\n')));
    QTRY_VERIFY_WITH_TIMEOUT(caption(runner->dashboard(), "n").toInt() >= 21, kWait);
    QCOMPARE(caption(runner->dashboard(), "n").toInt() % 7, 0);
  }

  // A vector feeds many: a multi-bar takes one column a series in the natural order of a
  // label, named under it; a matched feed takes the series that matches, none going stale;
  // a plain feed that is given several, and a match that several meet, are reported once.
  void vectorFeedsMany() {
    addSourceKind(givenKind("series", SeriesKind::Values));
    writeLayout(
        j("{'sources': {'v': {'type': 'series'}},"
          " 'labels': [{'text': 'eth1 {value}', 'rect': [3000, 0, 1500, 300],"
          "   'feed': {'source': 'v', 'field': 'rx', 'match': {'device': 'eth1'}}}],"
          " 'controls': ["
          "  {'name': 'net', 'class': 'KyvMultiBars.KyvMultiBar', 'rect': [0, 0, 2100, 1305],"
          "   'properties': [['Columns', 3]], 'feed': {'source': 'v', 'field': 'rx', 'columns': {'by': 'device'}}},"
          "  {'name': 'eth0', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 1800, 405, 4260],"
          "   'feed': {'source': 'v', 'field': 'rx', 'match': {'device': 'eth0'}, 'stale': 5}},"
          "  {'name': 'first', 'class': 'KyvVStatus.Kyvvstat', 'rect': [600, 1800, 405, 4260],"
          "   'feed': {'source': 'v', 'field': 'rx'}},"
          "  {'name': 'one', 'class': 'KyvMultiBars.KyvMultiBar', 'rect': [3000, 600, 2100, 1305],"
          "   'properties': [['Columns', 3]], 'feed': {'source': 'v', 'field': 'rx', 'match': {'device': 'eth2'},"
          "   'columns': {'by': 'instance', 'names': [3000, 2000, 2100, 300]}}}]}"));
    QStringList errors;
    QVERIFY2(startRunner(&errors), qPrintable(errors.join(u'\n')));
    Dashboard* d = runner->dashboard();
    const auto names = [d] {
      QStringList out;
      for (const QLabel* l : d->columnNames(d->indexOf(QStringLiteral("net")))) out << l->text();
      return out;
    };
    QCOMPARE(names(), QStringList({"", "", ""}));
    QCOMPARE(d->columnNames(d->indexOf(QStringLiteral("net")))[2]->geometry(), QRect(93, 87, 47, 16));
    const auto rx = [](std::initializer_list<std::pair<QString, double>> devices) {
      std::vector<Series> all;
      for (const auto& [device, value] : devices)
        all.push_back(series({{"device", device}, {"instance", "h1"}}, value));
      return all;
    };
    GivenSeries::made[QStringLiteral("v")]->give(QStringLiteral("rx"),
                                                 rx({{"eth10", 40}, {"eth2", 20}, {"lo", 5}, {"eth0", 10}}), 40);
    // eth0, eth2, eth10 in their natural order, at 10, 20 and 40 of the 1245-twip interior's 100; lo left out.
    QCOMPARE(names(), QStringList({"eth0", "eth2", "eth10"}));
    QCOMPARE(heightOf(d, "net", "indic(0)"), 124.5f);
    QCOMPARE(heightOf(d, "net", "indic(1)"), 249.0f);
    QCOMPARE(heightOf(d, "net", "indic(2)"), 498.0f);
    QCOMPARE(caption(d, "eth0"), QStringLiteral("10"));
    QCOMPARE(caption(d, "first"), QStringLiteral("40"));
    // One series matches: the columns without one are empty from the first answer on.
    QCOMPARE(heightOf(d, "one", "indic(0)"), 249.0f);
    QCOMPARE(heightOf(d, "one", "indic(1)"), 0.0f);
    QCOMPARE(heightOf(d, "one", "indic(2)"), 0.0f);
    QCOMPARE(d->columnNames(d->indexOf(QStringLiteral("one")))[0]->text(), QStringLiteral("h1"));
    QCOMPARE(d->columnNames(d->indexOf(QStringLiteral("one")))[0]->geometry(), QRect(200, 133, 46, 20));
    QCOMPARE(d->labels()[0]->text(), QStringLiteral("eth1 -"));
    QCOMPARE(reports, QStringList({"control \"net\": feed.columns: rx gives 4 series and the control shows 3 "
                                   "columns; 1 are left out",
                                   "control \"first\": feed.field: rx gives 4 series; the first is shown "
                                   "(\"match\" chooses one)"}));
    reports.clear();
    GivenSeries::made[QStringLiteral("v")]->give(QStringLiteral("rx"), rx({{"eth2", 25}, {"eth0", 30}, {"eth1", 7}}),
                                                 25);
    QCOMPARE(names(), QStringList({"eth0", "eth1", "eth2"}));
    QCOMPARE(heightOf(d, "net", "indic(2)"), 311.25f);
    QCOMPARE(d->labels()[0]->text(), QStringLiteral("eth1 7"));
    GivenSeries::made[QStringLiteral("v")]->give(QStringLiteral("rx"), rx({{"eth2", 25}}), 25);
    QCOMPARE(names(), QStringList({"eth2", "", ""}));
    QCOMPARE(heightOf(d, "net", "indic(1)"), 0.0f);  // its series went: empty, not its last value
    QCOMPARE(caption(d, "eth0"), QStringLiteral("30"));
    now = 5'000;  // no series matched eth0 since 0
    QTRY_VERIFY_WITH_TIMEOUT(d->isStale(d->indexOf(QStringLiteral("eth0"))), kWait);
    QCOMPARE(reports, QStringList());  // 3 series, 1 series: no more than before said, nothing new
    std::vector<Series> twice = {series({{"device", "eth0"}, {"instance", "h2"}}, 12),
                                 series({{"device", "eth0"}, {"instance", "h1"}}, 11)};
    GivenSeries::made[QStringLiteral("v")]->give(QStringLiteral("rx"), twice, 12);
    GivenSeries::made[QStringLiteral("v")]->give(QStringLiteral("rx"), twice, 12);
    QCOMPARE(caption(d, "eth0"), QStringLiteral("11"));  // h1 before h2
    QTRY_VERIFY_WITH_TIMEOUT(!d->isStale(d->indexOf(QStringLiteral("eth0"))), kWait);
    QCOMPARE(reports, QStringList({"control \"eth0\": feed.match: 2 series of rx match {device=\"eth0\"}; the first "
                                   "is shown",
                                   "control \"first\": feed.field: rx gives 2 series; the first is shown "
                                   "(\"match\" chooses one)"}));
    // A name too long for its column is cut short, whole in its tooltip.
    const QString longName = QStringLiteral("enp0s31f6-of-a-long-name");
    GivenSeries::made[QStringLiteral("v")]->give(QStringLiteral("rx"), rx({{longName, 1}}), 1);
    const QLabel* name = d->columnNames(d->indexOf(QStringLiteral("net")))[0];
    QVERIFY2(name->text().endsWith(QChar(0x2026)) && longName.startsWith(name->text().chopped(1)),
             qPrintable(name->text()));
    QCOMPARE(name->toolTip(), longName);
  }

  // Firing alerts mark the controls showing a series they concern, with their names in the
  // tooltip, and a label lists them; both clear when nothing fires.
  void alertsMarkControls() {
    addSourceKind(givenKind("series", SeriesKind::Values));
    addSourceKind(givenKind("firing-alerts", SeriesKind::Alerts));
    writeLayout(
        j("{'sources': {'v': {'type': 'series'}, 'a': {'type': 'firing-alerts'}},"
          " 'labels': [{'text': 'Alerts: {alerts}', 'rect': [3000, 0, 6000, 300],"
          "   'feed': {'source': 'a', 'field': 'firing'}}],"
          " 'controls': ["
          "  {'name': 'h1', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, 405, 4260],"
          "   'feed': {'source': 'v', 'field': 'load', 'match': {'instance': 'host1'}}},"
          "  {'name': 'h2', 'class': 'KyvVStatus.Kyvvstat', 'rect': [600, 0, 405, 4260],"
          "   'feed': {'source': 'v', 'field': 'load', 'match': {'instance': 'host2'}}},"
          "  {'name': 'sum', 'class': 'KyvVStatus.Kyvvstat', 'rect': [1200, 0, 405, 4260],"
          "   'feed': {'source': 'v', 'field': 'sum'}}]}"));
    QStringList errors;
    QVERIFY2(startRunner(&errors), qPrintable(errors.join(u'\n')));
    Dashboard* d = runner->dashboard();
    const int h1 = d->indexOf(QStringLiteral("h1")), h2 = d->indexOf(QStringLiteral("h2")),
              sum = d->indexOf(QStringLiteral("sum"));
    GivenSeries *values = GivenSeries::made[QStringLiteral("v")], *alerts = GivenSeries::made[QStringLiteral("a")];
    QVERIFY(values && alerts);
    values->give(
        QStringLiteral("load"),
        {series({{"instance", "host1"}, {"job", "node"}}, 3), series({{"instance", "host2"}, {"job", "node"}}, 4)}, 3);
    values->give(QStringLiteral("sum"), {series({}, 7)}, 7);
    QCOMPARE(d->labels()[0]->text(), QStringLiteral("Alerts: -"));
    alerts->give(QStringLiteral("firing"),
                 {series({{"alertname", "HostDown"}, {"instance", "host2"}, {"job", "node"}, {"severity", "page"}}),
                  series({{"alertname", "DiskFull"}, {"instance", "host2"}, {"device", "sda"}}),
                  series({{"alertname", "HostDown"}, {"instance", "host9"}})},
                 3);
    QVERIFY(d->isAlerting(h2) && d->isMarked(h2));
    QVERIFY(!d->isAlerting(h1) && !d->isAlerting(sum));
    QCOMPARE(d->control(h2)->toolTip(), QStringLiteral("Alert firing: DiskFull, HostDown"));
    QCOMPARE(d->labels()[0]->text(), QStringLiteral("Alerts: 3 firing: DiskFull (host2), HostDown (host2, host9)"));
    QCOMPARE(runner->firingFor({{"instance", "host2"}}), QStringList({"DiskFull", "HostDown"}));
    QCOMPARE(runner->firingFor({{"instance", "host1"}}), QStringList());
    const QJsonArray readings = QJsonDocument::fromJson(readingsJson(*runner)).object()["controls"].toArray();
    QCOMPARE(readings[h2].toObject()["alerting"], QJsonValue(true));
    QCOMPARE(readings[h1].toObject()["alerting"], QJsonValue(false));
    // The SVG snapshot draws the mark too, once, with its tooltip.
    const QString svg = QString::fromUtf8(dashboardSvg(*d));
    QCOMPARE(svg.count(QLatin1String("stroke=\"url(#alert)\"")), 1);
    QVERIFY(svg.contains(QLatin1String("<g><title>Alert firing: DiskFull, HostDown</title>")));
    // The series a control shows changes: its mark follows it.
    values->give(QStringLiteral("load"), {series({{"instance", "host2"}, {"job", "other"}}, 4)}, 4);
    QCOMPARE(d->control(h2)->toolTip(), QStringLiteral("Alert firing: DiskFull"));
    alerts->give(QStringLiteral("firing"), {}, 0);
    QVERIFY(!d->isAlerting(h2) && !d->isMarked(h2));
    QVERIFY(!QString::fromUtf8(dashboardSvg(*d)).contains(QLatin1String("stroke=\"url(#alert)\"")));
    QCOMPARE(d->control(h2)->toolTip(), QString());
    QCOMPARE(d->labels()[0]->text(), QStringLiteral("Alerts: no alert firing"));
  }

  // A control that fails on a value is reported once, not at every value.
  void controlErrorsReported() {
    writeLayout(
        j("{'sources': {'in': {'type': 'stdin'}}, 'controls': [{'name': 'z', 'class': 'KyvVStatus.Kyvvstat',"
          " 'rect': [0, 0, 405, 4260], 'properties': [['Maxlimit', 0]], 'feed': {'source': 'in', 'field': 'x'}}]}"));
    QStringList errors;
    QVERIFY(startRunner(&errors));
    send("x 1\nx 2\n");
    QTRY_VERIFY_WITH_TIMEOUT(!reports.isEmpty(), kWait);
    QTest::qWait(200);
    QVERIFY2(reports.size() == 1, qPrintable(reports.join(u'\n')));
    QVERIFY2(reports[0].startsWith(QLatin1String("control z: incbar: division-by-zero: ")), qPrintable(reports[0]));
  }

  // Errors that only the controls themselves find are layout errors too, and nothing starts.
  void errorsOfBuilding() {
    const QString marker = dir.filePath(QStringLiteral("started"));
    writeLayout(j("{'sources': {'c': {'type': 'command', 'command': ['touch', '") + marker.toUtf8() +
                j("']}}, 'controls': ["
                  "{'name': 'a', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, 405, 4260], 'properties': "
                  "[['Maxlimit', 'high']]},"
                  "{'name': 'b', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, 405, 30]}]}"));
    QStringList errors;
    QVERIFY(!startRunner(&errors));
    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors[0].startsWith(QLatin1String("control \"a\": properties: ReadProperties: type-mismatch: ")),
             qPrintable(errors[0]));
    QVERIFY2(errors[1].startsWith(QLatin1String("control \"b\": rect: Resize: invalid-property-value: ")),
             qPrintable(errors[1]));
    QVERIFY(!runner->dashboard());
    QTest::qWait(300);
    QVERIFY(!QFile::exists(marker));
  }

  // A bad file is reported and the running screen stays; a good one replaces it.
  void reload() {
    QStringList errors;
    QVERIFY(startRunner(&errors));
    Dashboard* first = runner->dashboard();
    QSignalSpy replaced(runner.get(), &Runner::dashboardReplaced);
    writeLayout(
        j("{'controls': [{'name': 'bar', 'rect': [0, 0, 405, 4260]}, {'name': 'm', 'class': 'KyvPulse.HeartBeat',"
          " 'rect': [0, 0, 900, 900], 'on': {'Beat': {'print': true}}}]}"));
    QTRY_VERIFY_WITH_TIMEOUT(reportsContain(QStringLiteral("not reloaded")), kWait);
    QCOMPARE(reports, QStringList({layoutPath + QStringLiteral(" not reloaded; the running screen stays:"),
                                   QStringLiteral("  control \"bar\": class: missing")}));
    QCOMPARE(runner->dashboard(), first);
    send("x 1\n");
    QTRY_COMPARE_WITH_TIMEOUT(caption(first, "bar"), QStringLiteral("3"), kWait);

    reports.clear();
    writeLayout(
        j(QByteArray(kLayoutText).replace("'name': 'bar'", "'name': 'pressure'").replace("'scale': 2", "'scale': 3")));
    QTRY_COMPARE_WITH_TIMEOUT(replaced.size(), 1, kWait);
    Dashboard* second = runner->dashboard();
    QVERIFY(second != first);
    QCOMPARE(replaced.front().front().value<Dashboard*>(), second);
    QCOMPARE(reports, QStringList({layoutPath + QStringLiteral(" reloaded")}));
    send("x 2\n");  // the same standard input feeds the new screen
    QTRY_COMPARE_WITH_TIMEOUT(caption(second, "pressure"), QStringLiteral("7"), kWait);
  }

  // A reload keeps the sources and controls that did not change: the command is not started
  // again, the trace keeps its history and a moved control is moved; a changed control is
  // built anew.
  void reloadKeepsWhatDidNotChange() {
    const QString starts = dir.filePath(QStringLiteral("starts"));
    const QByteArray text =
        j("{'sources': {'c': {'type': 'command', 'command': ['sh', '-c', 'echo start >> ") + starts.toUtf8() +
        j("; echo y 5; exec sleep 60']}, 'in': {'type': 'stdin'}},"
          " 'labels': [{'text': 'Before', 'rect': [0, 0, 1500, 300]}],"
          " 'controls': [{'name': 'trace', 'class': 'KyvPulse.HeartBeat', 'rect': [0, 300, 3000, 1500],"
          "   'feed': {'source': 'c', 'field': 'y'}},"
          "  {'name': 'bar', 'class': 'KyvVStatus.Kyvvstat', 'rect': [3000, 300, 405, 4260], 'feed': {'source': 'in', "
          "'field': 'x'}}]}");
    writeLayout(text);
    QStringList errors;
    QVERIFY(startRunner(&errors));
    QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(starts).size(), 6, kWait);
    kyvqt::ControlWidget* trace = runner->dashboard()->control(0);
    kyvqt::ControlWidget* bar = runner->dashboard()->control(1);
    QSignalSpy replaced(runner.get(), &Runner::dashboardReplaced);
    writeLayout(QByteArray(text).replace("Before", "After").replace("[3000, 300, 405", "[3600, 300, 405"));
    QTRY_COMPARE_WITH_TIMEOUT(replaced.size(), 1, kWait);
    Dashboard* d = runner->dashboard();
    QCOMPARE(d->labels().front()->text(), QStringLiteral("After"));
    QVERIFY(d->control(0) == trace);
    QCOMPARE(trace->parentWidget(), d);
    QVERIFY(d->control(1) == bar);
    QCOMPARE(bar->pos(), QPoint(240, 20));
    replaced.clear();
    writeLayout(QByteArray(text).replace(j("'field': 'x'}"), j("'field': 'x', 'scale': 2}")));
    QTRY_COMPARE_WITH_TIMEOUT(replaced.size(), 1, kWait);
    d = runner->dashboard();
    QVERIFY(d->control(1) != bar);
    send("x 7\n");  // the kept standard input feeds the new control
    QTRY_COMPARE_WITH_TIMEOUT(caption(d, "bar"), QStringLiteral("14"), kWait);
    QTest::qWait(300);
    QCOMPARE(QFileInfo(starts).size(), 6);  // started once
  }

  // A reload keeps what each chart showed when its class, properties and feed are as before:
  // a moved chart keeps its picture, one laid out at another size is given its readings
  // again, and both go on from them.
  void reloadKeepsWhatChartsShowed() {
    writeLayout(j(kChartsText));
    QStringList errors;
    QVERIFY(startRunner(&errors));
    send("t 10\nt 20\nt 30\nt 40\nt 50\nt 60\nt 70\nb 10\nb 20\nb 30\nb 40\nb 150\nb 60\nb 70\n");
    QTRY_VERIFY_WITH_TIMEOUT(runner->trail(0).size() == 5 && runner->trail(1).size() == 5, kWait);
    QCOMPARE(valuesOf(runner->trail(0)), (std::vector<double>{30, 40, 50, 60, 70}));
    QCOMPARE(valuesOf(runner->trail(1)), (std::vector<double>{30, 40, 150, 60, 70}));
    const std::vector<TimedReading> traceBefore = runner->trail(0), barsBefore = runner->trail(1);
    Dashboard* d = runner->dashboard();
    kyvqt::ControlWidget *trace = d->control(0), *bars = d->control(1);
    const QImage barsPicture = picture(bars);
    QSignalSpy replaced(runner.get(), &Runner::dashboardReplaced);
    writeLayout(j(QByteArray(kChartsText)
                      .replace("[0, 0, 3000, 1500]", "[0, 2700, 3600, 1500]")
                      .replace("[3000, 0, 1200, 2580]", "[4500, 0, 1200, 2580]")));
    QTRY_COMPARE_WITH_TIMEOUT(replaced.size(), 1, kWait);
    d = runner->dashboard();
    QVERIFY(d->control(0) == trace && d->control(1) == bars);
    QCOMPARE(bars->pos(), QPoint(300, 0));
    QCOMPARE(picture(bars), barsPicture);
    QCOMPARE(runner->trail(0), traceBefore);
    QCOMPARE(runner->trail(1), barsBefore);
    QCOMPARE(trace->geometry(), QRect(0, 180, 240, 100));
    QCOMPARE(picture(trace),
             fedPicture("KyvPulse.HeartBeat", traceProperties(), trace->size(), "Plot", valuesOf(traceBefore)));
    send("t 80\n");
    QTRY_COMPARE_WITH_TIMEOUT(valuesOf(runner->trail(0)), (std::vector<double>{40, 50, 60, 70, 80}), kWait);
    QCOMPARE(picture(trace),
             fedPicture("KyvPulse.HeartBeat", traceProperties(), trace->size(), "Plot", {30, 40, 50, 60, 70, 80}));
  }

  // The history file keeps the charts' last readings, as many as each shows, between runs:
  // a new run shows them again (without acting on events of readings shown again). A file
  // not there yet is said once.
  void historyKeptBetweenRuns() {
    writeLayout(j(kChartsText));
    const QString history = dir.filePath(QStringLiteral("plant.history"));
    QFile::remove(history);
    QStringList errors;
    QVERIFY(startRunner(&errors));
    QCOMPARE(said(),
             QStringList({QStringLiteral("history %1 does not exist yet; the graphs start without it").arg(history)}));
    send("t 10\nt 20\nt 30\nt 40\nt 50\nt 60\nt 70\nb 10\nb 20\nb 30\nb 40\nb 150\nb 60\nb 70\n");
    QTRY_VERIFY_WITH_TIMEOUT(runner->trail(0).size() == 5 && runner->trail(1).size() == 5, kWait);
    const auto saved = [&history, this]() -> std::vector<SavedTrail> {
      QFile f(history);
      QString problem;
      if (!f.open(QIODevice::ReadOnly)) return {};
      return readHistory(f.readAll(), QFileInfo(layoutPath).absoluteFilePath(), &problem)
          .value_or(std::vector<SavedTrail>{});
    };
    QTRY_VERIFY_WITH_TIMEOUT(
        saved().size() == 2 && saved()[0].readings == runner->trail(0) && saved()[1].readings == runner->trail(1),
        kWait);
    send("t 80\n");  // taken after the last timed write: the end of the run writes it
    QTRY_COMPARE_WITH_TIMEOUT(runner->trail(0).back().value, 80.0, kWait);
    const std::vector<TimedReading> trace = runner->trail(0), bars = runner->trail(1);
    const QImage tracePicture = picture(runner->dashboard()->control(0)),
                 barsPicture = picture(runner->dashboard()->control(1));
    QCOMPARE(printed, QStringList({"full"}));
    runner.reset();
    printed.clear();
    reports.clear();
    QVERIFY(startRunner(&errors));
    QCOMPARE(runner->trail(0), trace);
    QCOMPARE(runner->trail(1), bars);
    QCOMPARE(picture(runner->dashboard()->control(0)), tracePicture);
    QCOMPARE(picture(runner->dashboard()->control(1)), barsPicture);
    QCOMPARE(printed, QStringList());
    QCOMPARE(said(), QStringList());
  }

  // A history file that is damaged, of another layout or not a file is said once and left
  // alone: the charts start empty, nothing of it is shown, and the screen's own history
  // replaces it.
  void historyFileRefused_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    Trail other;
    other.identity = "trace\n{\"in\":{\"type\":\"stdin\"}}\nt";
    other.take({1000, 99});
    QTest::newRow("another layout") << historyText(QStringLiteral("/elsewhere/wall.json"), {&other}, 0)
                                    << QStringLiteral("is the history of another layout (/elsewhere/wall.json)");
    QTest::newRow("garbage") << QByteArray("\x89PNG\r\n\x1a\n\x00\x00")
                             << QStringLiteral("is not a kyvdash history file");
    QTest::newRow("a directory") << QByteArray() << QStringLiteral("cannot be read: Is a directory");
  }
  void historyFileRefused() {
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    writeLayout(j(kChartsText));
    const QString history = dir.filePath(QStringLiteral("plant.history"));
    QFile::remove(history);
    QDir(history).removeRecursively();
    if (content.isEmpty()) {
      QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("plant.history")));
    } else {
      QFile f(history);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(content);
    }
    QStringList errors;
    QVERIFY(startRunner(&errors));
    const QStringList first = said();
    QVERIFY2(first.size() == 1, qPrintable(first.join(u'\n')));
    QVERIFY2(first[0].startsWith(QStringLiteral("history %1 ").arg(history)) && first[0].contains(expected) &&
                 first[0].endsWith(QStringLiteral("; the graphs start without it")),
             qPrintable(first[0]));
    QVERIFY(runner->trail(0).empty() && runner->trail(1).empty());
    QCOMPARE(picture(runner->dashboard()->control(0)),
             fedPicture("KyvPulse.HeartBeat", traceProperties(), runner->dashboard()->control(0)->size(), "Plot", {}));
    send("t 5\n");
    QTRY_COMPARE_WITH_TIMEOUT(runner->trail(0).size(), size_t(1), kWait);
    QTest::qWait(200);
    if (!content.isEmpty()) {  // the screen's own history replaced it
      QFile f(history);
      QVERIFY(f.open(QIODevice::ReadOnly));
      QString problem;
      QVERIFY(readHistory(f.readAll(), QFileInfo(layoutPath).absoluteFilePath(), &problem));
    } else {  // a file that cannot be written is said once too
      const QStringList all = said();
      QCOMPARE(all.size(), 2);
      QVERIFY2(all[1].startsWith(QStringLiteral("history %1 cannot be written").arg(history)), qPrintable(all[1]));
    }
    runner.reset();
    QDir(history).removeRecursively();
  }

  // A reading a control cannot show is marked, with the reading in its tooltip, and
  // reported once; the mark goes with the first reading it shows.
  void readingsThatCannotBeShown() {
    writeLayout(
        j("{'sources': {'in': {'type': 'stdin'}}, 'controls': ["
          "{'name': 'six', 'class': 'Kyv6Digit.sixseg', 'rect': [0, 0, 3000, 600], 'feed': {'source': 'in', 'field': "
          "'n'}},"
          "{'name': 'bar', 'class': 'KyvVStatus.Kyvvstat', 'rect': [3000, 0, 405, 4260], 'feed': {'source': 'in', "
          "'field': 'b'}}]}"));
    QStringList errors;
    QVERIFY(startRunner(&errors));
    Dashboard* d = runner->dashboard();
    send("n 1234567\nb 40000\n");
    QTRY_VERIFY_WITH_TIMEOUT(d->isUnshown(1), kWait);
    QVERIFY(d->isUnshown(0) && d->isMarked(0) && !d->isStale(0));
    QCOMPARE(d->control(0)->toolTip(),
             QStringLiteral("Reading 1234567 from in.n cannot be shown: Kyv6Digit.sixseg shows 0 to 999999"));
    QCOMPARE(d->control(1)->toolTip(),
             QStringLiteral("Reading 40000 from in.b cannot be shown: KyvVStatus.Kyvvstat shows -32768 to 32767"));
    send("n -12\n");
    QTRY_COMPARE_WITH_TIMEOUT(
        d->control(0)->toolTip(),
        QStringLiteral("Reading -12 from in.n cannot be shown: Kyv6Digit.sixseg shows 0 to 999999"), kWait);
    QCOMPARE(reports,
             QStringList(
                 {"control six: Reading 1234567 from in.n cannot be shown: Kyv6Digit.sixseg shows 0 to 999999",
                  "control bar: Reading 40000 from in.b cannot be shown: KyvVStatus.Kyvvstat shows -32768 to 32767"}));
    send("n 12\n");
    QTRY_VERIFY_WITH_TIMEOUT(!d->isUnshown(0), kWait);
    QVERIFY(!d->isMarked(0));
    QCOMPARE(d->control(0)->toolTip(), QString());
    QCOMPARE(reports.last(), QStringLiteral("control six: its readings are shown again"));
    // A snapshot shows the mark too.
    const QByteArray svg = dashboardSvg(*d);
    QCOMPARE(svg.count("fill=\"url(#unshown)\""), 1);
  }

  // A label with a feed shows the reading scaled, with its unit. Stale, it shows no number,
  // greyed, with the age of its data in its tooltip, until the next reading. A reading that
  // is not a number is no reading, for the label and the control alike.
  void labelShowsItsReading() {
    writeLayout(
        j("{'sources': {'in': {'type': 'stdin'}}, 'labels': [{'text': 'in {value:si}B/s', 'rect': [0, 0, 3000, 300],"
          " 'feed': {'source': 'in', 'field': 'rx', 'scale': 1000, 'stale': 5}}],"
          " 'controls': [{'name': 'six', 'class': 'Kyv6Digit.sixseg', 'rect': [0, 300, 3000, 600], 'feed': {'source': "
          "'in', 'field': 'rx'}}]}"));
    QStringList errors;
    QVERIFY(startRunner(&errors));
    Dashboard* d = runner->dashboard();
    QLabel* label = d->labels().front();
    QCOMPARE(label->text(), QStringLiteral("in - B/s"));
    send("rx 1234\n");
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("in 1.23 MB/s"), kWait);
    QVERIFY(label->isEnabled());
    now = 4'990;
    QTest::qWait(100);
    QCOMPARE(label->text(), QStringLiteral("in 1.23 MB/s"));
    now = 5'000;
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("in - B/s"), kWait);
    QVERIFY(!label->isEnabled());
    QCOMPARE(label->toolTip(), QStringLiteral("No reading from in.rx for 5 s"));
    send("rx nan\n");
    QTest::qWait(200);
    QCOMPARE(label->text(), QStringLiteral("in - B/s"));  // no reading: still stale
    QVERIFY(!label->isEnabled());
    send("rx 2\n");
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("in 2.00 kB/s"), kWait);
    QVERIFY(label->isEnabled());
    QCOMPARE(label->toolTip(), QString());
    QVERIFY(!d->isUnshown(0));
    QVERIFY(reports.filter(QStringLiteral("cannot be shown")).isEmpty());
  }

  // A broken layout is reported once: files written beside it (snapshots) change nothing;
  // it is reported again once it has changed again.
  void brokenLayoutReportedOnce() {
    QStringList errors;
    QVERIFY(startRunner(&errors));
    const QByteArray broken = j("{'controls': [{'name': 'bar', 'rect': [0, 0, 405, 4260]}]}");
    writeLayout(broken);
    QTRY_VERIFY_WITH_TIMEOUT(reportsContain(QStringLiteral("not reloaded")), kWait);
    for (int i = 0; i < 3; ++i) {
      QFile beside(dir.filePath(QStringLiteral("snapshot.png")));
      QVERIFY(beside.open(QIODevice::WriteOnly | QIODevice::Truncate));
      beside.write(QByteArray::number(i));
      beside.close();
      QTest::qWait(500);
    }
    QCOMPARE(reports.count(layoutPath + QStringLiteral(" not reloaded; the running screen stays:")), 1);
    writeLayout(broken + ' ');
    QTRY_COMPARE_WITH_TIMEOUT(reports.count(layoutPath + QStringLiteral(" not reloaded; the running screen stays:")), 2,
                              kWait);
  }

  void svgSnapshot() {
    QStringList errors;
    QVERIFY(startRunner(&errors));
    Dashboard* d = runner->dashboard();
    now = 6'000;
    QTRY_VERIFY_WITH_TIMEOUT(d->isStale(d->indexOf(QStringLiteral("quiet"))), kWait);
    const QString path = dir.filePath(QStringLiteral("plant.svg"));
    QString error;
    QVERIFY2(writeSnapshot(*d, path, &error), qPrintable(error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString svg = QString::fromUtf8(f.readAll());
    QVERIFY(svg.startsWith(QLatin1String("<?xml")));
    QVERIFY(svg.contains(QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\"")
                             .arg(d->width())
                             .arg(d->height())));
    QCOMPARE(svg.count(QLatin1String("<image ")), 3);
    QVERIFY(svg.contains(QLatin1String(">Pressure</text>")));
    QCOMPARE(svg.count(QLatin1String("<title>No reading from in.y for 6 s</title>")), 1);
    // Each control is its own SVG picture, drawn by the framework's renderer.
    const qsizetype at = svg.indexOf(QLatin1String("base64,")) + 7;
    const QByteArray inner = QByteArray::fromBase64(svg.mid(at, svg.indexOf(u'"', at) - at).toLatin1());
    QVERIFY(inner.startsWith("<?xml"));
    QVERIFY(inner.contains("<svg"));
  }

  void snapshotFailures() {
    QStringList errors;
    QVERIFY(startRunner(&errors));
    QString error;
    QVERIFY(!writeSnapshot(*runner->dashboard(), dir.filePath(QStringLiteral("plant.jpg")), &error));
    QCOMPARE(error, dir.filePath(QStringLiteral("plant.jpg")) + QStringLiteral(": a snapshot is a .png or .svg file"));
    QVERIFY(!writeSnapshot(*runner->dashboard(), dir.filePath(QStringLiteral("no/such/dir/plant.png")), &error));
    QVERIFY2(error.startsWith(
                 QStringLiteral("cannot write %1: ").arg(dir.filePath(QStringLiteral("no/such/dir/plant.png")))),
             qPrintable(error));
  }

  // A reader that opens the file at any moment finds a whole PNG, while values change
  // and the snapshot is rewritten every 10 ms.
  void pngWholeWhileRewritten() {
    QStringList errors;
    QVERIFY(startRunner(&errors));
    const QString path = dir.filePath(QStringLiteral("wall.png"));
    const QSize size = runner->dashboard()->size();
    SnapshotTimer timer(*runner, path, milliseconds(0), milliseconds(10));
    timer.start();
    QTRY_VERIFY_WITH_TIMEOUT(timer.written() > 0, kWait);
    std::atomic<bool> stop = false;
    std::atomic<int> reads = 0, broken = 0;
    std::thread reader([&] {
      while (!stop) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
          ++broken;
          continue;
        }
        QImage image;
        if (!image.loadFromData(f.readAll(), "PNG") || image.size() != size) ++broken;
        ++reads;
      }
    });
    QElapsedTimer running;
    running.start();
    for (int i = 0; timer.written() < 50 && running.elapsed() < 60'000; ++i) {
      send(QByteArray("x ") + QByteArray::number(i % 50) + "\n");
      QTest::qWait(5);
    }
    stop = true;
    reader.join();
    QVERIFY2(timer.written() >= 50, qPrintable(QString::number(timer.written())));
    QVERIFY(reads > 20);
    QCOMPARE(broken.load(), 0);
    const QStringList leftovers = QDir(dir.path()).entryList({QStringLiteral("wall.png*")}, QDir::Files | QDir::Hidden);
    QCOMPARE(leftovers, QStringList({"wall.png"}));
  }

  void windowAndKiosk() {
    QStringList errors;
    QVERIFY(startRunner(&errors));
    DashboardWindow window(*runner, layoutPath, false);
    QCOMPARE(window.windowTitle(), QStringLiteral("Plant - kyvdash"));
    QCOMPARE(window.findChild<QScrollArea*>()->widget(), runner->dashboard());
    emit runner->report(QStringLiteral("source in: standard input closed"));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("source in: standard input closed"));

    DashboardWindow kiosk(*runner, layoutPath, true);
    QVERIFY(kiosk.statusBar()->isHidden());
    QCOMPARE(kiosk.cursor().shape(), Qt::BlankCursor);
  }

  // A window the user makes larger draws the dashboard larger, to fit, keeping its aspect.
  void windowScalesOnResize() {
    QStringList errors;
    QVERIFY(startRunner(&errors));
    DashboardWindow window(*runner, layoutPath, true);
    window.scaleOnResize();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize natural = runner->dashboard()->sizeHint();
    window.resize(natural.width() * 3, natural.height() * 2);
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(runner->dashboard()->devicePixelRatioF() - 2) < 0.05, kWait);
    QTest::qWait(200);
    QVERIFY(std::abs(runner->dashboard()->devicePixelRatioF() - 2) < 0.05);  // settled, not swinging
    setScreenScale(window.screen(), 1);
  }

  // Updates asked for faster than the limit are painted together at the next frame, and
  // the last one is painted too.
  void framesLimited() {
    struct PaintCounter : QObject {
      int paints = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
      }
    } counter;
    QWidget window;
    window.resize(100, 100);
    window.installEventFilter(&counter);
    new FrameLimiter(window, 10);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(200);
    counter.paints = 0;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1000) {
      window.update();
      QTest::qWait(2);
    }
    const int during = counter.paints;
    QVERIFY2(during >= 1 && during <= 12, qPrintable(QString::number(during)));  // 10 a second, not 300
    window.update();
    QTRY_VERIFY_WITH_TIMEOUT(counter.paints > during, kWait);
    QTest::qWait(300);
    QVERIFY(counter.paints <= during + 2);
  }

  // A frame after every one of 300 controls changed repaints the screen in a region of at
  // most a cell of a fixed grid a rectangle, not one a control: Qt's work on the region
  // grows with its rectangles for every widget it paints, and would grow with the square
  // of the controls. Every change is still shown.
  void windowRepaintsAFewCells() {
    QByteArray controls;
    for (int i = 0; i < 300; ++i)
      controls += QStringLiteral(
                      "%1{'name': 'c%2', 'class': 'KyvHStatus.Hstat', 'rect': [%3, %4, 1050, 330],"
                      " 'feed': {'source': 'in', 'field': 'c%2'}}")
                      .arg(i ? "," : "")
                      .arg(i)
                      .arg(i % 20 * 1200)
                      .arg(i / 20 * 450)
                      .toUtf8();
    writeLayout(j("{'sources': {'in': {'type': 'stdin'}}, 'controls': [" + controls + "]}"));
    QStringList errors;
    QVERIFY2(startRunner(&errors), qPrintable(errors.join(u'\n')));
    DashboardWindow window(*runner, layoutPath, false);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The rectangles of the screen's paints, and the controls painted.
    struct Regions : QObject {
      QObject* screen = nullptr;
      int paints = 0, mostRects = 0;
      std::set<QObject*> painted;
      bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::Paint) return false;
        if (watched != screen) {
          painted.insert(watched);
          return false;
        }
        ++paints;
        mostRects = std::max(mostRects, int(static_cast<QPaintEvent*>(e)->region().rectCount()));
        return false;
      }
    } regions;
    Dashboard* d = runner->dashboard();
    QTest::qWait(200);
    regions.screen = d;
    d->installEventFilter(&regions);
    for (int i = 0; i < d->count(); ++i) d->control(i)->installEventFilter(&regions);
    QByteArray lines;
    for (int i = 0; i < 300; ++i) lines += "c" + QByteArray::number(i) + ' ' + QByteArray::number(i % 90 + 5) + '\n';
    send(lines);
    QTRY_VERIFY_WITH_TIMEOUT(regions.paints > 0, kWait);
    QTest::qWait(200);
    QVERIFY2(regions.mostRects <= Dashboard::kRepaintCells * Dashboard::kRepaintCells,
             qPrintable(QString::number(regions.mostRects)));
    QCOMPARE(int(regions.painted.size()), 300);
  }

  // Last: it changes the application's palette for good.
  void darkPalette() {
    applyDarkPalette();
    QStringList errors;
    QVERIFY(startRunner(&errors));
    QCOMPARE(QApplication::style()->name(), QStringLiteral("fusion"));
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 64);
    QVERIFY(QApplication::palette().color(QPalette::WindowText).lightness() > 192);
    QVERIFY(runner->dashboard()->control(0)->palette().color(QPalette::Window).lightness() < 64);
    // The controls' button face follows; the framework's own palette stays light.
    const uint32_t face = runner->dashboard()->control(0)->colourPalette()[15];
    QVERIFY(qGray(qRgb(face & 0xFF, face >> 8 & 0xFF, face >> 16 & 0xFF)) < 64);
    QCOMPARE(kyv::systemPalette()[15], 0xF0F0F0u);
  }
};

QTEST_MAIN(TestRunner)
#include "tst_runner.moc"
