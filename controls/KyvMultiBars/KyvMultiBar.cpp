#include "KyvMultiBar.h"

#include <string>

#include "kyv/class_table.h"
#include "kyv/error.h"
#include "kyv/plugin.h"

namespace kyv {

namespace {

constexpr int kLines = KyvMultiBar::kBars + 1;
constexpr float kScaleWidth = 100;
constexpr Colour kRed{0xFF};
// The surface's stored defaults: its own colour and the border it is given at design time.
constexpr Colour kBackColour{0x8000000F};
constexpr int16_t kBorderStyle = 1;
// Heights in twips that the bars keep until their first Value.
constexpr float kInitialHeights[KyvMultiBar::kBars] = {135, 360, 240, 540, 165, 525, 360, 420, 570, 810};

int16_t checkedColumns(int16_t n) {
  if (n < 0 || n > KyvMultiBar::kBars)
    kyv::raise(ErrorKind::InvalidPropertyValue,
               "Invalid property value: Columns " + std::to_string(n) + " is not 0 to 10");
  return n;
}

int16_t checkedMaxLimit(int16_t v) {
  if (v <= 0)
    kyv::raise(ErrorKind::InvalidPropertyValue,
               "Invalid property value: MaxLimit " + std::to_string(v) + " is not above 0");
  return v;
}

}  // namespace

const kyv::ClassInfo& KyvMultiBar::classTable() {
  using T = kyv::ClassTable<KyvMultiBar>;
  using K = KyvMultiBar;
  static const T table{
      "KyvMultiBars.KyvMultiBar",
      {4170, 1425, 900, 450},
      {.title = "Multi-column level display",
       .description = "Up to ten level bars side by side, cut into ten segments each"},
      {
          T::property<&K::BackColor, &K::setBackColor>(
              "BackColor", 0x68030004, "Colour of the surface and of the lines that cut the bars into segments."),
          T::property<&K::BorderStyle, &K::setBorderStyle>("BorderStyle", 0x68030003,
                                                           "Border of the surface: 0 none, 1 sunken."),
          T::property<&K::BarColor, &K::setBarColor>("BarColor", 0x68030002,
                                                     "Colour of the lit segments of every bar."),
          T::property<&K::Columns, &K::setColumns>("Columns", 0x68030001, "Number of bars shown, from bar 0: 0 to 10."),
          T::property<&K::MaxLimit, &K::setMaxLimit>("MaxLimit", 0x68030000,
                                                     "The value that fills a bar's whole height, above 0.",
                                                     "It takes effect at the next layout."),
          T::feed<&K::Column>("Column", 0x60030006, "Selects the bar, 0 to 9, that the next Value sets.",
                              {.argument = "ColumnNumber"}),
          T::feed<&K::Value>("Value", 0x60030007, "Sets the height of the selected bar and lays the bars out.",
                             {.argument = "Values", .replay = Replay::EveryItem, .selector = "Column"}),
      },
      {},
      {
          T::stored<&K::Columns>("Columns", kColumns, [](K& c, int16_t v) { c.columns_ = checkedColumns(v); }),
          T::stored<&K::MaxLimit>("MaxLimit", kMaxLimit, [](K& c, int16_t v) { c.maxLimit_ = checkedMaxLimit(v); }),
          T::stored<&K::BackColor>("BackColor", kBackColour, [](K& c, Colour v) { c.UserControl().setBackColor(v); }),
          T::stored<&K::BorderStyle>("BorderStyle", kBorderStyle,
                                     [](K& c, int16_t v) { c.UserControl().setBorderStyle(v); }),
          // One entry per visible bar, the k-th for bar k.
          {"BarColor", Colour{0x80000005}, VarType::Colour,
           [](K& c, int i, const Variant& v) { c.indic(i).setFillColor(v.toColour()); },
           [](K& c, int i) { return Variant(c.indic(i).FillColor()); }, 1, 1,
           [](const K& c) { return static_cast<int>(c.columns_); }, "one per visible bar (Columns)"},
      },
      {"BackColor", "BorderStyle", "BarColor", "Columns", "MaxLimit"}};
  return table;
}

KyvMultiBar::KyvMultiBar(kyv::Registry* registry)
    : Control(classTable(), registry),
      indic(UserControl(), "indic", kBars),
      hgrd(UserControl(), "hgrd", kLines),
      vgrd(UserControl(), "vgrd", kLines) {
  UserControl().setBorderStyle(kBorderStyle);
  for (int i = 0; i < kBars; ++i) {
    kyv::Shape& bar = indic.create(i);
    bar.setFillColor(kRed);
    bar.setRectTwips(0, 0, 0, kInitialHeights[i]);
  }
  for (int i = 0; i < kLines; ++i) hgrd.create(i).setBorderWidth(2);
  for (int i = 0; i < kLines; ++i) {
    kyv::LineElement& line = vgrd.create(i);
    line.setBorderWidth(2);
    line.setVisible(false);
  }
}

void KyvMultiBar::setBackColor(Colour c) {
  UserControl().setBackColor(c);
  PropertyChanged("BackColor");
}

void KyvMultiBar::setBorderStyle(int16_t style) {
  UserControl().setBorderStyle(style);
  PropertyChanged("BorderStyle");
}

Colour KyvMultiBar::BarColor() const { return columns_ > 0 ? indic(columns_ - 1).FillColor() : Colour{0}; }

void KyvMultiBar::setBarColor(Colour c) {
  for (int i = 0; i < columns_; ++i) indic(i).setFillColor(c);
  PropertyChanged("BarColor");
}

void KyvMultiBar::setColumns(int16_t n) {
  columns_ = checkedColumns(n);
  PropertyChanged("Columns");
  layout();
}

void KyvMultiBar::setMaxLimit(int16_t v) {
  maxLimit_ = checkedMaxLimit(v);
  PropertyChanged("MaxLimit");
}

void KyvMultiBar::Column(int16_t& ColumnNumber) {
  if (ColumnNumber < 0 || ColumnNumber >= kBars)
    kyv::raise(ErrorKind::SubscriptOutOfRange,
               "Subscript out of range: column " + std::to_string(ColumnNumber) + " is not 0 to 9");
  selected_ = ColumnNumber;
}

// The height is written as H - (H - Values) scale units, H being the scale height of the
// last layout pass: the bar becomes Values / H of the surface's inner height.
void KyvMultiBar::Value(int16_t& Values) {
  if (Values < 0)
    kyv::raise(ErrorKind::InvalidPropertyValue,
               "Invalid property value: Value " + std::to_string(Values) + " is negative");
  const float h = UserControl().ScaleHeight();
  indic(selected_).setHeight(h - (h - Values));
  if (laidOut_ != basis()) {
    layout();
    return;
  }
  if (selected_ < columns_) standOnBottom(selected_, h);
}

bool KyvMultiBar::LayoutBasis::operator==(const LayoutBasis& o) const {
  return columns == o.columns && maxLimit == o.maxLimit && borderStyle == o.borderStyle && back == o.back &&
         width == o.width && height == o.height;
}

KyvMultiBar::LayoutBasis KyvMultiBar::basis() const {
  const kyv::Surface& s = UserControl();
  return {columns_, maxLimit_, s.BorderStyle(), s.BackColor(), s.widthTwips(), s.heightTwips()};
}

void KyvMultiBar::standOnBottom(int i, float scaleHeight) {
  kyv::Shape& bar = indic(i);
  bar.setTop(scaleHeight - bar.Height());
}

void KyvMultiBar::InitProperties() {
  columns_ = kColumns;
  maxLimit_ = kMaxLimit;
}

// Shows the first Columns bars and their lines and hides the rest, sets the scale to 100
// units across and MaxLimit down, stands the visible bars on the bottom edge at the height
// they have (read in the new scale, so a resize keeps each bar's height in twips) and lays
// the lines over them. Each element is shown or hidden once, as it ends up, so a pass
// that changes little leaves little for the damage to look at.
void KyvMultiBar::layout() {
  for (int i = 0; i < kBars; ++i) {
    indic(i).setVisible(i < columns_);
    vgrd(i).setVisible(i < columns_);
  }
  kyv::Surface& surface = UserControl();
  surface.setScaleHeight(maxLimit_);
  surface.setScaleWidth(kScaleWidth);
  const float h = surface.ScaleHeight();
  const float w = surface.ScaleWidth();
  for (int i = 0; i < columns_; ++i) {
    standOnBottom(i, h);
    indic(i).setLeft(w / columns_ * i);
    indic(i).setWidth(w / columns_);
  }
  const Colour back = surface.BackColor();
  for (int i = 0; i < kLines; ++i) {
    kyv::LineElement& line = hgrd(i);
    const float y = h / 10 * i;
    line.setBorderColor(back);
    line.setX1(0);
    line.setY1(y);
    line.setX2(kScaleWidth);
    line.setY2(y);
  }
  for (int i = 0; i < columns_; ++i) {
    kyv::LineElement& line = vgrd(i);
    const float x = w / columns_ * i;
    line.setBorderColor(back);
    line.setX1(x);
    line.setY1(0);
    line.setX2(x);
    line.setY2(h);
  }
  laidOut_ = basis();
}

}  // namespace kyv

KYV_CONTROL_LIBRARY(kyv::plugin<kyv::KyvMultiBar>())
