#include "HeartBeat.h"

#include <algorithm>
#include <string>

#include "kyv/arith.h"
#include "kyv/class_table.h"
#include "kyv/error.h"
#include "kyv/plugin.h"

namespace kyv {

namespace {
constexpr int16_t kDotted = 3;

// Design-time settings; the first two are also the stored defaults.
constexpr Colour kBackColour{0x80000007};
constexpr int16_t kBorderStyle = 1;
constexpr Colour kGridColour{0x80000004};

[[noreturn]] void pastArrays(int i, size_t size) {
  kyv::raise(kyv::ErrorKind::SubscriptOutOfRange, "Subscript out of range: point " + std::to_string(i) +
                                                      " is outside the trace's " + std::to_string(size) +
                                                      " points; a layout makes room for HorizCount + 1");
}
}  // namespace

const kyv::ClassInfo& HeartBeat::classTable() {
  using T = kyv::ClassTable<HeartBeat>;
  using K = HeartBeat;
  // Grid entries alternate: entry 2k is grd(k + 1), entry 2k + 1 is vgrd(k + 1).
  static const T table{
      "KyvPulse.HeartBeat",
      {4515, 1515, 900, 450},
      {.title = "Scrolling trace",
       .description = "Successive values as one continuous trace over a dotted grid",
       .keepsFaceDark = true},
      {
          T::layoutProperty<&K::HorizCount, &K::setHorizCount>(
              "HorizCount", 0x68030006, "Steps across the width: the trace holds HorizCount + 1 points.",
              "It takes effect at the next layout, which every host gives the control after the write."),
          T::layoutProperty<&K::MaxLimit, &K::setMaxLimit>(
              "MaxLimit", 0x68030005, "The value drawn at the top edge of the plot area; not a count of tics.",
              "A point of value v is drawn MaxLimit - v below the top edge. It takes effect at the next layout, "
              "which every host gives the control after the write."),
          T::feed<&K::Plot>(
              "Plot", 0x6003000C, "Adds one point to the trace; Value comes back as MaxLimit minus Value.",
              {.argument = "Value",
               .replay = Replay::Trace,
               .traceLength = "HorizCount",
               .samples = {2, 3, 2, 9, 1, 3, 2, 3, 2, 8, 1, 3},
               .readingsShown =
                   [](const kyv::Control& c) { return std::max(0, static_cast<const K&>(c).HorizCount() + 1); }}),
          T::property<&K::BackColor, &K::setBackColor>(
              "BackColor", 0x68030004, "Colour of the plot area's background; a write clears the drawn trace."),
          T::property<&K::BorderStyle, &K::setBorderStyle>("BorderStyle", 0x68030003,
                                                           "Border of the plot area: 0 none, 1 fixed single."),
          T::property<&K::LineColor, &K::setLineColor>("LineColor", 0x68030002,
                                                       "Colour of the trace drawn from now on."),
          T::property<&K::GridVisible, &K::setGridVisible>("GridVisible", 0x68030001,
                                                           "Shows or hides the dotted grid."),
          T::property<&K::GridColor, &K::setGridColor>("GridColor", 0x68030000, "Colour of the dotted grid lines."),
      },
      {},
      {
          T::stored<&K::HorizCount>("HorizCount", kHorizCount, [](K& c, int16_t v) { c.horizCount_ = v; }),
          T::stored<&K::MaxLimit>("MaxLimit", kMaxLimit, [](K& c, int16_t v) { c.maxLimit_ = v; }),
          T::stored<&K::BackColor>("BackColor", kBackColour, [](K& c, Colour v) { c.Picture1.setBackColor(v); }),
          T::stored<&K::BorderStyle>("BorderStyle", kBorderStyle,
                                     [](K& c, int16_t v) { c.Picture1.setBorderStyle(v); }),
          // The stored default is not the design-time colour: a bag without the key gives
          // the grid the system's button face.
          {"GridColor", Colour{0x8000000F}, VarType::Colour,
           [](K& c, int i, const Variant& v) { (i % 2 ? c.vgrd : c.grd)(i / 2 + 1).setBorderColor(v.toColour()); },
           [](K& c, int i) { return Variant((i % 2 ? c.vgrd : c.grd)(i / 2 + 1).BorderColor()); }, 2 * kLines,
           2 * kLines},
          T::stored<&K::LineColor>("LineColor", kLineColour, [](K& c, Colour v) { c.lineColour_ = v; }),
          // The default 1 stands for visible.
          {"GridVisible", int16_t(1), VarType::Boolean,
           [](K& c, int i, const Variant& v) { (i % 2 ? c.vgrd : c.grd)(i / 2 + 1).setVisible(v.toBoolean()); },
           [](K& c, int i) { return Variant((i % 2 ? c.vgrd : c.grd)(i / 2 + 1).Visible()); }, 2 * kLines, 2 * kLines},
      }};
  return table;
}

HeartBeat::HeartBeat(kyv::Registry* registry)
    : Control(classTable(), registry),
      Picture1(UserControl(), "Picture1"),
      grd(Picture1, "grd", kLines),
      vgrd(Picture1, "vgrd", kLines) {
  Picture1.setRectTwips(0, 0, 4455, 1425);
  Picture1.setBackColor(kBackColour);
  Picture1.setBorderStyle(kBorderStyle);
  for (int i = 1; i <= kLines; ++i) grd.create(i).setBorderColor(kGridColour);
  for (int i = 1; i <= kLines; ++i) vgrd.create(i).setBorderColor(kGridColour);
}

void HeartBeat::setHorizCount(int16_t v) {
  horizCount_ = v;
  PropertyChanged("HorizCount");
}

void HeartBeat::setMaxLimit(int16_t v) {
  maxLimit_ = v;
  PropertyChanged("MaxLimit");
}

void HeartBeat::setBackColor(Colour c) {
  Picture1.setBackColor(c);
  PropertyChanged("BackColor");
}

void HeartBeat::setBorderStyle(int16_t style) {
  Picture1.setBorderStyle(style);
  PropertyChanged("BorderStyle");
}

void HeartBeat::setLineColor(Colour c) {
  lineColour_ = c;
  PropertyChanged("LineColor");
}

void HeartBeat::setGridVisible(bool visible) {
  for (int i = 1; i <= kLines; ++i) {
    grd(i).setVisible(visible);
    vgrd(i).setVisible(visible);
  }
  PropertyChanged("GridVisible");
}

void HeartBeat::setGridColor(Colour c) {
  for (int i = 1; i <= kLines; ++i) {
    grd(i).setBorderColor(c);
    vgrd(i).setBorderColor(c);
  }
  PropertyChanged("GridColor");
}

void HeartBeat::InitProperties() {
  lineColour_ = kLineColour;
  horizCount_ = kHorizCount;
  maxLimit_ = kMaxLimit;
}

float& HeartBeat::yAt(int i) {
  if (i < 0 || static_cast<size_t>(i) >= y_.size()) pastArrays(i, y_.size());
  return y_[i];
}

float HeartBeat::xAt(int i) const {
  if (i < 0 || static_cast<size_t>(i) >= y_.size()) pastArrays(i, y_.size());
  return static_cast<float>(i) * xStep_;
}

// Draws the trace from point `from` (at height fromY) to point `to`.
void HeartBeat::segment(int from, float fromY, int to) {
  Picture1.Line(xAt(from), fromY, xAt(to), yAt(to), lineColour_);
}

void HeartBeat::grow(float y) {
  yAt(p_) = y;
  segment(p_ - 1, yAt(p_ - 1), p_);
}

// Erases the trace, moves every point one step to the left, redraws it and adds the
// new point at the right edge.
void HeartBeat::scroll(float y) {
  Picture1.Refresh();
  const int n = horizCount_;
  const float saved = yAt(p_ - 1);
  for (int i = 0; i < n; ++i) yAt(i) = yAt(i + 1);
  yAt(n) = saved;
  for (int i = 0; i < n - 1; ++i) segment(i, yAt(i), i + 1);
  p_ = static_cast<int16_t>(p_ - 1);
  yAt(p_) = y;
  segment(p_ - 1, saved, p_);
}

void HeartBeat::Plot(int16_t& Value) {
  Value = kyv::toInt16(static_cast<int32_t>(maxLimit_) - Value);
  p_ = kyv::toInt16(p_ + 1);
  const float y = static_cast<float>(Value) * scale_;
  if (p_ <= horizCount_)
    grow(y);
  else
    scroll(y);
}

// Starts a new trace: point 0 on the bottom edge, x positions across the plot width.
// Needs MaxLimit != 0 and HorizCount >= 1; otherwise the previous trace layout stays.
void HeartBeat::layoutTrace() {
  if (maxLimit_ == 0 || horizCount_ < 1) return;
  const float width = Picture1.ScaleWidth();
  const float height = Picture1.ScaleHeight();
  const int n = horizCount_;
  p_ = 0;
  y_.assign(n + 1, 0.0f);
  scale_ = height / static_cast<float>(maxLimit_);
  y_[0] = height;
  xStep_ = width / static_cast<float>(n);
  // A trace is at most n segments.
  Picture1.reserveLines(static_cast<size_t>(n));
}

// Dotted lines at every tenth of the plot area, each way.
void HeartBeat::layoutGrid() {
  const float rowStep = Picture1.ScaleHeight() / 10.0f;
  const float columnStep = Picture1.ScaleWidth() / 10.0f;
  for (int i = 1; i <= kLines; ++i) {
    kyv::LineElement& line = grd(i);
    line.setBorderStyle(kDotted);
    line.setX1(0);
    line.setX2(Picture1.Width());
    line.setY1(static_cast<float>(i) * rowStep);
    line.setY2(static_cast<float>(i) * rowStep);
  }
  for (int i = 1; i <= kLines; ++i) {
    kyv::LineElement& line = vgrd(i);
    line.setBorderStyle(kDotted);
    line.setY1(0);
    line.setY2(Picture1.Height());
    line.setX1(static_cast<float>(i) * columnStep);
    line.setX2(static_cast<float>(i) * columnStep);
  }
}

// Lays out the plot area, a new trace and the grid. Draws nothing and requests no repaint.
void HeartBeat::Resize() {
  Picture1.setWidth(UserControl().ScaleWidth());
  Picture1.setHeight(UserControl().ScaleHeight());
  layoutTrace();
  layoutGrid();
}

}  // namespace kyv

KYV_CONTROL_LIBRARY(kyv::plugin<kyv::HeartBeat>())
