// kyvdash under load: a dashboard of 100 controls (20 each of the vertical and horizontal
// status bars, the four-digit display, the bar graph and the heartbeat trace), shown in its
// window on the offscreen platform and fed through standard input as kyvdash is fed in use:
// lines `cN VALUE` read from a pipe, parsed, scaled, passed to each control's feed method,
// and the changed controls painted by Qt.
//
// The lines are written by a child process, so that the CPU time measured is the
// dashboard's alone (the process's CPU time: Qt's threads count, the writer does not).
//
//   Idle       the dashboard with nothing coming in
//   Fed100Hz   every control given 100 values a second (10,000 lines a second)
//   Fed1Hz     every control given 1 value a second
//   HourOfFeeding
//              3,600 seconds' worth of the 100 Hz feed (36 million lines) as fast as the
//              dashboard takes them, painting as it goes; heap in use and resident memory
//              after the first minute's worth and at the end
//
//   Wall/N/MODE
//              kyvdash itself (the program, a process of its own) showing a 1920x1080 wall
//              of N controls (200 or 1,000), every control fed 5 values a second through
//              its standard input: in its window on the offscreen platform (MODE 0), full
//              screen (--kiosk) on an X server of its own, Xvfb (MODE 1), or served to one
//              live page, headless (MODE 2, 1,000 controls); the page is a WebSocket client
//              of this process that reads every message. kyvdash's CPU time a second, and
//              per control.
//
//   FleetWall/HOSTS/FORM
//              kyvdash showing the shipped fleet layout for HOSTS hosts (20 or 200) of a
//              Prometheus replayed on loopback from recorded answers, asked every second: as
//              shipped, a block a host from one query (FORM 0), or the same wall written by
//              hand (FORM 1). kyvdash's CPU time a second and its resident memory; the
//              summary gives each a block, the repeated wall's over the hand-written one's.
//
// Each timed benchmark runs the event loop for one second per iteration; its CPU column is
// the CPU time of that second. The summary at the end gives the ratios: the window's cost a
// control at 1,000 over its cost at 200 (flat is 1), and the window over the served page.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebSocket>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>

#include "DashboardWindow.h"
#include "Runner.h"
#include "dash_fleet.h"
#include "dash_layout.h"
#include "dash_process.h"

using namespace kyvdash;
using namespace dashbench;

namespace {

constexpr long kHourOfLines = 3600L * 100 * kControls;

// 100 batches of one line per control, values moving through 0 to 99.
std::vector<QByteArray> batches() {
  std::vector<QByteArray> out;
  for (int tick = 0; tick < 100; ++tick) {
    QByteArray b;
    for (int i = 0; i < kControls; ++i)
      b += "c" + QByteArray::number(i) + ' ' + QByteArray::number((tick * 7 + i * 13) % 100) + '\n';
    out.push_back(b);
  }
  return out;
}

// Writes batches into `fd` from a child process: one batch every `periodNs`, or as fast as
// the pipe takes them when 0, `total` batches in all (or until killed when negative). The
// child only writes, sleeps and exits.
pid_t startWriter(int fd, long periodNs, long total) {
  const std::vector<QByteArray> all = batches();
  const pid_t pid = fork();
  if (pid != 0) return pid;
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  for (long n = 0; total < 0 || n < total; ++n) {
    const QByteArray& b = all[n % all.size()];
    for (qsizetype done = 0; done < b.size();) {
      const ssize_t w = ::write(fd, b.data() + done, b.size() - done);
      if (w <= 0) _exit(0);
      done += w;
    }
    if (periodNs == 0) continue;
    next.tv_nsec += periodNs;
    while (next.tv_nsec >= 1'000'000'000) {
      next.tv_nsec -= 1'000'000'000;
      ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
  }
  _exit(0);
}

void stopWriter(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

size_t heapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

size_t residentKiB() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toULong();
  return 0;
}

// The dashboard in its window, reading a pipe of its own.
struct Dash {
  QTemporaryDir dir;
  int fds[2] = {-1, -1};
  std::unique_ptr<Runner> runner;
  std::unique_ptr<DashboardWindow> window;
  int lines = 0;

  Dash() {
    QFile f(dir.filePath(QStringLiteral("bench.json")));
    if (!f.open(QIODevice::WriteOnly) || f.write(layoutText()) < 0) std::abort();
    f.close();
    if (::pipe(fds) != 0) std::abort();
    runner = std::make_unique<Runner>(f.fileName());
    runner->setStdinFd(fds[0]);
    QStringList errors;
    if (!runner->start(&errors)) {
      for (const QString& e : errors) std::fprintf(stderr, "%s\n", qPrintable(e));
      std::abort();
    }
    QObject::connect(runner.get(), &Runner::report,
                     [](const QString& r) { std::fprintf(stderr, "%s\n", qPrintable(r)); });
    window = std::make_unique<DashboardWindow>(*runner, f.fileName(), false);
    window->show();
    runLoop(200);
  }
  ~Dash() {
    window.reset();
    runner.reset();
    ::close(fds[0]);
    ::close(fds[1]);
  }
};

struct Figures {
  double idle = -1, fed100 = -1, fed1 = -1;
  size_t heapMinute = 0, heapHour = 0, rssMinute = 0, rssHour = 0;
  double hourWall = 0, hourCpu = 0;
};
Figures figures;

// One second of the event loop an iteration, fed by a writer every `periodNs` (none when 0).
void secondsOfRunning(benchmark::State& state, long periodNs, double& out) {
  Dash dash;
  const pid_t writer = periodNs > 0 ? startWriter(dash.fds[1], periodNs, -1) : 0;
  runLoop(1000);  // every graph and trace full and scrolling before measuring
  const double cpu0 = processCpuSeconds();
  for (auto _ : state) runLoop(1000);
  out = (processCpuSeconds() - cpu0) / double(state.iterations());
  stopWriter(writer);
  state.counters["cpu_ms_per_s"] = out * 1000;
}

void Idle(benchmark::State& state) { secondsOfRunning(state, 0, figures.idle); }
void Fed100Hz(benchmark::State& state) { secondsOfRunning(state, 10'000'000, figures.fed100); }
void Fed1Hz(benchmark::State& state) { secondsOfRunning(state, 1'000'000'000, figures.fed1); }

// Runs the event loop until the writer has written `batches` batches and they are read.
void feedBatches(Dash& dash, long batches) {
  const pid_t writer = startWriter(dash.fds[1], 0, batches);
  int status = 0;
  while (waitpid(writer, &status, WNOHANG) == 0) runLoop(50);
  runLoop(300);  // the rest of the pipe
}

void HourOfFeeding(benchmark::State& state) {
  for (auto _ : state) {
    Dash dash;
    feedBatches(dash, 60L * 100);  // the first minute: every graph full, every cache warm
    figures.heapMinute = heapInUse();
    figures.rssMinute = residentKiB();
    const double cpu0 = processCpuSeconds();
    timespec a{}, b{};
    clock_gettime(CLOCK_MONOTONIC, &a);
    feedBatches(dash, kHourOfLines / kControls - 60L * 100);
    clock_gettime(CLOCK_MONOTONIC, &b);
    figures.hourCpu = processCpuSeconds() - cpu0;
    figures.hourWall = double(b.tv_sec - a.tv_sec) + double(b.tv_nsec - a.tv_nsec) / 1e9;
    figures.heapHour = heapInUse();
    figures.rssHour = residentKiB();
  }
  state.counters["heap_growth_KiB"] = (double(figures.heapHour) - double(figures.heapMinute)) / 1024;
  state.counters["rss_growth_KiB"] = double(figures.rssHour) - double(figures.rssMinute);
}

// The wall's figures, kyvdash's CPU seconds a second: [controls == 1000][mode].
enum WallMode { kOffscreen, kXvfb, kServed };
double wallCpu[2][3] = {{-1, -1, -1}, {-1, -1, -1}};

void Wall(benchmark::State& state) {
  const int controls = static_cast<int>(state.range(0));
  const auto mode = static_cast<WallMode>(state.range(1));
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("wall.json"));
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(wallLayoutText(controls, controls == 1000 ? 40 : 20)) < 0) std::abort();
  f.close();
  std::unique_ptr<VirtualScreen> screen;
  if (mode == kXvfb) {
    screen = std::make_unique<VirtualScreen>(QSize(1920, 1080));
    if (screen->display().isEmpty()) {
      state.SkipWithError("Xvfb is not installed or does not start");
      return;
    }
  }
  const QStringList arguments = mode == kServed ? QStringList{"--serve", "0", path}
                                : mode == kXvfb ? QStringList{"--kiosk", path}
                                                : QStringList{"--scale", "1", path};
  // Its warnings of controls too small to read are what this wall is made of.
  DashProcess dash(arguments, screen ? screen->display() : QString(), true);
  std::unique_ptr<QWebSocket> page;
  if (mode == kServed) {
    page = std::make_unique<QWebSocket>();
    QObject::connect(page.get(), &QWebSocket::binaryMessageReceived, [](const QByteArray&) {});
    page->open(QUrl(dash.liveUrl()));
  }
  QTimer feeder;
  int tick = 0;
  QObject::connect(&feeder, &QTimer::timeout, [&] {
    QByteArray lines;
    for (int i = 0; i < controls; ++i)
      lines += "c" + QByteArray::number(i) + ' ' + QByteArray::number((tick * 7 + i * 13) % 100) + '\n';
    dash.write(lines);
    ++tick;
  });
  feeder.start(200);
  runLoop(3000);  // started, and every graph and trace scrolling
  const double cpu0 = dash.cpuSeconds();
  for (auto _ : state) runLoop(1000);
  const double cpu = (dash.cpuSeconds() - cpu0) / double(state.iterations());
  wallCpu[controls == 1000][mode] = cpu;
  state.counters["cpu_ms_per_s"] = cpu * 1000;
  state.counters["cpu_us_per_s_a_control"] = cpu * 1e6 / controls;
}

void wallSummary() {
  const char* modes[] = {"window, offscreen", "window, Xvfb (--kiosk)", "served to 1 page"};
  std::printf("\nkyvdash: a 1920x1080 wall, every control fed 5 values a second; CPU time a second (per control)\n");
  for (int m = 0; m < 3; ++m) {
    std::printf("%-24s", modes[m]);
    for (int big = 0; big < 2; ++big)
      if (wallCpu[big][m] >= 0)
        std::printf("  %4d controls %6.1f ms (%.1f us)", big ? 1000 : 200, wallCpu[big][m] * 1000,
                    wallCpu[big][m] * 1e6 / (big ? 1000 : 200));
    if (wallCpu[0][m] > 0 && wallCpu[1][m] > 0)
      std::printf("  a control at 1,000 / at 200 = %.2f (at most 1.2)", wallCpu[1][m] / 1000 / (wallCpu[0][m] / 200));
    std::printf("\n");
  }
  for (const int m : {kOffscreen, kXvfb})
    if (wallCpu[1][m] > 0 && wallCpu[1][kServed] > 0)
      std::printf("1,000 controls: %s / served to 1 page = %.2f (at most 1)\n", modes[m],
                  wallCpu[1][m] / wallCpu[1][kServed]);
}

// The fleet's figures: [hosts == 200][form], CPU seconds a second and resident KiB.
struct FleetFigures {
  double cpu = -1;
  long residentKiB = -1;
};
FleetFigures fleetFigures[2][2];

void FleetWall(benchmark::State& state) {
  const int hosts = static_cast<int>(state.range(0));
  const bool byHand = state.range(1) == 1;
  ReplayedPrometheus prometheus(hosts);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("fleet.json"));
  QFile f(path);
  const QByteArray fleet = fleetLayoutText(prometheus.url(), hosts);
  if (!f.open(QIODevice::WriteOnly) || f.write(byHand ? handWrittenText(fleet, hosts) : fleet) < 0) std::abort();
  f.close();
  DashProcess dash({QStringLiteral("--scale"), QStringLiteral("0.3"), path}, {}, true);
  runLoop(8000);  // started, its blocks laid out, every query answered several times
  const double cpu0 = dash.cpuSeconds();
  for (auto _ : state) runLoop(1000);
  FleetFigures& figures = fleetFigures[hosts == 200][byHand];
  figures.cpu = (dash.cpuSeconds() - cpu0) / double(state.iterations());
  figures.residentKiB = dash.residentKiB();
  state.counters["cpu_ms_per_s"] = figures.cpu * 1000;
  state.counters["resident_KiB"] = double(figures.residentKiB);
  state.counters["answers"] = double(prometheus.answers());
}

void fleetSummary() {
  const FleetFigures(&f)[2][2] = fleetFigures;
  if (f[1][0].cpu < 0 || f[1][1].cpu < 0) return;
  std::printf("\nkyvdash: a fleet wall of 200 hosts, a Prometheus replayed, asked every second\n");
  const char* forms[] = {"repeated (fleet.json)", "written by hand"};
  double perBlock[2] = {-1, -1};
  for (int form = 0; form < 2; ++form) {
    if (f[0][form].residentKiB > 0)
      perBlock[form] = double(f[1][form].residentKiB - f[0][form].residentKiB) * 1024 / 180;
    std::printf("%-22s CPU %6.1f ms a second (%.1f us a block), resident %ld KiB (%.0f bytes a block)\n", forms[form],
                f[1][form].cpu * 1000, f[1][form].cpu * 1e6 / 200, f[1][form].residentKiB, perBlock[form]);
  }
  std::printf("repeated / by hand: CPU a second %.2f, memory a block %.2f (target: at most 1.1)\n",
              f[1][0].cpu / f[1][1].cpu, perBlock[1] > 0 ? perBlock[0] / perBlock[1] : -1.0);
}

void summary() {
  wallSummary();
  fleetSummary();
  if (figures.idle < 0 && figures.fed1 < 0 && figures.fed100 < 0 && figures.hourWall <= 0) return;
  std::printf("\nkyvdash: %d controls fed through standard input, painted in their window (offscreen)\n", kControls);
  std::printf(
      "CPU time per second: idle %.2f ms, 1 value/s a control %.2f ms (%.2f %% of a core), "
      "100 values/s a control %.1f ms (%.1f %% of a core)\n",
      figures.idle * 1000, figures.fed1 * 1000, figures.fed1 * 100, figures.fed100 * 1000, figures.fed100 * 100);
  if (figures.idle > 0)
    std::printf("fed at 100 values/s / idle = %.0f; fed at 1 value/s / idle = %.1f\n", figures.fed100 / figures.idle,
                figures.fed1 / figures.idle);
  if (figures.hourWall > 0) {
    std::printf("an hour's worth of the 100 Hz feed (%ld values) took %.1f s (%.1f s of CPU, %.2f us a value)\n",
                kHourOfLines, figures.hourWall, figures.hourCpu, figures.hourCpu / double(kHourOfLines) * 1e6);
    std::printf(
        "heap in use after a minute's worth %zu KiB, after the hour's %zu KiB (%+ld KiB); "
        "resident %zu KiB then %zu KiB (%+ld KiB)\n",
        figures.heapMinute / 1024, figures.heapHour / 1024, (long(figures.heapHour) - long(figures.heapMinute)) / 1024,
        figures.rssMinute, figures.rssHour, long(figures.rssHour) - long(figures.rssMinute));
  }
}

}  // namespace

BENCHMARK(Idle)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);
BENCHMARK(Fed1Hz)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);
BENCHMARK(Fed100Hz)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);
BENCHMARK(Wall)
    ->ArgsProduct({{200, 1000}, {kOffscreen, kXvfb}})
    ->Args({1000, kServed})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(4);
BENCHMARK(FleetWall)->ArgsProduct({{20, 200}, {0, 1}})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(HourOfFeeding)->Unit(benchmark::kSecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(1);

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  summary();
  return 0;
}
