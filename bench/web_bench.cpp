// kyvdash serving its screen to browsers: the program itself (`kyvdash --serve`), a
// dashboard of 100 controls (20 each of the vertical and horizontal status bars, the
// four-digit display, the bar graph and the heartbeat trace) fed through standard input at
// 10 values a second each (a tenth of the controls every 10 ms), watched by 0, 1 and 10
// live pages (WebSocket clients in this process that read every message).
//
//   Viewers0, Viewers1, Viewers10
//              kyvdash's CPU time a second (its threads' scheduler time, its own process
//              alone) and the bytes
//              a second each page was sent
//
// The baseline of the bytes is what sending every changed control's whole picture would
// take: one page rebuilds the picture from its frames and, for each frame, every control
// a rectangle of the frame touches is encoded whole as a PNG of its own, by kyvdash's own
// encoder (8-bit colour indexes where the picture has at most 256 colours), with the same
// 13 bytes of framing a rectangle. The summary gives both and the ratios.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebSocket>
#include <QtEndian>

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <memory>
#include <set>

#include "WebFrames.h"
#include "dash_layout.h"
#include "dash_process.h"

using namespace dashbench;

namespace {

constexpr int kSeconds = 5;

// A live page: counts what it is sent; the one that rebuilds the picture also counts
// what whole pictures of the changed controls would have taken. A frame may come as
// several messages (one per 256 colours), sent together: the controls they touch are
// counted once, when no message came for kSettleMs.
struct Page {
  static constexpr int kSettleMs = 10;
  QWebSocket socket;
  qint64 bytes = 0, frames = 0, wholeBytes = 0;
  double wholeEncodeSeconds = 0;
  bool rebuild = false;
  QImage picture;
  std::set<int> touched;  // controls changed by the frame's messages so far
  QTimer settled;

  Page(const QString& url, bool rebuildPicture) : rebuild(rebuildPicture) {
    QObject::connect(&socket, &QWebSocket::binaryMessageReceived, [this](const QByteArray& m) { take(m); });
    QObject::connect(&socket, &QWebSocket::textMessageReceived,
                     [this](const QString& m) { bytes += m.toUtf8().size(); });
    settled.setSingleShot(true);
    settled.setInterval(kSettleMs);
    QObject::connect(&settled, &QTimer::timeout, [this] { countWhole(); });
    socket.open(QUrl(url));
  }
  void take(const QByteArray& m) {
    bytes += m.size();
    ++frames;
    if (!rebuild) return;
    std::vector<kyvdash::FramePart> parts;
    if (!kyvdash::applyFrame(picture, m, &parts)) std::abort();
    if (frames == 1) return;  // the whole picture, not a change
    for (int c = 0; c < kControls; ++c) {
      const QRect control = controlRect(c);
      if (std::any_of(parts.begin(), parts.end(), [&](const auto& p) { return p.to.intersects(control); }))
        touched.insert(c);
    }
    settled.start();
  }
  void countWhole() {
    QElapsedTimer clock;
    clock.start();
    for (int c : touched) wholeBytes += 13 + kyvdash::encodePng(picture.copy(controlRect(c))).size();
    wholeEncodeSeconds += clock.nsecsElapsed() / 1e9;
    touched.clear();
  }
};

// kyvdash --serve, fed by a timer of this process.
struct Served {
  QTemporaryDir dir;
  std::unique_ptr<DashProcess> process;
  QString url;
  QTimer feeder;
  int tick = 0;

  Served() {
    QFile f(dir.filePath(QStringLiteral("web.json")));
    if (!f.open(QIODevice::WriteOnly) || f.write(layoutText()) < 0) std::abort();
    f.close();
    process = std::make_unique<DashProcess>(QStringList{"--serve", "0", f.fileName()});
    url = process->liveUrl();
    if (url.isEmpty()) std::abort();
    // Every 10 ms a tenth of the controls get a value: 10 values a second each.
    feeder.setTimerType(Qt::PreciseTimer);
    feeder.setInterval(10);
    QObject::connect(&feeder, &QTimer::timeout, [this] {
      QByteArray lines;
      for (int i = tick % 10; i < kControls; i += 10)
        lines += "c" + QByteArray::number(i) + ' ' + QByteArray::number((tick / 10 * 7 + i * 13) % 100) + '\n';
      process->write(lines);
      ++tick;
    });
    feeder.start();
  }
  ~Served() { feeder.stop(); }
  double cpuSeconds() const { return process->cpuSeconds(); }
};

struct Figures {
  double cpu = -1;           // kyvdash, seconds a second
  double bytesPerPage = 0;   // a second
  double wholePerPage = 0;   // a second, the baseline
  double wholeEncodeMs = 0;  // a second: encoding the baseline's PNGs
  double framesPerPage = 0;  // a second
};
Figures figures[3];

void Watch(benchmark::State& state) {
  const int viewers = static_cast<int>(state.range(0));
  Figures& f = figures[viewers == 0 ? 0 : viewers == 1 ? 1 : 2];
  Served dash;
  std::vector<std::unique_ptr<Page>> pages;
  for (int i = 0; i < viewers; ++i) pages.push_back(std::make_unique<Page>(dash.url, i == 0));
  runLoop(2000);  // graphs and traces scrolling, every page past its whole picture
  std::vector<qint64> bytes0, frames0;
  qint64 whole0 = pages.empty() ? 0 : pages[0]->wholeBytes;
  const double encode0 = pages.empty() ? 0 : pages[0]->wholeEncodeSeconds;
  for (auto& p : pages) {
    bytes0.push_back(p->bytes);
    frames0.push_back(p->frames);
  }
  const double cpu0 = dash.cpuSeconds();
  for (auto _ : state) runLoop(kSeconds * 1000);
  const double seconds = double(kSeconds) * double(state.iterations());
  f.cpu = (dash.cpuSeconds() - cpu0) / seconds;
  for (size_t i = 0; i < pages.size(); ++i) {
    f.bytesPerPage += double(pages[i]->bytes - bytes0[i]) / seconds / double(pages.size());
    f.framesPerPage += double(pages[i]->frames - frames0[i]) / seconds / double(pages.size());
  }
  if (!pages.empty()) {
    f.wholePerPage = double(pages[0]->wholeBytes - whole0) / seconds;
    f.wholeEncodeMs = (pages[0]->wholeEncodeSeconds - encode0) / seconds * 1000;
  }
  state.counters["kyvdash_cpu_ms_per_s"] = f.cpu * 1000;
  state.counters["bytes_per_s_per_page"] = f.bytesPerPage;
}

void summary() {
  std::printf("\nkyvdash --serve: %d controls, 10 values a second each, frames at most 30 a second\n", kControls);
  const char* names[] = {"no page", "1 page", "10 pages"};
  for (int i = 0; i < 3; ++i) {
    if (figures[i].cpu < 0) continue;
    std::printf("%-9s kyvdash CPU %.1f ms a second", names[i], figures[i].cpu * 1000);
    if (i > 0)
      std::printf(
          "; a page gets %.1f messages, %.0f bytes a second; whole PNGs of the changed controls %.0f bytes "
          "a second (sent / whole = %.3f)",
          figures[i].framesPerPage, figures[i].bytesPerPage, figures[i].wholePerPage,
          figures[i].wholePerPage > 0 ? figures[i].bytesPerPage / figures[i].wholePerPage : 0);
    std::printf("\n");
  }
  if (figures[0].cpu > 0 && figures[2].cpu > 0)
    std::printf("CPU with 10 pages / with none = %.2f; with 1 page / with none = %.2f\n",
                figures[2].cpu / figures[0].cpu, figures[1].cpu / figures[0].cpu);
  // The two figures that must not slide back: a frame is made once for every page, and a
  // page is sent little more than the pixels that changed.
  if (figures[1].cpu > 0 && figures[2].cpu > 0)
    std::printf("CPU with 10 pages / with 1 page = %.2f (at most 1.1)\n", figures[2].cpu / figures[1].cpu);
  if (figures[1].wholePerPage > 0)
    std::printf("bytes a page is sent / whole PNGs of the changed controls = %.3f (at most 0.2)\n",
                figures[1].bytesPerPage / figures[1].wholePerPage);
  if (figures[1].wholeEncodeMs > 0)
    std::printf("encoding the whole PNGs of the changed controls would take %.1f ms of CPU a second\n",
                figures[1].wholeEncodeMs);
}

}  // namespace

BENCHMARK(Watch)->Arg(0)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  summary();
  return 0;
}
