// The kyvdash program as a user runs it: its command line, the layout errors it prints,
// the examples, a headless snapshot of the system monitor, and a clean end on SIGTERM.
#include <fcntl.h>
#include <unistd.h>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <csignal>

#include "Options.h"
#include "required_tool.h"

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

Run runKyvdash(const QStringList& arguments, const QString& workDir = {},
               const QProcessEnvironment& env = environment()) {
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

void writeFile(const QString& path, const QByteArray& text) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(f.write(text), text.size());
}

// JSON written with ' for " so that it reads without escapes.
QByteArray j(QByteArray text) { return text.replace('\'', '"'); }

QString example(const char* name) { return QStringLiteral(KYVDASH_EXAMPLES "/") + QLatin1String(name); }

// An X window dump as Xvfb keeps its screen (-fbdir): a header of big-endian 32-bit
// fields, a colour map, then the pixels, 32 bits each in the byte order the header names.
QImage xwdImage(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray d = f.readAll();
  if (d.size() < 100) return {};
  const auto field = [&](int i) { return qFromBigEndian<quint32>(d.constData() + 4 * i); };
  const quint32 headerSize = field(0), width = field(4), height = field(5), bitsPerPixel = field(11),
                bytesPerLine = field(12), colours = field(19);
  const qint64 pixels = qint64(headerSize) + qint64(colours) * 12;
  if (bitsPerPixel != 32 || field(7) != 0 || pixels + qint64(bytesPerLine) * height > d.size()) return {};
  return QImage(reinterpret_cast<const uchar*>(d.constData() + pixels), int(width), int(height), int(bytesPerLine),
                QImage::Format_RGB32)
      .copy();
}

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
    QTest::newRow("snapshot of another kind")
        << QStringList({"--snapshot", "a.jpg", "a.json"}) << "--snapshot takes a .png or .svg file";
    QTest::newRow("every alone") << QStringList({"--every", "5", "a.json"}) << "--every and --after go with --snapshot";
    QTest::newRow("every too short") << QStringList({"--snapshot", "a.png", "--every", "0.01", "a.json"})
                                     << "--every takes seconds from 0.1 to 86400";
    QTest::newRow("after negative") << QStringList({"--snapshot", "a.png", "--after", "-1", "a.json"})
                                    << "--after takes seconds from 0 to 86400";
    QTest::newRow("snapshot in kiosk") << QStringList({"--snapshot", "a.png", "--kiosk", "a.json"})
                                       << "--snapshot runs headless: no --fullscreen or --kiosk";
    QTest::newRow("check with more") << QStringList({"--check", "--fullscreen", "a.json"}) << "--check goes alone";
    QTest::newRow("scale too large") << QStringList({"--scale", "9", "a.json"})
                                     << "--scale takes a factor from 0.25 to 8";
    QTest::newRow("size without snapshot")
        << QStringList({"--size", "800x480", "a.json"}) << "--size goes with --snapshot";
    QTest::newRow("size not WxH") << QStringList({"--snapshot", "a.png", "--size", "800", "a.json"})
                                  << "--size takes WIDTHxHEIGHT in pixels, each from 16 to 16384";
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
    QVERIFY2(help.out.startsWith(QLatin1String("Usage: kyvdash [options] layout\n")), qPrintable(help.out));
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
    QCOMPARE(r.err,
             QStringLiteral("kyvdash: %1: control \"cpu\": rect: must be [left, top, width, height] in twips\n"
                            "kyvdash: %1: control \"mem\": feed.source: no source is named \"sys\" (sources: none)\n"
                            "kyvdash: %1: control \"mem\": feed.field: missing\n")
                 .arg(layout));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("bad.png"))));
    const Run missing = runKyvdash({"--check", dir.filePath(QStringLiteral("none.json"))});
    QCOMPARE(missing.status, 1);
    QVERIFY2(missing.err.startsWith(
                 QStringLiteral("kyvdash: %1: cannot read %1: ").arg(dir.filePath(QStringLiteral("none.json")))),
             qPrintable(missing.err));
  }

  // The examples have no errors and no warnings but what the servers they query give now
  // (or that they could not be asked, where none runs).
  void examplesAreValid() {
    const QStringList examples = QDir(QStringLiteral(KYVDASH_EXAMPLES)).entryList({QStringLiteral("*.json")});
    QVERIFY(examples.contains(QStringLiteral("system.json")));
    QVERIFY(examples.contains(QStringLiteral("prometheus.json")));
    for (const QString& name : examples) {
      const QString path = example(name.toLatin1().constData());
      const Run r = runKyvdash({"--check", path});
      QVERIFY2(r.status == 0, qPrintable(name + u' ' + r.err));
      QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
      QVERIFY2(!lines.isEmpty() && lines.takeLast().startsWith(QStringLiteral("kyvdash: %1: no errors").arg(path)),
               qPrintable(r.out));
      for (const QString& line : lines)
        QVERIFY2(line.contains(QLatin1String("could not be asked what its fields give")) ||
                     line.contains(QLatin1String(" series")),
                 qPrintable(line));
    }
  }

  // --check warns of what would show wrong: a feed beyond its control, a label wider than
  // its rectangle, a control whose own captions are cut. Warnings are no errors.
  void checkWarnings() {
    QTemporaryDir out;
    const QString layout = out.filePath(QStringLiteral("tight.json"));
    writeFile(layout,
              j("{'sources': {'m': {'type': 'proc'}},"
                " 'labels': [{'text': 'A label far too long for its place', 'rect': [0, 0, 900, 300]}],"
                " 'controls': [{'name': 'net', 'class': 'Kyv6Digit.sixseg', 'rect': [0, 300, 3000, 600],"
                "   'feed': {'source': 'm', 'field': 'net.rx'}},"
                "  {'name': 'cpu', 'class': 'Kyv4Digit.fourseg', 'rect': [3000, 300, 2400, 600],"
                "   'feed': {'source': 'm', 'field': 'cpu', 'scale': 100}},"
                "  {'name': 'graph', 'class': 'KyvMovingBars.KyvMovingBar', 'rect': [0, 1200, 4950, 2250],"
                "   'properties': [['MaxLimit', 400]], 'feed': {'source': 'm', 'field': 'load1', 'scale': 100}},"
                "  {'name': 'tiny', 'class': 'Kyv4Digit.fourseg', 'rect': [5400, 300, 1800, 405]}]}"));
    const Run r = runKyvdash({"--check", layout});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines[0],
             QStringLiteral(
                 "kyvdash: %1: warning: control \"net\": feed.scale: m.net.rx reaches 125000000 (bytes a second on a "
                 "1 Gbit/s link), shown as 125000000; Kyv6Digit.sixseg shows 0 to 999999")
                 .arg(layout));
    QCOMPARE(lines[1],
             QStringLiteral("kyvdash: %1: warning: control \"cpu\": feed.scale: m.cpu reaches 100 (%), shown as 10000; "
                            "Kyv4Digit.fourseg shows 0 to 9999")
                 .arg(layout));
    QVERIFY2(lines[2].startsWith(
                 QStringLiteral("kyvdash: %1: warning: control \"graph\": rect: captions that reach beyond their box "
                                "are cut: \"360\", ")
                     .arg(layout)),
             qPrintable(lines[2]));
    // Digits 27 pixels high run together.
    QCOMPARE(lines[3], QStringLiteral("kyvdash: %1: warning: control \"tiny\": rect: 1800 x 405 twips is smaller than "
                                      "Kyv4Digit.fourseg draws legibly (1260 x 480 at least)")
                           .arg(layout));
    QVERIFY2(lines[4].startsWith(
                 QStringLiteral("kyvdash: %1: warning: labels[0]: rect: \"A label far too long for its place\" needs ")
                     .arg(layout)),
             qPrintable(lines[4]));
    QCOMPARE(lines[5], QStringLiteral("kyvdash: %1: no errors, 5 warnings").arg(layout));
  }

  // The system monitor runs with no setup at all and gives its snapshot.
  void systemMonitorSnapshot() {
    const QString png = dir.filePath(QStringLiteral("system.png"));
    const Run r = runKyvdash({"--snapshot", png, "--after", "1.5", example("system.json")});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out.count(QLatin1String("snapshot written to ") + png), 1);
    QImage image(png);
    QVERIFY(!image.isNull());
    QVERIFY2(image.width() > 600 && image.height() > 300,
             qPrintable(QStringLiteral("%1x%2").arg(image.width()).arg(image.height())));
  }

  // A single snapshot of a screen whose every source failed is not a success.
  void snapshotWithEverySourceFailing() {
    QTemporaryDir out;
    const QString layout = out.filePath(QStringLiteral("dead.json")), png = out.filePath(QStringLiteral("dead.png"));
    writeFile(layout, j("{'sources': {'c': {'type': 'command', 'command': '/nonexistent/feed'},"
                        "  'p': {'type': 'prometheus', 'url': 'http://127.0.0.1:1/metrics'}},"
                        " 'controls': [{'name': 'a', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, 405, 4260], "
                        "'feed': {'source': 'c', 'field': 'x'}},"
                        "  {'name': 'b', 'class': 'KyvVStatus.Kyvvstat', 'rect': [600, 0, 405, 4260], 'feed': "
                        "{'source': 'p', 'field': 'up'}}]}"));
    const Run r = runKyvdash({"--snapshot", png, "--after", "1", layout});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QLatin1String("kyvdash: every source failed; the snapshot shows no readings\n")),
             qPrintable(r.err));
    QVERIFY(!QImage(png).isNull());
  }

  // Commands inherit no descriptor of kyvdash's own (its sockets, event and watch handles).
  void commandsInheritNoDescriptors() {
    QTemporaryDir out;
    const QString layout = out.filePath(QStringLiteral("fds.json")), fds = out.filePath(QStringLiteral("fds"));
    writeFile(
        layout,
        j("{'sources': {'c': {'type': 'command', 'command': ['sh', '-c', 'ls -l /proc/$$/fd > ") + fds.toUtf8() +
            j("; echo x 1']}}, 'controls': [{'name': 'a', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, 405, 4260],"
              " 'feed': {'source': 'c', 'field': 'x'}}]}"));
    const Run r = runKyvdash({"--snapshot", out.filePath(QStringLiteral("fds.png")), "--after", "0.5", layout});
    QCOMPARE(r.status, 0);
    QFile f(fds);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString open = QString::fromLatin1(f.readAll());
    QVERIFY2(open.contains(QLatin1String(" 0 -> ")) && !open.contains(QLatin1String("socket:")) &&
                 !open.contains(QLatin1String("anon_inode:")),
             qPrintable(open));
  }

  // A snapshot of any size: the layout drawn larger to fit it, centred on its background.
  void snapshotOfAnySize() {
    QTemporaryDir out;
    const QString png = out.filePath(QStringLiteral("wall.png"));
    const Run r =
        runKyvdash({"--snapshot", png, "--size", "1920x1080", "--after", "0.5", example("wall-1920x1080.json")});
    QCOMPARE(r.status, 0);
    const QImage wall(png);
    QCOMPARE(wall.size(), QSize(1920, 1080));
    QCOMPARE(wall.pixelColor(0, 0), QColor(0x15, 0x19, 0x1d));
    QCOMPARE(wall.pixelColor(1919, 1079), QColor(0x15, 0x19, 0x1d));
    // The trace at 2.4 times its 300 x 150 pixels: its black face alone spans 360 rows.
    int black = 0;
    for (int y = 0; y < 1080; ++y) black += wall.pixelColor(600, y) == QColor(Qt::black);
    QVERIFY2(black > 300, qPrintable(QString::number(black)));
    const Run small =
        runKyvdash({"--snapshot", png, "--size", "400x240", "--after", "0.5", example("panel-800x480.json")});
    QCOMPARE(small.status, 0);
    QCOMPARE(QImage(png).size(), QSize(400, 240));
  }

  // On a bare X server without a window manager, --kiosk covers the whole screen, and a
  // layout of another aspect than the screen's has its bands in the layout's background.
  void kioskWithoutWindowManager() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run")),
                  xwininfo = QStandardPaths::findExecutable(QStringLiteral("xwininfo"));
    if (xvfb.isEmpty() || xwininfo.isEmpty())
      KYV_MISSING_TOOL("xvfb-run or xwininfo is not installed (scripts/install-deps.sh installs xvfb)");
    QTemporaryDir screen;
    QProcess p;
    QProcessEnvironment env = environment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    // Xvfb keeps its screen in a file of the X window dump format in -fbdir.
    p.start(xvfb, {"-a", "-s", "-screen 0 1920x1080x24 -fbdir " + screen.path(), "sh", "-c",
                   QStringLiteral("\"$0\" --kiosk \"$1\" & sleep 4; xwininfo -root -tree; cp \"$2\"/Xvfb_screen0 "
                                  "\"$2\"/shown; kill $!; wait $!"),
                   QStringLiteral(KYVDASH_PROGRAM), example("panel-800x480.json"), screen.path()});
    QVERIFY(p.waitForFinished(kWait));
    const QString tree = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QRegularExpression window(
        QStringLiteral("\"This machine, on an 800x480 panel - kyvdash\".*\\s(\\d+)x(\\d+)\\+0\\+0"));
    const QRegularExpressionMatch m = window.match(tree);
    QVERIFY2(m.hasMatch(), qPrintable(tree + QString::fromLocal8Bit(p.readAllStandardError())));
    QVERIFY2(m.captured(1).toInt() >= 1920 && m.captured(2).toInt() >= 1080, qPrintable(m.captured(0)));
    const QImage shown = xwdImage(screen.filePath(QStringLiteral("shown")));
    QCOMPARE(shown.size(), QSize(1920, 1080));
    // The panel, 5:3, is 1800 pixels wide at the screen's height: a band of 60 each side.
    for (const QPoint at : {QPoint(5, 540), QPoint(55, 10), QPoint(1914, 540), QPoint(1870, 1075)})
      QCOMPARE(QColor(shown.pixel(at)).name(), QStringLiteral("#15191d"));
  }

  // Started without a display it writes one snapshot to kyvdash.png and says so.
  void withoutDisplay() {
    QProcessEnvironment env = environment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QLatin1String(v));
    QTemporaryDir here;
    const Run r = runKyvdash({example("system.json")}, here.path(), env);
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.startsWith(QLatin1String("kyvdash: no display; writing one snapshot to kyvdash.png")),
             qPrintable(r.out));
    QVERIFY(!QImage(here.filePath(QStringLiteral("kyvdash.png"))).isNull());
  }

  // Serving with a window asked for fails without a display, saying why, and serves
  // nothing; serving alone needs none (the web tests run so).
  void serveWithWindowWithoutDisplay() {
    QProcessEnvironment env = environment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QLatin1String(v));
    QTemporaryDir here;
    for (const char* window : {"--window", "--kiosk", "--fullscreen"}) {
      const Run r =
          runKyvdash({QStringLiteral("--serve"), QStringLiteral("0"), QLatin1String(window), example("system.json")},
                     here.path(), env);
      QCOMPARE(r.status, 1);
      QVERIFY2(r.err.contains(QLatin1String("no display to show the window on")), qPrintable(r.err));
      QVERIFY(!QFile::exists(here.filePath(QStringLiteral("kyvdash.png"))));
    }
  }

  // Standard output that nobody reads (a stalled logger) does not hold up the screen: lines
  // are dropped and counted, and said when it is read again; SIGTERM still ends it.
  void stalledOutput() {
    QTemporaryDir out;
    const QString layout = out.filePath(QStringLiteral("loud.json")), png = out.filePath(QStringLiteral("loud.png"));
    writeFile(layout, j("{'sources': {'c': {'type': 'command', 'command': ['sh', '-c', "
                        "'i=0; while [ $i -lt 20000 ]; do echo x 90; i=$((i+1)); done; exec sleep 60']}},"
                        " 'controls': [{'name': 'bar', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, 405, 4260],"
                        "  'properties': [['MaxThreshold', 50]], 'feed': {'source': 'c', 'field': 'x'},"
                        "  'on': {'MaxThreshReached': {'print': '{control} above its threshold at {value}: a line of "
                        "output', 'holdoff': 0}}}]}"));
    int pipeFds[2];
    QVERIFY(::pipe(pipeFds) == 0);
    QProcess p;
    p.setProcessEnvironment(environment());
    p.setChildProcessModifier([w = pipeFds[1]] { ::dup2(w, STDOUT_FILENO); });
    p.start(QStringLiteral(KYVDASH_PROGRAM), {"--snapshot", png, "--every", "0.1", "--after", "0", layout});
    QVERIFY(p.waitForStarted(kWait));
    ::close(pipeFds[1]);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(png), kWait);
    QTest::qWait(3000);  // the pipe has long been full
    // Rewrites come every 0.1 s; a writer blocked on its output never writes again, so waiting
    // up to 10 s for the next one keeps the test meaningful on a loaded, sanitized build.
    const QDateTime before = QFileInfo(png).lastModified();
    QTRY_VERIFY2_WITH_TIMEOUT(QFileInfo(png).lastModified() > before,
                              "no snapshot written while standard output was stalled", 10'000);
    ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    QByteArray heard;
    QElapsedTimer reading;
    reading.start();
    while (!heard.contains("lines of output dropped") && reading.elapsed() < 10'000) {
      char buffer[65536];
      const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
      if (n > 0)
        heard.append(buffer, n);
      else
        QTest::qWait(10);
    }
    QVERIFY2(heard.contains("bar above its threshold at 90: a line of output\n"), heard.left(200).constData());
    QVERIFY2(heard.contains("lines of output dropped while nothing read them"), heard.right(200).constData());
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(kWait));
    ::close(pipeFds[0]);
    QCOMPARE(p.exitCode(), 0);
  }

  // Rewriting every 0.1 s until SIGTERM, which ends it cleanly with nothing left behind.
  void everyUntilTerminated() {
    QTemporaryDir out;
    const QString svg = out.filePath(QStringLiteral("wall.svg"));
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral(KYVDASH_PROGRAM),
            {"--snapshot", svg, "--every", "0.1", "--after", "0", example("system.json")});
    QVERIFY(p.waitForStarted(kWait));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(svg), kWait);
    QTest::qWait(300);
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(kWait));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()),
             QStringLiteral("kyvdash: writing %1 every 0.1 s\n").arg(svg));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"wall.svg"}));
  }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
