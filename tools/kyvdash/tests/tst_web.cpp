// kyvdash's HTTP server in process, on loopback: its endpoints, the live channel (the
// pictures it sends add up to the snapshot, at most the frame limit a second), tokens,
// and hostile clients (path traversal, huge headers, slow requests, a flood of
// connections, broken WebSocket frames, a page that does not read), each answered
// sensibly while a live page goes on receiving.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>
#include <QtEndian>
#include <QtMath>
#include <cerrno>
#include <cstring>
#include <memory>

#include "DashboardWindow.h"
#include "Options.h"
#include "Runner.h"
#include "ScreenScale.h"
#include "ServedKyvdash.h"
#include "WebFrames.h"
#include "WebServer.h"

using namespace kyvdash;

namespace {

const char* const kLayout = R"({
  "title": "Web <script>alert(1)</script>",
  "sources": {"in": {"type": "stdin"}},
  "labels": [{"text": "</text><script>x</script>", "rect": [60, 30, 3000, 300]},
             {"text": "level {value:.1f}", "rect": [60, 2100, 800, 300], "feed": {"source": "in", "field": "t"}}],
  "controls": [
    {"name": "bar", "class": "KyvVStatus.Kyvvstat", "rect": [60, 400, 600, 1500], "feed": {"source": "in", "field": "a"}},
    {"name": "graph", "class": "KyvMovingBars.KyvMovingBar", "rect": [900, 400, 3000, 1500], "feed": {"source": "in", "field": "g"}},
    {"name": "digits", "class": "Kyv4Digit.fourseg", "rect": [900, 2100, 1800, 585], "feed": {"source": "in", "field": "d"}}
  ]})";

// A live page: what it was sent, and the picture its frames add up to.
class LiveClient : public QObject {
 public:
  explicit LiveClient(const QString& url) {
    connect(&socket, &QWebSocket::textMessageReceived, this, [this](const QString& m) {
      texts.push_back(QJsonDocument::fromJson(m.toUtf8()).object());
      if (texts.back()["type"] == QLatin1String("screen")) picture = QImage();  // a new screen: a new picture follows
    });
    connect(&socket, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray& m) { apply(m); });
    socket.open(QUrl(url));
  }
  bool waitForPicture() {
    return QTest::qWaitFor([&] { return frames > 0; }, 10'000);
  }
  void apply(const QByteArray& m) {
    ++frames;
    lastFrameBytes = m.size();
    std::vector<FramePart> parts;
    QVERIFY(applyFrame(picture, m, &parts));
    rects.clear();
    for (const FramePart& p : parts) {
      rects.push_back(p.to);
      moves += p.from.has_value();
    }
  }
  QWebSocket socket;
  std::vector<QJsonObject> texts;
  std::vector<QRect> rects;  // of the last frame
  QImage picture;
  int frames = 0;
  int moves = 0;  // rectangles moved within the picture
  qsizetype lastFrameBytes = 0;
};

// Whether a socket connects, waiting in the event loop: the server runs in this thread, and
// a blocking wait would keep it from accepting.
bool connected(QTcpSocket& s) {
  return QTest::qWaitFor([&] { return s.state() == QAbstractSocket::ConnectedState; }, 10000);
}

// The answer to raw bytes sent on a connection of its own, up to its close or `waitMs`.
QByteArray rawAnswer(quint16 port, const QByteArray& request, int waitMs = 3000) {
  QTcpSocket s;
  s.connectToHost(QHostAddress::LocalHost, port);
  if (!connected(s)) return "no connection";
  s.write(request);
  QByteArray answer;
  (void)QTest::qWaitFor(
      [&] {
        answer += s.readAll();
        return s.state() == QAbstractSocket::UnconnectedState || answer.contains("\r\n\r\n");
      },
      waitMs);
  return answer + s.readAll();
}

// The colour count of frame `frame`'s atlas: 0 for one of RGB, -1 for none.
int atlasColours(const QByteArray& frame) {
  const auto* p = reinterpret_cast<const uchar*>(frame.constData());
  const qsizetype atlasAt = 10 + qFromBigEndian<quint32>(p + 6);
  const uLong length = qFromBigEndian<quint32>(p + atlasAt);
  if (length == 0) return -1;
  std::vector<uchar> atlas(4 << 20);
  uLongf size = uLongf(atlas.size());
  if (uncompress(atlas.data(), &size, p + atlasAt + 4, length) != Z_OK || size < 6) return -1;
  return qFromBigEndian<quint16>(atlas.data() + 4);
}

QImage rgb(const QByteArray& png) { return QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32); }

}  // namespace

class TestWeb : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  int feedPipe[2] = {-1, -1};
  std::unique_ptr<Runner> runner;
  std::unique_ptr<WebServer> web;
  ConnectionLimits limits;

  QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(web->port()).arg(path); }
  QString live() const { return QStringLiteral("ws://127.0.0.1:%1/live").arg(web->port()); }
  void feed(const QByteArray& lines) { QCOMPARE(::write(feedPipe[1], lines.constData(), lines.size()), lines.size()); }
  // The server's current snapshot, as an image.
  QImage snapshot() { return rgb(httpGet(url(QStringLiteral("/snapshot.png"))).body); }

  std::unique_ptr<WebServer> serve(ServeOptions o) {
    o.serve = true;
    auto w = std::make_unique<WebServer>(*runner, o, limits);
    QString error;
    [&] { QVERIFY2(w->listen(&error), qPrintable(error)); }();
    return w;
  }

 private slots:
  void initTestCase() {
    QFile f(dir.filePath(QStringLiteral("web.json")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kLayout);
    f.close();
    QCOMPARE(::pipe(feedPipe), 0);
    runner = std::make_unique<Runner>(f.fileName());
    runner->setStdinFd(feedPipe[0]);
    QStringList errors;
    QVERIFY2(runner->start(&errors), qPrintable(errors.join(u'\n')));
    limits.maxConnections = 64;
    limits.maxRequestBytes = 8 * 1024;
    limits.requestTimeout = std::chrono::milliseconds(600);
    limits.viewerBacklog = 16 * 1024;
    limits.viewerBehind = std::chrono::milliseconds(1500);
    limits.sendBuffer = 8 * 1024;
    ServeOptions o;
    o.maxViewers = 4;
    o.fps = 10;
    web = serve(o);
    feed("a 40\ng 50\nd 1234\n");
  }

  // A frame carries its rectangles' pixels exactly, by colour index or, past 256
  // colours, as RGB; a cut or altered frame is refused rather than drawn.
  void framesCarryExactPixels() {
    for (const int colours : {3, 300}) {
      QImage before(40, 30, QImage::Format_RGB32), after(40, 30, QImage::Format_RGB32);
      before.fill(Qt::white);
      after.fill(Qt::white);
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) after.setPixel(x, y, qRgb((x * 40 + y) % colours, y * 7 % 256, 255 - x));
      const std::vector<FramePart> parts{{QRect(2, 3, 10, 20), std::nullopt}, {QRect(20, 0, 20, 30), std::nullopt}};
      const QByteArray frame = encodeFrame(after, parts);
      QImage picture = before;
      QVERIFY(applyFrame(picture, frame));
      for (const auto& p : parts) QCOMPARE(picture.copy(p.to), after.copy(p.to));
      QCOMPARE(picture.pixel(0, 0), qRgb(255, 255, 255));
      QImage broken = before;
      QVERIFY(!applyFrame(broken, frame.left(frame.size() - 3)));
      QByteArray altered = frame;
      altered[altered.size() - 5] = char(altered[altered.size() - 5] ^ 0x5a);
      QVERIFY(!applyFrame(broken, altered));
    }
  }

  // Parts of more colours between them than an atlas of indexes holds go as several
  // frames of indexes rather than one of RGB; together they carry every pixel.
  void manyColoursMakeSeveralFramesOfIndexes() {
    QImage after(300, 40, QImage::Format_RGB32), before(300, 40, QImage::Format_RGB32);
    before.fill(Qt::black);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 300; ++x) after.setPixel(x, y, qRgb(x / 50 * 40, x % 50 * 2 + y % 2, 7));  // 100 a part
    std::vector<FramePart> parts{{QRect(0, 30, 10, 10), QPoint(1, 30)}};
    for (int i = 0; i < 6; ++i) parts.push_back({QRect(i * 50, 0, 50, 30), std::nullopt});
    const std::vector<QByteArray> frames = encodeFrames(after, parts);
    QCOMPARE(frames.size(), size_t(3));  // two parts a frame: 200 colours
    QImage picture = before;
    for (const QByteArray& f : frames) {
      QVERIFY(atlasColours(f) > 0);
      QVERIFY(applyFrame(picture, f));
    }
    QCOMPARE(picture.copy(0, 0, 300, 30), after.copy(0, 0, 300, 30));
    std::vector<FramePart> first;
    QVERIFY(applyFrame(picture, frames[0], &first));
    QVERIFY(first[0].from.has_value());
    QCOMPARE(encodeFrames(after, {parts[1]}).size(), size_t(1));
  }

  // An atlas of indexes holds 256 colours and no more: a part of exactly 256 goes as one
  // frame of indexes, one of 257 as a frame of RGB; two parts share a frame while their
  // colours together are at most 256.
  void framesSwitchPastExactly256Colours() {
    QImage after(600, 2, QImage::Format_RGB32);
    for (int x = 0; x < 600; ++x)
      for (int y = 0; y < 2; ++y) after.setPixel(x, y, qRgb(x % 256, x / 256 * 60, 9));  // 600 colours a row
    const auto row = [](int from, int count) { return FramePart{QRect(from, 0, count, 1), std::nullopt}; };
    const auto check = [&](const std::vector<FramePart>& parts, std::vector<int> expected) {
      const std::vector<QByteArray> frames = encodeFrames(after, parts);
      std::vector<int> colours;
      QImage picture(after.size(), QImage::Format_RGB32);
      picture.fill(Qt::black);
      for (const QByteArray& f : frames) {
        colours.push_back(atlasColours(f));
        QVERIFY(applyFrame(picture, f));
      }
      QCOMPARE(colours, expected);
      for (const auto& p : parts) QCOMPARE(picture.copy(p.to), after.copy(p.to));
    };
    check({row(0, 256)}, {256});
    check({row(0, 257)}, {0});
    check({row(0, 200), row(300, 56)}, {256});
    check({row(0, 200), row(300, 57)}, {200, 57});
    check({row(0, 200), row(100, 156)}, {256});  // colours they share count once
    // A part past 256 colours goes as RGB alone, even beside one of the same colours.
    check({row(0, 257), FramePart{QRect(0, 1, 10, 1), std::nullopt}}, {0, 10});
  }

  // A frame's atlas holds little but the changed pixels: one wide change and many narrow
  // tall ones make an atlas about their area, not the widest times their heights.
  void atlasHoldsLittleButTheChanges() {
    QImage after(800, 600, QImage::Format_RGB32);
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 800; ++x) after.setPixel(x, y, qRgb(x % 7 * 30, y % 5 * 40, (x + y) % 3 * 80));
    std::vector<FramePart> parts{{QRect(0, 0, 800, 2), std::nullopt}};
    qint64 area = 1600;
    for (int i = 0; i < 40; ++i) {
      parts.push_back({QRect(i * 19, 10 + i * 3, 8 + i % 3, 40 + i % 9), std::nullopt});
      area += qint64(parts.back().to.width()) * parts.back().to.height();
    }
    const QByteArray frame = encodeFrame(after, parts);
    const auto* p = reinterpret_cast<const uchar*>(frame.constData());
    const qsizetype atlasAt = 10 + qFromBigEndian<quint32>(p + 6);
    std::vector<uchar> atlas(4 << 20);
    uLongf length = uLongf(atlas.size());
    QCOMPARE(uncompress(atlas.data(), &length, p + atlasAt + 4, uLong(qFromBigEndian<quint32>(p + atlasAt))), Z_OK);
    const qint64 pixels = qint64(qFromBigEndian<quint16>(atlas.data())) * qFromBigEndian<quint16>(atlas.data() + 2);
    QVERIFY2(pixels <= area * 3 / 2,
             qPrintable(QStringLiteral("%1 atlas pixels for %2 changed").arg(pixels).arg(area)));
    QImage picture(800, 600, QImage::Format_RGB32);
    picture.fill(Qt::black);
    QVERIFY(applyFrame(picture, frame));
    for (const auto& part : parts) QCOMPARE(picture.copy(part.to), after.copy(part.to));
  }

  // The frames add up to the screen as Qt paints it, checked once a change has settled,
  // with no paint of the screen in between: controls alone at their place are copied
  // from their own pictures, one under a label is drawn through Qt, a scrolling one moved.
  void framesAddUpToTheScreenUnpainted() {
    QFile f(dir.filePath(QStringLiteral("overlap.json")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"sources": {"in": {"type": "stdin"}},
      "labels": [{"text": "over the bar", "rect": [60, 900, 1500, 300]}],
      "controls": [
        {"name": "bar", "class": "KyvHStatus.Hstat", "rect": [60, 800, 1800, 360], "feed": {"source": "in", "field": "b"}},
        {"name": "graph", "class": "KyvMovingBars.KyvMovingBar", "rect": [60, 1300, 1800, 1500], "feed": {"source": "in", "field": "g"}},
        {"name": "trace", "class": "KyvPulse.HeartBeat", "rect": [2000, 1300, 1800, 1500], "feed": {"source": "in", "field": "h"}},
        {"name": "digits", "class": "Kyv4Digit.fourseg", "rect": [2000, 60, 1800, 585], "feed": {"source": "in", "field": "d"}}
      ]})");
    f.close();
    int pipeFds[2];
    QCOMPARE(::pipe(pipeFds), 0);
    Runner own(f.fileName());
    own.setStdinFd(pipeFds[0]);
    QStringList errors;
    QVERIFY2(own.start(&errors), qPrintable(errors.join(u'\n')));
    WebFrames frames(own, 30);
    QImage picture;
    int moves = 0, count = 0;
    connect(&frames, &WebFrames::frame, this, [&](double, const QByteArray& m) {
      ++count;
      std::vector<FramePart> parts;
      QVERIFY(applyFrame(picture, m, &parts));
      for (const auto& p : parts) moves += p.from.has_value();
    });
    frames.setActive(true);
    QVERIFY(applyFrame(picture, frames.wholeFrame()));
    for (int round = 0; round < 8; ++round) {
      const QByteArray lines =
          "b " + QByteArray::number(round * 37 % 90 + 5) + "\ng " + QByteArray::number(round * 29 % 90 + 5) + "\nh " +
          QByteArray::number(round * 53 % 90 + 5) + "\nd " + QByteArray::number(round * 1111 + 7) + '\n';
      const int before = count;
      QCOMPARE(::write(pipeFds[1], lines.constData(), lines.size()), lines.size());
      QVERIFY(QTest::qWaitFor([&] { return count > before; }, 5000));
      QTest::qWait(200);  // the frame of every value, and then no more
      QCOMPARE(picture, own.dashboard()->grab().toImage().convertToFormat(QImage::Format_RGB32));
    }
    QVERIFY(moves > 0);
    // A reading the digits cannot show hatches them in red, and one they show clears the
    // hatching: both reach the page.
    for (const QByteArray& lines : {QByteArray("d 123456\n"), QByteArray("d 42\n")}) {
      QCOMPARE(::write(pipeFds[1], lines.constData(), lines.size()), lines.size());
      QVERIFY(QTest::qWaitFor([&] { return own.dashboard()->isUnshown(3) == lines.startsWith("d 1"); }, 5000));
      QTest::qWait(200);
      QCOMPARE(picture, own.dashboard()->grab().toImage().convertToFormat(QImage::Format_RGB32));
    }
    frames.setActive(false);
    ::close(pipeFds[1]);
    ::close(pipeFds[0]);
  }

  // --serve and its company on the command line: loopback unless told, a token or
  // --no-token asked for elsewhere, wrong values and combinations refused.
  void serveOptions_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("result");  // the problem, or "ADDRESS PORT TOKEN WINDOW VIEWERS FPS"
    QTest::newRow("port alone") << QStringList({"--serve", "8080"}) << "127.0.0.1 8080 - 0 16 30";
    QTest::newRow("localhost") << QStringList({"--serve", "localhost:0"}) << "127.0.0.1 0 - 0 16 30";
    QTest::newRow("ipv6 loopback") << QStringList({"--serve", "[::1]:9000", "--window", "--fps", "10"})
                                   << "::1 9000 - 1 16 10";
    QTest::newRow("any with token") << QStringList(
                                           {"--serve", "0.0.0.0:80", "--token", "abcdefgh", "--max-viewers", "3"})
                                    << "0.0.0.0 80 abcdefgh 0 3 30";
    QTest::newRow("any without token") << QStringList({"--serve", "0.0.0.0:80", "--no-token"})
                                       << "0.0.0.0 80 - 0 16 30";
    QTest::newRow("any, nothing said")
        << QStringList({"--serve", "0.0.0.0:8080"})
        << "serving on 0.0.0.0 asks for --token TOKEN, or --no-token to serve to anyone who reaches it";
    QTest::newRow("bad port") << QStringList({"--serve", "80800"})
                              << "--serve takes [address:]port, such as 8080 or 0.0.0.0:8080";
    QTest::newRow("bad address") << QStringList({"--serve", "example.org:80"})
                                 << "--serve takes [address:]port, such as 8080 or 0.0.0.0:8080";
    QTest::newRow("short token") << QStringList({"--serve", "80", "--token", "abc"})
                                 << "the token takes at least 8 characters and no spaces";
    QTest::newRow("both") << QStringList({"--serve", "80", "--token", "abcdefgh", "--no-token"})
                          << "--token and --token-file exclude --no-token";
    QTest::newRow("token and file") << QStringList({"--serve", "80", "--token", "abcdefgh", "--token-file", "t"})
                                    << "--token and --token-file exclude each other";
    QTest::newRow("no token file") << QStringList({"--serve", "80", "--token-file", "/nonexistent/token"})
                                   << "--token-file: cannot read /nonexistent/token: No such file or directory";
    QTest::newRow("allowed host") << QStringList(
                                         {"--serve", "0.0.0.0:80", "--no-token", "--allow-host", "Wall.Example"})
                                  << "0.0.0.0 80 - 0 16 30 wall.example";
    QTest::newRow("fps") << QStringList({"--serve", "80", "--fps", "0"}) << "--fps takes 1 to 60";
    QTest::newRow("viewers") << QStringList({"--serve", "80", "--max-viewers", "x"}) << "--max-viewers takes 1 to 1000";
    QTest::newRow("token alone")
        << QStringList({"--token", "abcdefgh"})
        << "--token, --token-file, --no-token, --allow-host, --window, --max-viewers and --fps "
           "go with --serve";
    QTest::newRow("with snapshot") << QStringList({"--serve", "80", "--snapshot", "a.png"})
                                   << "--serve goes without --snapshot and --check";
  }
  void serveOptions() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, result);
    Options o;
    QString message;
    const Parsed parsed = parseOptions(QStringList({"kyvdash"}) + arguments + QStringList({"x.json"}), o, &message);
    if (parsed == Parsed::Error) {
      QCOMPARE(message.section(u'\n', 0, 0), result);
      return;
    }
    QCOMPARE(parsed, Parsed::Run);
    QVERIFY(o.serve.serve);
    QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6")
                     .arg(o.serve.address.toString())
                     .arg(o.serve.port)
                     .arg(o.serve.token.value_or(QStringLiteral("-")))
                     .arg(int(o.serve.window))
                     .arg(o.serve.maxViewers)
                     .arg(o.serve.fps) +
                 (o.serve.allowedHosts.isEmpty() ? QString() : u' ' + o.serve.allowedHosts.join(u',')),
             result);
  }

  // The token may come from a file's first line or from the environment, kept out of the
  // process list; --token and --no-token each go before the environment.
  void tokenFromFileOrEnvironment() {
    const QString file = dir.filePath(QStringLiteral("token"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("s3cret-from-file \nsecond line\n");
    f.close();
    const auto tokenOf = [](const QStringList& arguments) {
      Options o;
      QString message;
      const Parsed parsed =
          parseOptions(QStringList({"kyvdash", "--serve", "80"}) + arguments + QStringList({"x.json"}), o, &message);
      return parsed == Parsed::Run ? o.serve.token.value_or(QStringLiteral("-")) : message.section(u'\n', 0, 0);
    };
    QCOMPARE(tokenOf({"--token-file", file}), QStringLiteral("s3cret-from-file"));
    qputenv("KYVDASH_TOKEN", "s3cret-from-environment");
    const auto unset = qScopeGuard([] { qunsetenv("KYVDASH_TOKEN"); });
    QCOMPARE(tokenOf({}), QStringLiteral("s3cret-from-environment"));
    QCOMPARE(tokenOf({"--token", "s3cret-given"}), QStringLiteral("s3cret-given"));
    QCOMPARE(tokenOf({"--token-file", file}), QStringLiteral("s3cret-from-file"));
    QCOMPARE(tokenOf({"--no-token"}), QStringLiteral("-"));
    qputenv("KYVDASH_TOKEN", "short");
    QCOMPARE(tokenOf({}), QStringLiteral("the token takes at least 8 characters and no spaces"));
  }

  void endpoints() {
    const HttpAnswer page = httpGet(url(QStringLiteral("/")));
    QCOMPARE(page.status, 200);
    QVERIFY(page.body.contains("<div id=\"screen\">"));
    QVERIFY(page.headers["content-security-policy"].contains("default-src 'none'"));
    QVERIFY(page.headers["content-security-policy"].contains("script-src 'self'"));
    QCOMPARE(page.headers["x-content-type-options"], QByteArray("nosniff"));
    QCOMPARE(httpGet(url(QStringLiteral("/kyvdash.js"))).headers["content-type"],
             QByteArray("text/javascript; charset=utf-8"));
    QCOMPARE(httpGet(url(QStringLiteral("/kyvdash.css"))).status, 200);
    QCOMPARE(httpGet(url(QStringLiteral("/healthz"))).body, QByteArray("ok\n"));
    QTest::qWait(300);
    const QJsonArray readings =
        QJsonDocument::fromJson(httpGet(url(QStringLiteral("/readings.json"))).body).object()["controls"].toArray();
    QCOMPARE(readings.size(), 3);
    QCOMPARE(readings[2].toObject()["name"].toString(), QStringLiteral("digits"));
    QCOMPARE(readings[2].toObject()["value"].toDouble(), 1234.0);
    QCOMPARE(readings[2].toObject()["source"].toString(), QStringLiteral("in"));
    QVERIFY(readings[2].toObject()["age"].toDouble() >= 0);
    QCOMPARE(readings[2].toObject()["stale"].toBool(), false);
    const QImage png = snapshot();
    QCOMPARE(png.size(), runner->dashboard()->size());
    const QByteArray svg = httpGet(url(QStringLiteral("/snapshot.svg"))).body;
    QVERIFY(svg.startsWith("<?xml"));
    QVERIFY(svg.contains("Web &lt;script&gt;alert(1)&lt;/script&gt;"));
    QVERIFY(!svg.contains("<script>"));
    const QByteArray metrics = httpGet(url(QStringLiteral("/metrics"))).body;
    for (const char* line :
         {"kyvdash_source_up{source=\"in\"} 1\n", "kyvdash_controls 3\n", "# TYPE kyvdash_bytes_sent_total counter\n"})
      QVERIFY2(metrics.contains(line), line);
    // Every sample line is NAME[{LABELS}] VALUE.
    for (const QByteArray& line : metrics.split('\n'))
      if (!line.isEmpty() && !line.startsWith('#'))
        QVERIFY2(line.split(' ').size() == 2 && line.startsWith("kyvdash_"), line);
    QCOMPARE(promLabel(QStringLiteral("a\"b\\c\nd")), QByteArray("a\\\"b\\\\c\\nd"));
  }

  // Nothing outside the page's own files is served; nothing but GET is answered.
  void unknownPathsAndMethods() {
    for (const char* path :
         {"/../../../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd", "/kyvdash.js/../../etc/passwd", "//etc/passwd",
          "/web/index.html", "/index.html", "/:/kyvdash/web/index.html", "/live", "/snapshot.png.bak", "/metrics/x"}) {
      const QByteArray answer =
          rawAnswer(web->port(), QByteArray("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
      QVERIFY2(answer.startsWith("HTTP/1.1 404"), path);
      QVERIFY(!answer.contains("root:"));
    }
    QVERIFY(rawAnswer(web->port(), "POST /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 2\r\n\r\nab")
                .startsWith("HTTP/1.1 405"));
    QVERIFY(rawAnswer(web->port(), "DELETE / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").startsWith("HTTP/1.1 405"));
  }

  // A page is sent the screen, the whole picture and the state; then only rectangles that
  // changed, which add up to the snapshot, at most the frame limit a second.
  void liveFrames() {
    LiveClient page(live());
    QVERIFY(page.waitForPicture());
    QVERIFY(QTest::qWaitFor([&] { return page.texts.size() >= 2; }, 5000));
    QCOMPARE(page.texts[0]["type"].toString(), QStringLiteral("screen"));
    QCOMPARE(page.texts[0]["title"].toString(), QStringLiteral("Web <script>alert(1)</script>"));
    QCOMPARE(page.texts[0]["controls"].toArray().size(), 3);
    QCOMPARE(page.texts[1]["type"].toString(), QStringLiteral("state"));
    QCOMPARE(page.picture.size(), runner->dashboard()->size());
    const qsizetype whole = page.lastFrameBytes;
    QVERIFY(QTest::qWaitFor([&] { return page.picture == snapshot(); }, 5000));

    const QRect digits = runner->dashboard()->control(2)->geometry();
    const int before = page.frames;
    feed("d 4321\n");
    QVERIFY(QTest::qWaitFor([&] { return page.frames > before; }, 5000));
    for (const QRect& r : page.rects) QVERIFY2(digits.intersects(r), "a rectangle outside the changed control");
    QVERIFY(page.lastFrameBytes < whole / 2);
    QVERIFY(QTest::qWaitFor([&] { return page.picture == snapshot(); }, 5000));

    // 100 values in half a second: at most the frame limit (10 a second here) of frames.
    QTest::qWait(200);
    const int start = page.frames;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 100; ++i) {
      feed("g " + QByteArray::number(i % 100) + "\nd " + QByteArray::number(i) + '\n');
      QTest::qWait(5);
    }
    QTest::qWait(1000);
    const double seconds = clock.elapsed() / 1000.0;
    QVERIFY2(page.frames - start <= seconds * 10 + 2, qPrintable(QString::number(page.frames - start)));
    QVERIFY(page.frames - start >= 3);
    QVERIFY(QTest::qWaitFor([&] { return page.picture == snapshot(); }, 5000));

    // A label whose text follows a reading changes no control, and still reaches the page.
    const int beforeLabel = page.frames;
    feed("t 12.5\n");
    QVERIFY(QTest::qWaitFor([&] { return page.frames > beforeLabel; }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return page.picture == snapshot(); }, 5000));

    // A bar a frame: the full bar graph scrolls, and its picture is moved, not sent again.
    const int movesBefore = page.moves;
    for (int i = 0; i < 6; ++i) {
      feed("g " + QByteArray::number(i * 17 % 100) + '\n');
      QTest::qWait(250);
    }
    QVERIFY(page.moves > movesBefore);
    QVERIFY(QTest::qWaitFor([&] { return page.picture == snapshot(); }, 5000));
  }

  // An alert's mark comes and goes without a reading, and still reaches the page.
  void alertMarkReachesThePage() {
    LiveClient page(live());
    QVERIFY(page.waitForPicture());
    QVERIFY(QTest::qWaitFor([&] { return page.picture == snapshot(); }, 5000));
    Dashboard* d = runner->dashboard();
    const QRect digits = d->control(2)->geometry();
    for (const bool alerting : {true, false}) {
      // A snapshot paints the whole screen, which the next frame looks at: let it go by, so
      // that the mark alone is what changes (this wait never makes the test fail).
      QTest::qWait(300);
      const int before = page.frames;
      d->setAlerting(2, alerting, alerting ? QStringLiteral("Alert firing: Test") : QString());
      QVERIFY(QTest::qWaitFor([&] { return page.frames > before; }, 5000));
      for (const QRect& r : page.rects) QVERIFY2(digits.intersects(r), "a rectangle outside the marked control");
      QVERIFY(QTest::qWaitFor([&] { return page.picture == snapshot(); }, 5000));
    }
  }

  // A page is sent the picture at the scale it asks for (quarter steps, down), drawn for
  // that scale and shared by the pages that ask for it; a page that asks for none gets the
  // screen's own. At most four scales are drawn: a page asking for a fifth gets the nearest.
  void picturesAtThePagesScales() {
    ServeOptions o;
    o.maxViewers = 8;
    const std::unique_ptr<WebServer> server = serve(o);
    const QString channel = QStringLiteral("ws://127.0.0.1:%1/live").arg(server->port());
    const auto at = [&](const QString& scale) {
      return std::make_unique<LiveClient>(channel + (scale.isEmpty() ? QString() : QStringLiteral("?scale=") + scale));
    };
    auto twice = at(QStringLiteral("2.1")), again = at(QStringLiteral("2")), own = at(QString());
    for (auto* page : {twice.get(), again.get(), own.get()}) QVERIFY(page->waitForPicture());
    const QSize size = runner->dashboard()->size();
    QCOMPARE(twice->texts[0]["scale"].toDouble(), 2.0);
    QCOMPARE(own->texts[0]["scale"].toDouble(), 1.0);
    QCOMPARE(twice->picture.size(), size * 2);
    QCOMPARE(own->picture.size(), size);
    for (int i = 0; i < 4; ++i) {
      feed("a " + QByteArray::number(i * 23 % 100) + "\nd " + QByteArray::number(i * 977) + '\n');
      QTest::qWait(150);
    }
    WebFrames anew(*runner, 30);
    QImage drawn;
    QVERIFY(applyFrame(drawn, anew.wholeFrame(2.0)));
    QVERIFY(QTest::qWaitFor([&] { return twice->picture == drawn && again->picture == drawn; }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return own->picture == snapshot(); }, 5000));
    std::vector<std::unique_ptr<LiveClient>> more;
    for (const char* scale : {"3", "4.5"}) {
      more.push_back(at(QLatin1String(scale)));
      QVERIFY(more.back()->waitForPicture());
    }
    auto fifth = at(QStringLiteral("6"));
    QVERIFY(fifth->waitForPicture());
    QCOMPARE(fifth->texts[0]["scale"].toDouble(), 4.5);

    // No picture beyond a 4K screen's pixels: a 1920x1080 screen is drawn at twice its size
    // at most.
    QFile f(dir.filePath(QStringLiteral("wall.json")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"size": [28800, 16200], "sources": {},
                "controls": [{"name": "one", "class": "Kyv1Digit.sseg", "rect": [60, 60, 600, 900]}]})");
    f.close();
    Runner wall(f.fileName());
    QStringList errors;
    QVERIFY2(wall.start(&errors), qPrintable(errors.join(u'\n')));
    WebFrames frames(wall, 30);
    QCOMPARE(frames.join(8), 2.0);
  }

  // At a scale that puts controls' edges between pixels, every change still reaches the
  // page whole: a rectangle cut short by rounding would leave a row or column stale, and
  // the page would differ from the same screen drawn anew.
  void framesAtAFractionalScale() {
    QScreen* screen = QGuiApplication::primaryScreen();
    setScreenScale(screen, 1.25);
    const auto restore = qScopeGuard([screen] { setScreenScale(screen, 1); });
    QFile f(dir.filePath(QStringLiteral("fractional.json")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"sources": {"in": {"type": "stdin"}}, "controls": [
        {"name": "across", "class": "KyvHStatus.Hstat", "rect": [60, 60, 2400, 360], "feed": {"source": "in", "field": "h"}},
        {"name": "up", "class": "KyvVStatus.Kyvvstat", "rect": [60, 600, 600, 1500], "feed": {"source": "in", "field": "a"}},
        {"name": "digits", "class": "Kyv4Digit.fourseg", "rect": [900, 600, 1800, 585], "feed": {"source": "in", "field": "d"}}
      ]})");
    f.close();
    int pipeFds[2];
    QCOMPARE(::pipe(pipeFds), 0);
    Runner own(f.fileName());
    own.setStdinFd(pipeFds[0]);
    QStringList errors;
    QVERIFY2(own.start(&errors), qPrintable(errors.join(u'\n')));
    QCOMPARE(own.dashboard()->devicePixelRatioF(), 1.25);
    WebFrames frames(own, 30);
    QImage picture;
    int count = 0;
    connect(&frames, &WebFrames::frame, this, [&](double, const QByteArray& m) {
      ++count;
      QVERIFY(applyFrame(picture, m));
    });
    frames.setActive(true);
    QVERIFY(applyFrame(picture, frames.wholeFrame()));
    // The screen's own scale (--scale) is the picture's: it reaches the pages.
    QCOMPARE(picture.size(), QSize(qCeil(own.dashboard()->width() * 1.25), qCeil(own.dashboard()->height() * 1.25)));
    for (int round = 0; round < 12; ++round) {
      const QByteArray lines = "h " + QByteArray::number(round * 7 + 3) + "\na " +
                               QByteArray::number(round * 37 % 97 + 1) + "\nd " +
                               QByteArray::number(round * 1237 % 9999) + '\n';
      const int before = count;
      QCOMPARE(::write(pipeFds[1], lines.constData(), lines.size()), lines.size());
      QVERIFY(QTest::qWaitFor([&] { return count > before; }, 5000));
      QTest::qWait(150);
      WebFrames anew(own, 30);
      QImage drawnAnew;
      QVERIFY(applyFrame(drawnAnew, anew.wholeFrame()));
      QCOMPARE(picture, drawnAnew);
    }
    frames.setActive(false);
    ::close(pipeFds[1]);
    ::close(pipeFds[0]);
  }

  // With the window showing the screen too, the window's paints take the controls'
  // changes, and the pages still get every one of them.
  void withTheWindow() {
    DashboardWindow window(*runner, QStringLiteral("web.json"), false);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    LiveClient page(live());
    QVERIFY(page.waitForPicture());
    for (int i = 0; i < 8; ++i) {
      feed("a " + QByteArray::number(i * 13 % 100) + "\nd " + QByteArray::number(i * 111) + "\ng " +
           QByteArray::number(i * 29 % 100) + '\n');
      QTest::qWait(120);
    }
    QVERIFY(QTest::qWaitFor([&] { return page.picture == snapshot(); }, 5000));
    const QImage shown =
        window.grab(QRect(window.centralWidget()->mapTo(&window, QPoint()), page.picture.size())).toImage();
    QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), page.picture);
    window.findChild<QScrollArea*>()->takeWidget();  // the screen is the runner's, and goes on hidden
  }

  // Every path the server answers, walked from its own table: each that needs the token
  // is refused without it and with any token but the right one (wrong, cut short, longer,
  // in another case, empty), given in the header or the address; only the page's script
  // and style, which hold no data, and the health check, which says only "ok", are
  // served to anyone.
  void tokens() {
    ServeOptions o;
    o.token = QStringLiteral("s3cret-token");
    const std::unique_ptr<WebServer> guarded = serve(o);
    const QString root = QStringLiteral("http://127.0.0.1:%1").arg(guarded->port());
    QStringList open;
    for (const WebServer::Route& route : WebServer::routes()) {
      const QString at = root + route.path;
      if (!route.needsToken) {
        open << route.path;
        const HttpAnswer answer = httpGet(at);
        QCOMPARE(answer.status, 200);
        // The health check tells one without the token nothing but that the screen runs.
        if (route.path == QLatin1String("/healthz")) QCOMPARE(answer.body, QByteArray("ok\n"));
        continue;
      }
      QVERIFY2(httpGet(at).status == 401, qPrintable(at));
      for (const QString& wrong : {QStringLiteral("wrong-token!"), QStringLiteral("s3cret-toke"),
                                   QStringLiteral("s3cret-token2"), QStringLiteral("s3cret-token-and-more"),
                                   QStringLiteral("S3CRET-TOKEN"), QStringLiteral("s3cret-tokem"), QString()}) {
        QVERIFY2(httpGet(at, "Bearer " + wrong.toUtf8()).status == 401, qPrintable(at + u' ' + wrong));
        QVERIFY2(httpGet(at + QStringLiteral("?token=") + wrong).status == 401, qPrintable(at + u' ' + wrong));
      }
      QVERIFY2(httpGet(at, "Basic s3cret-token").status == 401, qPrintable(at));
      // The right token opens every path; the live channel is no page to a plain request.
      const int expected = route.path == QLatin1String("/live") ? 404 : 200;
      QVERIFY2(httpGet(at, "Bearer s3cret-token").status == expected, qPrintable(at));
      QVERIFY2(httpGet(at, "bearer s3cret-token").status == expected, qPrintable(at));
      QVERIFY2(httpGet(at + QStringLiteral("?token=s3cret-token")).status == expected, qPrintable(at));
    }
    QCOMPARE(open, QStringList({"/kyvdash.js", "/kyvdash.css", "/healthz"}));
    // A path the server does not have tells nothing without the token.
    QCOMPARE(httpGet(root + QStringLiteral("/nothing-here")).status, 401);
    QCOMPARE(httpGet(root + QStringLiteral("/nothing-here"), "Bearer s3cret-token").status, 404);
    // The address printed carries the token's first characters only: a printed line ends
    // up in logs.
    QVERIFY2(guarded->pageUrl().endsWith(QLatin1String("/?token=s3c...")), qPrintable(guarded->pageUrl()));
    // Served on every address, the page is announced at this machine's name.
    ServeOptions everywhere = o;
    everywhere.address = QHostAddress::AnyIPv4;
    const std::unique_ptr<WebServer> wide = serve(everywhere);
    QVERIFY2(wide->pageUrl().startsWith(
                 QStringLiteral("http://%1:%2/?token=").arg(QHostInfo::localHostName()).arg(wide->port())),
             qPrintable(wide->pageUrl()));
    LiveClient without(QStringLiteral("ws://127.0.0.1:%1/live").arg(guarded->port()));
    QVERIFY(QTest::qWaitFor([&] { return without.socket.state() == QAbstractSocket::UnconnectedState; }, 5000));
    QCOMPARE(without.frames, 0);
    QVERIFY(rawAnswer(guarded->port(),
                      "GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
                .startsWith("HTTP/1.1 401"));
    LiveClient with(QStringLiteral("ws://127.0.0.1:%1/live?token=s3cret-token").arg(guarded->port()));
    QVERIFY(with.waitForPicture());
  }

  // Without a token, only requests addressed to this machine are answered: a site whose
  // name was made to resolve to 127.0.0.1 reads nothing. A live channel opens only to a
  // page of the host it addresses.
  void foreignNamesAndOrigins() {
    const QByteArray port = QByteArray::number(web->port());
    const auto get = [&](const QByteArray& host, const QByteArray& extra = {}) {
      return rawAnswer(web->port(), "GET /readings.json HTTP/1.1\r\nHost: " + host + "\r\n" + extra + "\r\n");
    };
    for (const QByteArray& host :
         {"127.0.0.1:" + port, "localhost:" + port, QByteArray("LOCALHOST"), "[::1]:" + port, QByteArray("127.0.0.2")})
      QVERIFY2(get(host).startsWith("HTTP/1.1 200"), host.constData());
    for (const QByteArray& host :
         {"evil.example:" + port, QByteArray("10.0.0.1"), QByteArray("localhost.evil.example"), QByteArray()}) {
      const QByteArray answer = get(host);
      QVERIFY2(answer.startsWith("HTTP/1.1 403"), host.constData());
      QVERIFY(!answer.contains("\"controls\""));
    }
    QVERIFY(web->counters().requestsForbidden >= 4);

    const QByteArray upgrade = "GET /live HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                               "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                               "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";
    for (const QByteArray& origin : {QByteArray("http://evil.example"),
                                     "http://127.0.0.1:" + QByteArray::number(web->port() + 1), QByteArray("null")})
      QVERIFY2(rawAnswer(web->port(), upgrade + "Origin: " + origin + "\r\n\r\n").startsWith("HTTP/1.1 403"),
               origin.constData());
    QVERIFY(
        rawAnswer(web->port(), upgrade + "Origin: http://127.0.0.1:" + port + "\r\n\r\n").startsWith("HTTP/1.1 101"));

    // Serving every address without a token, the names answered are this machine's own and
    // those given with --allow-host: a rebound name is refused there too.
    ServeOptions everywhere;
    everywhere.address = QHostAddress::AnyIPv4;
    everywhere.noToken = true;
    everywhere.allowedHosts = {QStringLiteral("wall.example")};
    const std::unique_ptr<WebServer> wide = serve(everywhere);
    const auto getWide = [&](const QByteArray& host) {
      return rawAnswer(wide->port(), "GET /readings.json HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
    };
    for (const QByteArray& host : {QByteArray("wall.example:8080"), QHostInfo::localHostName().toUtf8(),
                                   QByteArray("127.0.0.1"), QByteArray("localhost")})
      QVERIFY2(getWide(host).startsWith("HTTP/1.1 200"), host.constData());
    for (const QByteArray& host : {QByteArray("evil.example"), QByteArray("wall.example.evil.example"), QByteArray()})
      QVERIFY2(getWide(host).startsWith("HTTP/1.1 403"), host.constData());

    // A token guards a server by itself: any name is answered to a request that carries it.
    ServeOptions o;
    o.token = QStringLiteral("s3cret-token");
    const std::unique_ptr<WebServer> guarded = serve(o);
    QVERIFY(rawAnswer(guarded->port(),
                      "GET /healthz HTTP/1.1\r\nHost: wall.example\r\nAuthorization: Bearer s3cret-token\r\n\r\n")
                .startsWith("HTTP/1.1 200"));
  }

  // Beyond the most viewers, the page and the live channel are answered 503.
  void tooManyViewers() {
    std::vector<std::unique_ptr<LiveClient>> pages;
    for (int i = 0; i < 4; ++i) {
      pages.push_back(std::make_unique<LiveClient>(live()));
      QVERIFY(pages.back()->waitForPicture());
    }
    QCOMPARE(httpGet(url(QStringLiteral("/"))).status, 503);
    LiveClient fifth(live());
    QVERIFY(QTest::qWaitFor([&] { return fifth.socket.state() == QAbstractSocket::UnconnectedState; }, 5000));
    QCOMPARE(fifth.frames, 0);
    QVERIFY(rawAnswer(web->port(),
                      "GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
                .startsWith("HTTP/1.1 503"));
    pages.pop_back();
    QVERIFY(QTest::qWaitFor([&] { return httpGet(url(QStringLiteral("/"))).status == 200; }, 5000));
    QVERIFY(web->counters().viewersRefused >= 1);
  }

  // Hostile requests are refused or closed; a live page goes on receiving meanwhile.
  void hostileRequests() {
    LiveClient watcher(live());
    QVERIFY(watcher.waitForPicture());
    auto stillLive = [&](int value) {
      const int before = watcher.frames;
      feed("d " + QByteArray::number(value) + '\n');
      return QTest::qWaitFor([&] { return watcher.frames > before; }, 5000);
    };

    // Huge headers: 431, and the connection closed.
    const QByteArray huge = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " + QByteArray(200 * 1024, 'a') + "\r\n\r\n";
    QVERIFY(rawAnswer(web->port(), huge).startsWith("HTTP/1.1 431"));
    // The same sent in pieces that are each well within the limit: what counts is the
    // request's total, so it is refused as soon as that passes the limit.
    QTcpSocket pieces;
    pieces.connectToHost(QHostAddress::LocalHost, web->port());
    QVERIFY(connected(pieces));
    pieces.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    QByteArray refusal;
    qint64 sent = 0;
    for (int i = 0; i < 400 && refusal.isEmpty() && pieces.state() == QAbstractSocket::ConnectedState; ++i) {
      sent += pieces.write("X-Piece-" + QByteArray::number(i) + ": " + QByteArray(80, 'p') + "\r\n");
      QTest::qWait(1);
      refusal += pieces.readAll();
    }
    QVERIFY(QTest::qWaitFor([&] { return (refusal += pieces.readAll()).contains("\r\n"); }, 3000));
    QVERIFY2(refusal.startsWith("HTTP/1.1 431"), refusal.constData());
    QVERIFY2(sent < limits.maxRequestBytes * 2, qPrintable(QString::number(sent)));
    QVERIFY(stillLive(11));

    // Slowloris: a request that never ends is closed after the request timeout.
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, web->port());
    QVERIFY(connected(slow));
    QElapsedTimer clock;
    clock.start();
    slow.write("GET / HTTP/1.1\r\n");
    QVERIFY(QTest::qWaitFor(
        [&] {
          slow.write("X-A: b\r\n");
          return slow.state() == QAbstractSocket::UnconnectedState || slow.readAll().startsWith("HTTP/1.1 408");
        },
        5000));
    QVERIFY(clock.elapsed() < 3000);
    // A connection that says nothing is closed after the same time.
    QTcpSocket idle;
    idle.connectToHost(QHostAddress::LocalHost, web->port());
    QVERIFY(connected(idle));
    clock.restart();
    QVERIFY(QTest::qWaitFor([&] { return idle.state() == QAbstractSocket::UnconnectedState; }, 5000));
    QVERIFY(clock.elapsed() < 3000);
    QVERIFY(stillLive(12));

    // A flood: 2,000 connections at once; at most the limit stay open, the rest are told
    // 503 and closed; the live page goes on, and the server answers again afterwards.
    const int openBefore = web->connections();
    std::vector<std::unique_ptr<QTcpSocket>> flood;
    for (int i = 0; i < 2000; ++i) {
      flood.push_back(std::make_unique<QTcpSocket>());
      flood.back()->connectToHost(QHostAddress::LocalHost, web->port());
    }
    QTest::qWait(1000);
    QVERIFY2(web->connections() <= limits.maxConnections, qPrintable(QString::number(web->connections())));
    QVERIFY(stillLive(13));
    flood.clear();
    // The server frees a place as it hears of each close, which on a loaded machine takes
    // a while. A connection made soon after may still find the limit full and be refused
    // with 503 (it was once, under load, after the count had dropped), as the server
    // should, so the page below tries again, as a reconnecting page does.
    QVERIFY2(QTest::qWaitFor([&] { return web->connections() <= openBefore; }, 10'000),
             qPrintable(QString::number(web->connections())));
    QVERIFY(QTest::qWaitFor([&] { return httpGet(url(QStringLiteral("/healthz"))).status == 200; }, 5000));
    // Opens a live connection by hand on `s`, trying again after a refusal.
    const auto openLive = [&](QTcpSocket& s) {
      return QTest::qWaitFor(
          [&] {
            s.abort();
            s.connectToHost(QHostAddress::LocalHost, web->port());
            if (!connected(s)) return false;
            s.write(
                "GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
            QByteArray got;
            return QTest::qWaitFor([&] { return (got += s.readAll()).contains("\r\n\r\n"); }, 5000) &&
                   got.startsWith("HTTP/1.1 101");
          },
          10'000);
    };

    // Broken WebSocket frames: an unmasked frame, a reserved opcode, a length of 2^63.
    for (const QByteArray& frame : {QByteArray::fromHex("8105") + "hello", QByteArray::fromHex("8f80") + "abcd",
                                    QByteArray::fromHex("82ff7fffffffffffffff") + "abcd"}) {
      QTcpSocket s;
      QVERIFY(openLive(s));
      s.write(frame);
      QVERIFY2(QTest::qWaitFor(
                   [&] {
                     s.readAll();
                     return s.state() == QAbstractSocket::UnconnectedState;
                   },
                   5000),
               frame.toHex().constData());
    }
    QVERIFY(stillLive(14));
    QVERIFY(watcher.socket.state() == QAbstractSocket::ConnectedState);
  }

  // Connections that send no request hold no place anyone needs. A flood of idle
  // connections is met by closing the oldest that never showed the token, so that a health
  // probe and a real page get in at once, long before the flood would time out; one
  // address holds at most its share of the connections; a connection that showed the
  // token is never closed to make room.
  void idleFloodsLockNobodyOut() {
    ConnectionLimits patient = limits;
    patient.requestTimeout = std::chrono::milliseconds(30'000);  // the flood stays unless pushed out
    const auto flood = [](quint16 port, const QHostAddress& from, int count) {
      std::vector<std::unique_ptr<QTcpSocket>> sockets;
      for (int i = 0; i < count; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->bind(from);
        sockets.back()->connectToHost(QHostAddress::LocalHost, port);
      }
      QTest::qWait(300);
      return sockets;
    };
    // Whether at most `most` of `sockets` stay open once the server has taken them all in
    // (until it has, those it has not accepted yet look open too).
    const auto openAtMost = [](const std::vector<std::unique_ptr<QTcpSocket>>& sockets, int most) {
      qsizetype open = 0;
      const bool held = QTest::qWaitFor(
          [&] {
            open = std::count_if(sockets.begin(), sockets.end(), [](const auto& s) {
              s->readAll();
              return s->state() == QAbstractSocket::ConnectedState;
            });
            return open <= most;
          },
          5000);
      if (!held) qWarning("%lld connections of the flood are open", qint64(open));
      return held;
    };
    const int share = int(patient.maxConnections * patient.addressShare);

    // Without a token, on loopback: every client is 127.0.0.1, the flood's and the page's.
    ServeOptions open;
    open.maxViewers = 4;
    const std::unique_ptr<WebServer> loopback = std::make_unique<WebServer>(*runner, open, patient);
    QString error;
    QVERIFY2(loopback->listen(&error), qPrintable(error));
    const QString at = QStringLiteral("http://127.0.0.1:%1").arg(loopback->port());
    auto idle = flood(loopback->port(), QHostAddress::LocalHost, 200);
    QVERIFY(openAtMost(idle, share));
    QElapsedTimer clock;
    clock.start();
    const HttpAnswer health = httpGet(at + QStringLiteral("/healthz"), {}, 3000);
    QCOMPARE(health.status, 200);
    QCOMPARE(health.body, QByteArray("ok\n"));
    LiveClient page(QStringLiteral("ws://127.0.0.1:%1/live").arg(loopback->port()));
    QVERIFY(page.waitForPicture());
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    idle.clear();

    // With a token: a flood from one address keeps none of ten viewers from another out,
    // nor the health probe, which needs no token and says only "ok".
    ServeOptions guardedOptions;
    guardedOptions.token = QStringLiteral("s3cret-token");
    guardedOptions.maxViewers = 16;
    const std::unique_ptr<WebServer> guarded = std::make_unique<WebServer>(*runner, guardedOptions, patient);
    QVERIFY2(guarded->listen(&error), qPrintable(error));
    const QString guardedAt = QStringLiteral("http://127.0.0.1:%1").arg(guarded->port());
    // A connection that showed the token, kept open between its requests.
    QTcpSocket trusted;
    trusted.connectToHost(QHostAddress::LocalHost, guarded->port());
    QVERIFY(connected(trusted));
    const QByteArray request = "GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer s3cret-token\r\n\r\n";
    trusted.write(request);
    QVERIFY(QTest::qWaitFor([&] { return trusted.readAll().startsWith("HTTP/1.1 200"); }, 3000));
    auto other = flood(guarded->port(), QHostAddress(QStringLiteral("127.0.0.2")), 70);
    QVERIFY(openAtMost(other, share));
    auto same = flood(guarded->port(), QHostAddress::LocalHost, 70);
    std::vector<std::unique_ptr<LiveClient>> viewers;
    for (int i = 0; i < 10; ++i)
      viewers.push_back(std::make_unique<LiveClient>(
          QStringLiteral("ws://127.0.0.1:%1/live?token=s3cret-token").arg(guarded->port())));
    for (const auto& v : viewers) QVERIFY(v->waitForPicture());
    const HttpAnswer probe = httpGet(guardedAt + QStringLiteral("/healthz"), {}, 3000);
    QCOMPARE(probe.status, 200);
    QCOMPARE(probe.body, QByteArray("ok\n"));
    QCOMPARE(trusted.state(), QAbstractSocket::ConnectedState);
    trusted.write(request);
    QVERIFY(QTest::qWaitFor([&] { return trusted.readAll().startsWith("HTTP/1.1 200"); }, 3000));
  }

  // A page that does not read is skipped once its backlog is full, never buffered without
  // bound, and closed when it stays behind; the others go on.
  void slowViewerIsDropped() {
    LiveClient reader(live());
    QVERIFY(reader.waitForPicture());
    // A plain socket with a tiny receive buffer that never reads past the handshake.
    const int stuck = ::socket(AF_INET, SOCK_STREAM, 0);
    const int tiny = 2048;
    QCOMPARE(::setsockopt(stuck, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny), 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(web->port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Connected without blocking: the server answers from this same thread's event loop.
    const int flags = ::fcntl(stuck, F_GETFL);
    QCOMPARE(::fcntl(stuck, F_SETFL, flags | O_NONBLOCK), 0);
    QVERIFY2(::connect(stuck, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 || errno == EINPROGRESS,
             strerror(errno));
    QVERIFY(QTest::qWaitFor(
        [&] {
          pollfd p{stuck, POLLOUT, 0};
          return ::poll(&p, 1, 0) == 1;
        },
        10000));
    int error = 0;
    socklen_t length = sizeof error;
    QCOMPARE(::getsockopt(stuck, SOL_SOCKET, SO_ERROR, &error, &length), 0);
    QVERIFY2(error == 0, strerror(error));
    QCOMPARE(::fcntl(stuck, F_SETFL, flags), 0);
    const QByteArray handshake =
        "GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
    QCOMPARE(::write(stuck, handshake.constData(), handshake.size()), handshake.size());
    const quint64 dropped = web->counters().viewersDropped;
    const int start = reader.frames;
    QElapsedTimer clock;
    clock.start();
    // The kernel's send buffer for the stuck page takes a few megabytes before any backlog
    // shows, which takes seconds of frames, more on a loaded machine.
    for (int i = 0; clock.elapsed() < 30'000 && web->counters().viewersDropped == dropped; ++i) {
      feed("g " + QByteArray::number(i * 37 % 100) + "\na " + QByteArray::number(i % 100) + '\n');
      QTest::qWait(20);
    }
    QVERIFY(web->counters().framesSkipped > 0);
    QVERIFY(web->counters().viewersDropped > dropped);
    QVERIFY(reader.frames - start > 20);
    QVERIFY(QTest::qWaitFor([&] { return reader.picture == snapshot(); }, 5000));
    ::close(stuck);
  }

  // A changed layout file is a new screen: the pages are sent it and its whole picture.
  void reloadedLayout() {
    LiveClient page(live());
    QVERIFY(page.waitForPicture());
    const QSize before = page.picture.size();
    QFile f(dir.filePath(QStringLiteral("web.json")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(kLayout).replace("\"Web <script>", "\"Reloaded <script>").replace("[900, 2100,", "[900, 3100,"));
    f.close();
    runner->reload();
    const auto reloaded = [&] {
      return std::any_of(page.texts.begin(), page.texts.end(), [](const QJsonObject& m) {
        return m["title"].toString().startsWith(QLatin1String("Reloaded <script>"));
      });
    };
    QVERIFY(QTest::qWaitFor(reloaded, 5000));
    QVERIFY(QTest::qWaitFor([&] { return !page.picture.isNull() && page.picture.size() != before; }, 5000));
    feed("d 2468\n");
    QVERIFY(QTest::qWaitFor([&] { return page.picture == snapshot(); }, 5000));
  }
};

QTEST_MAIN(TestWeb)
#include "tst_web.moc"
