// kyvdash's live page in a real browser: Debian's chromium, headless, driven through its
// DevTools protocol, against kyvdash serving a layout fed from standard input. The page
// shows every control, pixel for pixel as the PNG snapshot; a value fed shows within a
// second; stale marks come and go; the page recovers when kyvdash is restarted, and marks
// its whole picture stale within two seconds of kyvdash being killed or stopped. Skipped,
// saying why, only where chromium cannot start.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <memory>

#include "HeadlessChromium.h"
#include "ServedKyvdash.h"
#include "required_tool.h"

namespace {

QString dataFile(const char* name) { return QStringLiteral(KYVDASH_TESTDATA "/") + QLatin1String(name); }

QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

// Pixels of `a` and `b` that differ (all of them when the sizes differ).
qint64 differing(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return qint64(std::max(a.width(), b.width())) * std::max(a.height(), b.height());
  qint64 n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
  return n;
}

// Pixels of `image` with a colour, not a grey: channels more than 20 apart.
qint64 colourful(const QImage& image) {
  qint64 n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      n += std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) > 20;
    }
  return n;
}

// Steps of brightness of more than 16 between neighbours along row `y` of `image`.
int brightnessSteps(const QImage& image, int y) {
  int steps = 0;
  for (int x = 1; x < image.width(); ++x)
    steps += std::abs(qGray(image.pixel(x, y)) - qGray(image.pixel(x - 1, y))) > 16;
  return steps;
}

// A screen on which nothing changes once fed: no feed is timed for staleness.
const char* const kQuietLayout = R"({"background": "#203040", "sources": {"in": {"type": "stdin"}}, "controls": [
      {"name": "four", "class": "Kyv4Digit.fourseg", "rect": [60, 60, 1800, 585], "feed": {"source": "in", "field": "f"}},
      {"name": "bar", "class": "KyvVStatus.Kyvvstat", "rect": [60, 2000, 600, 1500], "feed": {"source": "in", "field": "v"}}]})";

}  // namespace

class TestBrowser : public QObject {
  Q_OBJECT

  HeadlessChromium browser;
  std::unique_ptr<ServedKyvdash> served = std::make_unique<ServedKyvdash>();
  ServedKyvdash& dash() { return *served; }
  QString layout = dataFile("browser.json");
  QStringList names;
  QRect canvas;   // where the picture is in the page
  QRect fourOwn;  // the four-digit display at the screen's own size

  QJsonValue page(const QString& expression) { return browser.evaluate(expression); }

  QRect rectOf(const QString& expression) {
    const QJsonObject r =
        page(QStringLiteral("JSON.parse(JSON.stringify(%1.getBoundingClientRect()))").arg(expression)).toObject();
    return QRect(qRound(r["x"].toDouble()), qRound(r["y"].toDouble()), qRound(r["width"].toDouble()),
                 qRound(r["height"].toDouble()));
  }
  // Control `name`'s rectangle in the picture.
  QRect controlRect(const QString& name) {
    return rectOf(QStringLiteral("document.querySelector('.mark[data-name=\"%1\"]')").arg(name))
        .translated(-canvas.topLeft());
  }
  QImage pagePicture(const QRect& part = {}) {
    return rgb(browser.screenshot(part.isNull() ? canvas : part.translated(canvas.topLeft())));
  }
  QImage snapshot(const QRect& part = {}) {
    const QImage whole = rgb(QImage::fromData(httpGet(dash().at(QStringLiteral("/snapshot.png"))).body, "PNG"));
    return part.isNull() ? whole : whole.copy(part);
  }
  // Waits until the page shows what the snapshot holds, in `part` or whole.
  bool showsSnapshot(const QRect& part = {}, int timeoutMs = 5000) {
    QImage shown, expected;
    const bool same = QTest::qWaitFor(
        [&] {
          expected = snapshot(part);
          shown = pagePicture(part);
          return !expected.isNull() && shown == expected;
        },
        timeoutMs);
    if (!same) {
      shown.save(QDir::temp().filePath(QStringLiteral("kyvdash-page.png")));
      expected.save(QDir::temp().filePath(QStringLiteral("kyvdash-snapshot.png")));
      qWarning("%lld pixels differ; see kyvdash-page.png and kyvdash-snapshot.png in %s", differing(shown, expected),
               qPrintable(QDir::tempPath()));
    }
    return same;
  }
  bool isMarkedStale(const QString& name) {
    return page(QStringLiteral("document.querySelector('.mark[data-name=\"%1\"]').classList.contains('stale')")
                    .arg(name))
        .toBool();
  }
  bool markStale(const QString& name, bool stale, int timeoutMs) {
    return QTest::qWaitFor([&] { return isMarkedStale(name) == stale; }, timeoutMs);
  }
  // Feeds the vertical bar a reading and returns its picture once the page shows it with
  // no mark. The mark comes back three seconds after the reading; when it came before the
  // picture was taken (a loaded machine), the reading is fed again.
  QImage freshVbar(const QRect& vbar) {
    for (int attempt = 0; attempt < 5; ++attempt) {
      dash().feed("v 55\n");
      if (!markStale(QStringLiteral("vbar"), false, 3000) || !showsSnapshot(vbar)) return {};
      const QImage picture = pagePicture(vbar);
      // The page takes the mark from the message that follows the frame showing it.
      if (!markStale(QStringLiteral("vbar"), true, 300)) return picture;
    }
    return {};
  }
  void emulate(QSize window, double ratio, bool mobile) {
    browser.command(
        QStringLiteral("Emulation.setDeviceMetricsOverride"),
        {{"width", window.width()}, {"height", window.height()}, {"deviceScaleFactor", ratio}, {"mobile", mobile}});
  }
  // Waits until `expression` holds in the page; says what `shown` evaluates to when not.
  bool pageComesTo(const QString& expression, int timeoutMs, const QString& shown) {
    const bool came = QTest::qWaitFor([&] { return page(expression).toBool(); }, timeoutMs);
    if (!came) qWarning("the page says: %s", qPrintable(page(shown).toString()));
    return came;
  }
  // Waits until the page shows the picture drawn at `scale` device pixels a layout pixel.
  bool shownAtScale(double scale) {
    return pageComesTo(QStringLiteral("kyvdash.scale === %1 && kyvdash.connected && kyvdash.frames > 0").arg(scale),
                       10'000, QStringLiteral("String(kyvdash.scale)"));
  }
  // Waits until the page marks its picture stale; returns the milliseconds it took, or -1.
  qint64 msUntilStale(const QElapsedTimer& since) {
    if (!QTest::qWaitFor([&] { return page(QStringLiteral("kyvdash.stale")).toBool(); }, 10'000)) return -1;
    return since.elapsed();
  }
  // The stale mark as the page shows it: over the whole room below the header, its age
  // in large type within the window, saying how long nothing came.
  void checkStaleMark() {
    const QSize window(page(QStringLiteral("document.documentElement.clientWidth")).toInt(),
                       page(QStringLiteral("window.innerHeight")).toInt());
    QVERIFY(!page(QStringLiteral("document.getElementById('stale').hidden")).toBool());
    const QRect mark = rectOf(QStringLiteral("document.getElementById('stale')"));
    const QRect header = rectOf(QStringLiteral("document.querySelector('header')"));
    QCOMPARE(mark, QRect(0, header.bottom() + 1, window.width(), window.height() - header.height()));
    const QRect age = rectOf(QStringLiteral("document.getElementById('stale-age')"));
    QVERIFY2(mark.contains(age) && age.height() >= 24, qPrintable(QStringLiteral("%1 px high").arg(age.height())));
    const QString text = page(QStringLiteral("document.getElementById('stale-age').textContent")).toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^no data for \\d+ s$")).match(text).hasMatch(), qPrintable(text));
    QVERIFY(page(QStringLiteral("document.getElementById('status').className === 'off'")).toBool());
  }
  bool connectedToNewScreen(int screens) {
    return pageComesTo(
        QStringLiteral("kyvdash.connected && kyvdash.screens >= %1 && kyvdash.frames > 0").arg(screens), 20'000,
        QStringLiteral("JSON.stringify([location.href, document.getElementById('status').textContent])"));
  }

 private slots:
  void initTestCase() {
    QString why;
    if (!browser.start(&why)) KYV_MISSING_TOOL(qPrintable(QStringLiteral("chromium cannot start here: ") + why));
    QVERIFY2(dash().start(layout), qPrintable(dash().errors()));
    dash().feed("v 40\nh 30\nf 1234\ns 654321\nm 50\np 60\na 20\nb 70\n");
    // At its own size, so that the page's pixels are the snapshot's; fillsTheWindow scales.
    QVERIFY(browser.open(dash().url() + QStringLiteral("?fit=none")));
    QVERIFY(connectedToNewScreen(1));
    canvas = rectOf(QStringLiteral("document.getElementById('picture')"));
    const QJsonArray marks =
        page(QStringLiteral("[...document.querySelectorAll('.mark')].map(m => m.dataset.name)")).toArray();
    for (const QJsonValue& m : marks) names << m.toString();
    fourOwn = controlRect(QStringLiteral("four"));
  }

  // Every control is in the page, where the layout puts it, and the page's pixels are the
  // snapshot's. Texts of the layout reach the page as text, never as markup.
  void everyControlShows() {
    QCOMPARE(names, QStringList({"vbar", "hbar", "four", "six", "one", "moving", "pulse", "multi"}));
    const QImage whole = snapshot();
    QCOMPARE(canvas.size(), whole.size());
    QVERIFY(showsSnapshot());
    const QImage shown = pagePicture();
    const QRgb background = shown.pixel(0, shown.height() - 1);
    for (const QString& name : names) {
      const QRect r = controlRect(name);
      QVERIFY2(QRect(QPoint(), whole.size()).contains(r), qPrintable(name));
      const QImage control = shown.copy(r);
      int drawn = 0;
      for (int y = 0; y < control.height(); ++y)
        for (int x = 0; x < control.width(); ++x) drawn += control.pixel(x, y) != background;
      QVERIFY2(drawn > control.width() * control.height() / 4, qPrintable(name + QStringLiteral(" is not drawn")));
    }
    QCOMPARE(page(QStringLiteral("typeof window.hacked")).toString(), QStringLiteral("undefined"));
    QCOMPARE(page(QStringLiteral("document.getElementById('title').textContent")).toString(),
             QStringLiteral("Browser <script>window.hacked = 1</script> & co"));
    QVERIFY(page(QStringLiteral("document.getElementById('status').textContent"))
                .toString()
                .startsWith(QLatin1String("connected")));
  }

  // A value written to kyvdash's standard input is in the page's pixels within a second.
  void valueShowsWithinASecond() {
    const QRect four = controlRect(QStringLiteral("four"));
    QVERIFY(showsSnapshot(four));
    const QImage before = pagePicture(four);
    QElapsedTimer clock;
    dash().feed("f 9876\n");
    clock.start();
    QVERIFY(QTest::qWaitFor([&] { return pagePicture(four) != before; }, 5000));
    const qint64 ms = clock.elapsed();
    qInfo("the value showed in the page after %lld ms", ms);
    QVERIFY2(ms < 1000, qPrintable(QStringLiteral("%1 ms").arg(ms)));
    QVERIFY(showsSnapshot(four));
  }

  // A control without readings is marked stale, in its pixels and with its age in its
  // tooltip, and the mark goes with the next reading.
  void staleMarksComeAndGo() {
    const QRect vbar = controlRect(QStringLiteral("vbar"));
    const QImage fresh = freshVbar(vbar);
    QVERIFY(!fresh.isNull());
    QVERIFY(markStale(QStringLiteral("vbar"), true, 8000));
    QVERIFY(showsSnapshot(vbar));
    QVERIFY(pagePicture(vbar) != fresh);
    const QString tooltip =
        page(QStringLiteral("document.querySelector('.mark[data-name=\"vbar\"]').title")).toString();
    QVERIFY2(tooltip.startsWith(QLatin1String("No reading from in.v for ")), qPrintable(tooltip));
    QCOMPARE(freshVbar(vbar), fresh);
  }

  // kyvdash ends; the page says it is not connected, and once kyvdash serves again on the
  // same port the page shows the new screen whole.
  void recoversAfterRestart() {
    const quint16 port = dash().port();
    served.reset();
    QVERIFY(QTest::qWaitFor([&] { return !page(QStringLiteral("kyvdash.connected")).toBool(); }, 5000));
    QVERIFY(page(QStringLiteral("document.getElementById('status').textContent"))
                .toString()
                .startsWith(QLatin1String("not connected")));
    served = std::make_unique<ServedKyvdash>();
    QVERIFY2(dash().start(layout, {}, port), qPrintable(dash().errors()));
    dash().feed("v 10\nh 90\nf 42\ns 1\nm 5\np 95\na 90\nb 10\n");
    QVERIFY(connectedToNewScreen(2));
    QVERIFY(showsSnapshot());
  }

  // How long the page takes to apply a frame (decode its rectangles and draw them); the
  // bar graph fills and scrolls meanwhile, and the page still shows the snapshot.
  void frameApplyTime() {
    for (int i = 0; i < 30; ++i) {
      dash().feed(QByteArray("m ") + QByteArray::number(i * 5) + "\np " + QByteArray::number(100 - i * 5) + '\n');
      QTest::qWait(50);
    }
    const QJsonArray ms = page(QStringLiteral("kyvdash.applyMs.slice().sort((a, b) => a - b)")).toArray();
    QVERIFY(ms.size() > 10);
    qInfo("frames applied: %lld; time to apply one: median %.2f ms, longest %.2f ms", qint64(ms.size()),
          ms[ms.size() / 2].toDouble(), ms.last().toDouble());
    QVERIFY(showsSnapshot());
  }

  // By default the screen fills the window below the status line, whatever its shape, in
  // its own proportions and centred across: drawn by the server at the scale the window
  // needs, the largest quarter step that fits, and shown one device pixel a pixel.
  void fillsTheWindow() {
    QVERIFY(browser.open(dash().url()));
    QVERIFY(connectedToNewScreen(1));
    const QSize own = snapshot().size();
    for (const QSize window : {QSize(800, 480), QSize(1920, 1080)}) {
      emulate(window, 1, false);
      const int room = window.height() - rectOf(QStringLiteral("document.querySelector('header')")).height();
      const double scale =
          std::floor(std::min(double(window.width()) / own.width(), double(room) / own.height()) * 4) / 4;
      QVERIFY2(shownAtScale(scale), qPrintable(QStringLiteral("%1x%2").arg(window.width()).arg(window.height())));
      const QRect shown = rectOf(QStringLiteral("document.getElementById('picture')"));
      QCOMPARE(shown.size(), QSize(qRound(own.width() * scale), qRound(own.height() * scale)));
      QCOMPARE(page(QStringLiteral("document.getElementById('picture').width")).toInt(), shown.width());
      QVERIFY(qAbs(shown.left() - (window.width() - shown.width()) / 2) <= 1);
      QVERIFY(shown.bottom() < window.height());
      const QRect four = rectOf(QStringLiteral("document.querySelector('.mark[data-name=\"four\"]')"));
      QVERIFY(qAbs(four.width() - fourOwn.width() * scale) <= 1);
    }
    browser.command(QStringLiteral("Emulation.clearDeviceMetricsOverride"));
  }

  // On a 4K wall the page is drawn at the wall's pixels: the picture is not a smaller one
  // stretched (whose edges would be smoothed across every control's border), but the same
  // pixels kyvdash draws for a snapshot at that scale.
  void sharpOnA4KWall() {
    QVERIFY(browser.open(dash().url()));
    QVERIFY(connectedToNewScreen(1));
    emulate(QSize(3840, 2160), 1, false);
    const QSize own = snapshot().size();
    const int room = 2160 - rectOf(QStringLiteral("document.querySelector('header')")).height();
    const double scale = std::floor(std::min(3840.0 / own.width(), double(room) / own.height()) * 4) / 4;
    QVERIFY(scale > 4);
    QVERIFY(shownAtScale(scale));
    // The seven-segment digit has no feed: it shows the same in every kyvdash.
    QTemporaryDir out;
    const QString file = out.filePath(QStringLiteral("one.png"));
    QProcess snap;
    snap.start(QStringLiteral(KYVDASH_PROGRAM),
               {"--snapshot", file, "--after", "0", "--scale", QString::number(scale), layout});
    QVERIFY(snap.waitForFinished(30'000));
    const QImage reference = rgb(QImage(file));
    QVERIFY(!reference.isNull());
    const QRect one = rectOf(QStringLiteral("document.querySelector('.mark[data-name=\"one\"]')"));
    const QRect picture = rectOf(QStringLiteral("document.getElementById('picture')"));
    // The digit and a band of the background around it, borders and all.
    const QRect around = one.adjusted(-12, -12, 12, 12);
    const QImage shown = rgb(browser.screenshot(around));
    const QImage expected = reference.copy(around.translated(-picture.topLeft()));
    if (shown != expected) {
      shown.save(QDir::temp().filePath(QStringLiteral("kyvdash-4k-page.png")));
      expected.save(QDir::temp().filePath(QStringLiteral("kyvdash-4k-snapshot.png")));
    }
    QVERIFY2(shown == expected, qPrintable(QStringLiteral("%1 pixels differ").arg(differing(shown, expected))));
    browser.command(QStringLiteral("Emulation.clearDeviceMetricsOverride"));
  }

  // On a phone the screen's text stays at least 9 CSS pixels high: the screen is drawn
  // larger and scrolls, its blocks one below the other, and every control can be reached.
  void readableOnAPhone() {
    QVERIFY(browser.open(dash().url()));
    QVERIFY(connectedToNewScreen(1));
    emulate(QSize(390, 844), 3, true);
    QVERIFY(QTest::qWaitFor([&] { return page(QStringLiteral("kyvdash.column === true")).toBool(); }, 10'000));
    QVERIFY(QTest::qWaitFor([&] { return page(QStringLiteral("kyvdash.frames > 0")).toBool(); }, 10'000));
    const double text = page(QStringLiteral("kyvdash.textPx")).toDouble();
    QVERIFY2(text >= 9, qPrintable(QString::number(text)));
    // Shown one device pixel a pixel: the canvases are three times their CSS size (which
    // the page lays out in 64ths of a pixel).
    QVERIFY(page(QStringLiteral("[...document.querySelectorAll('canvas')].every(c => "
                                "Math.abs(c.width - c.getBoundingClientRect().width * 3) < 0.1)"))
                .toBool());
    // The blocks, one below the other, each within the width of the phone.
    const QJsonArray blocks = page(QStringLiteral("[...document.querySelectorAll('.block')].map(b => "
                                                  "JSON.parse(JSON.stringify(b.getBoundingClientRect())))"))
                                  .toArray();
    QVERIFY(blocks.size() >= 2);
    for (qsizetype i = 0; i < blocks.size(); ++i) {
      const QJsonObject b = blocks[i].toObject();
      QVERIFY(b["left"].toDouble() >= 0 && b["right"].toDouble() <= 390.01);
      if (i > 0) QVERIFY(b["top"].toDouble() >= blocks[i - 1].toObject()["bottom"].toDouble());
    }
    for (const QString& name : names) {
      const QString mark = QStringLiteral("document.querySelector('.mark[data-name=\"%1\"]')").arg(name);
      page(mark + QStringLiteral(".scrollIntoView({block: 'center', inline: 'center'})"));
      const QRect r = rectOf(mark);
      const int top = rectOf(QStringLiteral("document.querySelector('header')")).bottom();
      QVERIFY2(r.left() >= 0 && r.right() <= 390 && r.top() >= top && r.bottom() <= 844, qPrintable(name));
    }
    // Zoomed a step: the picture is drawn a quarter of a device pixel a layout pixel larger.
    const double before = page(QStringLiteral("kyvdash.scale")).toDouble();
    page(QStringLiteral("document.getElementById('zoom-in').click()"));
    QVERIFY(QTest::qWaitFor([&] { return page(QStringLiteral("kyvdash.scale")).toDouble() == before + 0.25; }, 10'000));
    browser.command(QStringLiteral("Emulation.clearDeviceMetricsOverride"));
  }

  // A server guarded by a token serves a page that a browser opened at its address with
  // the token can show: the page's script and style come without the token, its picture
  // with. The token comes from a file, so that the process list does not show it, and the
  // line kyvdash prints shows only its first characters.
  void pageWithToken() {
    QTemporaryDir secrets;
    const QString tokenFile = secrets.filePath(QStringLiteral("token"));
    QFile f(tokenFile);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("s3cret-token\n");
    f.close();
    ServedKyvdash guarded;
    QVERIFY2(guarded.start(layout, {QStringLiteral("--token-file"), tokenFile}), qPrintable(guarded.errors()));
    QVERIFY2(guarded.url().endsWith(QLatin1String("?token=s3c...")), qPrintable(guarded.url()));
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(guarded.pid()));
    QVERIFY(commandLine.open(QIODevice::ReadOnly));
    QVERIFY(!commandLine.readAll().contains("s3cret-token"));
    guarded.feed("v 40\n");
    QVERIFY(browser.open(guarded.at(QStringLiteral("/")) + QStringLiteral("?token=s3cret-token")));
    QVERIFY(connectedToNewScreen(1));
    QVERIFY(page(QStringLiteral("getComputedStyle(document.querySelector('header')).display")).toString() == "flex");
  }

  // kyvdash stopped (SIGSTOP: the channel stays open, nothing comes) under a page on a
  // phone: a screen where nothing changes stays live on heartbeats alone; within about two
  // seconds of the stop the page marks the whole picture stale, over the room it shows,
  // and clears the mark when kyvdash goes on, on the same channel or, after a longer
  // stop, on a new one.
  void markedStaleWhileSilent() {
    QTemporaryDir dir;
    const QString quiet = dir.filePath(QStringLiteral("quiet.json"));
    QFile f(quiet);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kQuietLayout);
    f.close();
    ServedKyvdash stopped;
    QVERIFY2(stopped.start(quiet), qPrintable(stopped.errors()));
    stopped.feed("f 1234\nv 50\n");
    QVERIFY(browser.open(stopped.url()));
    QVERIFY(connectedToNewScreen(1));
    emulate(QSize(390, 844), 3, true);
    // Once the page has its picture at the phone's scale, nothing more is sent but heartbeats.
    int frames = -1;
    QVERIFY(QTest::qWaitFor(
        [&] {
          const int before = std::exchange(frames, page(QStringLiteral("kyvdash.frames")).toInt());
          QTest::qWait(700);
          return before == frames && page(QStringLiteral("kyvdash.connected && innerWidth === 390")).toBool();
        },
        20'000));
    QVERIFY(!QTest::qWaitFor([&] { return page(QStringLiteral("kyvdash.stale")).toBool(); }, 3000));
    QCOMPARE(page(QStringLiteral("kyvdash.frames")).toInt(), frames);
    const auto pid = static_cast<pid_t>(stopped.pid());
    auto resume = qScopeGuard([pid] { ::kill(pid, SIGCONT); });
    QElapsedTimer clock;
    ::kill(pid, SIGSTOP);
    clock.start();
    const qint64 ms = msUntilStale(clock);
    qInfo("marked stale %lld ms after kyvdash stopped", ms);
    QVERIFY2(ms >= 0 && ms <= 2500, qPrintable(QString::number(ms)));
    checkStaleMark();
    QVERIFY(page(QStringLiteral("kyvdash.connected")).toBool());
    const QImage shown = rgb(browser.screenshot(rectOf(QStringLiteral("document.getElementById('stale')"))));
    QCOMPARE(colourful(shown), 0);
    const QString status = QStringLiteral("document.getElementById('status').textContent");
    ::kill(pid, SIGCONT);
    QVERIFY(pageComesTo(QStringLiteral("!kyvdash.stale && document.getElementById('stale').hidden"), 10'000, status));
    // Stopped past ten seconds: the page gives the silent channel up and opens another,
    // the picture marked all along; once kyvdash goes on, the new channel brings it whole.
    const int screens = page(QStringLiteral("kyvdash.screens")).toInt();
    ::kill(pid, SIGSTOP);
    QVERIFY(pageComesTo(QStringLiteral("!kyvdash.connected && kyvdash.stale"), 20'000, status));
    QVERIFY2(page(status).toString().startsWith(QLatin1String("not connected (nothing came for 10 s); retrying")),
             qPrintable(page(status).toString()));
    ::kill(pid, SIGCONT);
    QVERIFY(pageComesTo(QStringLiteral("kyvdash.connected && !kyvdash.stale && kyvdash.screens > %1").arg(screens),
                        20'000, status));
    browser.command(QStringLiteral("Emulation.clearDeviceMetricsOverride"));
  }

  // kyvdash killed under an open page: within two seconds its whole picture is greyed and
  // hatched, its age in large type, counting on; when kyvdash serves again on the same
  // port the mark goes and the page shows the new picture.
  void markedStaleWhenKilled() {
    QVERIFY(browser.open(dash().url() + QStringLiteral("?fit=none")));
    QVERIFY(connectedToNewScreen(1));
    QVERIFY(showsSnapshot());
    const QImage live = pagePicture();
    const int row = live.height() - 3;  // the background below the controls
    QVERIFY(colourful(live) > live.width() * live.height() / 4);
    QVERIFY(brightnessSteps(live, row) < 4);
    const quint16 port = dash().port();
    QElapsedTimer clock;
    ::kill(static_cast<pid_t>(dash().pid()), SIGKILL);
    clock.start();
    const qint64 ms = msUntilStale(clock);
    qInfo("marked stale %lld ms after kyvdash was killed", ms);
    QVERIFY2(ms >= 0 && ms <= 2000, qPrintable(QString::number(ms)));
    checkStaleMark();
    const QImage stale = pagePicture();
    QCOMPARE(colourful(stale), 0);
    QVERIFY2(brightnessSteps(stale, row) > stale.width() / 16,
             qPrintable(QString::number(brightnessSteps(stale, row))));
    QVERIFY(pageComesTo(QStringLiteral("document.getElementById('stale-age').textContent === 'no data for 3 s'"),
                        10'000, QStringLiteral("document.getElementById('stale-age').textContent")));
    served = std::make_unique<ServedKyvdash>();
    QVERIFY2(dash().start(layout, {}, port), qPrintable(dash().errors()));
    dash().feed("v 20\nh 70\nf 77\ns 2\nm 15\np 85\na 60\nb 30\n");
    QVERIFY(
        pageComesTo(QStringLiteral("kyvdash.connected && !kyvdash.stale && document.getElementById('stale').hidden"),
                    20'000, QStringLiteral("document.getElementById('status').textContent")));
    QVERIFY(showsSnapshot());
  }
};

QTEST_MAIN(TestBrowser)
#include "tst_browser.moc"
