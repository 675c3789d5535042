// Repeated blocks: the repeat member as a layout gives it (and every error it can hold),
// values written into a block's texts, natural order, the grid the blocks fill, and the
// runner's blocks coming, going down and going, fed by a source of series the test drives,
// on the test's own clock.
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "Layout.h"
#include "Repeat.h"
#include "Runner.h"

using namespace kyvdash;

namespace {

constexpr int kWait = 20'000;

QByteArray j(QByteArray text) { return text.replace('\'', '"'); }

// A source the test drives: the last one made emits what the test gives it.
class SeriesSource final : public Source {
 public:
  explicit SeriesSource(QString name) : Source(std::move(name)) { latest = this; }
  ~SeriesSource() override {
    if (latest == this) latest = nullptr;
  }
  void start() override {}
  void want(const QString& field) override { wanted << field; }
  QStringList wanted;
  static inline SeriesSource* latest = nullptr;
};

struct SeriesSettings final : SourceSettings {
  std::unique_ptr<Source> make(const QString& name, const SourceNeeds&) const override {
    return std::make_unique<SeriesSource>(name);
  }
  SeriesKind seriesKind() const override { return SeriesKind::Values; }
};

void addSeriesKind() {
  addSourceKind({QStringLiteral("series"),
                 [](const nlohmann::json&, const FieldReader&) { return std::make_unique<SeriesSettings>(); }});
}

// A layout of one fixed label and a repeat of `repeat`'s members over a bar and a label.
QByteArray fleet(const QByteArray& repeat) {
  return j(
      "{'sources': {'prom': {'type': 'series'}, 'in': {'type': 'stdin'}},"
      " 'labels': [{'text': 'Fleet', 'rect': [120, 0, 3000, 300]}],"
      " 'repeat': {" +
      repeat +
      "  'controls': [{'name': 'cpu', 'class': 'KyvPulse.HeartBeat', 'rect': [0, 300, 2500, 1500],"
      "                'feed': {'source': 'prom', 'field': 'cpu{instance=\\'{instance}\\'}'}},"
      "               {'name': 'bar', 'class': 'KyvVStatus.Kyvvstat', 'rect': [2600, 300, 400, 1500],"
      "                'feed': {'source': 'prom', 'field': 'cpu{instance=\\'{instance}\\'}'},"
      "                'on': {'NormalOPs': {'print': '{instance}: {value}'}}}],"
      "  'labels': [{'text': 'Host {instance}', 'rect': [0, 0, 3000, 300]},"
      "             {'text': 'load {value}', 'rect': [0, 1800, 3000, 300],"
      "              'feed': {'source': 'prom', 'field': 'load{instance=\\'{instance}\\'}'}}]}}");
}

const QByteArray kRepeat = "'source': 'prom', 'query': 'up', 'by': 'instance', 'max': 3, 'removeAfter': 60,";

Series up(const QString& instance, double value = 1) {
  return {{{QStringLiteral("__name__"), QStringLiteral("up")}, {QStringLiteral("instance"), instance}}, value};
}

QStringList values(const Dashboard& d) {
  QStringList out;
  for (const LayoutBlock& b : d.layout().blocks) out << b.value;
  return out;
}

}  // namespace

class TestRepeat : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  qint64 now = 0;
  QStringList printed;  // what the layout's print actions printed

  std::unique_ptr<Runner> start(const QByteArray& layout) {
    QFile file(dir.filePath(QStringLiteral("fleet.json")));
    if (!file.open(QIODevice::WriteOnly) || file.write(layout) != layout.size()) return nullptr;
    file.close();
    auto runner = std::make_unique<Runner>(file.fileName());
    runner->setClock([this] { return now; });
    runner->setPrinter([this](const QString& line) { printed << line; });
    QStringList errors;
    if (!runner->start(&errors)) qWarning() << errors;
    return runner;
  }

  // The test source answers the repeat's query with `all`, and the screen settles.
  static void answer(Runner& runner, const std::vector<Series>& all) {
    emit SeriesSource::latest->series(QStringLiteral("up"), all);
    QTest::qWait(0);
    QCoreApplication::processEvents();
    Q_UNUSED(runner)
  }

 private slots:
  void initTestCase() { addSeriesKind(); }

  void naturalOrder() {
    QStringList names{QStringLiteral("host10"),         QStringLiteral("host2"),         QStringLiteral("host1"),
                      QStringLiteral("10.0.0.10:9100"), QStringLiteral("10.0.0.9:9100"), QStringLiteral("alpha"),
                      QStringLiteral("host02"),         QStringLiteral("host")};
    std::sort(names.begin(), names.end(), naturalLess);
    QCOMPARE(names, (QStringList{QStringLiteral("10.0.0.9:9100"), QStringLiteral("10.0.0.10:9100"),
                                 QStringLiteral("alpha"), QStringLiteral("host"), QStringLiteral("host1"),
                                 QStringLiteral("host02"), QStringLiteral("host2"), QStringLiteral("host10")}));
    QVERIFY(!naturalLess(QStringLiteral("host2"), QStringLiteral("host2")));
    QVERIFY(naturalLess(QStringLiteral("h99999999999999999999"), QStringLiteral("h100000000000000000000")));
  }

  void grid() {
    // Blocks twice as wide as high fill a 16:9 area best in 3 columns of 7 blocks.
    QCOMPARE(gridColumns(Arrangement::Tiles, QSizeF(2, 1), QSizeF(16, 9), 7), 3);
    QCOMPARE(gridColumns(Arrangement::Tiles, QSizeF(2, 1), QSizeF(16, 9), 1), 1);
    QCOMPARE(gridColumns(Arrangement::Tiles, QSizeF(1, 1), QSizeF(100, 1), 5), 5);
    QCOMPARE(gridColumns(Arrangement::Rows, QSizeF(2, 1), QSizeF(16, 9), 7), 1);
    const std::vector<QPointF> at = blockPlaces(QPointF(10, 20), QSizeF(100, 50), 5, 2, 3);
    QCOMPARE(at, (std::vector<QPointF>{QPointF(10, 20), QPointF(115, 20), QPointF(10, 75)}));
  }

  void substitution() {
    QCOMPARE(substituted(QStringLiteral("{instance} and {instance}, {value}"), QStringLiteral("instance"),
                         QStringLiteral("h1")),
             QStringLiteral("h1 and h1, {value}"));
    QCOMPARE(promqlEscaped(QStringLiteral("a\"b\\c\nd")), QStringLiteral("a\\\"b\\\\c\\nd"));
    QStringList errors;
    const Layout base = parseLayout(fleet(kRepeat), errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    QVERIFY(base.controls.empty() && base.blocks.empty());
    const Layout l = expandRepeat(base, {QStringLiteral("web\"1"), QStringLiteral("db2")}, 0, errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    QCOMPARE(l.controls.size(), size_t(4));
    QCOMPARE(l.controls[0].name, QStringLiteral("cpu[web\"1]"));
    QCOMPARE(l.controls[0].feeds[0].field, QStringLiteral("cpu{instance=\"web\\\"1\"}"));
    QCOMPARE(l.controls[2].feeds[0].field, QStringLiteral("cpu{instance=\"db2\"}"));
    QCOMPARE(l.controls[3].name, QStringLiteral("bar[db2]"));
    QCOMPARE(l.controls[3].on[0].actions[0].text, QStringLiteral("db2: {value}"));
    QCOMPARE(l.labels[1].text, QStringLiteral("Host web\"1"));
    QCOMPARE(l.labels[4].text, QStringLiteral("load {value}"));
    QCOMPARE(l.labels[4].feed->field, QStringLiteral("load{instance=\"db2\"}"));
    QCOMPARE(l.controls[2].block, 1);
    // The second block stands beside the first, its items where the group puts them.
    QCOMPARE(l.blocks[1].rect.topLeft(), l.blocks[0].rect.topLeft() + QPointF(3000 + 120, 0));
    QCOMPARE(l.controls[2].rect.topLeft(), l.blocks[1].rect.topLeft() + QPointF(0, 300));
    QCOMPARE(l.blocks[0].rect.size(), QSizeF(3000, 2100));
    // Where a block stands is not what it is: a block moved is the same block.
    const Layout moved = expandRepeat(base, {QStringLiteral("db2")}, 0, errors);
    QVERIFY(moved.controls[0].rect != l.controls[2].rect);
    QCOMPARE(moved.controls[0].raw, l.controls[2].raw);
  }

  void more() {
    QStringList errors;
    const Layout base = parseLayout(fleet(kRepeat), errors);
    const Layout l = expandRepeat(base, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, 4, errors);
    QCOMPARE(l.blocks.size(), size_t(3));
    QVERIFY(l.moreLabel >= 0);
    QCOMPARE(l.labels[l.moreLabel].text, QStringLiteral("+4 more"));
    QVERIFY(!l.labels[l.moreLabel].rect.intersects(l.blocks[2].rect));
    QCOMPARE(expandRepeat(base, {QStringLiteral("a")}, 0, errors).moreLabel, -1);
  }

  void errors_data() {
    QTest::addColumn<QByteArray>("repeat");
    QTest::addColumn<QString>("error");
    QTest::newRow("not an object") << QByteArray("!") << "repeat: must be an object";
    QTest::newRow("no source") << QByteArray("'query': 'up', 'by': 'instance',") << "repeat: source: missing";
    QTest::newRow("not a source of series") << QByteArray("'source': 'in', 'query': 'up', 'by': 'instance',")
                                            << "repeat: source: must name a prometheus-query source of the layout";
    QTest::newRow("no query") << QByteArray("'source': 'prom', 'by': 'instance',") << "repeat: query: missing";
    QTest::newRow("no label") << QByteArray("'source': 'prom', 'query': 'up',") << "repeat: by: missing";
    QTest::newRow("a placeholder's name")
        << QByteArray("'source': 'prom', 'query': 'up', 'by': 'value',")
        << "repeat: by: must be a label's name, other than time, control, event and value (their placeholders)";
    QTest::newRow("not a label name")
        << QByteArray("'source': 'prom', 'query': 'up', 'by': 'a-b',")
        << "repeat: by: must be a label's name, other than time, control, event and value (their placeholders)";
    QTest::newRow("max of none") << kRepeat + "'max': 0,"
                                 << "repeat: max: must be from 1 to 1000";
    QTest::newRow("max in part") << kRepeat + "'max': 2.5,"
                                 << "repeat: max: must be a whole number";
    QTest::newRow("arrange") << kRepeat + "'arrange': 'spiral',"
                             << "repeat: arrange: must be \"tiles\" or \"rows\"";
    QTest::newRow("removeAfter") << kRepeat + "'removeAfter': -1,"
                                 << "repeat: removeAfter: must be from 0 to 86400";
    QTest::newRow("unknown member") << kRepeat + "'every': 3,"
                                    << "repeat: every: unknown member";
    QTest::newRow("a control of the group") << kRepeat + "'controls': [{'name': 'x', 'class': 'KyvVStatus.Kyvvstat'}],"
                                            << "repeat: control \"x\": rect: missing";
  }
  void errors() {
    QFETCH(QByteArray, repeat);
    QFETCH(QString, error);
    QByteArray text = repeat == "!" ? j("{'repeat': 3, 'controls': []}") : fleet(repeat);
    // A group given in the row replaces the fleet's own.
    if (repeat.contains("'controls'")) {
      text = j("{'sources': {'prom': {'type': 'series'}}, 'repeat': {" + repeat + "}}").replace(",}}", "}}");
    }
    QStringList found;
    parseLayout(text, found);
    QVERIFY2(std::any_of(found.begin(), found.end(), [&](const QString& e) { return e.startsWith(error); }),
             qPrintable(found.join(u'\n')));
  }

  // --check warns of the group as a block shows it, though no block shows yet.
  void checkWarnsOfTheGroup() {
    QFile file(dir.filePath(QStringLiteral("small.json")));
    const QByteArray text =
        j("{'sources': {'prom': {'type': 'series'}},"
          " 'repeat': {'source': 'prom', 'query': 'up', 'by': 'instance',"
          "  'controls': [{'name': 'load', 'class': 'Kyv4Digit.fourseg', 'rect': [0, 0, 900, 300],"
          "                'feed': {'source': 'prom', 'field': 'load{instance=\\'{instance}\\'}'}}]}}");
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();
    Runner runner(file.fileName());
    QStringList errors, warnings;
    QVERIFY2(runner.check(&errors, &warnings), qPrintable(errors.join(u'\n')));
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings[0].startsWith(QStringLiteral("control \"load[instance]\": rect: 900 x 300 twips is smaller")),
             qPrintable(warnings[0]));
  }

  // Blocks come with their values in natural order up to the cap, go down when their
  // series is down or gone, and go once down for removeAfter; the others stay as they were.
  void blocksComeAndGo() {
    std::unique_ptr<Runner> runner = start(fleet(kRepeat + "'gap': 0,"));  // blocks that touch
    QVERIFY(runner && runner->dashboard());
    QVERIFY(SeriesSource::latest && SeriesSource::latest->wanted.contains(QStringLiteral("up")));
    QCOMPARE(runner->dashboard()->count(), 0);
    answer(*runner, {up(QStringLiteral("host10")), up(QStringLiteral("host2"))});
    QTRY_COMPARE_WITH_TIMEOUT(values(*runner->dashboard()), (QStringList{"host2", "host10"}), kWait);
    QVERIFY(SeriesSource::latest->wanted.contains(QStringLiteral("cpu{instance=\"host10\"}")));

    // host2's trace holds its points when host1 comes before it and the cap makes "+1 more".
    SeriesSource* source = SeriesSource::latest;
    for (int v : {10, 60, 30, 90}) emit source->reading(QStringLiteral("cpu{instance=\"host2\"}"), v);
    emit source->reading(QStringLiteral("load{instance=\"host2\"}"), 3);
    kyvqt::ControlWidget* trace = runner->dashboard()->control(runner->dashboard()->indexOf("cpu[host2]"));
    const QImage held = trace->grab().toImage();
    answer(*runner, {up("host10"), up("host2"), up("host1"), up("host3")});
    QTRY_COMPARE_WITH_TIMEOUT(values(*runner->dashboard()), (QStringList{"host1", "host2", "host3"}), kWait);
    Dashboard& d = *runner->dashboard();
    QCOMPARE(SeriesSource::latest, source);                // the source runs on
    QVERIFY(d.control(d.indexOf("cpu[host2]")) == trace);  // the same widget, not a new one
    QCOMPARE(trace->grab().toImage(), held);
    QCOMPARE(d.labels()[d.layout().moreLabel]->text(), QStringLiteral("+1 more"));
    QCOMPARE(d.labels()[4]->text(), QStringLiteral("load 3"));
    // A narrow page lays out the title, each block and the "+1 more" in a column.
    const std::vector<QRect> column = d.blocks();
    QCOMPARE(column.size(), size_t(5));
    QCOMPARE(column[0], d.labels()[0]->geometry());
    for (int b = 0; b < 3; ++b) QCOMPARE(column[1 + b], pixels(d.layout().blocks[b].rect));
    QCOMPARE(column[4], d.labels()[d.layout().moreLabel]->geometry());
    // The bar's action, held off for 60 s, does not act again for a screen laid out again.
    QCOMPARE(printed.filter(QStringLiteral("host2: ")).size(), 1);
    emit source->reading(QStringLiteral("cpu{instance=\"host2\"}"), 20);
    QCOMPARE(printed.filter(QStringLiteral("host2: ")).size(), 1);

    // host3 scraped no more: down, its readings held back; host1 gone from the answer: down.
    now += 1000;
    answer(*runner, {up("host10"), up("host2"), up("host3", 0)});
    QVERIFY(d.isBlockDown(2) && d.isBlockDown(0) && !d.isBlockDown(1));
    const int cpu3 = d.indexOf("cpu[host3]");
    QVERIFY(d.isDown(cpu3) && d.isMarked(cpu3));
    QVERIFY(d.control(cpu3)->toolTip().startsWith(QStringLiteral("host3 is down: Prometheus cannot scrape it")));
    QVERIFY(d.control(d.indexOf("cpu[host1]"))->toolTip().contains(QStringLiteral("gone from the answer to up")));
    emit source->reading(QStringLiteral("cpu{instance=\"host3\"}"), 50);
    QCOMPARE(runner->fed(cpu3).at, qint64(-1));
    emit source->reading(QStringLiteral("cpu{instance=\"host2\"}"), 50);
    QCOMPARE(runner->fed(d.indexOf("cpu[host2]")).at, now);

    // Its queries giving nothing is what down is: no report, the source not failing.
    QSignalSpy reported(runner.get(), &Runner::report);
    emit source->problem(QStringLiteral("query cpu{instance=\"host3\"}: no data"));
    QCOMPARE(reported.count(), 0);
    QVERIFY(runner->health().sourceUp.at(QStringLiteral("prom")));
    emit source->problem(QStringLiteral("query up: bad_data: parse error"));
    QCOMPARE(reported.count(), 1);

    // Back up, host3 takes readings again.
    answer(*runner, {up("host10"), up("host2"), up("host3")});
    QVERIFY(!d.isBlockDown(2) && !d.isDown(cpu3) && !d.isMarked(cpu3));
    emit source->reading(QStringLiteral("cpu{instance=\"host3\"}"), 50);
    QCOMPARE(runner->fed(cpu3).at, now);

    // host1 goes after removeAfter down, not before; host10 takes its place.
    now += 58'000;
    answer(*runner, {up("host10"), up("host2"), up("host3")});
    QCOMPARE(runner->dashboard(), &d);
    now += 2000;  // host1 has been down for 60 s
    answer(*runner, {up("host10"), up("host2"), up("host3")});
    QTRY_COMPARE_WITH_TIMEOUT(values(*runner->dashboard()), (QStringList{"host2", "host3", "host10"}), kWait);
    QCOMPARE(runner->dashboard()->layout().moreLabel, -1);
  }
};

QTEST_MAIN(TestRepeat)
#include "tst_repeat.moc"
