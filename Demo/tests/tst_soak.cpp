// The command line and the soak run, on the offscreen platform with short durations.
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <memory>

#include "AboutBox.h"
#include "Form1.h"
#include "Options.h"
#include "Soak.h"

using namespace std::chrono_literals;
using kyvdemo::Form1;
using kyvdemo::Options;
using kyvdemo::Soak;

namespace {

std::optional<Options> parse(const QStringList& arguments, QString* error = nullptr) {
  QString ignored;
  return kyvdemo::parseOptions(arguments, error ? error : &ignored);
}

}  // namespace

class TestSoak : public QObject {
  Q_OBJECT

  std::unique_ptr<Form1> form;
  QStringList lines;

  std::unique_ptr<Soak> soak(std::optional<int> intervalMs, std::chrono::milliseconds duration) {
    return std::make_unique<Soak>(*form, kyvdemo::SoakSettings{duration, intervalMs, 200ms},
                                  [this](const QString& line) { lines << line; });
  }

  bool runToEnd(Soak& s) {
    QSignalSpy finished(&s, &Soak::finished);
    s.start();
    return finished.wait(30'000);
  }

  QStringList linesStartingWith(const QString& prefix) const {
    QStringList found;
    for (const QString& l : lines)
      if (l.startsWith(prefix)) found << l;
    return found;
  }

  // The form's own handlers run the soak, so every control must have been built.
  bool everyControlBuilt() const {
    for (const char* name : {"KyvMovingBar1", "KyvMultiBar1", "fourseg1", "Kyvvstat1", "Hstat1", "HeartBeat1"})
      if (!form->findChild<kyvqt::ControlWidget*>(QLatin1String(name))->control()) return false;
    return true;
  }

 private slots:
  void initTestCase() { kyvdemo::setApplicationIdentity(); }
  void init() {
    form = std::make_unique<Form1>();
    lines.clear();
  }
  void cleanup() { form.reset(); }

  // The soak tests skip while a control is not built; with all of them built they run.
  void everyControlIsBuilt() { QVERIFY(everyControlBuilt()); }

  void optionsOfEachMode() {
    const std::optional<Options> none = parse({});
    QVERIFY(none && !none->help && !none->screenshot && !none->soakSeconds);
    const std::optional<Options> shot = parse({"--screenshot", "a.png", "--start-all", "--seconds", "0"});
    QVERIFY(shot && shot->screenshot == QStringLiteral("a.png") && shot->startAll && shot->seconds == 0);
    const std::optional<Options> soak = parse({"--soak", "600", "--interval", "1", "--report", "10"});
    QVERIFY(soak && soak->soakSeconds == 600 && soak->intervalMs == 1 && soak->reportSeconds == 10);
    const std::optional<Options> plain = parse({"--soak", "86400"});
    QVERIFY(plain && plain->soakSeconds == 86400 && !plain->intervalMs && !plain->reportSeconds);
    const std::optional<Options> help = parse({"--soak", "x", "-h"});
    QVERIFY(!help);  // a bad number is reported before help is looked at
    QVERIFY(parse({"--interval", "5", "--help"})->help);
  }

  void badOptionsAreRefused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("problem");
    const QString soakRange = QStringLiteral("--soak takes a whole number from 1 to 86400");
    const QString intervalRange = QStringLiteral("--interval takes a whole number from 1 to 60000");
    QTest::newRow("soak 0") << QStringList{"--soak", "0"} << soakRange;
    QTest::newRow("soak too long") << QStringList{"--soak", "86401"} << soakRange;
    QTest::newRow("soak negative") << QStringList{"--soak", "-5"} << soakRange;
    QTest::newRow("soak with sign") << QStringList{"--soak", "+5"} << soakRange;
    QTest::newRow("soak with exponent") << QStringList{"--soak", "1e3"} << soakRange;
    QTest::newRow("soak huge") << QStringList{"--soak", "99999999999"} << soakRange;
    QTest::newRow("soak without value") << QStringList{"--soak"}
                                        << QStringLiteral("unknown or incomplete option: --soak");
    QTest::newRow("interval 0") << QStringList{"--soak", "5", "--interval", "0"} << intervalRange;
    QTest::newRow("report 0") << QStringList{"--soak", "5", "--report", "0"}
                              << QStringLiteral("--report takes a whole number from 1 to 3600");
    QTest::newRow("interval alone") << QStringList{"--interval", "5"}
                                    << QStringLiteral("--interval and --report go with --soak");
    QTest::newRow("report with screenshot") << QStringList{"--screenshot", "a.png", "--report", "5"}
                                            << QStringLiteral("--interval and --report go with --soak");
    QTest::newRow("two modes") << QStringList{"--soak", "5", "--screenshot", "a.png"}
                               << QStringLiteral("--screenshot and --soak do not go together");
    QTest::newRow("start-all with soak") << QStringList{"--soak", "5", "--start-all"}
                                         << QStringLiteral("--start-all and --seconds go with --screenshot");
    QTest::newRow("unknown") << QStringList{"--soak", "5", "--fast"}
                             << QStringLiteral("unknown or incomplete option: --fast");
  }

  void badOptionsAreRefused() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, problem);
    QString error;
    QVERIFY(!parse(arguments, &error));
    QCOMPARE(error, problem);
  }

  // Memory the process touches shows in the figure at once.
  void residentMemoryFollowsWhatIsTouched() {
    const std::optional<int64_t> before = kyvdemo::residentKiB();
    QVERIFY(before && *before > 0);
    auto block = std::make_unique<char[]>(32 << 20);
    std::memset(block.get(), 1, 32 << 20);
    const std::optional<int64_t> after = kyvdemo::residentKiB();
    QVERIFY(after);
    QVERIFY2(*after - *before >= 30 << 10, qPrintable(QStringLiteral("%1 -> %2 KiB").arg(*before).arg(*after)));
  }

  // Without an interval every feed keeps the one its Start button gave it.
  void withoutAnIntervalEveryFeedKeepsItsOwn() {
    if (!everyControlBuilt()) QSKIP("not every control is built");
    std::unique_ptr<Soak> s = soak(std::nullopt, 60s);
    s->start();
    QList<int> intervals;
    for (QTimer* t : form->feedTimers()) intervals << (t->isActive() ? t->interval() : 0);
    QCOMPARE(intervals, (QList<int>{500, 500, 500, 150, 500, 150}));
    QVERIFY(lines.first().contains(QStringLiteral("every feed at its own interval")));
  }

  void aSoakRunsEveryFeedAndAsksEveryControl() {
    if (!everyControlBuilt()) QSKIP("not every control is built");
    std::unique_ptr<Soak> s = soak(1, 700ms);
    QSignalSpy finished(s.get(), &Soak::finished);
    s->start();
    for (QTimer* t : form->feedTimers()) {
      QVERIFY(t->isActive());
      QCOMPARE(t->interval(), 1);
    }
    QVERIFY(finished.wait(30'000));
    QCOMPARE(finished.first().first().toBool(), true);
    QVERIFY(s->passed());
    for (QTimer* t : form->feedTimers()) QVERIFY(!t->isActive());

    const QList<Soak::Sample>& samples = s->samples();
    QVERIFY(samples.size() >= 2);
    QCOMPARE(samples.first().ticks, int64_t(0));
    QVERIFY(samples.last().elapsedMs >= 700);
    QVERIFY(samples.last().ticks > 6);  // more than one round of six feeds
    for (qsizetype i = 0; i < samples.size(); ++i) {
      QVERIFY(samples[i].rssKiB && *samples[i].rssKiB > 0);
      QVERIFY(samples[i].status.isEmpty());
      if (i > 0) QVERIFY(samples[i].elapsedMs > samples[i - 1].elapsedMs && samples[i].ticks >= samples[i - 1].ticks);
    }

    QCOMPARE(lines.first(), QStringLiteral("soak: 0.7 s, every feed at 1 ms, a report every 0.2 s"));
    const QStringList reports = lines.filter(QRegularExpression(QStringLiteral("^soak +\\d")));
    QCOMPARE(reports.size(), samples.size());
    QVERIFY(reports.first().contains(
        QRegularExpression(QStringLiteral("^soak +0\\.0 s  rss +\\d+ KiB  ticks +0  status: $"))));
    const QStringList answers = {QStringLiteral("KyvMovingBar1 answers: MaxLimit = 100, MoveBar 1 done"),
                                 QStringLiteral("KyvMultiBar1 answers: Columns = 10, Value 1 done"),
                                 QStringLiteral("fourseg1 answers: DisplayColor = 0x00FF0000, send 1234 done"),
                                 QStringLiteral("Kyvvstat1 answers: Maxlimit = 100, incbar 1 done"),
                                 QStringLiteral("Hstat1 answers: Maxlimit = 100, incbar 1 done"),
                                 QStringLiteral("HeartBeat1 answers: HorizCount = 100, Plot 1 done")};
    QCOMPARE(lines.mid(lines.size() - 7, 6), answers);
    QCOMPARE(lines.last(), QStringLiteral("soak passed: no error in the status line, every control answers"));
  }

  // A Start that fails leaves its error in the status line: the soak fails and says so.
  void anErrorInTheStatusLineFailsTheSoak() {
    if (!everyControlBuilt()) QSKIP("not every control is built");
    form->findChild<QLineEdit*>(QStringLiteral("Text4(0)"))->setText(QStringLiteral("40000"));
    std::unique_ptr<Soak> s = soak(1, 300ms);
    QVERIFY(runToEnd(*s));
    QVERIFY(!s->passed());
    QVERIFY(s->samples().first().status.startsWith(QStringLiteral("Command2(7): overflow: ")));
    QCOMPARE(linesStartingWith(QStringLiteral("HeartBeat1 answers:")).size(), 1);
    QVERIFY(lines.last().startsWith(QStringLiteral("soak failed: the status line shows Command2(7): overflow: ")));
    QVERIFY(!lines.last().contains(QStringLiteral("does not answer")));
  }

  // An error that no longer stands at the end still fails the soak: the bar graph divides
  // by zero until its maximum is set right while the soak runs.
  void anErrorThatClearedStillFailsTheSoak() {
    if (!everyControlBuilt()) QSKIP("not every control is built");
    form->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("abc"));
    auto* graph = form->findChild<kyvqt::ControlWidget*>(QStringLiteral("KyvMovingBar1"));
    std::unique_ptr<Soak> s = soak(1, 600ms);
    QTimer::singleShot(200, graph, [graph] { graph->put("MaxLimit", int32_t(100)); });
    QVERIFY(runToEnd(*s));
    QVERIFY(!s->passed());
    QCOMPARE(form->statusText(), QString());
    QVERIFY(lines.last().startsWith(QStringLiteral("soak failed: ")));
    QVERIFY2(lines.last().contains(QRegularExpression(QStringLiteral("\\d+ errors were reported while it ran$"))),
             qPrintable(lines.last()));
  }

  // A control that cannot be created answers nothing; the others still do.
  void aControlThatDoesNotAnswerFailsTheSoak() {
    kyv::FormDocument doc = Form1::storedDocument();
    for (kyv::FormControl& c : doc.controls)
      if (c.name == "fourseg1") c.className = "KyvNowhere.Digits";
    form = std::make_unique<Form1>(Form1::Services{nullptr, nullptr, doc});
    form->statusBar()->clearMessage();
    std::unique_ptr<Soak> s = soak(1, 300ms);
    QVERIFY(runToEnd(*s));
    QVERIFY(!s->passed());
    const QStringList failed =
        linesStartingWith(QStringLiteral("fourseg1 does not answer: DisplayColor: cannot-create-object: "));
    QCOMPARE(failed.size(), 1);
    QVERIFY(failed.first().contains(QStringLiteral("KyvNowhere.Digits")));
    QCOMPARE(lines.filter(QStringLiteral(" answers: ")).size(), 5);
    QVERIFY(lines.last().startsWith(QStringLiteral("soak failed: ")));
    QVERIFY(lines.last().endsWith(QStringLiteral("a control does not answer")));
  }
};

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
