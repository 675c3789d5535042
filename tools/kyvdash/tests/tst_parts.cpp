// The parts that need no event loop: lines and their readings, CSV rows, the Prometheus
// text format, /proc texts, the argument a feed method is given, staleness and back-off.
#include <unistd.h>
#include <QScopeGuard>
#include <QTest>
#include <cmath>
#include <limits>
#include <thread>

#include "Backoff.h"
#include "FeedMap.h"
#include "LabelFormat.h"
#include "OutputQueue.h"
#include "ProcStats.h"
#include "PromQuerySource.h"
#include "PromText.h"
#include "Readings.h"
#include "ShellWords.h"
#include "Staleness.h"

using namespace kyvdash;
using std::chrono::milliseconds;

namespace {

QStringList split(LineSplitter& s, QByteArrayView bytes) {
  QStringList lines;
  s.feed(bytes, [&](QByteArrayView line) { lines << QString::fromUtf8(line); });
  return lines;
}

// Readings as "NAME=VALUE" texts, in order.
QStringList shown(const std::vector<Reading>& readings) {
  QStringList out;
  for (const Reading& r : readings) out << QStringLiteral("%1=%2").arg(r.field).arg(r.value);
  return out;
}

QStringList readLine(const char* line, QString* problem = nullptr) {
  std::vector<Reading> out;
  QString why;
  if (!parseLine(QByteArrayView(line), out, &why)) {
    if (problem) *problem = why;
    return {QStringLiteral("bad")};
  }
  return shown(out);
}

double reading(const std::vector<std::pair<QString, double>>& readings, const char* field) {
  for (const auto& [name, value] : readings)
    if (name == QLatin1String(field)) return value;
  return -1;
}

}  // namespace

class TestParts : public QObject {
  Q_OBJECT

 private slots:
  // A command in one text is split as a shell splits it.
  void shellWords_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("single quotes") << "sh -c \'echo x 12\'" << QStringList({"sh", "-c", "echo x 12"});
    QTest::newRow("double quotes") << "printf \"%s \\\"q\\\" \\n $HOME\" \'a\"b\'"
                                   << QStringList({"printf", "%s \"q\" \\n $HOME", "a\"b"});
    QTest::newRow("backslash") << "a\\ b c\\\'d" << QStringList({"a b", "c\'d"});
    QTest::newRow("joined and empty") << "x\'y\'\"z\" \'\' \t" << QStringList({"xyz", ""});
    QTest::newRow("awk program") << "awk \'{print $1}\'" << QStringList({"awk", "{print $1}"});
  }
  void shellWords() {
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    QString problem;
    const std::optional<QStringList> split = splitShellWords(text, &problem);
    QVERIFY2(split, qPrintable(problem));
    QCOMPARE(*split, words);
    for (const char* bad : {"echo 'a", "echo \"a", "echo a\\"})
      QVERIFY(!splitShellWords(QString::fromLatin1(bad), &problem));
  }

  // A label shows its reading with its unit and precision.
  void labelFormats() {
    QCOMPARE(formatLabel(QStringLiteral("{value:.1f} MiB"), 1234.56), QStringLiteral("1234.6 MiB"));
    QCOMPARE(formatLabel(QStringLiteral("{value:si}B/s"), 1234567), QStringLiteral("1.23 MB/s"));
    QCOMPARE(formatLabel(QStringLiteral("{value:si}B/s"), 999999), QStringLiteral("1.00 MB/s"));
    QCOMPARE(formatLabel(QStringLiteral("{value:si}B/s"), 950), QStringLiteral("950 B/s"));
    QCOMPARE(formatLabel(QStringLiteral("{value:si}s"), 0.0125), QStringLiteral("12.5 ms"));
    QCOMPARE(formatLabel(QStringLiteral("{value:si}W"), -45600), QStringLiteral("-45.6 kW"));
    QCOMPARE(formatLabel(QStringLiteral("load {value} ({value:.0f})"), 0.52), QStringLiteral("load 0.52 (1)"));
    QCOMPARE(formatLabel(QStringLiteral("in: {value:si}B/s"), std::nullopt), QStringLiteral("in: - B/s"));
    // A number too long for a fixed form is written with an exponent.
    QCOMPARE(formatLabel(QStringLiteral("{value:.2f} J"), 1e300), QStringLiteral("1e+300 J"));
    QCOMPARE(formatLabel(QStringLiteral("{value:.2f} J"), -1e300), QStringLiteral("-1e+300 J"));
    QCOMPARE(formatLabel(QStringLiteral("{value:.2f} J"), -1e15), QStringLiteral("-1e+15 J"));
    QCOMPARE(formatLabel(QStringLiteral("{value:.2f} J"), 1e15), QStringLiteral("1e+15 J"));
    QCOMPARE(formatLabel(QStringLiteral("{value:.2f} J"), -123456789012345.0), QStringLiteral("-123456789012345.00 J"));
    QCOMPARE(labelTextProblem(QStringLiteral("{value:.2f} {value:si} {value}"), true), QString());
    QCOMPARE(
        labelTextProblem(QStringLiteral("{value:.2e}"), true),
        QStringLiteral("unknown format in {value:.2e} (known: {value}, {value:.Nf} with N from 0 to 9, {value:si})"));
    QCOMPARE(labelTextProblem(QStringLiteral("{time}"), true),
             QStringLiteral("unknown placeholder {time} (a label shows {value}, {value:.1f} or {value:si})"));
    QCOMPARE(labelTextProblem(QStringLiteral("{value} MB"), false),
             QStringLiteral("{value} needs the label to have a feed"));
  }

  // A counter's rate a second; a counter that went down was reset and counts from 0.
  void counterRates() {
    QCOMPARE(counterRate(100, 160, 2), 30.0);
    QCOMPARE(counterRate(500, 40, 2), 20.0);
    QVERIFY(std::isnan(counterRate(1, 2, 0)));
    QString problem;
    QVERIFY(parseScrapeField(QStringLiteral("rate(x_total{a=\"b\"})"), &problem)->rate);
    QVERIFY(!parseScrapeField(QStringLiteral("x_total"), &problem)->rate);
    QVERIFY(!parseScrapeField(QStringLiteral("rate(x_total{a=})"), &problem));
  }

  // Answers of the query API: every series of a vector with its labels, a scalar as one
  // series, or what the server said.
  void queryAnswers() {
    QString problem;
    const std::vector<Series> two = querySeries(
        R"({"status":"success","data":{"resultType":"vector","result":[{"metric":{"a":"1","i":"h2"},"value":[1.5,"42.25"]},)"
        R"({"metric":{"a":"2"},"value":[1.5,"7"]},{"metric":{"a":"3"},"value":[1.5,"x"]}]}})",
        &problem);
    QCOMPARE(two.size(), size_t(2));
    QCOMPARE(two[0].value, 42.25);
    QCOMPARE(two[0].labels, (Labels{{"a", "1"}, {"i", "h2"}}));
    QCOMPARE(two[1].value, 7.0);
    QCOMPARE(two[1].labels, (Labels{{"a", "2"}}));
    QVERIFY(problem.isEmpty());
    const std::vector<Series> scalar =
        querySeries(R"({"status":"success","data":{"resultType":"scalar","result":[1.5,"+Inf"]}})", &problem);
    QCOMPARE(scalar.size(), size_t(1));
    QCOMPARE(scalar[0].value, std::numeric_limits<double>::infinity());
    QVERIFY(scalar[0].labels.empty());
    QVERIFY(querySeries(R"({"status":"success","data":{"resultType":"vector","result":[]}})", &problem).empty());
    QCOMPARE(problem, QStringLiteral("no data"));
    QVERIFY(querySeries(
                R"({"status":"error","errorType":"bad_data","error":"1:11: parse error: unclosed left parenthesis"})",
                &problem)
                .empty());
    QCOMPARE(problem, QStringLiteral("bad_data: 1:11: parse error: unclosed left parenthesis"));
    QVERIFY(querySeries(R"({"status":"success","data":{"resultType":"matrix","result":[]}})", &problem).empty());
    QCOMPARE(problem, QStringLiteral("gives a matrix, not a number or an instant vector"));
    QVERIFY(querySeries("<html>", &problem).empty());
    QCOMPARE(problem, QStringLiteral("the answer is not the JSON of the Prometheus HTTP API"));
  }

  void linesAcrossPieces() {
    LineSplitter s;
    QCOMPARE(split(s, "cpu 1\nmem"), QStringList({"cpu 1"}));
    QVERIFY(s.pending());
    QCOMPARE(split(s, " 2\r\n\nload 3\n"), QStringList({"mem 2", "", "load 3"}));
    QVERIFY(!s.pending());
    QCOMPARE(split(s, "x 4"), QStringList());
    QStringList last;
    s.finish([&](QByteArrayView line) { last << QString::fromUtf8(line); });
    QCOMPARE(last, QStringList({"x 4"}));
  }

  // A line longer than the limit is dropped whole, even when it comes in pieces.
  void overlongLines() {
    LineSplitter s(8);
    QCOMPARE(split(s, "a 1\n0123456"), QStringList({"a 1"}));
    QCOMPARE(split(s, "789 long\nb 2\n"), QStringList({"b 2"}));
    QCOMPARE(s.dropped(), 1);
    QCOMPARE(split(s, "12345678\n"), QStringList({"12345678"}));  // exactly the limit is kept
  }

  void linesOfReadings() {
    QCOMPARE(readLine("cpu 42"), QStringList({"cpu=42"}));
    QCOMPARE(readLine("  temp \t -3.5  "), QStringList({"temp=-3.5"}));
    QCOMPARE(readLine("big 1e3"), QStringList({"big=1000"}));
    QCOMPARE(readLine(R"({"a": 1, "b": true, "c": "text", "d": [1], "e": false, "f": 2.5})"),
             QStringList({"a=1", "b=1", "e=0", "f=2.5"}));
    QCOMPARE(readLine(""), QStringList());
    QCOMPARE(readLine("# a comment 5"), QStringList());
    QString why;
    QCOMPARE(readLine("cpu", &why), QStringList({"bad"}));
    QCOMPARE(why, QStringLiteral("not NAME VALUE"));
    QCOMPARE(readLine("cpu 4 2"), QStringList({"bad"}));
    QCOMPARE(readLine("cpu four"), QStringList({"bad"}));
    QCOMPARE(readLine("{\"a\": ", &why), QStringList({"bad"}));
    QCOMPARE(why, QStringLiteral("not a JSON object"));
  }

  void csvRows() {
    CsvReader csv;
    std::vector<Reading> out;
    csv.line("time, cpu ,\"disk, read\",mem", out);
    QCOMPARE(csv.header(), QStringList({"time", "cpu", "disk, read", "mem"}));
    QVERIFY(out.empty());
    csv.line("12:00:01,5,\"1,5\",60.5,99", out);  // the time is no number; the fifth cell has no column
    QCOMPARE(shown(out), QStringList({"cpu=5", "mem=60.5"}));
    out.clear();
    csv.line("12:00:02,7,3", out);  // a short row gives what it has
    QCOMPARE(shown(out), QStringList({"cpu=7", "disk, read=3"}));
    csv.reset();
    out.clear();
    csv.line("mem,cpu", out);
    csv.line("10,20", out);
    QCOMPARE(shown(out), QStringList({"mem=10", "cpu=20"}));

    CsvReader semicolons(u';');
    out.clear();
    semicolons.line("a;b", out);
    semicolons.line("1,5;2", out);  // a decimal comma is no number
    QCOMPARE(shown(out), QStringList({"b=2"}));
  }

  void prometheusPage() {
    const QByteArray page =
        "# HELP http_requests_total The total number of HTTP requests.\n"
        "# TYPE http_requests_total counter\n"
        "http_requests_total{method=\"post\",code=\"200\"} 1027 1395066363000\n"
        "http_requests_total{method=\"post\",code=\"400\"}    3 1395066363000\n"
        "http_requests_total{method=\"get\", code=\"200\",} 97\n"
        "\n"
        "msdos_file_access_time_seconds{path=\"C:\\\\DIR\\\\FILE.TXT\",error=\"Cannot find file:\\n\\\"FILE.TXT\\\"\"} "
        "1.458255915e9\n"
        "metric_without_labels 12.47\n"
        "queue_free NaN\n"
        "queue_limit +Inf\n"
        "temperature -Inf\n"
        "broken{label=\"x\" 3\n"
        "no_value\n";
    int bad = 0;
    const std::vector<PromSample> s = parseExposition(page, &bad);
    QCOMPARE(bad, 2);
    QCOMPARE(s.size(), size_t(8));
    QCOMPARE(s[0].name, QStringLiteral("http_requests_total"));
    QCOMPARE(s[0].labels, SampleLabels({{"method", "post"}, {"code", "200"}}));
    QCOMPARE(s[0].value, 1027.0);
    QCOMPARE(s[2].labels, SampleLabels({{"method", "get"}, {"code", "200"}}));
    QCOMPARE(s[3].labels, SampleLabels({{"path", "C:\\DIR\\FILE.TXT"}, {"error", "Cannot find file:\n\"FILE.TXT\""}}));
    QCOMPARE(s[3].value, 1.458255915e9);
    QCOMPARE(s[4].value, 12.47);
    QVERIFY(std::isnan(s[5].value));
    QCOMPARE(s[6].value, std::numeric_limits<double>::infinity());
    QCOMPARE(s[7].value, -std::numeric_limits<double>::infinity());

    // A selector names the labels a sample must carry; the first match is the reading.
    const auto first = [&](const char* selector) -> double {
      QString problem;
      const std::optional<Selector> sel = parseSelector(QString::fromUtf8(selector), &problem);
      if (!sel) return -1;
      for (const PromSample& sample : s)
        if (sel->matches(sample)) return sample.value;
      return -2;
    };
    QCOMPARE(first("http_requests_total"), 1027.0);
    QCOMPARE(first("http_requests_total{code=\"400\"}"), 3.0);
    QCOMPARE(first("http_requests_total { method = \"get\" }"), 97.0);
    QCOMPARE(first("http_requests_total{method=\"get\",code=\"500\"}"), -2.0);
    QCOMPARE(first("metric_without_labels{}"), 12.47);
    QCOMPARE(first("metric_without"), -2.0);
  }

  void badSelectors_data() {
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("problem");
    QTest::newRow("empty") << ""
                           << "a metric name must start with a letter, _ or :";
    QTest::newRow("open") << "up{"
                          << "a label must read name=\"value\"";
    QTest::newRow("no quotes") << "up{job=node}"
                               << "the value of label job is not a closed double-quoted text";
    QTest::newRow("unclosed") << "up{job=\"node\""
                              << "labels must be separated by commas and closed by }";
    QTest::newRow("trailing") << "up x"
                              << "unexpected text after the selector: x";
  }
  void badSelectors() {
    QFETCH(QString, selector);
    QFETCH(QString, problem);
    QString why;
    QVERIFY(!parseSelector(selector, &why));
    QCOMPARE(why, problem);
  }

  // Two readings of fixed texts two seconds apart.
  void readingsOfProc() {
    ProcTexts a;
    a.stat = "cpu  100 0 100 700 100 0 0 0 0 0\ncpu0 50 0 50 350 50 0 0 0 0 0\nintr 5 5\n";
    a.meminfo =
        "MemTotal:        1000 kB\nMemFree:          100 kB\nMemAvailable:     250 kB\n"
        "SwapTotal:        400 kB\nSwapFree:         300 kB\n";
    a.loadavg = "0.52 0.58 0.59 1/123 456\n";
    a.netdev =
        "Inter-|   Receive                            |  Transmit\n"
        " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets\n"
        "    lo:  5000 10 0 0 0 0 0 0  5000 10 0 0 0 0 0 0\n"
        "  eth0:  1000 10 0 0 0 0 0 0  2000 10 0 0 0 0 0 0\n"
        "  wlan0:  500 10 0 0 0 0 0 0   100 10 0 0 0 0 0 0\n";
    a.diskstats =
        "   8       0 sda 10 0 100 0 20 0 200 0 0 0 0\n"
        "   8       1 sda1 10 0 100 0 20 0 200 0 0 0 0\n"
        "   7       0 loop0 10 0 50 0 0 0 0 0 0 0 0\n";
    a.wholeDisks = QStringList({"sda"});
    ProcTexts b = a;
    b.stat = "cpu  200 0 200 1300 100 0 0 0 0 0\ncpu0 150 0 50 350 50 0 0 0 0 0\n";
    b.netdev.replace("1000 10", "3048 10")
        .replace("2000 10", "1000 10");  // eth0 received 2048, its sent counter was reset
    b.diskstats.replace("sda 10 0 100", "sda 10 0 108").replace("0 200 0", "0 216 0");

    const ProcSnapshot first = parseProc(a, 10'000), second = parseProc(b, 12'000);
    const auto levels = kyvdash::procReadings(nullptr, first);
    QCOMPARE(levels.size(), size_t(5));  // levels only: no rates from one reading
    QCOMPARE(reading(levels, "mem"), 75.0);
    QCOMPARE(reading(levels, "swap"), 25.0);
    QCOMPARE(reading(levels, "load1"), 0.52);
    QCOMPARE(reading(levels, "load15"), 0.59);

    const auto r = kyvdash::procReadings(&first, second);
    QCOMPARE(reading(r, "cpu"), 25.0);    // 200 busy ticks of 800
    QCOMPARE(reading(r, "cpu0"), 100.0);  // all 100 ticks busy
    QCOMPARE(reading(r, "net.eth0.rx"), 1024.0);
    QCOMPARE(reading(r, "net.eth0.tx"), -1.0);  // went backwards: no rate
    QCOMPARE(reading(r, "net.rx"), 1024.0);     // lo is not counted
    QCOMPARE(reading(r, "net.lo.rx"), 0.0);
    QCOMPARE(reading(r, "disk.sda.read"), 2048.0);  // 8 sectors of 512 bytes in 2 s
    QCOMPARE(reading(r, "disk.sda1.read"), 0.0);
    QCOMPARE(reading(r, "disk.read"), 2048.0);  // whole disks only: the partition is inside sda
    QCOMPARE(reading(r, "disk.write"), 4096.0);
  }

  void procWithoutSwapOrDisks() {
    ProcTexts t;
    t.meminfo = "MemTotal: 1000 kB\nMemAvailable: 1000 kB\nSwapTotal: 0 kB\nSwapFree: 0 kB\n";
    const auto r = kyvdash::procReadings(nullptr, parseProc(t, 0));
    QCOMPARE(reading(r, "mem"), 0.0);
    QCOMPARE(reading(r, "swap"), 0.0);
    QCOMPARE(reading(r, "disk.read"), -1.0);
  }

  void procFields() {
    for (const char* good : {"cpu", "cpu12", "mem", "swap", "load1", "load5", "load15", "net.rx", "net.tx",
                             "net.eth0.rx", "net.wlp2s0.tx", "disk.read", "disk.write", "disk.nvme0n1.write"})
      QVERIFY2(isProcField(QString::fromLatin1(good)), good);
    for (const char* bad :
         {"", "cpu-1", "load", "load2", "memory", "net.rx.eth0", "net.eth0", "disk.sda", "disk.a.b.read"})
      QVERIFY2(!isProcField(QString::fromLatin1(bad)), bad);
  }

  // Integers are rounded half to even and held inside their type's range.
  void feedArguments() {
    using kyv::Variant;
    using kyv::VarType;
    QCOMPARE(*feedArgument(2.5, VarType::Integer), Variant(int16_t(2)));
    QCOMPARE(*feedArgument(3.5, VarType::Integer), Variant(int16_t(4)));
    QCOMPARE(*feedArgument(-2.5, VarType::Integer), Variant(int16_t(-2)));
    QCOMPARE(*feedArgument(41.6, VarType::Integer), Variant(int16_t(42)));
    QCOMPARE(*feedArgument(40000, VarType::Integer), Variant(int16_t(32767)));
    QCOMPARE(*feedArgument(-1e9, VarType::Integer), Variant(int16_t(-32768)));
    QCOMPARE(*feedArgument(std::numeric_limits<double>::infinity(), VarType::Integer), Variant(int16_t(32767)));
    QCOMPARE(*feedArgument(3e9, VarType::Long), Variant(int32_t(2147483647)));
    QCOMPARE(*feedArgument(123456.5, VarType::Long), Variant(int32_t(123456)));
    QCOMPARE(*feedArgument(1.25, VarType::Single), Variant(1.25f));
    QCOMPARE(*feedArgument(0.1, VarType::Variant), Variant(0.1));
    QVERIFY(!feedArgument(std::nan(""), VarType::Integer));
  }

  void staleness() {
    qint64 now = 1000;
    Staleness s([&] { return now; });
    const int x = s.add(0, QStringLiteral("in.x"), 5000);
    const int y = s.add(0, QStringLiteral("in.y"), 10'000);
    s.add(1, QStringLiteral("sys.cpu"), 2000);
    now = 5999;
    QVERIFY(!s.check()[0].stale);
    QVERIFY(s.check()[1].stale);
    now = 6000;
    QCOMPARE(s.check()[0].stale, true);
    QCOMPARE(s.check()[0].tooltip, QStringLiteral("No reading from in.x for 5 s"));
    s.fresh(x);
    now = 11'000;  // x is 5 s old again, y 10 s since the start
    QCOMPARE(s.check()[0].tooltip, QStringLiteral("No reading from in.x for 5 s\nNo reading from in.y for 10 s"));
    s.fresh(x);
    s.fresh(y);
    QVERIFY(!s.check()[0].stale);
    QVERIFY(s.check()[0].tooltip.isEmpty());
  }

  void ages() {
    QCOMPARE(formatAge(0), QStringLiteral("0 s"));
    QCOMPARE(formatAge(59'999), QStringLiteral("59 s"));
    QCOMPARE(formatAge(61'000), QStringLiteral("1 min 1 s"));
    QCOMPARE(formatAge(3'723'000), QStringLiteral("1 h 2 min"));
  }

  // A queue whose reader keeps up passes on many times its size in all, and drops nothing:
  // what it wrote no longer counts against it.
  void outputQueueKeepsUpWithItsReader() {
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    QByteArray heard;
    std::thread reader([&heard, fd = fds[0]] {
      char buffer[4096];
      for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) heard.append(buffer, n);
    });
    {
      const auto ended = qScopeGuard([&] {  // once the queue is gone, however the block ends
        ::close(fds[1]);
        reader.join();
        ::close(fds[0]);
      });
      OutputQueue queue(fds[1], 1024);
      for (int i = 0; i < 300; ++i) {
        queue.write(QStringLiteral("line %1 of a reader that keeps up").arg(i, 3, 10, QLatin1Char('0')));
        QVERIFY(queue.flush(milliseconds(5000)));
      }
      QCOMPARE(queue.dropped(), 0);
    }
    const QList<QByteArray> lines = heard.split('\n');
    QCOMPARE(lines.size(), 301);  // and the empty piece after the last newline
    QCOMPARE(lines[299], QByteArray("line 299 of a reader that keeps up"));
  }

  void backoff() {
    Backoff b(milliseconds(1000), milliseconds(5000));
    QCOMPARE(b.next(), milliseconds(1000));
    QCOMPARE(b.next(), milliseconds(2000));
    QCOMPARE(b.next(), milliseconds(4000));
    QCOMPARE(b.next(), milliseconds(5000));
    QCOMPARE(b.next(), milliseconds(5000));
    b.reset();
    QCOMPARE(b.next(), milliseconds(1000));
  }
};

QTEST_GUILESS_MAIN(TestParts)
#include "tst_parts.moc"
