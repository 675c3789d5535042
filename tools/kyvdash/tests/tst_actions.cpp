// Events to actions: printing, logging and running commands, each held off for its time,
// and every failure reported. Time is the test's own clock.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "Actions.h"

using namespace kyvdash;

namespace {

constexpr int kWait = 20'000;

LayoutAction print(const char* text, double holdoff) {
  LayoutAction a;
  a.kind = LayoutAction::Kind::Print;
  a.text = QString::fromUtf8(text);
  a.holdoff = holdoff;
  return a;
}

LayoutAction log(const QString& path, double holdoff = 0) {
  LayoutAction a;
  a.kind = LayoutAction::Kind::Log;
  a.path = path;
  a.text = QStringLiteral("{control} {event} {value}");
  a.holdoff = holdoff;
  return a;
}

LayoutAction run(QStringList command, double timeout = 10, double holdoff = 0) {
  LayoutAction a;
  a.kind = LayoutAction::Kind::Run;
  a.command = std::move(command);
  a.timeout = timeout;
  a.holdoff = holdoff;
  return a;
}

LayoutEvent on(const char* event, std::vector<LayoutAction> actions) {
  return {QString::fromUtf8(event), std::move(actions)};
}

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestActions : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  qint64 now = 0;
  QStringList printed, problems;
  std::unique_ptr<Actions> actions;

 private slots:
  void init() {
    now = 0;
    printed.clear();
    problems.clear();
    actions = std::make_unique<Actions>([this] { return now; });
    actions->setPrinter([this](const QString& line) { printed << line; });
    connect(actions.get(), &Actions::problem, this, [this](const QString& m) { problems << m; });
  }
  void cleanup() { actions.reset(); }

  void placeholders() {
    const QString line = expandAction(QStringLiteral("{time}: {control} raised {event} at {value} ({value})"),
                                      QStringLiteral("cpu"), QStringLiteral("MaxThreshReached"), QStringLiteral("97"));
    QVERIFY2(line.endsWith(QLatin1String(": cpu raised MaxThreshReached at 97 (97)")), qPrintable(line));
    QVERIFY(QDateTime::fromString(line.section(u' ', 0, 0).chopped(1), Qt::ISODate).isValid());
  }

  // Repeated events within the hold-off act once; each action has its own.
  void holdoff() {
    actions->add(QStringLiteral("cpu"), on("MaxThreshReached", {print("high {value}", 60), print("again {value}", 0)}));
    actions->fire(QStringLiteral("cpu"), QStringLiteral("MaxThreshReached"), QStringLiteral("90"));
    now = 59'999;
    actions->fire(QStringLiteral("cpu"), QStringLiteral("MaxThreshReached"), QStringLiteral("91"));
    QCOMPARE(printed, QStringList({"high 90", "again 90", "again 91"}));
    now = 60'000;
    actions->fire(QStringLiteral("cpu"), QStringLiteral("maxthreshreached"), QStringLiteral("92"));  // any case
    QCOMPARE(printed, QStringList({"high 90", "again 90", "again 91", "high 92", "again 92"}));
    actions->fire(QStringLiteral("cpu"), QStringLiteral("NormalOPs"), QStringLiteral("10"));
    actions->fire(QStringLiteral("mem"), QStringLiteral("MaxThreshReached"), QStringLiteral("99"));
    QCOMPARE(printed.size(), 5);
  }

  // The hold-off runs from the last time the action acted, whenever the clock started.
  void holdoffRunsFromTheLastAction() {
    now = 5'000'000;
    actions->add(QStringLiteral("cpu"), on("MaxThreshReached", {print("high {value}", 10)}));
    const auto fireAt = [&](qint64 at, const char* value) {
      now = at;
      actions->fire(QStringLiteral("cpu"), QStringLiteral("MaxThreshReached"), QString::fromLatin1(value));
    };
    fireAt(5'000'000, "1");
    fireAt(5'009'999, "2");  // held off
    fireAt(5'010'000, "3");
    fireAt(5'015'000, "4");  // held off: 5 s after the last action
    fireAt(5'019'999, "5");  // held off
    fireAt(5'020'000, "6");
    QCOMPARE(printed, QStringList({"high 1", "high 3", "high 6"}));
  }

  void logAppends() {
    const QString path = dir.filePath(QStringLiteral("events.log"));
    actions->add(QStringLiteral("disk"), on("MaxLimitReached", {log(path)}));
    actions->fire(QStringLiteral("disk"), QStringLiteral("MaxLimitReached"), QStringLiteral("100"));
    actions->fire(QStringLiteral("disk"), QStringLiteral("MaxLimitReached"), QStringLiteral("120"));
    QCOMPARE(contents(path), QByteArray("disk MaxLimitReached 100\ndisk MaxLimitReached 120\n"));
    QCOMPARE(problems, QStringList());
  }

  void logFails() {
    actions->add(QStringLiteral("disk"), on("MaxLimitReached", {log(dir.path())}));  // a directory
    actions->fire(QStringLiteral("disk"), QStringLiteral("MaxLimitReached"), QStringLiteral("1"));
    QCOMPARE(problems.size(), 1);
    QVERIFY2(
        problems[0].startsWith(QStringLiteral("action on disk MaxLimitReached: cannot append to %1: ").arg(dir.path())),
        qPrintable(problems[0]));
  }

  // The command's words take the placeholders; it runs without blocking the loop.
  void runCommand() {
    const QString out = dir.filePath(QStringLiteral("ran"));
    actions->add(QStringLiteral("cpu"),
                 on("MaxThreshReached", {run({"sh", "-c", "echo \"$0 $1\" > " + out, "{control}", "{value}"})}));
    QSignalSpy ended(actions.get(), &Actions::commandEnded);
    actions->fire(QStringLiteral("cpu"), QStringLiteral("MaxThreshReached"), QStringLiteral("97"));
    QVERIFY(ended.wait(kWait));
    QCOMPARE(contents(out), QByteArray("cpu 97\n"));
    QCOMPARE(problems, QStringList());
  }

  void runFailures() {
    actions->add(QStringLiteral("a"), on("E", {run({"sh", "-c", "exit 3"})}));
    actions->add(QStringLiteral("b"), on("E", {run({"/nonexistent/alert"})}));
    actions->add(QStringLiteral("c"), on("E", {run({"sleep", "30"}, 0.2)}));
    QSignalSpy ended(actions.get(), &Actions::commandEnded);
    for (const char* control : {"a", "b", "c"})
      actions->fire(QString::fromLatin1(control), QStringLiteral("E"), QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 3, kWait);
    problems.sort();
    QCOMPARE(problems.size(), 3);
    QCOMPARE(problems[0], QStringLiteral("action on a E: sh ended with status 3"));
    QVERIFY2(problems[1].startsWith(QLatin1String("action on b E: /nonexistent/alert cannot be started: ")),
             qPrintable(problems[1]));
    QCOMPARE(problems[2], QStringLiteral("action on c E: sleep timed out after 0.2 s and was ended"));
  }

  // A command ended at its timeout is ended with what it started.
  void runTimeoutEndsItsChildren() {
    const QString pidFile = dir.filePath(QStringLiteral("child.pid"));
    actions->add(QStringLiteral("a"), on("E", {run({"sh", "-c", "sleep 300 & echo $! > " + pidFile + "; wait"}, 0.5)}));
    QSignalSpy ended(actions.get(), &Actions::commandEnded);
    actions->fire(QStringLiteral("a"), QStringLiteral("E"), QStringLiteral("1"));
    QTRY_VERIFY_WITH_TIMEOUT(!contents(pidFile).isEmpty(), kWait);
    const qint64 child = contents(pidFile).trimmed().toLongLong();
    QVERIFY(ended.wait(kWait));
    QCOMPARE(problems, QStringList({"action on a E: sh timed out after 0.5 s and was ended"}));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(QStringLiteral("/proc/%1/cmdline").arg(child)) ||
                                 contents(QStringLiteral("/proc/%1/cmdline").arg(child)).isEmpty(),
                             5000);
  }

  // An event that comes again while its command still runs does not start a second one.
  void runStillRunning() {
    actions->add(QStringLiteral("a"), on("E", {run({"sleep", "30"}, 0.5)}));
    QSignalSpy ended(actions.get(), &Actions::commandEnded);
    actions->fire(QStringLiteral("a"), QStringLiteral("E"), QStringLiteral("1"));
    actions->fire(QStringLiteral("a"), QStringLiteral("E"), QStringLiteral("2"));
    QCOMPARE(problems, QStringList({"action on a E: sleep is still running; not started again"}));
    QVERIFY(ended.wait(kWait));
    QCOMPARE(ended.size(), 1);
  }
};

QTEST_GUILESS_MAIN(TestActions)
#include "tst_actions.moc"
