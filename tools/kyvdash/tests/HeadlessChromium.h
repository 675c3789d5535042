#pragma once
// For tests: Debian's chromium, headless, driven through its DevTools protocol over a
// WebSocket on loopback. It starts with a profile of its own and no network but loopback
// in use; start() says why when it cannot start.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>
#include <map>

class HeadlessChromium {
 public:
  ~HeadlessChromium() {
    socket_.abort();
    if (process_.state() != QProcess::NotRunning) {
      process_.terminate();
      if (!process_.waitForFinished(5000)) process_.kill();
      process_.waitForFinished(5000);
    }
    // Its child processes may still be writing the profile a moment after it ended.
    (void)QTest::qWaitFor([&] { return profile_.remove(); }, 5000);
  }

  bool start(QString* why, QSize window = QSize(1400, 1000)) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (program.isEmpty()) return fail(why, QStringLiteral("chromium is not installed"));
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start(program,
                   {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                    "--disable-background-networking", "--disable-component-update", "--disable-sync",
                    "--disable-extensions", "--hide-scrollbars", "--force-device-scale-factor=1",
                    "--force-color-profile=srgb", "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0",
                    QStringLiteral("--window-size=%1,%2").arg(window.width()).arg(window.height()),
                    "--user-data-dir=" + profile_.path(), "about:blank"});
    if (!process_.waitForStarted(10'000))
      return fail(why, QStringLiteral("chromium does not start: ") + process_.errorString());
    QFile active(profile_.filePath(QStringLiteral("DevToolsActivePort")));
    if (!QTest::qWaitFor([&] { return active.exists() && active.size() > 0; }, 30'000))
      return fail(why, QStringLiteral("chromium gave no DevTools port within 30 s"));
    QTest::qWait(100);
    if (!active.open(QIODevice::ReadOnly)) return fail(why, QStringLiteral("cannot read DevToolsActivePort"));
    const QList<QByteArray> lines = active.readAll().split('\n');
    if (lines.size() < 2) return fail(why, QStringLiteral("DevToolsActivePort is incomplete"));
    QObject::connect(&socket_, &QWebSocket::textMessageReceived, [this](const QString& m) { take(m); });
    socket_.open(
        QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(QString::fromLatin1(lines[0]), QString::fromLatin1(lines[1]))));
    if (!QTest::qWaitFor([&] { return socket_.state() == QAbstractSocket::ConnectedState; }, 10'000))
      return fail(why, QStringLiteral("cannot reach chromium's DevTools: ") + socket_.errorString());
    return true;
  }

  // Opens `url` in a new page, which the later calls act on.
  bool open(const QString& url) {
    const QJsonObject target = command(QStringLiteral("Target.createTarget"), {{"url", url}}, false);
    const QJsonObject attached =
        command(QStringLiteral("Target.attachToTarget"), {{"targetId", target["targetId"]}, {"flatten", true}}, false);
    page_ = attached["sessionId"].toString();
    return !page_.isEmpty();
  }

  // The value of a JavaScript expression in the page (promises awaited).
  QJsonValue evaluate(const QString& expression) {
    const QJsonObject r = command(QStringLiteral("Runtime.evaluate"),
                                  {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
    return r["result"].toObject()["value"];
  }

  // The page's pixels in `clip` (CSS pixels, at one device pixel each), as the screen shows them.
  QImage screenshot(const QRect& clip) {
    const QJsonObject r = command(
        QStringLiteral("Page.captureScreenshot"),
        {{"format", "png"},
         {"clip",
          QJsonObject{
              {"x", clip.x()}, {"y", clip.y()}, {"width", clip.width()}, {"height", clip.height()}, {"scale", 1}}}});
    return QImage::fromData(QByteArray::fromBase64(r["data"].toString().toLatin1()), "PNG");
  }

  // Sends a DevTools command and waits for its answer (an empty object on failure).
  QJsonObject command(const QString& method, const QJsonObject& params = {}, bool inPage = true,
                      int timeoutMs = 20'000) {
    const int id = ++lastId_;
    QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
    if (inPage && !page_.isEmpty()) message.insert("sessionId", page_);
    socket_.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    if (!QTest::qWaitFor([&] { return answers_.count(id) > 0; }, timeoutMs)) return {};
    const QJsonObject answer = answers_[id];
    answers_.erase(id);
    if (answer.contains("error")) qWarning() << method << answer["error"];
    return answer["result"].toObject();
  }

 private:
  static bool fail(QString* why, const QString& reason) {
    *why = reason;
    return false;
  }
  void take(const QString& text) {
    const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
    if (m.contains("id")) answers_[m["id"].toInt()] = m;
  }

  QTemporaryDir profile_;
  QProcess process_;
  QWebSocket socket_;
  QString page_;
  int lastId_ = 0;
  std::map<int, QJsonObject> answers_;
};
