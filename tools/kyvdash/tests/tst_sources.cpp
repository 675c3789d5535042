// Each kind of source in the event loop: standard input through a pipe, followed files
// (rotation and truncation included), this machine's /proc, a Prometheus page served on
// the loopback address by the test itself, and commands. Waits are generous: the machine
// may be busy.
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>

#include "CommandSource.h"
#include "FileSource.h"
#include "ProcSource.h"
#include "ProcessGroup.h"
#include "PromQuerySource.h"
#include "PromSource.h"
#include "StdinSource.h"

using namespace kyvdash;
using std::chrono::milliseconds;

namespace {

constexpr int kWait = 20'000;

// What a source gives, as "NAME=VALUE" texts, and what it reports.
struct Heard {
  QStringList readings, problems;
  int recovered = 0;
  explicit Heard(Source& s) {
    QObject::connect(&s, &Source::reading, &s,
                     [this](const QString& f, double v) { readings << QStringLiteral("%1=%2").arg(f).arg(v); });
    QObject::connect(&s, &Source::problem, &s, [this](const QString& m) { problems << m; });
    QObject::connect(&s, &Source::recovered, &s, [this] { ++recovered; });
  }
  QStringList fields() const {
    QStringList out;
    for (const QString& r : readings) out << r.section(u'=', 0, 0);
    out.removeDuplicates();
    return out;
  }
  double last(const QString& field) const {
    for (qsizetype i = readings.size() - 1; i >= 0; --i)
      if (readings[i].section(u'=', 0, 0) == field) return readings[i].section(u'=', 1).toDouble();
    return -1;
  }
};

void write(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode = QIODevice::Append) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | mode));
  QCOMPARE(f.write(bytes), bytes.size());
}

// Serves one page over HTTP on 127.0.0.1, with the status it is told; keeps the path and
// query of each request.
class PageServer : public QObject {
 public:
  QByteArray body;
  int status = 200;
  int requests = 0;
  QStringList paths;

  PageServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        connect(s, &QTcpSocket::readyRead, s, [this, s] {
          if (!s->peek(65536).contains("\r\n\r\n")) return;
          paths << QString::fromLatin1(s->readAll().split(' ').value(1));
          ++requests;
          const QByteArray head = QStringLiteral(
                                      "HTTP/1.1 %1 %2\r\nContent-Type: text/plain; version=0.0.4\r\n"
                                      "Content-Length: %3\r\nConnection: close\r\n\r\n")
                                      .arg(status)
                                      .arg(QLatin1String(reason()))
                                      .arg(body.size())
                                      .toLatin1();
          s->write(head + body);
          s->disconnectFromHost();
        });
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(server_.serverPort())); }
  QUrl root() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort())); }
  void close() { server_.close(); }

 private:
  const char* reason() const {
    switch (status) {
      case 200: return "OK";
      case 404: return "Not Found";
      case 503: return "Service Unavailable";
      default: return "Internal Server Error";
    }
  }
  QTcpServer server_;
};

// Requests `server` is sent over `ms` milliseconds.
int requestsOver(const PageServer& server, int ms) {
  const int before = server.requests;
  QTest::qWait(ms);
  return server.requests - before;
}

// Serves an endless page on 127.0.0.1 (as a wrong address may), or, with `silent`, never
// answers at all; counts the bytes it sent and the connections opened to it.
class EndlessServer : public QObject {
 public:
  qint64 sent = 0;
  bool silent = false;
  int connections = 0;

  EndlessServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        ++connections;
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        if (silent) continue;
        connect(s, &QTcpSocket::bytesWritten, s, [this, s] {
          if (s->bytesToWrite() < kChunk) more(s);
        });
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
        more(s);
      }
    });
  }
  QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(server_.serverPort())); }

 private:
  static constexpr qint64 kChunk = 1 << 20;
  void more(QTcpSocket* s) {
    if (sent > 200 * kChunk) return s->disconnectFromHost();
    QByteArray lines;
    while (lines.size() < kChunk) lines += "node_load1 0.5\n";
    sent += s->write(lines);
  }
  QTcpServer server_;
};

// Answers every request with `body` as JSON, written in `pieces` pieces a few
// milliseconds apart (a large answer arriving over time).
class PiecesServer : public QObject {
 public:
  QByteArray body;
  int pieces = 1;

  PiecesServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QTcpSocket::readyRead, s, [this, s] {
          if (!s->peek(65536).contains("\r\n\r\n")) return;
          s->readAll();
          s->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                   QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n");
          send(s, 0);
        });
      }
    });
  }
  QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort())); }

 private:
  void send(QPointer<QTcpSocket> s, int piece) {
    if (!s || s->state() != QAbstractSocket::ConnectedState) return;
    const qsizetype size = (body.size() + pieces - 1) / pieces;
    s->write(body.mid(piece * size, size));
    s->flush();
    if (piece + 1 < pieces) return QTimer::singleShot(2, s, [this, s, piece] { send(s, piece + 1); });
    s->disconnectFromHost();
  }
  QTcpServer server_;
};

// An answer of the query API of about `size` bytes giving one series of value 42.
QByteArray queryAnswer(qsizetype size) {
  const QByteArray head = R"({"status":"success","data":{"resultType":"vector","result":[{"metric":{"pad":")";
  const QByteArray tail = R"("},"value":[1700000000,"42"]}]}})";
  return head + QByteArray(size - head.size() - tail.size(), 'x') + tail;
}

// Whether process `pid` runs (an ended one that nobody reaped yet does not).
bool running(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return false;
  const QByteArray text = stat.readAll();
  const char state = text.mid(text.lastIndexOf(')') + 2, 1).at(0);
  return state != 'Z' && state != 'X';
}

qint64 pidIn(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toLongLong() : 0;
}

QByteArray fixture(const char* name) {
  QFile f(QFINDTESTDATA(QStringLiteral("data/") + QLatin1String(name)));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestSources : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

 private slots:
  void initTestCase() {
    QVERIFY(dir.isValid());
    for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) qunsetenv(v);
  }

  void standardInput() {
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    FdReader reader(fds[0]);
    StdinSource in(QStringLiteral("in"), reader);
    Heard heard(in);
    in.start();
    const QByteArray lines = "a 1\nb 2.5\n{\"c\": 3, \"d\": \"x\"}\nnonsense\ne 4";
    QCOMPARE(::write(fds[1], lines.data(), lines.size()), ssize_t(lines.size()));
    QTRY_COMPARE_WITH_TIMEOUT(heard.readings, QStringList({"a=1", "b=2.5", "c=3"}), kWait);
    QCOMPARE(heard.problems, QStringList({"line not understood: \"nonsense\" (not NAME VALUE)"}));
    QCOMPARE(::write(fds[1], "\n", 1), ssize_t(1));  // the last line is whole only now
    QTRY_COMPARE_WITH_TIMEOUT(heard.readings.size(), 4, kWait);
    QCOMPARE(heard.readings.last(), QStringLiteral("e=4"));
    ::close(fds[1]);
    QTRY_COMPARE_WITH_TIMEOUT(heard.problems.size(), 2, kWait);
    QCOMPARE(heard.problems.last(), QStringLiteral("standard input closed (end of input)"));
    ::close(fds[0]);
  }

  // Lines appended are read; a rotated file is read to its end, then the new one from its start.
  void followedFileRotated() {
    const QString log = path("rotated.log");
    write(log, "x 1\n");
    FileSource source(QStringLiteral("log"), log);
    source.setPoll(milliseconds(50));
    Heard heard(source);
    source.start();
    QTRY_COMPARE_WITH_TIMEOUT(heard.readings, QStringList({"x=1"}), kWait);
    write(log, "x 2\n");
    QTRY_COMPARE_WITH_TIMEOUT(heard.readings, QStringList({"x=1", "x=2"}), kWait);

    QVERIFY(QFile::rename(log, log + QStringLiteral(".1")));
    write(log + QStringLiteral(".1"), "x 3\n");  // written by the writer before it reopens
    write(log, "x 4\nlonger 44\n");
    QTRY_COMPARE_WITH_TIMEOUT(heard.readings, QStringList({"x=1", "x=2", "x=3", "x=4", "longer=44"}), kWait);

    write(log, "x 5\n", QIODevice::Truncate);  // truncated in place: read from the start
    QTRY_COMPARE_WITH_TIMEOUT(heard.readings.size(), 6, kWait);
    QCOMPARE(heard.readings.last(), QStringLiteral("x=5"));

    write(log, "z 8");  // half a line waits for its end
    write(log, "\nsync 1\n");
    QTRY_COMPARE_WITH_TIMEOUT(heard.readings.size(), 8, kWait);
    QCOMPARE(heard.readings.mid(6), QStringList({"z=8", "sync=1"}));
    QCOMPARE(heard.problems, QStringList());
  }

  // A file that is not there yet is retried with back-off, and read once it appears.
  void followedFileAppearsLater() {
    const QString log = path("later.log");
    FileSource source(QStringLiteral("log"), log);
    source.setRetry(milliseconds(50), milliseconds(200));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(!heard.problems.isEmpty(), kWait);
    QCOMPARE(heard.problems.front(), QStringLiteral("cannot open %1: no such file; retrying in 0.05 s").arg(log));
    write(log, "y 1\n");
    QTRY_COMPARE_WITH_TIMEOUT(heard.readings, QStringList({"y=1"}), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(heard.recovered, 1, kWait);
  }

  // A long history: only its last 64 KiB are read at first, from a whole line on.
  void followedFileWithHistory() {
    const QString log = path("history.log");
    QByteArray lines;
    for (int i = 0; i < 20'000; ++i) lines += "n " + QByteArray::number(i) + '\n';
    write(log, lines);
    FileSource source(QStringLiteral("log"), log);
    Heard heard(source);
    source.start();
    QTRY_COMPARE_WITH_TIMEOUT(heard.last(QStringLiteral("n")), 19'999.0, kWait);
    QVERIFY2(heard.readings.size() > 5'000 && heard.readings.size() < 10'000,
             qPrintable(QString::number(heard.readings.size())));
    QCOMPARE(heard.fields(), QStringList({"n"}));  // no piece of a line was read as one
    QCOMPARE(heard.problems, QStringList());
  }

  // A CSV file: columns by header name, the header found even when reading from the middle,
  // and the new header of a rotated file followed.
  void followedCsv() {
    const QString csv = path("plant.csv");
    QByteArray rows = "time,temp,pressure\n";
    for (int i = 0; i < 10'000; ++i) rows += "12:00:00," + QByteArray::number(i) + ",1.5\n";
    write(csv, rows);
    FileSource source(QStringLiteral("plant"), csv);
    source.setCsv(u',');
    source.setPoll(milliseconds(50));
    Heard heard(source);
    source.start();
    QTRY_COMPARE_WITH_TIMEOUT(heard.last(QStringLiteral("temp")), 9'999.0, kWait);
    QCOMPARE(heard.fields(), QStringList({"temp", "pressure"}));
    QVERIFY(QFile::remove(csv));
    write(csv, "pressure,temp\n2.5,-4\n");
    QTRY_COMPARE_WITH_TIMEOUT(heard.last(QStringLiteral("temp")), -4.0, kWait);
    QCOMPARE(heard.last(QStringLiteral("pressure")), 2.5);
  }

  void procOfThisMachine() {
    ProcSource source(QStringLiteral("machine"), milliseconds(100));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.fields().contains(QStringLiteral("cpu")), kWait);  // the second reading
    for (const char* field : {"mem", "swap", "load1", "load5", "load15", "cpu0"})
      QVERIFY2(heard.fields().contains(QLatin1String(field)), field);
    const double cpu = heard.last(QStringLiteral("cpu")), mem = heard.last(QStringLiteral("mem"));
    QVERIFY2(cpu >= 0 && cpu <= 100, qPrintable(QString::number(cpu)));
    QVERIFY2(mem > 0 && mem <= 100, qPrintable(QString::number(mem)));
    QVERIFY(heard.last(QStringLiteral("load1")) >= 0);
    if (heard.fields().contains(QStringLiteral("net.rx"))) QVERIFY(heard.last(QStringLiteral("net.rx")) >= 0);
    QCOMPARE(heard.problems, QStringList());
  }

  void procThatCannotBeRead() {
    ProcSource source(QStringLiteral("machine"), milliseconds(100));
    source.setRoot(path("no-proc"), path("no-sys"));
    source.setRetry(milliseconds(50), milliseconds(50));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.problems.size() >= 2, kWait);  // retried
    QCOMPARE(heard.problems.front(),
             QStringLiteral("cannot read %1/stat and %1/loadavg; retrying in 0.05 s").arg(path("no-proc")));
    QVERIFY(heard.readings.isEmpty());
  }

  void prometheusScrape() {
    PageServer server;
    server.body = fixture("metrics.prom");
    QVERIFY(!server.body.isEmpty());
    PromSource source(QStringLiteral("prom"), server.url(), milliseconds(100), milliseconds(5000));
    for (const char* field : {"node_load1", "node_filesystem_avail_bytes{mountpoint=\"/run\"}",
                              "http_requests_total{code=\"400\"}", "node_absent"})
      source.want(QString::fromUtf8(field));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.readings.size() >= 6, kWait);  // two scrapes
    QCOMPARE(heard.readings.mid(0, 3),
             QStringList({"node_load1=0.52", "node_filesystem_avail_bytes{mountpoint=\"/run\"}=8.1e+08",
                          "http_requests_total{code=\"400\"}=3"}));
    QCOMPARE(heard.problems,  // reported once, not at every scrape
             QStringList({QStringLiteral("no sample of %1 matches node_absent").arg(server.url().toString())}));
  }

  // A scrape that fails is reported once and tried again at each tick, no more often: a
  // page that is back is read within an interval.
  void prometheusFailing() {
    PageServer server;
    server.body = "up 1\n";
    server.status = 500;
    PromSource source(QStringLiteral("prom"), server.url(), milliseconds(200), milliseconds(5000));
    source.want(QStringLiteral("up"));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(!heard.problems.isEmpty(), kWait);
    const int asked = requestsOver(server, 2000);  // ten intervals
    QVERIFY2(asked >= 5 && asked <= 11, qPrintable(QString::number(asked)));
    QCOMPARE(
        heard.problems,
        QStringList(QStringLiteral("cannot scrape %1: HTTP 500 Internal Server Error; scraping it again every 0.2 s")
                        .arg(server.url().toString())));
    QVERIFY(heard.readings.isEmpty());
    server.status = 200;
    QElapsedTimer back;
    back.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.readings.contains(QStringLiteral("up=1")), kWait);
    QVERIFY2(back.elapsed() < 200 + 1500, qPrintable(QString::number(back.elapsed())));
    QCOMPARE(heard.recovered, 1);
  }

  // A query server that is down (answering 503, as one starting or a proxy before one
  // does) is sent one cheap probe an interval, its readiness check, never a whole round;
  // one without that check (404) is probed with the query `1`. Either is reported once.
  void prometheusQueryServerDown() {
    for (const int status : {503, 404}) {
      PageServer server;
      server.status = status;
      PromQuerySource source(QStringLiteral("prom"), server.root(), milliseconds(200), milliseconds(5000));
      for (const char* q : {"up", "node_load1", "rate(x[1m])", "sum(y)"}) source.want(QString::fromLatin1(q));
      Heard heard(source);
      source.start();
      QTRY_VERIFY_WITH_TIMEOUT(heard.problems.size() == (status == 503 ? 1 : 2), kWait);
      const int before = server.requests;
      const int asked = requestsOver(server, 2000);
      QVERIFY2(asked >= 5 && asked <= 11, qPrintable(QString::number(asked)));
      const QString probe = status == 503 ? QStringLiteral("/-/ready") : QStringLiteral("/api/v1/query?query=1");
      QCOMPARE(server.paths.mid(before, asked), QStringList(asked, probe));
      QCOMPARE(heard.problems.size(), status == 503 ? 1 : 2);
      QCOMPARE(
          heard.problems.back(),
          QStringLiteral("cannot query %1/api/v1/query: HTTP %2; probing %1%3 every 0.2 s")
              .arg(server.root().toString(),
                   status == 503 ? QStringLiteral("503 Service Unavailable") : QStringLiteral("404 Not Found"), probe));
    }
  }

  // A query server that accepts connections and never answers is sent at most one probe
  // at a time, each ended by its timeout.
  void prometheusQueryServerSilent() {
    EndlessServer silent;
    silent.silent = true;
    PromQuerySource source(QStringLiteral("prom"), QUrl(silent.url().toString().remove(QStringLiteral("/metrics"))),
                           milliseconds(200), milliseconds(300));
    for (const char* q : {"up", "node_load1", "rate(x[1m])", "sum(y)"}) source.want(QString::fromLatin1(q));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(!heard.problems.isEmpty(), kWait);
    const int before = silent.connections;
    QTest::qWait(2000);
    const int asked = silent.connections - before;
    QVERIFY2(asked >= 3 && asked <= 7, qPrintable(QString::number(asked)));
    QCOMPARE(heard.problems.size(), 1);
  }

  // A page is read no further than its limit, 10 MB unless set, and that is a failure.
  void prometheusPageTooLarge() {
    EndlessServer server;
    PromSource source(QStringLiteral("prom"), server.url(), milliseconds(60'000), milliseconds(30'000));
    source.want(QStringLiteral("node_load1"));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(!heard.problems.isEmpty(), kWait);
    QCOMPARE(heard.problems.front(),
             QStringLiteral(
                 "the page of %1 is larger than its limit of 10 MB; not read further; scraping it again every 60 s")
                 .arg(server.url().toString()));
    QVERIFY(heard.readings.isEmpty());
    QVERIFY2(server.sent < 100 << 20, qPrintable(QString::number(server.sent)));
  }

  void prometheusTimeoutAndNotTheFormat() {
    EndlessServer silent;
    silent.silent = true;
    PromSource slow(QStringLiteral("prom"), silent.url(), milliseconds(60'000), milliseconds(300));
    Heard slowHeard(slow);
    slow.start();
    QTRY_VERIFY_WITH_TIMEOUT(!slowHeard.problems.isEmpty(), kWait);
    QCOMPARE(slowHeard.problems.front(),
             QStringLiteral("scrape of %1 timed out after 0.3 s; scraping it again every 60 s")
                 .arg(silent.url().toString()));

    PageServer server;
    for (int i = 0; i < 4096; ++i) server.body += char((i * 7919) % 251);
    PromSource source(QStringLiteral("prom"), server.url(), milliseconds(60'000), milliseconds(5000));
    source.want(QStringLiteral("up"));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(!heard.problems.isEmpty(), kWait);
    QVERIFY2(heard.problems.front().startsWith(
                 QStringLiteral("the page of %1 is not in the Prometheus text format (").arg(server.url().toString())),
             qPrintable(heard.problems.front()));
    QCOMPARE(heard.recovered, 0);
  }

  void prometheusRefused() {
    PageServer server;
    const QUrl url = server.url();
    server.close();
    PromSource source(QStringLiteral("prom"), url, milliseconds(100), milliseconds(5000));
    source.setRetry(milliseconds(50), milliseconds(100));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(!heard.problems.isEmpty(), kWait);
    QVERIFY2(heard.problems.front().contains(QLatin1String("refused")), qPrintable(heard.problems.front()));
  }

  // A query's answer is read no further than its limit, whether it comes in one piece or
  // in many; one within the limit is read.
  void prometheusQueryAnswerTooLarge() {
    for (const int pieces : {1, 60}) {
      for (const qsizetype size : {qsizetype(3000), qsizetype(6000)}) {
        PiecesServer server;
        server.body = queryAnswer(size);
        server.pieces = pieces;
        PromQuerySource source(QStringLiteral("prom"), server.url(), milliseconds(60'000), milliseconds(10'000));
        source.setMaxAnswer(4000);
        source.want(QStringLiteral("up"));
        Heard heard(source);
        source.start();
        QTRY_VERIFY_WITH_TIMEOUT(!heard.problems.isEmpty() || !heard.readings.isEmpty(), kWait);
        const QString what = QStringLiteral("%1 bytes in %2 pieces").arg(size).arg(pieces);
        if (size < 4000) {
          QVERIFY2(heard.problems.isEmpty(), qPrintable(what + u' ' + heard.problems.join(u'\n')));
          QCOMPARE(heard.readings, QStringList({"up=42"}));
          continue;
        }
        QVERIFY2(heard.readings.isEmpty(), qPrintable(what));
        QCOMPARE(heard.problems.front(),
                 QStringLiteral("an answer of %1/api/v1/query is larger than its limit of 0.004 MB; probing %1/-/ready "
                                "every 60 s")
                     .arg(server.url().toString()));
      }
    }
  }

  // A command that ends is started again; its output lines are readings each time.
  void commandRestarted() {
    CommandSource source(QStringLiteral("cmd"), {"sh", "-c", "echo a 1; echo b 2; exit 3"});
    source.setRetry(milliseconds(50), milliseconds(100));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.readings.size() >= 4, kWait);
    QCOMPARE(heard.readings.mid(0, 4), QStringList({"a=1", "b=2", "a=1", "b=2"}));
    QCOMPARE(heard.problems.front(), QStringLiteral("command sh ended with status 3; retrying in 0.05 s"));
  }

  // A command that prints its readings and exits is run again without a report.
  void commandThatPrintsAndExits() {
    CommandSource source(QStringLiteral("cmd"), {"printf", "x 7"});  // no newline at the end
    source.setRetry(milliseconds(50), milliseconds(100));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.readings.size() >= 2, kWait);
    QCOMPARE(heard.readings.mid(0, 2), QStringList({"x=7", "x=7"}));
    QCOMPARE(heard.problems, QStringList());
  }

  // Ending the source ends what its command started too, not only the command itself.
  void commandEndedWithItsChildren() {
    const QString pidFile = path("child.pid");
    auto source = std::make_unique<CommandSource>(
        QStringLiteral("cmd"), QStringList{"sh", "-c", "sleep 300 & echo $! > " + pidFile + "; echo up 1; wait"});
    Heard heard(*source);
    source->start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.readings.contains(QStringLiteral("up=1")), kWait);
    const qint64 child = pidIn(pidFile);
    QVERIFY(child > 0 && running(child));
    source.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!running(child), 5000);
  }

  // A child that ignores SIGTERM is killed with the rest of its group once the grace is
  // over, whether the caller waits for it or not.
  void groupEndsAChildThatIgnoresTerm() {
    for (const bool waiting : {true, false}) {
      const QString pidFile = path(waiting ? "stubborn-waited.pid" : "stubborn-later.pid");
      QProcess command;
      startInOwnGroup(command);
      command.start(QStringLiteral("sh"),
                    {QStringLiteral("-c"), "(trap '' TERM; exec sleep 300) & echo $! > " + pidFile + "; wait"});
      QVERIFY(command.waitForStarted());
      QTRY_VERIFY_WITH_TIMEOUT(pidIn(pidFile) > 0, kWait);
      const qint64 child = pidIn(pidFile);
      const auto cleanUp = qScopeGuard([child] { ::kill(static_cast<pid_t>(child), SIGKILL); });
      QTest::qWait(100);  // the child's trap is set before it becomes sleep
      const auto group = static_cast<pid_t>(command.processId());
      if (waiting)
        endGroup(group, milliseconds(300));
      else
        endGroupLater(group, milliseconds(300));
      QTRY_VERIFY_WITH_TIMEOUT(!running(child), 5000);
      QTRY_COMPARE_WITH_TIMEOUT(command.state(), QProcess::NotRunning, 5000);
    }
  }

  void commandMissing() {
    CommandSource source(QStringLiteral("cmd"), {"/nonexistent/kyvdash-feed"});
    source.setRetry(milliseconds(50), milliseconds(100));
    Heard heard(source);
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(heard.problems.size() >= 2, kWait);
    QVERIFY2(heard.problems.front().startsWith(QLatin1String("command /nonexistent/kyvdash-feed cannot be started: ")),
             qPrintable(heard.problems.front()));
  }
};

QTEST_MAIN(TestSources)
#include "tst_sources.moc"
