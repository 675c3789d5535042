#include "StatusBar.h"

#include <charconv>

#include "kyv/arith.h"

namespace kyv {

namespace {
enum Event { MinThreshReached = 1, MaxThreshReached = 2, NormalOPs = 3 };
enum Band { Normal = 0, Low = 1, High = 2 };

// Design-time settings, which are also the stored defaults.
constexpr int16_t kBorderStyle = 1, kBar3D = 0, kCaptionBorder = 1;
constexpr Colour kBackColour{0x8000000F};
constexpr Colour kBandColours[] = {Colour{0xFF00}, Colour{0xFF0000}, Colour{0xFF}};  // by Band
}  // namespace

StatusBar::Table StatusBar::makeTable(const ClassDesign& design) {
  using T = Table;
  using K = StatusBar;
  // Both bars show one reading as a level and share their members: one family.
  const Presentation presentation{
      design.title, design.description, PictureKind::Level, design.growsAcross, design.growsDown, false, "StatusBar"};
  return T{
      design.className,
      design.extent,
      presentation,
      {
          T::property<&K::BorderStyle, &K::setBorderStyle>("BorderStyle", 0x6803000A,
                                                           "Border of the bar holder: 0 none, 1 sunken."),
          T::property<&K::Bar3D, &K::setBar3D>("Bar3D", 0x68030009,
                                               "Border of the three band segments: 0 flat, 1 sunken."),
          T::property<&K::CaptionVisible, &K::setCaptionVisible>(
              "CaptionVisible", 0x68030008, "Shows or hides the box with the reading; its place stays reserved."),
          T::property<&K::CaptionBorder, &K::setCaptionBorder>("CaptionBorder", 0x68030007,
                                                               "Border of the box with the reading: 0 none, 1 sunken."),
          T::property<&K::BackColor, &K::setBackColor>("BackColor", 0x68030006,
                                                       "Colour of the empty bar and of the box with the reading."),
          T::property<&K::FillColor, &K::setFillColor>("FillColor", 0x68030005,
                                                       "Colour of the bar in the normal band."),
          T::property<&K::maxthreshcolor, &K::setmaxthreshcolor>("maxthreshcolor", 0x68030004,
                                                                 "Colour of the bar for a reading above MaxThreshold."),
          T::property<&K::MinThreshold, &K::setMinThreshold>("MinThreshold", 0x68030003,
                                                             "Readings up to and including this value are low."),
          T::property<&K::MaxThreshold, &K::setMaxThreshold>("MaxThreshold", 0x68030002,
                                                             "Readings above this value are high."),
          T::property<&K::Maxlimit, &K::setMaxlimit>("Maxlimit", 0x68030001, "The reading that fills the bar."),
          T::property<&K::minthreshcolor, &K::setminthreshcolor>(
              "minthreshcolor", 0x68030000, "Colour of the bar for a reading at or below MinThreshold."),
          T::feed<&K::incbar>(
              "incbar", 0x6003000F, "Shows a reading in the colour of its band and raises the band's event.",
              {.argument = "BarData", .fullScale = "Maxlimit", .replay = Replay::LastReading, .samples = {30}}),
      },
      {{"MinThreshReached", MinThreshReached, "Raised by incbar for a reading at or below MinThreshold."},
       {"MaxThreshReached", MaxThreshReached, "Raised by incbar for a reading above MaxThreshold."},
       {"NormalOPs", NormalOPs, "Raised by incbar for a reading in the normal band."}},
      {
          T::stored<&K::BorderStyle>("BorderStyle", kBorderStyle, [](K& c, int16_t v) { c.holdbar.setBorderStyle(v); }),
          {"Bar3D", kBar3D, VarType::Integer,
           [](K& c, int i, const Variant& v) { c.BarSeg(i).setBorderStyle(v.toInteger()); },
           [](K& c, int i) { return Variant(c.BarSeg(i).BorderStyle()); }, 3, 3},
          T::stored<&K::CaptionVisible>("CaptionVisible", design.captionVisibleDefault,
                                        [](K& c, bool v) { c.datpict.setVisible(v); }),
          T::stored<&K::CaptionBorder>("CaptionBorder", kCaptionBorder,
                                       [](K& c, int16_t v) { c.datpict.setBorderStyle(v); }),
          // Read into the holder, then again into the caption box; written once.
          T::stored<&K::BackColor>("BackColor", kBackColour, 2,
                                   [](K& c, int i, Colour v) { (i == 0 ? c.holdbar : c.datpict).setBackColor(v); }),
          T::stored<&K::FillColor>("FillColor", kBandColours[Normal],
                                   [](K& c, Colour v) { c.BarSeg(Normal).setBackColor(v); }),
          T::stored<&K::minthreshcolor>("minthreshcolor", kBandColours[Low],
                                        [](K& c, Colour v) { c.BarSeg(Low).setBackColor(v); }),
          T::stored<&K::maxthreshcolor>("maxthreshcolor", kBandColours[High],
                                        [](K& c, Colour v) { c.BarSeg(High).setBackColor(v); }),
          T::stored<&K::MinThreshold>("MinThreshold", kMinThreshold, [](K& c, int16_t v) { c.minThreshold_ = v; }),
          T::stored<&K::MaxThreshold>("MaxThreshold", kMaxThreshold, [](K& c, int16_t v) { c.maxThreshold_ = v; }),
          T::stored<&K::Maxlimit>("Maxlimit", kMaxlimit, [](K& c, int16_t v) { c.maxlimit_ = v; }),
      }};
}

StatusBar::StatusBar(const kyv::ClassInfo& info, kyv::Registry* registry, float captionPoints)
    : Control(info, registry),
      datpict(UserControl(), "datpict"),
      cntlbl(datpict, "cntlbl"),
      holdbar(UserControl(), "holdbar"),
      BarSeg(holdbar, "BarSeg", 3) {
  datpict.setBorderStyle(kCaptionBorder);
  cntlbl.setFont("Times New Roman", 700, captionPoints);
  cntlbl.setAlignment(2);
  cntlbl.setCaption("0");
  holdbar.setBorderStyle(kBorderStyle);
  for (int i = 0; i < 3; ++i) BarSeg.create(i).setBackColor(kBandColours[i]);
  holdbar.sendToBack(BarSeg(Low));
  holdbar.bringToFront(BarSeg(High));
}

void StatusBar::setBorderStyle(int16_t style) {
  holdbar.setBorderStyle(style);
  PropertyChanged("BorderStyle");
}

// Checked here, so that the error names Bar3D rather than the segments' BorderStyle.
void StatusBar::setBar3D(int16_t style) {
  if (style != 0 && style != 1)
    raise(ErrorKind::InvalidPropertyValue, "Invalid property value: Bar3D " + std::to_string(style) + " is not 0 or 1");
  for (int i = 0; i < 3; ++i) BarSeg(i).setBorderStyle(style);
  PropertyChanged("Bar3D");
}

void StatusBar::setCaptionVisible(bool visible) {
  datpict.setVisible(visible);
  PropertyChanged("CaptionVisible");
}

void StatusBar::setCaptionBorder(int16_t style) {
  datpict.setBorderStyle(style);
  PropertyChanged("CaptionBorder");
}

void StatusBar::setBackColor(Colour c) {
  holdbar.setBackColor(c);
  datpict.setBackColor(c);
  PropertyChanged("BackColor");
}

void StatusBar::setFillColor(Colour c) {
  BarSeg(Normal).setBackColor(c);
  PropertyChanged("FillColor");
}

void StatusBar::setmaxthreshcolor(Colour c) {
  BarSeg(High).setBackColor(c);
  PropertyChanged("maxthreshcolor");
}

void StatusBar::setminthreshcolor(Colour c) {
  BarSeg(Low).setBackColor(c);
  PropertyChanged("minthreshcolor");
}

void StatusBar::setMinThreshold(int16_t v) {
  minThreshold_ = v;
  PropertyChanged("MinThreshold");
}

void StatusBar::setMaxThreshold(int16_t v) {
  maxThreshold_ = v;
  PropertyChanged("MaxThreshold");
}

void StatusBar::setMaxlimit(int16_t v) {
  maxlimit_ = v;
  PropertyChanged("Maxlimit");
}

void StatusBar::InitProperties() {
  minThreshold_ = kMinThreshold;
  maxThreshold_ = kMaxThreshold;
  maxlimit_ = kMaxlimit;
}

double StatusBar::fractionOfMaxlimit(int16_t v) const {
  return kyv::divide(static_cast<double>(static_cast<float>(v)), static_cast<double>(static_cast<float>(maxlimit_)));
}

void StatusBar::setCaption(int16_t v) {
  char text[8];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  cntlbl.setCaption(std::string_view(text, end - text));
}

// The bands are tested in this order; ties go to the lower band. Bands behind the
// shown one keep their visibility and size: the stacking makes the band colour show.
void StatusBar::incbar(int16_t& BarData) {
  const int16_t v = BarData;
  if (v < 0) {
    BarSeg(Low).setVisible(false);
    BarSeg(Normal).setVisible(false);
    BarSeg(High).setVisible(false);
    setCaption(v);
    Refresh();
    return;
  }
  if (v <= minThreshold_) {
    BarSeg(Normal).setVisible(false);
    BarSeg(High).setVisible(false);
    BarSeg(Low).setVisible(true);
    showReading(BarSeg(Low), v);
    setCaption(v);
    Refresh();
    RaiseEvent(MinThreshReached);
    return;
  }
  if (v > maxThreshold_) {
    BarSeg(High).setVisible(true);
    showReading(BarSeg(High), v);
    setCaption(v);
    Refresh();
    RaiseEvent(MaxThreshReached);
    return;
  }
  BarSeg(High).setVisible(false);
  BarSeg(Normal).setVisible(true);
  showReading(BarSeg(Normal), v);
  setCaption(v);
  Refresh();
  RaiseEvent(NormalOPs);
}

}  // namespace kyv
