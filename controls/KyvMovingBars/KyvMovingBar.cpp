#include "KyvMovingBar.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "kyv/arith.h"
#include "kyv/class_table.h"
#include "kyv/plugin.h"

namespace kyv {

namespace {
enum Event { MaxLimitReached = 1, NormalOPs = 2 };

// Design-time settings, which are also the stored defaults.
constexpr int16_t kBorderStyle = 1;
constexpr Colour kBarColour{0xFF};
constexpr Colour kFillColour{0x8000000F};

// Writes the value of grid line i for `maxLimit` into `buf`: at most 15 significant
// digits, no trailing zeros ("13.5", "90").
std::string_view lineValue(int32_t maxLimit, int i, char (&buf)[32]) {
  const double v = maxLimit - i * (maxLimit / 10.0);
  const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr;
  return {buf, static_cast<size_t>(end - buf)};
}
}  // namespace

const kyv::ClassInfo& KyvMovingBar::classTable() {
  using T = kyv::ClassTable<KyvMovingBar>;
  using K = KyvMovingBar;
  const auto loadBackColor = [](K& c, int, const Variant& v) { c.lvl(0).setFillColor(v.toColour()); };
  const auto saveBackColor = [](K& c, int) { return Variant(c.lvl(0).FillColor()); };
  static const T table{
      "KyvMovingBars.KyvMovingBar",
      {3285, 2580, 1200, 1500},  // smallest: room for the ten grid labels
      {.title = "Scrolling bar graph",
       .description = "The recent history of a value as a row of bars over a labelled grid"},
      {
          T::feed<&K::MoveBar>(
              "MoveBar", 0x60030007, "Adds a value as the newest bar and raises MaxLimitReached or NormalOPs.",
              {.argument = "x",
               .samples = {30, 55, 40, 70, 60, 85, 50, 65},
               .readingsShown = [](const kyv::Control& c) { return static_cast<const K&>(c).barsShown(); }}),
          T::property<&K::value, &K::setvalue>("value", 0x68030006,
                                               "A stored number; it draws nothing (MoveBar feeds the graph)."),
          T::property<&K::MaxLimit, &K::setMaxLimit>(
              "MaxLimit", 0x68030005, "The value of a bar as high as the chart, and of the top grid label.",
              "Bars fed from now on take it at once; the grid labels take it at the next layout."),
          T::property<&K::showgrid, &K::setshowgrid>("showgrid", 0x68030004, "Shows or hides the grid lines."),
          T::property<&K::showLabel, &K::setshowLabel>("showLabel", 0x68030003, "Shows or hides the grid labels."),
          T::property<&K::BackColor, &K::setBackColor>("BackColor", 0x68030002, "Colour of the bars (their fill).",
                                                       "The background behind the bars is `FillColor`."),
          T::property<&K::BorderStyle, &K::setBorderStyle>("BorderStyle", 0x68030001,
                                                           "Border of the chart frame: 0 none, 1 fixed single."),
          T::property<&K::FillColor, &K::setFillColor>("FillColor", 0x68030000,
                                                       "Colour of the background behind the bars."),
      },
      {{"MaxLimitReached", MaxLimitReached, "fired each time maxlimit is reached"},
       {"NormalOPs", NormalOPs, "fired each time value is within max limit"}},
      {
          T::stored<&K::value>("value", kValue, [](K& c, int16_t v) { c.value_ = v; }),
          T::stored<&K::MaxLimit>("MaxLimit", kMaxLimit, [](K& c, int32_t v) { c.maxLimit_ = v; }),
          // Saved from lvl(0), which the bars added later copy.
          {"BackColor", kBarColour, VarType::Colour, loadBackColor, saveBackColor},
          // One entry per line and per label; the default 1 stands for visible.
          {"showgrid", int16_t(1), VarType::Boolean,
           [](K& c, int i, const Variant& v) { c.grd(i + 1).setVisible(v.toBoolean()); },
           [](K& c, int i) { return Variant(c.grd(i + 1).Visible()); }, kLines, kLines},
          {"showLabel", int16_t(1), VarType::Boolean,
           [](K& c, int i, const Variant& v) { c.lbl(i + 1).setVisible(v.toBoolean()); },
           [](K& c, int i) { return Variant(c.lbl(i + 1).Visible()); }, kLines, kLines},
          // Read a second time into lvl(0), with the same result; written only once.
          {"BackColor", kBarColour, VarType::Colour, loadBackColor, saveBackColor, 1, 0},
          T::stored<&K::BorderStyle>("BorderStyle", kBorderStyle, [](K& c, int16_t v) { c.schart.setBorderStyle(v); }),
          T::stored<&K::FillColor>("FillColor", kFillColour, [](K& c, Colour v) { c.UserControl().setBackColor(v); }),
      }};
  return table;
}

KyvMovingBar::KyvMovingBar(kyv::Registry* registry)
    : Control(classTable(), registry),
      schart(UserControl(), "schart"),
      lvl(UserControl(), "lvl", 1),
      grd(UserControl(), "grd", kLines),
      lbl(UserControl(), "lbl", kLines) {
  schart.setRectTwips(0, 0, 3195, 2475);
  schart.setBorderStyle(kBorderStyle);
  kyv::Shape& first = lvl.create(0);
  first.setRectTwips(630, 2895, 225, 15);
  first.setFillColor(kBarColour);
  first.setBorderStyle(1);  // an outline in the window-text colour keeps neighbours apart
  for (int i = 1; i <= kLines; ++i) grd.create(i);
  for (int i = 1; i <= kLines; ++i) {
    kyv::Label& label = lbl.create(i);
    label.setFont("MS Serif", 400, 6);
    label.setCaption("1");
    label.setAutoSize(true);
  }
}

void KyvMovingBar::setvalue(int16_t v) {
  value_ = v;
  PropertyChanged("value");
}

void KyvMovingBar::setMaxLimit(int32_t v) {
  maxLimit_ = v;
  PropertyChanged("MaxLimit");
}

void KyvMovingBar::setshowgrid(bool visible) {
  for (int i = 1; i <= kLines; ++i) grd(i).setVisible(visible);
  PropertyChanged("showgrid");
}

void KyvMovingBar::setshowLabel(bool visible) {
  for (int i = 1; i <= kLines; ++i) lbl(i).setVisible(visible);
  PropertyChanged("showLabel");
}

void KyvMovingBar::setBackColor(Colour c) {
  const int count = lvl.Count();
  for (int i = 0; i < count; ++i) lvl(i).setFillColor(c);
  PropertyChanged("BackColor");
}

void KyvMovingBar::setBorderStyle(int16_t style) {
  schart.setBorderStyle(style);
  PropertyChanged("BorderStyle");
}

void KyvMovingBar::setFillColor(Colour c) {
  UserControl().setBackColor(c);
  PropertyChanged("FillColor");
}

void KyvMovingBar::InitProperties() {
  value_ = kValue;
  maxLimit_ = kMaxLimit;
  Refresh();
}

// (x / MaxLimit) of the frame's height, unclamped; MaxLimit 0 raises division-by-zero.
float KyvMovingBar::barHeight(int16_t x) const {
  const double share = kyv::divide(static_cast<double>(x), static_cast<double>(maxLimit_));
  const float h = static_cast<float>(share * schart.Height());
  return h == 0 ? 0.0f : h;  // 0 over a negative maximum is a plain 0, not -0
}

void KyvMovingBar::raiseFor(int16_t x) { RaiseEvent(x >= maxLimit_ ? MaxLimitReached : NormalOPs); }

// Shows the new bar lvl(n) in the next free slot, right of lvl(n - 1).
void KyvMovingBar::append(kyv::Shape& bar, int n) {
  bar.setTop(schart.Height() - bar.Height());
  bar.setLeft(static_cast<float>(n) * lvl(n - 1).Width() + schart.Left());
  UserControl().placeInFrontOf(bar, lvl(n - 1));
  bar.setVisible(true);
}

// Moves every height one bar to the left: lvl(i) takes lvl(i + 1)'s height for i < n, so
// the hidden lvl(n) hands its height to the rightmost bar and bar 0's height is lost.
void KyvMovingBar::shiftLeft(int n) {
  const float frame = schart.Height();
  for (int i = 0; i < n; ++i) {
    const float h = lvl(i + 1).Height();
    kyv::Shape& bar = lvl(i);
    bar.setHeight(h);
    bar.setTop(frame - h);
    Refresh();
  }
}

void KyvMovingBar::MoveBar(int16_t& x) {
  const int16_t v = x;
  const int n = kyv::toInt16(lvl.Count());
  kyv::Shape& bar = lvl.Load(n);
  const bool full = static_cast<float>(lvl.Count()) * bar.Width() > schart.Width();
  try {
    bar.setHeight(barHeight(v));
  } catch (...) {
    lvl.Unload(n);  // a failed call leaves the row as it was, so the next bar lands right
    throw;
  }
  if (!full) {
    append(bar, n);
    raiseFor(v);
    return;
  }
  shiftLeft(n);
  // The host's handler runs while lvl(n) is still loaded; the row keeps n bars after it.
  try {
    raiseFor(v);
  } catch (...) {
    lvl.Unload(n);
    throw;
  }
  lvl.Unload(n);
}

int KyvMovingBar::barsShown() const {
  const float bar = lvl(0).Width();
  return bar > 0 ? std::max(1, static_cast<int>(std::floor(schart.Width() / bar))) : 1;
}

void KyvMovingBar::Resize() {
  schart.setWidth(UserControl().ScaleWidth());
  schart.setHeight(UserControl().ScaleHeight());
  const float step = schart.Height() / 10.0f;
  char text[32];
  for (int i = 1; i <= kLines; ++i) {
    kyv::LineElement& line = grd(i);
    line.setX1(schart.Left());
    line.setX2(schart.Width());
    line.setY1(static_cast<float>(i) * step);
    line.setY2(static_cast<float>(i) * step);
    // Placed by the width of the text it showed so far: a label whose text changes
    // width sits right from the following layout on.
    kyv::Label& label = lbl(i);
    label.setLeft(static_cast<float>(schart.Width() - 1.5 * label.Width()));
    label.setCaption(lineValue(maxLimit_, i, text));
    label.setTop(line.Y1());
  }
  kyv::Shape& first = lvl(0);
  first.setLeft(schart.Left());
  first.setTop(schart.Height() - first.Height());
  for (int i = 0; i < lvl.Count(); ++i) lvl(i).setTop(schart.Height() - lvl(i).Height());
  Refresh();
}

}  // namespace kyv

KYV_CONTROL_LIBRARY(kyv::plugin<kyv::KyvMovingBar>())
