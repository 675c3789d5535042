#pragma once
// For tests: kyvdash started with --serve on a free loopback port and fed through its
// standard input, and plain HTTP requests to it.
#include <QEventLoop>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <csignal>

struct HttpAnswer {
  int status = 0;  // 0: no answer
  QByteArray body;
  QNetworkReply::NetworkError error = QNetworkReply::NoError;
  QMap<QByteArray, QByteArray> headers;
};

inline HttpAnswer httpGet(const QString& url, const QByteArray& authorization = {}, int timeoutMs = 10'000) {
  static QNetworkAccessManager manager;
  QNetworkRequest request{QUrl(url)};
  if (!authorization.isEmpty()) request.setRawHeader("Authorization", authorization);
  QNetworkReply* reply = manager.get(request);
  QEventLoop loop;
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec();
  HttpAnswer a;
  a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  a.body = reply->readAll();
  a.error = reply->error();
  for (const auto& [name, value] : reply->rawHeaderPairs()) a.headers.insert(name.toLower(), value);
  reply->abort();
  reply->deleteLater();
  return a;
}

class ServedKyvdash {
 public:
  ~ServedKyvdash() { stop(); }

  // Starts kyvdash serving `layout` with `extra` options (on port 0 unless they say);
  // true once it said where it serves.
  bool start(const QString& layout, const QStringList& extra = {}, int port = 0) {
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    QStringList args = extra;
    if (!extra.contains(QLatin1String("--serve"))) args << QStringLiteral("--serve") << QString::number(port);
    process_.start(QStringLiteral(KYVDASH_PROGRAM), args << layout);
    if (!process_.waitForStarted(10'000)) return false;
    static const QRegularExpression served(QStringLiteral("serving (http://\\S+) "));
    return QTest::qWaitFor(
               [&] {
                 out_ += process_.readAllStandardOutput();
                 const QRegularExpressionMatch m = served.match(QString::fromUtf8(out_));
                 if (m.hasMatch()) url_ = m.captured(1);
                 return !url_.isEmpty() || process_.state() != QProcess::Running;
               },
               20'000) &&
           !url_.isEmpty();
  }
  void feed(const QByteArray& lines) {
    process_.write(lines);
    process_.waitForBytesWritten(1000);
  }
  // Ends it with SIGTERM, as a service manager does.
  void stop() {
    if (process_.state() == QProcess::NotRunning) return;
    ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
    if (!process_.waitForFinished(10'000)) process_.kill();
    process_.waitForFinished(5000);
  }
  // The page's address as kyvdash printed it ("http://127.0.0.1:PORT/"; with a token, its
  // first characters).
  const QString& url() const { return url_; }
  // The address of `path`, without the printed token.
  QString at(const QString& path) const {
    QUrl u(url_);
    u.setPath(path);
    u.setQuery(QString());
    return u.toString();
  }
  quint16 port() const { return static_cast<quint16>(QUrl(url_).port()); }
  QProcess& process() { return process_; }
  QString errors() { return QString::fromLocal8Bit(process_.readAllStandardError()); }
  qint64 pid() const { return process_.processId(); }

 private:
  QProcess process_;
  QByteArray out_;
  QString url_;
};

// Resident memory of process `pid` in KiB, 0 when unknown.
inline qint64 residentKiB(qint64 pid) {
  QFile f(QStringLiteral("/proc/%1/status").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toLongLong();
  return 0;
}
