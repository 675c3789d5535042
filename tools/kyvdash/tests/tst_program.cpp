// The kyvdash program as a user runs it: its command line, the layout errors it prints,
// the examples, a headless snapshot of the system monitor, and a clean end on SIGTERM.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "Options.h"

using namespace kyvdash;

namespace {

constexpr int kWait = 60'000;

struct Run {
  int status = -1;
  QString out, err;
};

// The environment the program runs in: this one, with a runtime directory of its own so
// that Qt has nothing to say about it on standard error.
QProcessEnvironment environment() {
  static QTemporaryDir runtime;
  QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
  return env;
}

Run runKyvdash(const QStringList& arguments, const QString& workDir = {}, const QProcessEnvironment& env = environment()) {
  QProcess p;
  if (!workDir.isEmpty()) p.setWorkingDirectory(workDir);
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(KYVDASH_PROGRAM), arguments);
  Run r;
  if (!p.waitForFinished(kWait)) return r;
  r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
  r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  r.err = QString::fromLocal8Bit(p.readAllStandardError());
  return r;
}

QString example(const char* name) { return QStringLiteral(KYVDASH_EXAMPLES "/") + QLatin1String(name); }

Parsed parse(const QStringList& args, Options& o, QString* message = nullptr) {
  QString ignored;
  return parseOptions(QStringList({"kyvdash"}) + args, o, message ? message : &ignored);
}

}  // namespace

class TestProgram : public QObject {
  Q_OBJECT

  QTemporaryDir dir;

 private slots:
  void options() {
    Options o;
    QCOMPARE(parse({"--snapshot", "a.svg", "--every", "0.5", "--after", "0", "x.json"}, o), Parsed::Run);
    QCOMPARE(o.layout, QStringLiteral("x.json"));
    QCOMPARE(*o.snapshot, QStringLiteral("a.svg"));
    QCOMPARE(*o.every, 0.5);
    QCOMPARE(o.after, 0.0);
    Options k;
    QCOMPARE(parse({"--kiosk", "--dark", "--registry", "r.json", "x.json"}, k), Parsed::Run);
    QVERIFY(k.kiosk && k.dark && !k.fullscreen && *k.registry == QLatin1String("r.json") && !k.snapshot);
    QCOMPARE(k.after, 2.0);
  }

  void wrongCommandLines_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("problem");
    QTest::newRow("no layout") << QStringList() << "give one layout file";
    QTest::newRow("two layouts") << QStringList({"a.json", "b.json"}) << "give one layout file";
    QTest::newRow("unknown option") << QStringList({"--fast", "a.json"}) << "Unknown option 'fast'.";
    QTest::newRow("every alone") << QStringList({"--every", "5", "a.json"}) << "--every and --after go with --snapshot";
    QTest::newRow("every too short") << QStringList({"--snapshot", "a.png", "--every", "0.01", "a.json"})
                                     << "--every takes seconds from 0.1 to 86400";
    QTest::newRow("after negative") << QStringList({"--snapshot", "a.png", "--after", "-1", "a.json"})
                                    << "--after takes seconds from 0 to 86400";
    QTest::newRow("snapshot in kiosk") << QStringList({"--snapshot", "a.png", "--kiosk", "a.json"})
                                       << "--snapshot runs headless: no --fullscreen or --kiosk";
    QTest::newRow("check with more") << QStringList({"--check", "--fullscreen", "a.json"}) << "--check goes alone";
  }
  void wrongCommandLines() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, problem);
    Options o;
    QString message;
    QCOMPARE(parse(arguments, o, &message), Parsed::Error);
    QCOMPARE(message.section(u'\n', 0, 0), problem);
    const Run r = runKyvdash(arguments);
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.startsWith(QStringLiteral("kyvdash: ") + problem + u'\n'), qPrintable(r.err));
    QVERIFY(r.err.contains(QLatin1String("usage: kyvdash [options] LAYOUT")));
  }

  void helpAndVersion() {
    const Run help = runKyvdash({"--help"});
    QCOMPARE(help.status, 0);
    for (const char* text : {"Usage: ", "--snapshot <file>", "--every <seconds>", "--after <seconds>", "--fullscreen",
                             "--kiosk", "--dark", "--check", "--registry <file>", "layout"})
      QVERIFY2(help.out.contains(QLatin1String(text)), text);
    const Run version = runKyvdash({"--version"});
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, QStringLiteral("kyvdash %1\n").arg(QStringLiteral(KYVDASH_VERSION)));
  }

  // Every error is printed with the file's name, and nothing starts.
  void layoutErrors() {
    const QString layout = dir.filePath(QStringLiteral("bad.json"));
    QFile f(layout);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"controls": [{"name": "cpu", "class": "KyvVStatus.Kyvvstat", "rect": [0, 0, 405]},
                             {"name": "mem", "class": "KyvVStatus.Kyvvstat", "rect": [0, 0, 405, 4260], "feed": {"source": "sys"}}]})");
    f.close();
    const Run r = runKyvdash({"--snapshot", dir.filePath(QStringLiteral("bad.png")), layout});
    QCOMPARE(r.status, 1);
    QCOMPARE(r.err, QStringLiteral("kyvdash: %1: control \"cpu\": rect: must be [left, top, width, height] in twips\n"
                                   "kyvdash: %1: control \"mem\": feed.source: no source is named \"sys\" (sources: none)\n"
                                   "kyvdash: %1: control \"mem\": feed.field: missing\n")
                        .arg(layout));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("bad.png"))));
    const Run missing = runKyvdash({"--check", dir.filePath(QStringLiteral("none.json"))});
    QCOMPARE(missing.status, 1);
    QVERIFY2(missing.err.startsWith(QStringLiteral("kyvdash: %1: cannot read %1: ").arg(dir.filePath(QStringLiteral("none.json")))),
             qPrintable(missing.err));
  }

  void examplesAreValid() {
    const QStringList examples = QDir(QStringLiteral(KYVDASH_EXAMPLES)).entryList({QStringLiteral("*.json")});
    QVERIFY(examples.contains(QStringLiteral("system.json")));
    QVERIFY(examples.contains(QStringLiteral("prometheus.json")));
    for (const QString& name : examples) {
      const Run r = runKyvdash({"--check", example(name.toLatin1().constData())});
      QVERIFY2(r.status == 0, qPrintable(name + u' ' + r.err));
      QCOMPARE(r.out, QStringLiteral("kyvdash: %1: no errors\n").arg(example(name.toLatin1().constData())));
    }
  }

  // The system monitor runs with no setup at all and gives its snapshot.
  void systemMonitorSnapshot() {
    const QString png = dir.filePath(QStringLiteral("system.png"));
    const Run r = runKyvdash({"--snapshot", png, "--after", "1.5", example("system.json")});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out.count(QLatin1String("snapshot written to ") + png), 1);
    QImage image(png);
    QVERIFY(!image.isNull());
    QVERIFY2(image.width() > 600 && image.height() > 300, qPrintable(QStringLiteral("%1x%2").arg(image.width()).arg(image.height())));
  }

  // Started without a display it writes one snapshot to kyvdash.png and says so.
  void withoutDisplay() {
    QProcessEnvironment env = environment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QLatin1String(v));
    QTemporaryDir here;
    const Run r = runKyvdash({example("system.json")}, here.path(), env);
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.startsWith(QLatin1String("kyvdash: no display; writing one snapshot to kyvdash.png")), qPrintable(r.out));
    QVERIFY(!QImage(here.filePath(QStringLiteral("kyvdash.png"))).isNull());
  }

  // Rewriting every 0.1 s until SIGTERM, which ends it cleanly with nothing left behind.
  void everyUntilTerminated() {
    QTemporaryDir out;
    const QString svg = out.filePath(QStringLiteral("wall.svg"));
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral(KYVDASH_PROGRAM), {"--snapshot", svg, "--every", "0.1", "--after", "0", example("system.json")});
    QVERIFY(p.waitForStarted(kWait));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(svg), kWait);
    QTest::qWait(300);
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(kWait));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()), QStringLiteral("kyvdash: writing %1 every 0.1 s\n").arg(svg));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"wall.svg"}));
  }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
