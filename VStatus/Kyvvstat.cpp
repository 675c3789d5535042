#include "Kyvvstat.h"

#include <charconv>

#include "kyv/arith.h"
#include "kyv/class_table.h"
#include "kyv/plugin.h"

using kyv::Colour;
using kyv::Variant;
using kyv::VarType;

namespace {
enum Event { MinThreshReached = 1, MaxThreshReached = 2, NormalOPs = 3 };
enum Segment { Normal = 0, Low = 1, High = 2 };
}  // namespace

const kyv::ClassInfo& Kyvvstat::classTable() {
  using T = kyv::ClassTable<Kyvvstat>;
  using K = Kyvvstat;
  static const T table{
      "KyvVStatus.Kyvvstat",
      465,
      3540,
      {
          T::property<&K::BorderStyle, &K::setBorderStyle>("BorderStyle", 0x6803000A),
          T::property<&K::Bar3D, &K::setBar3D>("Bar3D", 0x68030009),
          T::property<&K::CaptionVisible, &K::setCaptionVisible>("CaptionVisible", 0x68030008),
          T::property<&K::CaptionBorder, &K::setCaptionBorder>("CaptionBorder", 0x68030007),
          T::property<&K::BackColor, &K::setBackColor>("BackColor", 0x68030006),
          T::property<&K::FillColor, &K::setFillColor>("FillColor", 0x68030005),
          T::property<&K::maxthreshcolor, &K::setmaxthreshcolor>("maxthreshcolor", 0x68030004),
          T::property<&K::MinThreshold, &K::setMinThreshold>("MinThreshold", 0x68030003),
          T::property<&K::MaxThreshold, &K::setMaxThreshold>("MaxThreshold", 0x68030002),
          T::property<&K::Maxlimit, &K::setMaxlimit>("Maxlimit", 0x68030001),
          T::property<&K::minthreshcolor, &K::setminthreshcolor>("minthreshcolor", 0x68030000),
          T::method<&K::incbar>("incbar", 0x6003000F),
      },
      {{"MinThreshReached", MinThreshReached, {}}, {"MaxThreshReached", MaxThreshReached, {}}, {"NormalOPs", NormalOPs, {}}},
      {
          {"BorderStyle", int16_t(1), VarType::Integer,
           [](K& c, int, const Variant& v) { c.holdbar.setBorderStyle(v.toInteger()); },
           [](K& c, int) { return Variant(c.holdbar.BorderStyle()); }},
          {"Bar3D", int16_t(0), VarType::Integer,
           [](K& c, int i, const Variant& v) { c.BarSeg(i).setBorderStyle(v.toInteger()); },
           [](K& c, int i) { return Variant(c.BarSeg(i).BorderStyle()); }, 3, 3},
          {"CaptionVisible", true, VarType::Boolean,
           [](K& c, int, const Variant& v) { c.datpict.setVisible(v.toBoolean()); },
           [](K& c, int) { return Variant(c.datpict.Visible()); }},
          {"CaptionBorder", int16_t(1), VarType::Integer,
           [](K& c, int, const Variant& v) { c.datpict.setBorderStyle(v.toInteger()); },
           [](K& c, int) { return Variant(c.datpict.BorderStyle()); }},
          // Read into the holder, then again into the caption box; written once.
          {"BackColor", Colour{0x8000000F}, VarType::Colour,
           [](K& c, int i, const Variant& v) { (i == 0 ? c.holdbar : c.datpict).setBackColor(v.toColour()); },
           [](K& c, int) { return Variant(c.holdbar.BackColor()); }, 2, 1},
          {"FillColor", Colour{0xFF00}, VarType::Colour,
           [](K& c, int, const Variant& v) { c.BarSeg(Normal).setBackColor(v.toColour()); },
           [](K& c, int) { return Variant(c.BarSeg(Normal).BackColor()); }},
          {"minthreshcolor", Colour{0xFF0000}, VarType::Colour,
           [](K& c, int, const Variant& v) { c.BarSeg(Low).setBackColor(v.toColour()); },
           [](K& c, int) { return Variant(c.BarSeg(Low).BackColor()); }},
          {"maxthreshcolor", Colour{0xFF}, VarType::Colour,
           [](K& c, int, const Variant& v) { c.BarSeg(High).setBackColor(v.toColour()); },
           [](K& c, int) { return Variant(c.BarSeg(High).BackColor()); }},
          {"MinThreshold", int16_t(0), VarType::Integer,
           [](K& c, int, const Variant& v) { c.minThreshold_ = v.toInteger(); },
           [](K& c, int) { return Variant(c.minThreshold_); }},
          {"MaxThreshold", int16_t(40), VarType::Integer,
           [](K& c, int, const Variant& v) { c.maxThreshold_ = v.toInteger(); },
           [](K& c, int) { return Variant(c.maxThreshold_); }},
          {"Maxlimit", int16_t(100), VarType::Integer,
           [](K& c, int, const Variant& v) { c.maxlimit_ = v.toInteger(); },
           [](K& c, int) { return Variant(c.maxlimit_); }},
      }};
  return table;
}

Kyvvstat::Kyvvstat(kyv::Registry* registry)
    : Control(classTable(), registry),
      datpict(UserControl(), "datpict"),
      cntlbl(datpict, "cntlbl"),
      holdbar(UserControl(), "holdbar"),
      BarSeg(holdbar, "BarSeg") {
  datpict.setRectTwips(0, 3210, 465, 330);
  datpict.setBorderStyle(1);
  cntlbl.setFont("Times New Roman", 700, 9);
  cntlbl.setAlignment(2);
  cntlbl.setCaption("0");
  cntlbl.setRectTwips(135, 45, 120, 195);
  holdbar.setRectTwips(0, 0, 465, 3225);
  holdbar.setBorderStyle(1);
  const Colour colours[] = {Colour{0xFF00}, Colour{0xFF0000}, Colour{0xFF}};
  for (int i = 0; i < 3; ++i) BarSeg.create(i).setBackColor(colours[i]);
  holdbar.sendToBack(BarSeg(Low));
  holdbar.bringToFront(BarSeg(High));
}

void Kyvvstat::setBorderStyle(int16_t style) {
  holdbar.setBorderStyle(style);
  PropertyChanged("BorderStyle");
}

void Kyvvstat::setBar3D(int16_t style) {
  for (int i = 0; i < 3; ++i) {
    BarSeg(i).setBorderStyle(style);
    PropertyChanged("Bar3D");
  }
}

void Kyvvstat::setCaptionVisible(bool visible) {
  datpict.setVisible(visible);
  PropertyChanged("CaptionVisible");
}

void Kyvvstat::setCaptionBorder(int16_t style) {
  datpict.setBorderStyle(style);
  PropertyChanged("CaptionBorder");
}

void Kyvvstat::setBackColor(Colour c) {
  holdbar.setBackColor(c);
  datpict.setBackColor(c);
  PropertyChanged("BackColor");
}

void Kyvvstat::setFillColor(Colour c) {
  BarSeg(Normal).setBackColor(c);
  PropertyChanged("FillColor");
}

void Kyvvstat::setmaxthreshcolor(Colour c) {
  BarSeg(High).setBackColor(c);
  PropertyChanged("maxthreshcolor");
}

void Kyvvstat::setminthreshcolor(Colour c) {
  BarSeg(Low).setBackColor(c);
  PropertyChanged("minthreshcolor");
}

void Kyvvstat::setMinThreshold(int16_t v) {
  minThreshold_ = v;
  PropertyChanged("MinThreshold");
}

void Kyvvstat::setMaxThreshold(int16_t v) {
  maxThreshold_ = v;
  PropertyChanged("MaxThreshold");
}

void Kyvvstat::setMaxlimit(int16_t v) {
  maxlimit_ = v;
  PropertyChanged("Maxlimit");
}

void Kyvvstat::InitProperties() {
  minThreshold_ = 0;
  maxThreshold_ = 40;
  maxlimit_ = 100;
}

// Height v / Maxlimit of the holder's inner height, the segment standing on its bottom.
void Kyvvstat::showReading(kyv::PictureBox& segment, int16_t v) {
  const double share = kyv::divide(static_cast<double>(static_cast<float>(v)),
                                   static_cast<double>(static_cast<float>(maxlimit_)));
  segment.setHeight(static_cast<float>(share * holdbar.ScaleHeight()));
  segment.setTop(holdbar.ScaleHeight() - segment.Height());
}

void Kyvvstat::setCaption(int16_t v) {
  char text[8];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  cntlbl.setCaption(std::string_view(text, end - text));
}

void Kyvvstat::incbar(int16_t& BarData) {
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

void Kyvvstat::Resize() {
  const float w = UserControl().ScaleWidth();
  const float h = UserControl().ScaleHeight();
  holdbar.setTop(0);
  holdbar.setWidth(w);
  holdbar.setHeight(h - datpict.Height());
  datpict.setTop(holdbar.Height());
  datpict.setWidth(w);
  datpict.setHeight(h - holdbar.Height());
  for (int i = 0; i < 3; ++i) {
    kyv::PictureBox& segment = BarSeg(i);
    segment.setHeight(0);
    segment.setWidth(holdbar.Width());
    segment.setLeft(holdbar.Left());
    segment.setTop(holdbar.ScaleHeight() - segment.Height());
  }
  cntlbl.setLeft((datpict.ScaleWidth() - cntlbl.Width()) / 2);
  cntlbl.setTop((datpict.ScaleHeight() - cntlbl.Height()) / 2);
}

KYV_CONTROL_LIBRARY(kyv::plugin<Kyvvstat>())
