// The monitoring wall: 1,000 controls (200 each of the vertical status bar, the four-digit
// display, the bar graph, the heartbeat trace and the multi-bar, at the demo's sizes), each
// fed one value per tick, and every control that changed painted into one shared image per
// tick. The Kyv wall creates its controls by class name through the registry and feeds
// them through late binding; the Qt wall is what a Qt user would take instead
// (QProgressBar, QLCDNumber and small QPainter widgets keeping the same history), rendered
// with QWidget::render on the offscreen platform. Both run in the same program; the summary
// at the end gives the ratios.
//
// Ticks per second are per CPU second of the process, so that other programs on the
// machine do not count. Bytes per control: heap in use (malloc's uordblks + hblkhd) after
// building the wall and painting it once in steady state, less the heap in use before, over
// 1,000; for Kyv that includes the registry, the loaded libraries and what the renderer
// keeps. The shared image is allocated before and counted in neither wall; what is set up
// once per process (fontconfig, Qt's application, fonts and style) is paid by a warm-up
// before both walls and reported on its own line. The pixel floor writes every control's
// pixels once per tick and nothing else: no wall can tick faster on this machine.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <malloc.h>

#include <QApplication>
#include <QImage>
#include <QLCDNumber>
#include <QPainter>
#include <QProgressBar>
#include <QVarLengthArray>
#include <QWidget>
#include <qdrawutil.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "kyv/control.h"
#include "kyv/registry.h"
#include "kyv/render.h"
#include "kyv/site.h"

namespace {

constexpr int kPerKind = 200;
constexpr int kWallWidth = 4680;  // pixels
// Enough ticks before measuring that every graph and trace is full and scrolling.
constexpr int kFillTicks = 120;

enum Kind { Status, Digits, Graph, Trace, Levels, kKinds };

struct KindSize {
  const char* className;
  float widthTwips, heightTwips;
};

constexpr std::array<KindSize, kKinds> kKindSizes = {{
    {"KyvVStatus.Kyvvstat", 405, 4260},
    {"Kyv4Digit.fourseg", 1785, 585},
    {"KyvMovingBars.KyvMovingBar", 3780, 2250},
    {"KyvPulse.HeartBeat", 5265, 1980},
    {"KyvMultiBars.KyvMultiBar", 2100, 1305},
}};

// The demo's settings that differ from the defaults.
constexpr int kTraceSteps = 100;  // HeartBeat's HorizCount: the trace keeps 101 points
constexpr int kLevelColumns = 10;
constexpr uint32_t kStatusFill = 0x0080FF, kStatusMinColour = 0xC0C0FF;
constexpr uint32_t kDigitColour = 0xFF0000, kLevelColour = 0xFFFF00, kTraceGrid = 0x80000005;

int pixels(float twips) { return static_cast<int>(std::lround(twips / kyv::kReferenceTwipsPerPixel)); }

// A 0x00BBGGRR colour (or a system colour) as Qt's.
QColor qtColour(uint32_t c) {
  const uint32_t v = kyv::resolveColour(kyv::Colour{c});
  return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

// ---- The shared image and its grid -------------------------------------------------------

// Each kind fills a band of rows across the image; cell i of a kind sits in its band.
class Grid {
 public:
  Grid(int perKind, int width) : perKind_(perKind), width_(width) {
    int top = 0;
    for (int k = 0; k < kKinds; ++k) {
      const int w = pixels(kKindSizes[k].widthTwips), h = pixels(kKindSizes[k].heightTwips);
      const int columns = width / w;
      for (int i = 0; i < perKind; ++i) cells_[k].push_back({(i % columns) * w, top + (i / columns) * h});
      top += (perKind + columns - 1) / columns * h;
    }
    height_ = top;
  }
  int perKind() const { return perKind_; }
  int controls() const { return kKinds * perKind_; }
  int width() const { return width_; }
  int height() const { return height_; }
  QPoint at(int kind, int i) const { return cells_[kind][i]; }

 private:
  int perKind_, width_, height_ = 0;
  std::array<std::vector<QPoint>, kKinds> cells_;
};

// One pixel buffer, seen by cairo as an ARGB32 image surface and by Qt as a premultiplied
// ARGB32 QImage (the same layout).
class SharedImage {
 public:
  explicit SharedImage(const Grid& grid)
      : width_(grid.width()),
        height_(grid.height()),
        stride_(cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width_)),
        bits_(static_cast<size_t>(stride_) * height_) {
    surface_ = cairo_image_surface_create_for_data(bits_.data(), CAIRO_FORMAT_ARGB32, width_, height_, stride_);
  }
  ~SharedImage() { cairo_surface_destroy(surface_); }
  SharedImage(const SharedImage&) = delete;
  SharedImage& operator=(const SharedImage&) = delete;

  cairo_surface_t* surface() const { return surface_; }
  QImage image() { return QImage(bits_.data(), width_, height_, stride_, QImage::Format_ARGB32_Premultiplied); }
  uint32_t* row(int y) { return reinterpret_cast<uint32_t*>(bits_.data() + static_cast<size_t>(stride_) * y); }
  // Writes the pixels as they stand to a PNG file, when a folder for them was given.
  void save(const std::string& folder, const char* name) const {
    if (folder.empty()) return;
    cairo_surface_flush(surface_);
    cairo_surface_mark_dirty(surface_);
    const std::string path = folder + "/" + name;
    if (cairo_surface_write_to_png(surface_, path.c_str()) != CAIRO_STATUS_SUCCESS)
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_, height_, stride_;
  std::vector<unsigned char> bits_;
  cairo_surface_t* surface_;
};

// ---- What the walls are fed ---------------------------------------------------------------

// The value control i of `kind` receives at `tick`. Consecutive values always differ, so
// every control changes every tick; the range is the one each control shows in full.
int32_t reading(int kind, int i, int tick) {
  const int step = tick * 7 + i * 13;
  switch (kind) {
    case Digits: return (tick * 37 + i * 101) % 10000;
    case Trace: return (tick * 3 + i) % 11;  // MaxLimit 10
    default: return step % 101;              // MaxLimit 100
  }
}

// The multi-bar's column for control i at `tick`.
int16_t levelColumn(int i, int tick) { return static_cast<int16_t>((tick + i) % kLevelColumns); }

// ---- CPU time and heap in use ----

// CPU seconds of the whole process, so helper threads count and other programs on the
// machine do not.
double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

size_t heapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Whether heap figures mean anything: AddressSanitizer has an allocator of its own.
constexpr bool kHeapMeasured =
#if defined(__SANITIZE_ADDRESS__)
    false;
#else
    true;
#endif

// ---- The Kyv wall ----------------------------------------------------------------------------

class KyvWall {
 public:
  explicit KyvWall(const Grid& grid) {
    cells_.reserve(grid.controls());
    dirty_.reserve(grid.controls());
    for (int k = 0; k < kKinds; ++k)
      for (int i = 0; i < grid.perKind(); ++i) add(static_cast<Kind>(k), i, grid.at(k, i));
  }

  // Feeds every control its value for `tick`, by member index bound at creation.
  void feed(int tick) {
    for (auto& cell : cells_) {
      if (cell->kind == Levels) {
        arg_ = kyv::Variant(levelColumn(cell->i, tick));
        cell->control->invoke(cell->column, kyv::Invoke::Call, &arg_);
      }
      const int32_t v = reading(cell->kind, cell->i, tick);
      arg_ = cell->kind == Digits ? kyv::Variant(v) : kyv::Variant(static_cast<int16_t>(v));
      cell->control->invoke(cell->feed, kyv::Invoke::Call, &arg_);
    }
  }

  // Paints every control invalidated since the last paint at its cell; returns how many.
  int paint(cairo_t* cr) {
    const int count = static_cast<int>(dirty_.size());
    for (Cell* cell : dirty_) {
      cell->queued = false;
      cairo_save(cr);
      cairo_translate(cr, cell->at.x(), cell->at.y());
      kyv::render(*cell->control, cr);
      cairo_restore(cr);
    }
    dirty_.clear();
    return count;
  }

 private:
  // A control of the wall and its site: an invalidation queues it for the next paint.
  struct Cell final : kyv::Site {
    Cell(KyvWall& w, Kind k, int index, QPoint p) : wall(w), kind(k), i(index), at(p) {}
    void invalidated(kyv::Control&, const kyv::Region&) override {
      if (queued) return;
      queued = true;
      wall.dirty_.push_back(this);
    }
    bool queued = false;
    KyvWall& wall;
    Kind kind;
    int i;
    QPoint at;
    kyv::ControlPtr control;
    int feed = -1, column = -1;
  };

  void add(Kind kind, int i, QPoint at) {
    auto cell = std::make_unique<Cell>(*this, kind, i, at);
    kyv::ControlPtr c = registry_.create(kKindSizes[kind].className);
    c->setSite(cell.get());
    c->InitProperties();
    configure(*c, kind);
    c->setExtent(kKindSizes[kind].widthTwips, kKindSizes[kind].heightTwips);
    const kyv::ClassInfo& info = c->classInfo();
    switch (kind) {
      case Status: cell->feed = info.find("incbar"); break;
      case Digits: cell->feed = info.find("send"); break;
      case Graph: cell->feed = info.find("MoveBar"); break;
      case Trace: cell->feed = info.find("Plot"); break;
      case Levels:
        cell->feed = info.find("Value");
        cell->column = info.find("Column");
        break;
      case kKinds: break;
    }
    // A new control starts out needing a paint, so it never reports that first invalidation.
    if (c->dirty()) {
      cell->queued = true;
      dirty_.push_back(cell.get());
    }
    cell->control = std::move(c);
    cells_.push_back(std::move(cell));
  }

  static void configure(kyv::Control& c, Kind kind) {
    switch (kind) {
      case Status:
        c.put("CaptionVisible", false);
        c.put("FillColor", kyv::Colour{kStatusFill});
        c.put("minthreshcolor", kyv::Colour{kStatusMinColour});
        break;
      case Digits: c.put("DisplayColor", kyv::Colour{kDigitColour}); break;
      case Trace:
        c.put("HorizCount", int16_t{kTraceSteps});
        c.put("BackColor", kyv::Colour{0});
        c.put("GridColor", kyv::Colour{kTraceGrid});
        break;
      case Levels:
        c.put("Columns", int16_t{kLevelColumns});
        c.put("BarColor", kyv::Colour{kLevelColour});
        break;
      default: break;
    }
  }

  kyv::Registry registry_;
  std::vector<std::unique_ptr<Cell>> cells_;
  std::vector<Cell*> dirty_;
  kyv::Variant arg_;
};

// ---- The Qt wall ----------------------------------------------------------------------------

// The bar graph as a Qt user would write it: the last `bars` values as outlined bars over a
// sunken frame with nine labelled grid lines.
class QtGraph final : public QWidget {
 public:
  QtGraph(QWidget* parent, int bars) : QWidget(parent), bars_(bars) {}
  void add(int v) {
    if (values_.size() == bars_) values_.removeFirst();
    values_.append(v);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QRect frame = rect();
    p.fillRect(frame, palette().button());
    const int barWidth = pixels(225);
    for (qsizetype i = 0; i < values_.size(); ++i) {
      const int h = values_[i] * frame.height() / 100;
      const QRect bar(static_cast<int>(i) * barWidth, frame.height() - h, barWidth, h);
      p.fillRect(bar, Qt::red);
      p.setPen(Qt::black);
      p.drawRect(bar.adjusted(0, 0, -1, -1));
    }
    static const QFont font(QStringLiteral("Liberation Serif"), 6);
    p.setFont(font);
    for (int line = 1; line <= 9; ++line) {
      const int y = line * frame.height() / 10;
      p.drawLine(0, y, frame.width(), y);
      p.drawText(frame.width() - 18, y + 8, QString::number(100 - 10 * line));
    }
    qDrawShadePanel(&p, frame, palette(), true, 1);
  }

 private:
  qsizetype bars_;
  QList<int> values_;
};

// The heartbeat trace: the last steps + 1 values as a polyline over a dotted grid.
class QtTrace final : public QWidget {
 public:
  QtTrace(QWidget* parent, int steps) : QWidget(parent), steps_(steps) {}
  void add(int v) {
    if (values_.size() == steps_ + 1) values_.removeFirst();
    values_.append(v);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QRect area = rect().adjusted(2, 2, -2, -2);
    p.fillRect(rect(), Qt::black);
    p.setPen(QPen(qtColour(kTraceGrid), 1, Qt::DotLine));
    for (int line = 1; line <= 9; ++line) {
      const int y = area.top() + line * area.height() / 10, x = area.left() + line * area.width() / 10;
      p.drawLine(area.left(), y, area.right(), y);
      p.drawLine(x, area.top(), x, area.bottom());
    }
    QVarLengthArray<QPoint, 128> points;
    for (qsizetype i = 0; i < values_.size(); ++i)
      points.append(QPoint(area.left() + static_cast<int>(i) * area.width() / steps_,
                           area.top() + (10 - values_[i]) * area.height() / 10));
    p.setPen(Qt::green);
    p.drawPolyline(points.data(), static_cast<int>(points.size()));
    qDrawShadePanel(&p, rect(), palette(), true, 2);
  }

 private:
  int steps_;
  QList<int> values_;
};

// The multi-bar: ten column levels, each bar cut into ten segments by background lines.
class QtLevels final : public QWidget {
 public:
  explicit QtLevels(QWidget* parent) : QWidget(parent) {}
  void set(int column, int v) {
    levels_[column] = v;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QRect area = rect().adjusted(2, 2, -2, -2);
    const QColor back = palette().button().color();
    p.fillRect(rect(), back);
    const int columns = static_cast<int>(levels_.size());
    for (int c = 0; c < columns; ++c) {
      const int x0 = area.left() + c * area.width() / columns, x1 = area.left() + (c + 1) * area.width() / columns;
      const int h = std::min(levels_[c], 100) * area.height() / 100;
      p.fillRect(QRect(x0, area.bottom() + 1 - h, x1 - x0, h), qtColour(kLevelColour));
    }
    p.setPen(back);
    for (int line = 0; line <= 10; ++line) {
      const int y = area.top() + line * area.height() / 10, x = area.left() + line * area.width() / columns;
      p.drawLine(area.left(), y, area.right(), y);
      p.drawLine(x, area.top(), x, area.bottom());
    }
    qDrawShadePanel(&p, rect(), palette(), true, 2);
  }

 private:
  std::array<int, kLevelColumns> levels_{};
};

class QtWall {
 public:
  explicit QtWall(const Grid& grid) : parent_(std::make_unique<QWidget>()) {
    parent_->resize(grid.width(), grid.height());
    cells_.reserve(grid.controls());
    for (int k = 0; k < kKinds; ++k)
      for (int i = 0; i < grid.perKind(); ++i) add(static_cast<Kind>(k), i, grid.at(k, i));
  }

  void feed(int tick) {
    for (const Cell& cell : cells_) {
      const int v = reading(cell.kind, cell.i, tick);
      switch (cell.kind) {
        case Status: static_cast<QProgressBar*>(cell.widget)->setValue(v); break;
        case Digits: static_cast<QLCDNumber*>(cell.widget)->display(v); break;
        case Graph: static_cast<QtGraph*>(cell.widget)->add(v); break;
        case Trace: static_cast<QtTrace*>(cell.widget)->add(v); break;
        case Levels: static_cast<QtLevels*>(cell.widget)->set(levelColumn(cell.i, tick), v); break;
        case kKinds: break;
      }
    }
  }

  // Renders every control (each changed this tick) at its cell; returns how many.
  int paint(QPainter& p) {
    for (const Cell& cell : cells_) cell.widget->render(&p, cell.widget->pos());
    return static_cast<int>(cells_.size());
  }

 private:
  struct Cell {
    Kind kind;
    int i;
    QWidget* widget;
  };

  void add(Kind kind, int i, QPoint at) {
    QWidget* w = make(kind, parent_.get());
    w->setGeometry(QRect(at, QSize(pixels(kKindSizes[kind].widthTwips), pixels(kKindSizes[kind].heightTwips))));
    cells_.push_back({kind, i, w});
  }

  static QWidget* make(Kind kind, QWidget* parent) {
    switch (kind) {
      case Status: {
        auto* bar = new QProgressBar(parent);
        bar->setOrientation(Qt::Vertical);
        bar->setRange(0, 100);
        bar->setTextVisible(false);
        return bar;
      }
      case Digits: {
        auto* lcd = new QLCDNumber(4, parent);
        lcd->setSegmentStyle(QLCDNumber::Filled);
        QPalette colours = lcd->palette();
        colours.setColor(QPalette::Window, Qt::black);
        colours.setColor(QPalette::WindowText, qtColour(kDigitColour));
        lcd->setPalette(colours);
        lcd->setAutoFillBackground(true);
        return lcd;
      }
      case Graph: return new QtGraph(parent, pixels(kKindSizes[Graph].widthTwips) / pixels(225));
      case Trace: return new QtTrace(parent, kTraceSteps);
      default: return new QtLevels(parent);
    }
  }

  std::unique_ptr<QWidget> parent_;
  std::vector<Cell> cells_;
};

// ---- Measuring -------------------------------------------------------------------------------

struct Figures {
  double ticksPerSecond = 0;  // per CPU second
  double bytesPerControl = 0;
  double paintedPerTick = 0;
};

struct Run {
  Grid grid{kPerKind, kWallWidth};
  SharedImage image{grid};
  Figures kyv, qt, floor, kyvOne, qtOne;
  size_t kyvSetup = 0, qtSetup = 0;
  std::string pngFolder;  // where each wall's last tick is saved, if anywhere
};

Run& run() {
  static Run r;
  return r;
}

void report(benchmark::State& state, Figures& out, double seconds, long painted, size_t bytes, int controls) {
  const double ticks = static_cast<double>(state.iterations());
  out = {ticks / seconds, static_cast<double>(bytes) / controls, static_cast<double>(painted) / ticks};
  state.counters["ticks/s"] = out.ticksPerSecond;
  state.counters["bytes/control"] = out.bytesPerControl;
  state.counters["painted/tick"] = out.paintedPerTick;
}

// Ticks of the Kyv wall on `grid` in `image`; each tick feeds every control and paints
// what was invalidated.
void kyvTicks(benchmark::State& state, const Grid& grid, SharedImage& image, Figures& out) {
  const size_t before = heapInUse();
  auto wall = std::make_unique<KyvWall>(grid);
  cairo_t* cr = cairo_create(image.surface());
  int tick = 0;
  for (; tick < kFillTicks; ++tick) wall->feed(tick);
  wall->paint(cr);
  const size_t bytes = heapInUse() - before;
  long painted = 0;
  const double start = cpuSeconds();
  for (auto _ : state) {
    wall->feed(tick++);
    painted += wall->paint(cr);
  }
  report(state, out, cpuSeconds() - start, painted, bytes, grid.controls());
  cairo_destroy(cr);
}

// Ticks of the Qt wall on `grid` in `image`; each tick feeds every widget and renders it.
void qtTicks(benchmark::State& state, const Grid& grid, SharedImage& image, Figures& out) {
  QImage target = image.image();
  const size_t before = heapInUse();
  auto wall = std::make_unique<QtWall>(grid);
  int tick = 0;
  for (; tick < kFillTicks; ++tick) wall->feed(tick);
  {
    QPainter p(&target);
    wall->paint(p);
  }
  const size_t bytes = heapInUse() - before;
  long painted = 0;
  const double start = cpuSeconds();
  for (auto _ : state) {
    wall->feed(tick++);
    QPainter p(&target);
    painted += wall->paint(p);
  }
  report(state, out, cpuSeconds() - start, painted, bytes, grid.controls());
}

void KyvWallTick(benchmark::State& state) {
  Run& r = run();
  kyvTicks(state, r.grid, r.image, r.kyv);
  r.image.save(r.pngFolder, "kyv-wall.png");
}

void QtWallTick(benchmark::State& state) {
  Run& r = run();
  qtTicks(state, r.grid, r.image, r.qt);
  r.image.save(r.pngFolder, "qt-wall.png");
}

// The least any wall does per tick: every control's pixels written once, as plain fills.
void PixelFloorTick(benchmark::State& state) {
  Run& r = run();
  long painted = 0;
  uint32_t colour = 0xFF000000;
  const double start = cpuSeconds();
  for (auto _ : state) {
    ++colour;
    for (int k = 0; k < kKinds; ++k) {
      const int w = pixels(kKindSizes[k].widthTwips), h = pixels(kKindSizes[k].heightTwips);
      for (int i = 0; i < r.grid.perKind(); ++i) {
        const QPoint at = r.grid.at(k, i);
        for (int y = at.y(); y < at.y() + h; ++y) std::fill_n(r.image.row(y) + at.x(), w, colour);
      }
    }
    painted += r.grid.controls();
  }
  benchmark::DoNotOptimize(r.image.row(0));
  report(state, r.floor, cpuSeconds() - start, painted, 0, r.grid.controls());
}

// One control of each kind in a small image that stays in the processor's caches: what
// painting costs without the memory traffic of the big image.
void KyvOneOfEachTick(benchmark::State& state) {
  const Grid grid(1, 360);
  SharedImage image(grid);
  kyvTicks(state, grid, image, run().kyvOne);
}

void QtOneOfEachTick(benchmark::State& state) {
  const Grid grid(1, 360);
  SharedImage image(grid);
  qtTicks(state, grid, image, run().qtOne);
}

// Process-wide set-up both walls rely on, paid before either is measured: fontconfig and
// cairo's font machinery (one control of each kind painted), Qt's fonts and style (one
// widget of each kind rendered). The controls are painted at another resolution and the
// widgets at their own sizes, so that what the renderers keep for the walls' own lines,
// fonts and captions is counted in the walls.
void warmUp(Run& r) {
  size_t before = heapInUse();
  {
    kyv::Registry registry;
    cairo_t* cr = cairo_create(r.image.surface());
    for (const KindSize& size : kKindSizes) {
      kyv::ControlPtr c = registry.create(size.className);
      c->InitProperties();
      c->setExtent(size.widthTwips, size.heightTwips);
      kyv::render(*c, cr, kyv::kReferenceTwipsPerPixel / 2);
    }
    cairo_destroy(cr);
  }
  r.kyvSetup = heapInUse() - before;
  before = heapInUse();
  {
    QImage image = r.image.image();
    QPainter p(&image);
    QWidget parent;
    for (QWidget* w : std::initializer_list<QWidget*>{new QProgressBar(&parent), new QLCDNumber(4, &parent),
                                                      new QtGraph(&parent, 16), new QtTrace(&parent, kTraceSteps),
                                                      new QtLevels(&parent)})
      w->render(&p);
  }
  r.qtSetup = heapInUse() - before;
}

void summary(const Run& r) {
  const Figures &k = r.kyv, &q = r.qt;
  std::printf("\nMonitoring wall: %d controls, %d x %d pixel image, one value per control a tick\n",
              r.grid.controls(), r.image.width(), r.image.height());
  std::printf("%-8s %10s %14s %14s\n", "wall", "ticks/s", "bytes/control", "painted/tick");
  std::printf("%-8s %10.2f %14.0f %14.0f\n", "Kyv", k.ticksPerSecond, k.bytesPerControl, k.paintedPerTick);
  std::printf("%-8s %10.2f %14.0f %14.0f\n", "Qt", q.ticksPerSecond, q.bytesPerControl, q.paintedPerTick);
  std::printf("%-8s %10.2f %14s %14.0f\n", "floor", r.floor.ticksPerSecond, "-", r.floor.paintedPerTick);
  if (q.ticksPerSecond > 0)
    std::printf("speed:  Kyv ticks/s / Qt ticks/s = %.1f (target at least 10; the floor allows %.1f)\n",
                k.ticksPerSecond / q.ticksPerSecond, r.floor.ticksPerSecond / q.ticksPerSecond);
  if (r.qtOne.ticksPerSecond > 0)
    std::printf("one of each kind in a cached image: Kyv %.1f us a tick, Qt %.1f us a tick, ratio %.1f\n",
                1e6 / r.kyvOne.ticksPerSecond, 1e6 / r.qtOne.ticksPerSecond,
                r.kyvOne.ticksPerSecond / r.qtOne.ticksPerSecond);
  if (!kHeapMeasured) {
    std::printf("memory: not measured under AddressSanitizer\n");
    return;
  }
  if (q.bytesPerControl > 0)
    std::printf("memory: Kyv bytes / Qt bytes = %.3f (target at most 0.25)\n", k.bytesPerControl / q.bytesPerControl);
  std::printf("set-up once per process, counted in neither wall: Kyv %zu KiB, Qt %zu KiB\n", r.kyvSetup / 1024,
              r.qtSetup / 1024);
}

}  // namespace

BENCHMARK(KyvWallTick)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(QtWallTick)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(PixelFloorTick)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(KyvOneOfEachTick)->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(QtOneOfEachTick)->Unit(benchmark::kMicrosecond)->MinTime(0.5);

// Options besides Google Benchmark's: --png FOLDER saves each wall's last tick there.
int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  std::string pngFolder;
  if (argc == 3 && std::string(argv[1]) == "--png") {
    pngFolder = argv[2];
    argc = 1;
  }
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Run& r = run();
  r.pngFolder = pngFolder;
  warmUp(r);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  summary(r);
  return 0;
}
