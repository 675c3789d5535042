// The monitoring wall: 1,000 controls (200 each of the vertical status bar, the four-digit
// display, the bar graph, the heartbeat trace and the multi-bar, at the demo's sizes), each
// fed one value per tick, and every control that changed painted into one shared image per
// tick. The Kyv wall creates its controls by class name through the registry, feeds them
// through late binding and paints only their damage into one pixel target; the Qt wall is
// what a Qt user would take instead (QProgressBar, QLCDNumber and small QPainter widgets
// keeping the same history), rendered with QWidget::render on the offscreen platform.
//
// Ticks of both walls and of the baselines are interleaved in one run, until each has at
// least 50, so that load from elsewhere on the machine falls on all of them alike; the
// summary gives medians with their spread. Baselines: the Kyv wall repainting every control
// whole, and two pixel floors: every control's pixels written once a tick (the least a wall
// that repaints everything does), and only the pixels that differ from the tick before (the
// least any wall does; recorded beforehand by rendering each control whole before and
// after its value). Times are CPU time of the whole process, so helper threads count and
// other programs do not.
//
// Bytes per control: heap in use (malloc's uordblks + hblkhd) after building a wall and
// painting it once, less the heap in use before, over 1,000; for Kyv that includes the
// registry, the loaded libraries and what the renderer keeps. The images are allocated
// before and counted in neither wall; what is set up once per process (fontconfig, Qt's
// application, fonts and style) is paid by a warm-up before both and reported on its own.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <qdrawutil.h>
#include <QApplication>
#include <QImage>
#include <QLCDNumber>
#include <QPainter>
#include <QProgressBar>
#include <QVarLengthArray>
#include <QWidget>

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
// Ticks fed and painted after the first whole paint, before the heap a control takes is
// measured: what a control keeps for its steady ticks is counted, not only what it was built with.
constexpr int kSettleTicks = 3;
// Ticks whose changed pixels are recorded for the changed-pixel floor, used in turn.
constexpr int kRecordedTicks = 12;

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
constexpr std::array<const char*, kKinds> kKindNames = {"status bar", "four digits", "bar graph", "trace", "multi-bar"};

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
  // A cell of `kind` in pixels.
  static QSize size(int kind) { return {pixels(kKindSizes[kind].widthTwips), pixels(kKindSizes[kind].heightTwips)}; }

 private:
  int perKind_, width_, height_ = 0;
  std::array<std::vector<QPoint>, kKinds> cells_;
};

// One pixel buffer in the renderer's layout (native-endian premultiplied ARGB words, cairo's
// ARGB32), which is a premultiplied ARGB32 QImage's.
class SharedImage {
 public:
  explicit SharedImage(const Grid& grid)
      : width_(grid.width()),
        height_(grid.height()),
        stride_(width_ * 4),
        bits_(static_cast<size_t>(stride_) * height_) {}

  uint8_t* bits() { return bits_.data(); }
  int stride() const { return stride_; }
  QImage image() { return QImage(bits_.data(), width_, height_, stride_, QImage::Format_ARGB32_Premultiplied); }
  uint32_t* row(int y) { return reinterpret_cast<uint32_t*>(bits_.data() + static_cast<size_t>(stride_) * y); }
  // Writes the pixels as they stand to a PNG file, when a folder for them was given.
  void save(const std::string& folder, const char* name) {
    if (folder.empty()) return;
    const std::string path = folder + "/" + name;
    if (!image().save(QString::fromStdString(path), "PNG")) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_, height_, stride_;
  std::vector<unsigned char> bits_;
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

// ---- CPU time, heap in use, and samples ------------------------------------------------------

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

// Times of one kind of tick, in seconds.
class Samples {
 public:
  void add(double seconds) { values_.push_back(seconds); }
  size_t count() const { return values_.size(); }
  double median() const { return quantile(0.5); }
  // The value below which a share `q` of the samples lie (interpolated).
  double quantile(double q) const {
    if (values_.empty()) return 0;
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    const double at = q * static_cast<double>(sorted.size() - 1);
    const size_t below = static_cast<size_t>(at);
    const size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (at - static_cast<double>(below));
  }

 private:
  std::vector<double> values_;
};

// Times the call of `f` in CPU seconds into `samples`.
template <class F>
void timed(Samples& samples, F&& f) {
  const double start = cpuSeconds();
  f();
  samples.add(cpuSeconds() - start);
}

// ---- The Kyv wall ----------------------------------------------------------------------------

class KyvWall {
 public:
  // The wall of every kind, or only of `onlyKind` when it is one.
  KyvWall(kyv::Registry& registry, const Grid& grid, int onlyKind = -1) {
    for (int k = 0; k < kKinds; ++k) {
      if (onlyKind >= 0 && k != onlyKind) continue;
      cells_[k].reserve(grid.perKind());
      queued_[k].reserve(grid.perKind());
      for (int i = 0; i < grid.perKind(); ++i) add(registry, static_cast<Kind>(k), i, grid.at(k, i));
    }
  }

  // Feeds every control of `kind` its next value, by member index bound at creation.
  void feed(int kind) {
    for (size_t i = 0; i < cells_[kind].size(); ++i) feedOne(kind, static_cast<int>(i));
  }
  void feedOne(int kind, int i) {
    Cell& cell = *cells_[kind][i];
    const int tick = cell.tick++;
    if (kind == Levels) {
      arg_ = kyv::Variant(levelColumn(cell.i, tick));
      cell.control->invoke(cell.column, kyv::Invoke::Call, &arg_);
    }
    const int32_t v = reading(kind, cell.i, tick);
    arg_ = kind == Digits ? kyv::Variant(v) : kyv::Variant(static_cast<int16_t>(v));
    cell.control->invoke(cell.feed, kyv::Invoke::Call, &arg_);
  }
  void feedAll() {
    for (int k = 0; k < kKinds; ++k) feed(k);
  }

  // Paints the controls of `kind` that asked for it since they were last painted, only
  // their damage; returns how many.
  int paintDamage(int kind, kyv::PixelTarget& target) {
    kyv::RenderOptions options;
    options.onlyDamage = true;
    const int count = static_cast<int>(queued_[kind].size());
    for (Cell* cell : queued_[kind]) {
      cell->queued = false;
      kyv::render(*cell->control, target, cell->at.x(), cell->at.y(), options);
    }
    queued_[kind].clear();
    return count;
  }
  // Paints every control of `kind` whole.
  void paintWhole(int kind, kyv::PixelTarget& target) {
    for (auto& cell : cells_[kind]) {
      cell->queued = false;
      kyv::render(*cell->control, target, cell->at.x(), cell->at.y());
    }
    queued_[kind].clear();
  }
  void paintAll(kyv::PixelTarget& target) {
    for (int k = 0; k < kKinds; ++k) paintWhole(k, target);
  }

  int perKind() const { return static_cast<int>(cells_[0].size()); }
  kyv::Control& control(int kind, int i) const { return *cells_[kind][i]->control; }
  QPoint at(int kind, int i) const { return cells_[kind][i]->at; }

 private:
  // A control of the wall and its site: a repaint request queues it for the next paint.
  struct Cell final : kyv::Site {
    Cell(KyvWall& w, Kind k, int index, QPoint p) : wall(w), kind(k), i(index), at(p) {}
    void invalidated(kyv::Control&, const kyv::Region&) override {
      if (queued) return;
      queued = true;
      wall.queued_[kind].push_back(this);
    }
    KyvWall& wall;
    Kind kind;
    int i;
    QPoint at;
    kyv::ControlPtr control;
    int feed = -1, column = -1;
    int tick = 0;
    bool queued = false;
  };

  void add(kyv::Registry& registry, Kind kind, int i, QPoint at) {
    auto cell = std::make_unique<Cell>(*this, kind, i, at);
    kyv::ControlPtr c = registry.create(kKindSizes[kind].className);
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
    cell->control = std::move(c);
    cells_[kind].push_back(std::move(cell));
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

  std::array<std::vector<std::unique_ptr<Cell>>, kKinds> cells_;
  std::array<std::vector<Cell*>, kKinds> queued_;
  kyv::Variant arg_;
};

// ---- The changed-pixel floor -------------------------------------------------------------

// The pixels of the wall that differ from one tick to the next, as runs along rows, kind by
// kind, for kRecordedTicks ticks from the end of the filling ticks: what any wall has to
// write at the least. Recorded from a wall of its own, fed as the measured one, every
// control rendered whole before and after its value.
class ChangedPixels {
 public:
  ChangedPixels(kyv::Registry& registry, const Grid& grid, int width) : width_(width) {
    KyvWall probe(registry, grid);
    for (int t = 0; t < kFillTicks; ++t) probe.feedAll();
    for (int t = 0; t < kRecordedTicks; ++t)
      for (int k = 0; k < kKinds; ++k) record(probe, k, ticks_[t][k]);
  }

  // Writes the changed pixels of `kind` for recorded tick `tick` into the image.
  void write(int tick, int kind, uint32_t* image, uint32_t colour) const {
    const Runs& runs = ticks_[tick % kRecordedTicks][kind];
    for (size_t i = 0; i < runs.offsets.size(); ++i) std::fill_n(image + runs.offsets[i], runs.lengths[i], colour);
  }
  // Changed pixels of `kind` a tick, on average.
  double pixelsPerTick(int kind) const {
    double n = 0;
    for (const auto& tick : ticks_)
      for (uint16_t length : tick[kind].lengths) n += length;
    return n / kRecordedTicks;
  }
  // Pixels of `kind` the controls' damage held a tick, on average: what painting only the
  // damage repaints.
  double damagedPerTick(int kind) const { return damaged_[kind] / kRecordedTicks; }

 private:
  struct Runs {
    std::vector<uint32_t> offsets;  // of the first pixel, in pixels from the image's start
    std::vector<uint16_t> lengths;
  };

  void record(KyvWall& probe, int kind, Runs& out) {
    const QSize size = Grid::size(kind);
    const int w = size.width(), h = size.height();
    std::vector<uint32_t> before(static_cast<size_t>(w) * h), after(before.size());
    const auto render = [&](kyv::Control& c, std::vector<uint32_t>& into) {
      kyv::renderToPixels(c, reinterpret_cast<uint8_t*>(into.data()), w, h, w * 4);
    };
    for (int i = 0; i < probe.perKind(); ++i) {
      kyv::Control& c = probe.control(kind, i);
      render(c, before);
      probe.feedOne(kind, i);
      damaged_[kind] += static_cast<double>(c.damage().area());
      render(c, after);
      const QPoint at = probe.at(kind, i);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w;) {
          if (before[static_cast<size_t>(y) * w + x] == after[static_cast<size_t>(y) * w + x]) {
            ++x;
            continue;
          }
          const int start = x;
          while (x < w && before[static_cast<size_t>(y) * w + x] != after[static_cast<size_t>(y) * w + x]) ++x;
          out.offsets.push_back(static_cast<uint32_t>((at.y() + y) * width_ + at.x() + start));
          out.lengths.push_back(static_cast<uint16_t>(x - start));
        }
    }
  }

  int width_;
  std::array<std::array<Runs, kKinds>, kRecordedTicks> ticks_;
  std::array<double, kKinds> damaged_{};
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
  // The wall of every kind, or only of `onlyKind` when it is one.
  explicit QtWall(const Grid& grid, int onlyKind = -1) : parent_(std::make_unique<QWidget>()) {
    parent_->resize(grid.width(), grid.height());
    cells_.reserve(grid.controls());
    for (int k = 0; k < kKinds; ++k)
      if (onlyKind < 0 || k == onlyKind)
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

// ---- The run ------------------------------------------------------------------------------

// Per-kind figures of one kind of wall tick.
struct KindSamples {
  std::array<Samples, kKinds> feed, paint, both;
};

struct Figures {
  Samples kyv, kyvWhole, qt, floorWhole, floorChanged;
  KindSamples kyvKinds, kyvWholeKinds;
  std::array<Samples, kKinds> floorKinds;
  std::array<double, kKinds> changedPixels{}, damagedPixels{};
  double kyvBytes = 0, qtBytes = 0;
  std::array<double, kKinds> kyvKindBytes{}, qtKindBytes{};
  size_t kyvSetup = 0, qtSetup = 0;
  double kyvOne = 0, qtOne = 0;  // one of each kind in a cached image, seconds a tick
};

struct Options {
  int ticks = 50;
  std::string pngFolder;  // where each wall's last tick is saved, if anywhere
};

Figures& figures() {
  static Figures f;
  return f;
}
Options& options() {
  static Options o;
  return o;
}

// A Kyv tick kind by kind: feed the kind, paint it (its damage, or whole); the tick is
// their sum.
void kyvTick(KyvWall& wall, kyv::PixelTarget& target, bool whole, KindSamples& kinds, Samples& total) {
  double sum = 0;
  for (int k = 0; k < kKinds; ++k) {
    const double start = cpuSeconds();
    wall.feed(k);
    const double fed = cpuSeconds();
    if (whole)
      wall.paintWhole(k, target);
    else
      wall.paintDamage(k, target);
    const double done = cpuSeconds();
    kinds.feed[k].add(fed - start);
    kinds.paint[k].add(done - fed);
    kinds.both[k].add(done - start);
    sum += done - start;
  }
  total.add(sum);
}

// Every control's pixels written once, kind by kind.
void floorWholeTick(const Grid& grid, SharedImage& image, uint32_t colour, Samples& total) {
  const double start = cpuSeconds();
  for (int k = 0; k < kKinds; ++k) {
    const QSize size = Grid::size(k);
    for (int i = 0; i < grid.perKind(); ++i) {
      const QPoint at = grid.at(k, i);
      for (int y = at.y(); y < at.y() + size.height(); ++y) std::fill_n(image.row(y) + at.x(), size.width(), colour);
    }
  }
  total.add(cpuSeconds() - start);
}

void floorChangedTick(const ChangedPixels& changed, int tick, SharedImage& image, uint32_t colour, Figures& f) {
  double sum = 0;
  for (int k = 0; k < kKinds; ++k) {
    const double start = cpuSeconds();
    changed.write(tick, k, image.row(0), colour);
    const double took = cpuSeconds() - start;
    f.floorKinds[k].add(took);
    sum += took;
  }
  f.floorChanged.add(sum);
}

// The wall of `onlyKind` (every kind when -1) built, filled and painted once, and into
// `bytes` the heap in use it took a control.
std::unique_ptr<KyvWall> filledKyvWall(kyv::Registry& registry, const Grid& grid, kyv::PixelTarget& target,
                                       int onlyKind, double& bytes) {
  const size_t before = heapInUse();
  auto wall = std::make_unique<KyvWall>(registry, grid, onlyKind);
  for (int t = 0; t < kFillTicks; ++t) wall->feedAll();
  wall->paintAll(target);
  for (int t = 0; t < kSettleTicks; ++t) {
    wall->feedAll();
    for (int k = 0; k < kKinds; ++k) wall->paintDamage(k, target);
  }
  bytes = static_cast<double>(heapInUse() - before) / (onlyKind < 0 ? grid.controls() : grid.perKind());
  return wall;
}

// The same for Qt; the wall has had ticks 0 to kFillTicks + kSettleTicks - 1.
std::unique_ptr<QtWall> filledQtWall(const Grid& grid, QImage& target, int onlyKind, double& bytes) {
  const size_t before = heapInUse();
  auto wall = std::make_unique<QtWall>(grid, onlyKind);
  for (int t = 0; t < kFillTicks + kSettleTicks; ++t) {
    wall->feed(t);
    if (t < kFillTicks - 1) continue;
    QPainter p(&target);
    wall->paint(p);
  }
  bytes = static_cast<double>(heapInUse() - before) / (onlyKind < 0 ? grid.controls() : grid.perKind());
  return wall;
}

// Both walls and the baselines, a tick of each in turn until every one has `ticks`.
void Wall(benchmark::State& state) {
  Figures& f = figures();
  const Options& o = options();
  const Grid grid(kPerKind, kWallWidth);
  SharedImage kyvImage(grid), qtImage(grid);
  kyv::Registry registry;
  const ChangedPixels changed(registry, grid, grid.width());
  for (int k = 0; k < kKinds; ++k) {
    f.changedPixels[k] = changed.pixelsPerTick(k);
    f.damagedPixels[k] = changed.damagedPerTick(k);
  }

  kyv::PixelTarget target(kyvImage.bits(), grid.width(), grid.height(), kyvImage.stride());
  QImage qtTarget = qtImage.image();
  // Each kind alone first, each wall gone again before the next.
  for (int k = 0; k < kKinds; ++k) {
    filledKyvWall(registry, grid, target, k, f.kyvKindBytes[k]);
    filledQtWall(grid, qtTarget, k, f.qtKindBytes[k]);
  }
  auto kyvWall = filledKyvWall(registry, grid, target, -1, f.kyvBytes);
  auto qtWall = filledQtWall(grid, qtTarget, -1, f.qtBytes);
  int qtTicks = kFillTicks + kSettleTicks;

  for (auto _ : state) {
    for (int round = 0; round < o.ticks; ++round) {
      kyvTick(*kyvWall, target, false, f.kyvKinds, f.kyv);
      timed(f.qt, [&] {
        qtWall->feed(qtTicks++);
        QPainter p(&qtTarget);
        qtWall->paint(p);
      });
      kyvTick(*kyvWall, target, true, f.kyvWholeKinds, f.kyvWhole);
      const uint32_t colour = 0xFF000000u | static_cast<uint32_t>(round);
      floorWholeTick(grid, qtImage, colour, f.floorWhole);
      floorChangedTick(changed, round, qtImage, colour, f);
    }
  }
  // The last tick of each wall as it shows: Kyv's damage painted once more over its image.
  kyvTick(*kyvWall, target, false, f.kyvKinds, f.kyv);
  kyvImage.save(o.pngFolder, "kyv-wall.png");
  {
    qtWall->feed(qtTicks++);
    QPainter p(&qtTarget);
    qtWall->paint(p);
  }
  qtImage.save(o.pngFolder, "qt-wall.png");
  state.counters["Kyv ms"] = f.kyv.median() * 1e3;
  state.counters["Qt ms"] = f.qt.median() * 1e3;
  state.counters["ratio"] = f.qt.median() / f.kyv.median();
}

// One control of each kind in a small image that stays in the processor's caches: what
// painting costs without the memory traffic of the big image.
void KyvOneOfEachTick(benchmark::State& state) {
  const Grid grid(1, 360);
  SharedImage image(grid);
  kyv::Registry registry;
  KyvWall wall(registry, grid);
  kyv::PixelTarget target(image.bits(), grid.width(), grid.height(), image.stride());
  for (int t = 0; t < kFillTicks; ++t) wall.feedAll();
  wall.paintAll(target);
  const double start = cpuSeconds();
  for (auto _ : state)
    for (int k = 0; k < kKinds; ++k) {
      wall.feed(k);
      wall.paintDamage(k, target);
    }
  figures().kyvOne = (cpuSeconds() - start) / static_cast<double>(state.iterations());
}

void QtOneOfEachTick(benchmark::State& state) {
  const Grid grid(1, 360);
  SharedImage image(grid);
  QImage target = image.image();
  QtWall wall(grid);
  int tick = 0;
  for (; tick < kFillTicks; ++tick) wall.feed(tick);
  const double start = cpuSeconds();
  for (auto _ : state) {
    wall.feed(tick++);
    QPainter p(&target);
    wall.paint(p);
  }
  figures().qtOne = (cpuSeconds() - start) / static_cast<double>(state.iterations());
}

// Process-wide set-up both walls rely on, paid before either is measured: fontconfig and
// cairo's font machinery (one control of each kind painted), Qt's fonts and style (one
// widget of each kind rendered). The controls are painted at another resolution and the
// widgets at their own sizes, so that what the renderers keep for the walls' own lines,
// fonts and captions is counted in the walls.
void warmUp(Figures& f) {
  size_t before = heapInUse();
  {
    kyv::Registry registry;
    std::vector<uint32_t> pixels(1000 * 400);
    for (const KindSize& size : kKindSizes) {
      kyv::ControlPtr c = registry.create(size.className);
      c->InitProperties();
      c->setExtent(size.widthTwips, size.heightTwips);
      kyv::RenderOptions options;
      options.twipsPerPixel = kyv::kReferenceTwipsPerPixel / 2;
      kyv::renderToPixels(*c, reinterpret_cast<uint8_t*>(pixels.data()), 1000, 400, 4000, options);
    }
  }
  f.kyvSetup = heapInUse() - before;
  before = heapInUse();
  {
    QImage image(1000, 400, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    QWidget parent;
    for (QWidget* w : std::initializer_list<QWidget*>{new QProgressBar(&parent), new QLCDNumber(4, &parent),
                                                      new QtGraph(&parent, 16), new QtTrace(&parent, kTraceSteps),
                                                      new QtLevels(&parent)})
      w->render(&p);
  }
  f.qtSetup = heapInUse() - before;
}

void printSamples(const char* name, const Samples& s) {
  std::printf("%-24s %9.2f %9.2f - %-9.2f %9.1f\n", name, s.median() * 1e3, s.quantile(0.25) * 1e3,
              s.quantile(0.75) * 1e3, 1 / s.median());
}

void summary(const Figures& f, const Grid& grid) {
  std::printf(
      "\nMonitoring wall: %d controls, %d x %d pixels, one value per control a tick; %zu ticks of each, "
      "interleaved\n",
      grid.controls(), grid.width(), grid.height(), f.qt.count());
  std::printf("%-24s %9s %21s %9s\n", "tick (CPU time)", "median ms", "middle half ms", "ticks/s");
  printSamples("Kyv, damage only", f.kyv);
  printSamples("Kyv, every control whole", f.kyvWhole);
  printSamples("Qt", f.qt);
  printSamples("floor, every pixel", f.floorWhole);
  printSamples("floor, changed pixels", f.floorChanged);
  double changed = 0;
  for (double n : f.changedPixels) changed += n;
  double all = 0;
  for (int k = 0; k < kKinds; ++k)
    all += static_cast<double>(grid.perKind()) * Grid::size(k).width() * Grid::size(k).height();
  std::printf("changed pixels: %.2f M of %.2f M a tick (%.1f %%)\n", changed / 1e6, all / 1e6, 100 * changed / all);
  std::printf(
      "a Kyv tick takes %.2f times the changed-pixel floor (painting every control whole: %.2f times; "
      "the every-pixel floor: %.2f times)\n",
      f.kyv.median() / f.floorChanged.median(), f.kyvWhole.median() / f.floorChanged.median(),
      f.floorWhole.median() / f.floorChanged.median());
  std::printf("Kyv damage only against Kyv whole: %.1f times faster\n", f.kyvWhole.median() / f.kyv.median());

  std::printf("\nOne new value per control, by kind (tick = feed + paint of the damage):\n");
  std::printf("%-12s %8s %8s %8s %8s %8s %8s %11s %11s\n", "kind", "changed", "damaged", "floor", "feed", "paint",
              "tick", "tick/floor", "paint/floor");
  for (int k = 0; k < kKinds; ++k) {
    const double per = 1e6 / kPerKind, floor = f.floorKinds[k].median() * per;
    const double feed = f.kyvKinds.feed[k].median() * per, paint = f.kyvKinds.paint[k].median() * per;
    const double tick = f.kyvKinds.both[k].median() * per;
    std::printf("%-12s %8.0f %8.0f %8.2f %8.2f %8.2f %8.2f %11.2f %11.2f\n", kKindNames[k],
                f.changedPixels[k] / kPerKind, f.damagedPixels[k] / kPerKind, floor, feed, paint, tick, tick / floor,
                paint / floor);
  }
  std::printf("(changed and damaged: pixels a control; the rest: us a control, medians)\n");
  std::printf("(whole repaint, us a control: ");
  for (int k = 0; k < kKinds; ++k)
    std::printf("%s%s %.2f", k ? ", " : "", kKindNames[k], f.kyvWholeKinds.both[k].median() * 1e6 / kPerKind);
  std::printf(")\n");
  if (f.qtOne > 0)
    std::printf("one of each kind in a cached image: Kyv %.1f us a tick, Qt %.1f us, ratio %.1f\n", f.kyvOne * 1e6,
                f.qtOne * 1e6, f.qtOne / f.kyvOne);
  if (kHeapMeasured) {
    std::printf(
        "bytes per control: Kyv %.0f, Qt %.0f (ratio %.2f); set-up once per process, counted in neither: "
        "Kyv %zu KiB, Qt %zu KiB\n",
        f.kyvBytes, f.qtBytes, f.kyvBytes / f.qtBytes, f.kyvSetup / 1024, f.qtSetup / 1024);
    std::printf("bytes per control by kind (a wall of that kind alone):");
    for (int k = 0; k < kKinds; ++k)
      std::printf("%s %s Kyv %.0f Qt %.0f", k ? "," : "", kKindNames[k], f.kyvKindBytes[k], f.qtKindBytes[k]);
    std::printf("\n");
  } else {
    std::printf("memory: not measured under AddressSanitizer\n");
  }
  std::printf("ratio %.1f\n", f.qt.median() / f.kyv.median());
}

}  // namespace

BENCHMARK(Wall)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(KyvOneOfEachTick)->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(QtOneOfEachTick)->Unit(benchmark::kMicrosecond)->MinTime(0.5);

// Options besides Google Benchmark's: --png FOLDER saves each wall's last tick there;
// --ticks N measures N ticks of each kind (at least 50 for figures to report).
int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Options& o = options();
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--png" || arg == "--ticks") && i + 1 < argc) {
      if (arg == "--png")
        o.pngFolder = argv[++i];
      else
        o.ticks = std::max(1, std::atoi(argv[++i]));
      continue;
    }
    argv[kept++] = argv[i];
  }
  argc = kept;
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  warmUp(figures());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  summary(figures(), Grid(kPerKind, kWallWidth));
  return 0;
}
