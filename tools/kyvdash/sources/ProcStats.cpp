#include "ProcStats.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <optional>

namespace kyvdash {
namespace {

constexpr unsigned long long kSectorBytes = 512;  // /proc/diskstats counts 512-byte sectors

QList<QByteArray> words(const QByteArray& line) { return line.simplified().split(' '); }

unsigned long long number(const QByteArray& word) { return word.toULongLong(); }

// "cpu  4705 356 584 3699 23 23 0 0 0 0": user nice system idle iowait irq softirq steal
// (guest time is already inside user). Idle and iowait are not busy.
void parseStat(const QByteArray& text, ProcSnapshot& s) {
  for (const QByteArray& line : text.split('\n')) {
    if (!line.startsWith("cpu")) continue;
    const QList<QByteArray> w = words(line);
    if (w.size() < 5) continue;
    CpuTimes t;
    for (qsizetype i = 1; i < std::min<qsizetype>(w.size(), 9); ++i) t.total += number(w[i]);
    const unsigned long long idle = number(w[4]) + (w.size() > 5 ? number(w[5]) : 0);
    t.busy = t.total - std::min(idle, t.total);
    s.cpu[QString::fromLatin1(w[0])] = t;
  }
}

void parseMeminfo(const QByteArray& text, ProcSnapshot& s) {
  std::map<QByteArray, double> kib;
  for (const QByteArray& line : text.split('\n')) {
    const QList<QByteArray> w = words(line);
    if (w.size() >= 2 && w[0].endsWith(':')) kib[w[0].chopped(1)] = w[1].toDouble();
  }
  const auto share = [&](const char* total, const char* free) -> std::optional<double> {
    if (!kib.count(total) || !kib.count(free)) return std::nullopt;
    const double t = kib[total];
    return t > 0 ? (t - kib[free]) / t * 100.0 : 0.0;
  };
  if (auto mem = share("MemTotal", "MemAvailable")) s.levels["mem"] = *mem;
  if (auto swap = share("SwapTotal", "SwapFree")) s.levels["swap"] = *swap;
}

void parseLoadavg(const QByteArray& text, ProcSnapshot& s) {
  const QList<QByteArray> w = words(text);
  if (w.size() < 3) return;
  const char* names[] = {"load1", "load5", "load15"};
  for (int i = 0; i < 3; ++i) {
    bool ok = false;
    const double v = w[i].toDouble(&ok);
    if (ok) s.levels[QString::fromLatin1(names[i])] = v;
  }
}

// "  eth0: 1234 12 0 0 0 0 0 0 5678 34 0 0 0 0 0 0": received bytes first, sent bytes ninth.
void parseNetDev(const QByteArray& text, ProcSnapshot& s) {
  unsigned long long rx = 0, tx = 0;
  bool any = false;
  for (const QByteArray& line : text.split('\n')) {
    const qsizetype colon = line.indexOf(':');
    if (colon < 0) continue;
    const QString name = QString::fromLatin1(line.left(colon).trimmed());
    const QList<QByteArray> w = words(line.mid(colon + 1));
    if (name.isEmpty() || w.size() < 9) continue;
    const unsigned long long r = number(w[0]), t = number(w[8]);
    s.counters[QStringLiteral("net.%1.rx").arg(name)] = r;
    s.counters[QStringLiteral("net.%1.tx").arg(name)] = t;
    if (name == QLatin1String("lo")) continue;
    rx += r;
    tx += t;
    any = true;
  }
  if (!any) return;
  s.counters["net.rx"] = rx;
  s.counters["net.tx"] = tx;
}

// "   8       0 sda 1234 0 5678 ...": sectors read third after the name, written seventh.
void parseDiskstats(const QByteArray& text, const QStringList& wholeDisks, ProcSnapshot& s) {
  unsigned long long read = 0, written = 0;
  bool any = false;
  for (const QByteArray& line : text.split('\n')) {
    const QList<QByteArray> w = words(line);
    if (w.size() < 10) continue;
    const QString name = QString::fromLatin1(w[2]);
    const unsigned long long r = number(w[5]) * kSectorBytes, t = number(w[9]) * kSectorBytes;
    s.counters[QStringLiteral("disk.%1.read").arg(name)] = r;
    s.counters[QStringLiteral("disk.%1.write").arg(name)] = t;
    if (!wholeDisks.contains(name)) continue;
    read += r;
    written += t;
    any = true;
  }
  if (!any) return;
  s.counters["disk.read"] = read;
  s.counters["disk.write"] = written;
}

// Devices stacked on others or held in memory: their traffic is counted again on the disks.
bool isVirtualDisk(const QString& name) {
  for (const char* prefix : {"loop", "ram", "zram", "dm-", "md", "nbd"})
    if (name.startsWith(QLatin1String(prefix))) return true;
  return false;
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

}  // namespace

ProcSnapshot parseProc(const ProcTexts& texts, qint64 atMs) {
  ProcSnapshot s;
  s.atMs = atMs;
  parseStat(texts.stat, s);
  parseMeminfo(texts.meminfo, s);
  parseLoadavg(texts.loadavg, s);
  parseNetDev(texts.netdev, s);
  parseDiskstats(texts.diskstats, texts.wholeDisks, s);
  return s;
}

std::vector<std::pair<QString, double>> procReadings(const ProcSnapshot* older, const ProcSnapshot& newer) {
  std::vector<std::pair<QString, double>> out;
  for (const auto& [name, v] : newer.levels) out.emplace_back(name, v);
  if (!older || newer.atMs <= older->atMs) return out;
  for (const auto& [name, t] : newer.cpu) {
    const auto was = older->cpu.find(name);
    if (was == older->cpu.end() || t.total <= was->second.total || t.busy < was->second.busy) continue;
    out.emplace_back(name, double(t.busy - was->second.busy) / double(t.total - was->second.total) * 100.0);
  }
  const double seconds = double(newer.atMs - older->atMs) / 1000.0;
  for (const auto& [name, n] : newer.counters) {
    const auto was = older->counters.find(name);
    if (was == older->counters.end() || n < was->second) continue;
    out.emplace_back(name, double(n - was->second) / seconds);
  }
  return out;
}

ProcTexts readProcTexts(const QString& root, const QString& sysBlock) {
  ProcTexts t;
  t.stat = readFile(root + QStringLiteral("/stat"));
  t.meminfo = readFile(root + QStringLiteral("/meminfo"));
  t.loadavg = readFile(root + QStringLiteral("/loadavg"));
  t.netdev = readFile(root + QStringLiteral("/net/dev"));
  t.diskstats = readFile(root + QStringLiteral("/diskstats"));
  for (const QString& name : QDir(sysBlock).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System))
    if (!isVirtualDisk(name)) t.wholeDisks << name;
  return t;
}

bool isProcField(const QString& field) {
  static const QRegularExpression forms(
      QStringLiteral("^(cpu[0-9]*|mem|swap|load(1|5|15)|net\\.(rx|tx)|net\\.[^.\\s]+\\.(rx|tx)|disk\\.(read|write)|"
                     "disk\\.[^.\\s]+\\.(read|write))$"));
  return forms.match(field).hasMatch();
}

}  // namespace kyvdash
