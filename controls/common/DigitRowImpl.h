#pragma once
// Member definitions of DigitRow<N>; included by the one source file of each display,
// which instantiates DigitRow for its N.
#include <charconv>
#include <string>

#include "DigitRow.h"
#include "kyv/bag.h"
#include "kyv/error.h"
#include "kyv/registry.h"

namespace kyv {

namespace digitrow {

inline constexpr std::string_view kDigitClass = "Kyv1Digit.sseg";
inline constexpr int16_t kBorderStyle = 1;
inline constexpr kyv::Colour kBackColour{0x80000008};
inline constexpr kyv::Colour kDisplayColour{0x00FF00};
// Each digit's design-time extent.
inline constexpr float kDigitWidth = 870, kDigitHeight = 1125;
inline constexpr std::string_view kMemberNames[] = {"send", "BackColor", "DisplayColor"};

// The value of character `position` (from 1) of `text`; position 0 and "-" give 0.
inline int32_t characterValue(const char* text, int position) {
  if (position == 0) return 0;
  const char c = text[position - 1];
  return c == '-' ? 0 : c - '0';
}

}  // namespace digitrow

template <int N>
DigitRow<N>::DigitRow(const kyv::ClassInfo& info, kyv::Registry* registry, const Layout& layout)
    : Control(info, registry),
      Picture1(UserControl(), "Picture1"),
      digit(Picture1, "digit", N),
      layout_(layout),
      maxlimit_(layout.maxlimit) {
  Picture1.setRectTwips(layout.frameLeft, layout.frameTop, info.defaultWidth(), info.defaultHeight());
  Picture1.setBorderStyle(digitrow::kBorderStyle);
  Picture1.setBackColor(digitrow::kBackColour);
  for (int i = 0; i < N; ++i) {
    kyv::ControlSlot& slot = digit.create(i);
    slot.setRectTwips(i * digitrow::kDigitWidth, 0, digitrow::kDigitWidth, digitrow::kDigitHeight);
    slot.setControl(createDigit());
  }
  const kyv::ClassInfo& digitClass = digit(0).control()->classInfo();
  for (int m = 0; m < kDigitMembers; ++m) bound_[m] = digitClass.find(digitrow::kMemberNames[m]);
}

// A digit as its stored design-time settings make it: no border, the rest at defaults.
template <int N>
kyv::ControlPtr DigitRow<N>::createDigit() {
  const std::string self(classInfo().className());
  if (!registry())
    kyv::raise(kyv::ErrorKind::CannotCreateObject,
               "Cannot create object: class \"" + std::string(digitrow::kDigitClass) + "\", which " + self +
                   " builds its digits from: " + self + " was made without a registry");
  kyv::ControlPtr d;
  try {
    d = registry()->create(digitrow::kDigitClass);
  } catch (const kyv::Error& e) {
    kyv::raise(e.kind(), std::string(e.what()) + " (" + self + " builds its digits from it)");
  }
  kyv::PropertyBag design;
  design.WriteProperty("BorderStyle", int16_t{0});
  d->ReadProperties(design);
  return d;
}

template <int N>
kyv::Variant DigitRow<N>::invokeDigit(int index, DigitMember member, kyv::Invoke how, kyv::Variant* arg) {
  kyv::Control& d = *digit(index).control();
  // A member the digit class lacks was left unbound: binding it now raises no-such-member.
  const int bound = bound_[member] >= 0 ? bound_[member] : d.classInfo().bind(digitrow::kMemberNames[member]);
  return d.invoke(bound, how, arg);
}

template <int N>
kyv::Colour DigitRow<N>::digitColour(int index, DigitMember member) {
  return invokeDigit(index, member, kyv::Invoke::Get, nullptr).toColour();
}

template <int N>
void DigitRow<N>::setDigitColour(int index, DigitMember member, kyv::Colour c) {
  kyv::Variant value(c);
  invokeDigit(index, member, kyv::Invoke::Put, &value);
}

template <int N>
void DigitRow<N>::setBorderStyle(int16_t style) {
  Picture1.setBorderStyle(style);
  PropertyChanged("BorderStyle");
}

template <int N>
kyv::Colour DigitRow<N>::BackColor() {
  kyv::Colour last{};
  for (int i = 0; i < N; ++i) last = digitColour(i, DigitBackColor);
  Picture1.setBackColor(digitColour(0, DigitBackColor));
  return last;
}

template <int N>
void DigitRow<N>::setBackColor(kyv::Colour c) {
  for (int i = 0; i < N; ++i) setDigitColour(i, DigitBackColor, c);
  Picture1.setBackColor(c);
  PropertyChanged("BackColor");
}

template <int N>
kyv::Colour DigitRow<N>::DisplayColor() {
  kyv::Colour last{};
  for (int i = 0; i < N; ++i) last = digitColour(i, DigitDisplayColor);
  return last;
}

template <int N>
void DigitRow<N>::setDisplayColor(kyv::Colour c) {
  for (int i = 0; i < N; ++i) setDigitColour(i, DigitDisplayColor, c);
  PropertyChanged("DisplayColor");
}

template <int N>
void DigitRow<N>::setmaxlimit(int32_t v) {
  maxlimit_ = v;
  PropertyChanged("maxlimit");
}

template <int N>
int32_t DigitRow<N>::send(int32_t& amount) {
  char text[12];  // "-2147483648" at most
  const auto length = std::to_chars(text, text + sizeof text, amount).ptr - text;
  if (length <= N) {
    for (const DigitSend& step : layout_.sends[length - 1]) {
      kyv::Variant value(digitrow::characterValue(text, step.character));
      invokeDigit(step.digit, Send, kyv::Invoke::Call, &value);
    }
  }
  Refresh();
  return 0;
}

template <int N>
void DigitRow<N>::InitProperties() {
  maxlimit_ = layout_.maxlimit;
}

// The digits share the frame's inner width equally and touch one another; each lays
// itself out anew (and shows 0) on every change of its size.
template <int N>
void DigitRow<N>::Resize() {
  Picture1.setHeight(UserControl().ScaleHeight());
  Picture1.setWidth(UserControl().ScaleWidth());
  for (int i = 0; i < N; ++i) {
    const float w = Picture1.ScaleWidth() / static_cast<float>(N);
    kyv::ControlSlot& slot = digit(i);
    slot.setTop(Picture1.Top());
    slot.setLeft(static_cast<float>(i) * w);
    slot.setWidth(w);
    slot.setHeight(Picture1.ScaleHeight());
  }
  int32_t zero = 0;
  send(zero);
}

template <int N>
kyv::FeedInfo DigitRow<N>::sendShows() {
  int64_t nines = 0, sample = 0;
  for (int i = 1; i <= N; ++i) {
    nines = nines * 10 + 9;
    sample = sample * 10 + i;
  }
  return {.argument = "amount",
          .shows = kyv::ReadingRange{0, nines},
          .takes = kyv::ReadingRange{-(nines / 10), nines},
          .replay = kyv::Replay::LastReading,
          .samples = {static_cast<int32_t>(sample)}};
}

template <int N>
kyv::Presentation DigitRow<N>::presentation(std::string_view title, std::string_view description) {
  return {.title = title,
          .description = description,
          .picture = kyv::PictureKind::Number,
          .growsAcross = false,
          .growsDown = false,
          .keepsFaceDark = true,
          .family = "Digits"};
}

template <int N>
std::vector<typename DigitRow<N>::Table::Member> DigitRow<N>::members(kyv::DispId sendId) {
  using K = DigitRow;
  return {
      Table::template property<&K::BorderStyle, &K::setBorderStyle>(
          "BorderStyle", 0x68030003, "Border of the frame around the digits: 0 none, 1 sunken."),
      Table::template property<&K::BackColor, &K::setBackColor>("BackColor", 0x68030002,
                                                                "Background colour of the digits and of the frame."),
      Table::template property<&K::DisplayColor, &K::setDisplayColor>("DisplayColor", 0x68030001,
                                                                      "Colour of the segments of every digit.",
                                                                      "The colour of the lit segments of every digit."),
      Table::template property<&K::maxlimit, &K::setmaxlimit>(
          "maxlimit", 0x68030000, "A stored number; it does not change what the display shows."),
      Table::template feed<&K::send>(
          "send", sendId, "Shows a whole number right-aligned with leading zeros; a longer one changes nothing.",
          sendShows()),
  };
}

// Each digit's colours are stored one entry per digit in index order under one key; the
// frame's background is read once more at the end and is not written.
template <int N>
std::vector<typename DigitRow<N>::Table::Persist> DigitRow<N>::persisted(const Layout& layout) {
  using K = DigitRow;
  return {
      {"BackColor", digitrow::kBackColour, VarType::Colour,
       [](K& c, int i, const Variant& v) { c.setDigitColour(i, DigitBackColor, v.toColour()); },
       [](K& c, int i) { return Variant(c.digitColour(i, DigitBackColor)); }, N, N},
      {"DisplayColor", digitrow::kDisplayColour, VarType::Colour,
       [](K& c, int i, const Variant& v) { c.setDigitColour(i, DigitDisplayColor, v.toColour()); },
       [](K& c, int i) { return Variant(c.digitColour(i, DigitDisplayColor)); }, N, N},
      Table::template stored<&K::maxlimit>("maxlimit", layout.maxlimit, [](K& c, int32_t v) { c.maxlimit_ = v; }),
      Table::template stored<&K::BorderStyle>("BorderStyle", digitrow::kBorderStyle,
                                              [](K& c, int16_t v) { c.Picture1.setBorderStyle(v); }),
      {"BackColor", digitrow::kBackColour, VarType::Colour,
       [](K& c, int, const Variant& v) { c.Picture1.setBackColor(v.toColour()); },
       [](K& c, int) { return Variant(c.Picture1.BackColor()); }, 1, 0},
  };
}

}  // namespace kyv
