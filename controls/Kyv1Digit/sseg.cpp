#include "sseg.h"

#include "kyv/class_table.h"
#include "kyv/plugin.h"

namespace kyv {

namespace {

enum Segment { UpperRight, LowerRight, Bottom, LowerLeft, UpperLeft, Top, Middle, kSegments };

// The default extent, which the frame fills at design time.
constexpr float kWidth = 870, kHeight = 1125;
// The smallest digit whose segments stay apart and readable.
constexpr float kMinimumWidth = 300, kMinimumHeight = 420;
constexpr int16_t kBorderStyle = 1;
constexpr Colour kFaceColour{0x80000008};
constexpr Colour kSegmentColour{0x00FF00};
constexpr int16_t kSegmentWidth = 3;
// Twips between each vertical segment and the ends of the horizontal ones.
constexpr float kGap = 50;

// The lit segments of each digit, bit i standing for seg(i).
constexpr uint8_t bits(std::initializer_list<Segment> lit) {
  uint8_t b = 0;
  for (Segment s : lit) b = static_cast<uint8_t>(b | (1u << s));
  return b;
}
constexpr uint8_t kDigits[10] = {
    bits({UpperRight, LowerRight, Bottom, LowerLeft, UpperLeft, Top}),
    bits({UpperRight, LowerRight}),
    bits({UpperRight, Bottom, LowerLeft, Top, Middle}),
    bits({UpperRight, LowerRight, Bottom, Top, Middle}),
    bits({UpperRight, LowerRight, UpperLeft, Middle}),
    bits({LowerRight, Bottom, UpperLeft, Top, Middle}),
    bits({LowerRight, Bottom, LowerLeft, UpperLeft, Top, Middle}),
    bits({UpperRight, LowerRight, Top}),
    bits({UpperRight, LowerRight, Bottom, LowerLeft, UpperLeft, Top, Middle}),
    bits({UpperRight, LowerRight, UpperLeft, Top, Middle}),
};

}  // namespace

const kyv::ClassInfo& sseg::classTable() {
  using T = kyv::ClassTable<sseg>;
  using K = sseg;
  static const T table{
      "Kyv1Digit.sseg",
      {kWidth, kHeight, kMinimumWidth, kMinimumHeight},
      {.title = "Seven-segment digit",
       .description = "One seven-segment digit, 0 to 9",
       .picture = PictureKind::Number,
       .growsAcross = false,
       .growsDown = false,
       .keepsFaceDark = true,
       .family = "Digits"},
      {
          T::property<&K::BorderStyle, &K::setBorderStyle>("BorderStyle", 0x68030003,
                                                           "Border of the digit's frame: 0 none, 1 sunken."),
          T::property<&K::BackColor, &K::setBackColor>("BackColor", 0x68030002,
                                                       "Colour of the digit's face behind the segments."),
          T::property<&K::DisplayColor, &K::setDisplayColor>("DisplayColor", 0x68030001, "Colour of the lit segments."),
          T::property<&K::maxlimit, &K::setmaxlimit>("maxlimit", 0x68030000,
                                                     "A stored number; it does not change what the digit shows."),
          T::feed<&K::send>("send", 0x60030006, "Shows the digit 0 to 9; any other value leaves the digit as it is.",
                            {.argument = "amount",
                             .shows = ReadingRange{0, 9},
                             .takes = ReadingRange{0, 9},
                             .replay = Replay::LastReading,
                             .samples = {7}}),
      },
      {},
      {
          T::stored<&K::BackColor>("BackColor", kFaceColour, [](K& c, Colour v) { c.digit(0).setBackColor(v); }),
          // One entry per segment, in index order.
          {"DisplayColor", kSegmentColour, VarType::Colour,
           [](K& c, int i, const Variant& v) { c.seg(i).setBorderColor(v.toColour()); },
           [](K& c, int i) { return Variant(c.seg(i).BorderColor()); }, kSegments, kSegments},
          T::stored<&K::maxlimit>("maxlimit", kMaxlimit, [](K& c, int32_t v) { c.maxlimit_ = v; }),
          T::stored<&K::BorderStyle>("BorderStyle", kBorderStyle,
                                     [](K& c, int16_t v) { c.Picture1.setBorderStyle(v); }),
      }};
  return table;
}

sseg::sseg(kyv::Registry* registry)
    : Control(classTable(), registry),
      Picture1(UserControl(), "Picture1"),
      digit(Picture1, "digit", 1),
      seg(digit.create(0), "seg", kSegments) {
  Picture1.setRectTwips(0, 0, kWidth, kHeight);
  Picture1.setBorderStyle(kBorderStyle);
  digit(0).setRectTwips(0, 0, Picture1.interiorWidth(), Picture1.interiorHeight());
  digit(0).setBackColor(kFaceColour);
  for (int i = 0; i < kSegments; ++i) {
    kyv::LineElement& line = seg.create(i);
    line.setBorderColor(kSegmentColour);
    line.setBorderWidth(kSegmentWidth);
  }
}

void sseg::setBorderStyle(int16_t style) {
  Picture1.setBorderStyle(style);
  PropertyChanged("BorderStyle");
}

void sseg::setBackColor(Colour c) {
  digit(0).setBackColor(c);
  PropertyChanged("BackColor");
}

void sseg::setDisplayColor(Colour c) {
  for (int i = 0; i < kSegments; ++i) seg(i).setBorderColor(c);
  PropertyChanged("DisplayColor");
}

void sseg::setmaxlimit(int32_t v) {
  maxlimit_ = v;
  PropertyChanged("maxlimit");
}

int32_t sseg::send(int32_t& amount) {
  if (amount < 0 || amount > 9) return 0;
  const uint8_t lit = kDigits[amount];
  for (int i = 0; i < kSegments; ++i) seg(i).setVisible((lit >> i) & 1u);
  return 0;
}

void sseg::InitProperties() { maxlimit_ = kMaxlimit; }

void sseg::place(int segment, float x1, float y1, float x2, float y2) {
  kyv::LineElement& line = seg(segment);
  line.setX1(x1);
  line.setY1(y1);
  line.setX2(x2);
  line.setY2(y2);
}

// The digit fills the middle third of the face's width and the band from h3/2 to 2.5 h3
// of its height; sizes are not clamped, so a small face gives crossed or negative ends.
void sseg::Resize() {
  Picture1.setHeight(UserControl().ScaleHeight());
  Picture1.setWidth(UserControl().ScaleWidth());
  kyv::PictureBox& face = digit(0);
  face.setWidth(Picture1.ScaleWidth());
  face.setHeight(Picture1.ScaleHeight());
  const float w3 = face.ScaleWidth() / 3.0f;
  const float h3 = face.ScaleHeight() / 3.0f;
  place(Top, w3, h3 / 2, 2 * w3, h3 / 2);
  place(Middle, w3, h3 / 2 + h3, 2 * w3, h3 / 2 + h3);
  place(Bottom, w3, 2 * h3 + h3 / 2, 2 * w3, 2 * h3 + h3 / 2);
  place(UpperRight, 2 * w3 + kGap, h3 / 2 + kGap, 2 * w3 + kGap, h3 + h3 / 2 - kGap);
  place(LowerRight, 2 * w3 + kGap, h3 / 2 + h3 + kGap, 2 * w3 + kGap, 2 * h3 + h3 / 2 - kGap);
  place(LowerLeft, w3 - kGap, h3 / 2 + h3 + kGap, w3 - kGap, 2 * h3 + h3 / 2 - kGap);
  place(UpperLeft, w3 - kGap, h3 / 2 + kGap, w3 - kGap, h3 + h3 / 2 - kGap);
  int32_t zero = 0;
  send(zero);
}

}  // namespace kyv

KYV_CONTROL_LIBRARY(kyv::plugin<kyv::sseg>())
