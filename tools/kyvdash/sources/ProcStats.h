#pragma once
// This machine's counters as the kernel shows them in /proc, turned into named readings:
//
//   cpu, cpuN                     busy share of all CPUs, of CPU N, in % (between two readings)
//   mem, swap                     memory and swap in use, in %
//   load1, load5, load15          the load averages
//   net.rx, net.tx                bytes a second received and sent on every interface but lo
//   net.IFACE.rx, net.IFACE.tx    the same on one interface
//   disk.read, disk.write         bytes a second read and written on the whole disks
//   disk.DEV.read, disk.DEV.write the same on one device (a disk or a partition)
//
// Parsing is kept apart from reading the files so that it can be checked on fixed texts.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <utility>
#include <vector>

namespace kyvdash {

// The texts of one reading.
struct ProcTexts {
  QByteArray stat, meminfo, loadavg, netdev, diskstats;
  QStringList wholeDisks;  // the devices whose traffic the disk totals add up
};

struct CpuTimes {
  unsigned long long busy = 0, total = 0;  // clock ticks since boot
};

// One reading: levels as they are, and the running counters rates are made of.
struct ProcSnapshot {
  qint64 atMs = 0;
  std::map<QString, CpuTimes> cpu;                 // "cpu", "cpu0", ...
  std::map<QString, double> levels;                // mem, swap, load1, load5, load15
  std::map<QString, unsigned long long> counters;  // net.IFACE.rx, disk.DEV.read, ... in bytes
};

ProcSnapshot parseProc(const ProcTexts& texts, qint64 atMs);

// The readings of `newer`: its levels, and when `older` is given, CPU busy shares and
// rates per second between the two. A counter that went backwards (an interface that was
// reset) gives no rate.
std::vector<std::pair<QString, double>> procReadings(const ProcSnapshot* older, const ProcSnapshot& newer);

// Reads the texts from the files under `root` ("/proc", with the disks listed in
// `sysBlock`); empty texts for files that cannot be read.
ProcTexts readProcTexts(const QString& root = QStringLiteral("/proc"),
                        const QString& sysBlock = QStringLiteral("/sys/block"));

// Whether `field` names a reading of the list above (an interface or device need not
// exist yet).
bool isProcField(const QString& field);

}  // namespace kyvdash
