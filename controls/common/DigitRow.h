#pragma once
// DigitRow<N>: the body shared by the four- and six-digit displays. A frame Picture1
// holds N digits side by side, digit(0) leftmost; each digit is a "Kyv1Digit.sseg" control
// created through the registry the row was created with, and reached only through its
// late-bound members send, BackColor and DisplayColor, bound by name once. send shows a
// whole number right-aligned with leading zeros ("-" shows as 0) and ignores one whose
// text is longer than N characters.
//
// A display fixes what differs: N, where the frame sits, the order in which send feeds
// the digits for each text length (DigitRowLayout), and its class table (name, default
// extent, send's dispatch id), made from members() and persisted().
// The member definitions are in DigitRowImpl.h, instantiated once by each display.
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "kyv/class_table.h"
#include "kyv/control.h"
#include "kyv/element_array.h"
#include "kyv/elements.h"

namespace kyv {

// One step of send: digit(digit) receives the value of character `character` of the
// number's text, counted from 1 ("0" to "9" give 0 to 9, "-" gives 0), or 0 when
// `character` is 0.
struct DigitSend {
  int8_t digit;
  int8_t character;
};

template <int N>
struct DigitRowLayout {
  float frameLeft, frameTop;  // Picture1's position on the surface, twips
  int32_t maxlimit;           // maxlimit of a new instance, also its stored default
  // sends[n - 1]: the steps for a text of n characters, in the order they are made.
  std::array<std::array<DigitSend, N>, N> sends;
};

template <int N>
class KYV_API DigitRow : public kyv::Control {
 public:
  using Layout = DigitRowLayout<N>;
  using Table = kyv::ClassTable<DigitRow>;

  // Creates the frame and the N digits. Raises cannot-create-object, naming the digit
  // class, when there is no registry or the registry cannot create a digit.
  DigitRow(const kyv::ClassInfo& info, kyv::Registry* registry, const Layout& layout);

  // Border of the frame Picture1: 0 none, 1 sunken.
  int16_t BorderStyle() const { return Picture1.BorderStyle(); }
  void setBorderStyle(int16_t style);
  // Reads every digit's BackColor in order and returns the last; then gives the frame
  // digit(0)'s. A write sets each digit in order (notifying after each), then the frame.
  kyv::Colour BackColor();
  void setBackColor(kyv::Colour c);
  // Reads every digit's DisplayColor in order and returns the last; a write sets each
  // digit in order, notifying after each.
  kyv::Colour DisplayColor();
  void setDisplayColor(kyv::Colour c);
  // Stored and saved; it plays no part in what is shown.
  int32_t maxlimit() const { return maxlimit_; }
  void setmaxlimit(int32_t v);

  // Shows `amount` (a text longer than N characters changes no digit), then refreshes
  // the surface. Returns 0 and never changes `amount`. A digit's failure propagates.
  int32_t send(int32_t& amount);

  void InitProperties() override;
  void Resize() override;

  // The members in interface order, send with the display's own dispatch id, and the
  // stored properties in their order, for the display's class table.
  static std::vector<typename Table::Member> members(kyv::DispId sendId);
  static std::vector<typename Table::Persist> persisted(const Layout& layout);
  // How hosts present the display: a number of one family with the single digit.
  static kyv::Presentation presentation(std::string_view title, std::string_view description);

  // Elements, in creation order: the frame and the digits inside it.
  kyv::PictureBox Picture1;
  kyv::ElementArray<kyv::ControlSlot> digit;

 private:
  enum DigitMember { Send, DigitBackColor, DigitDisplayColor, kDigitMembers };
  // What send shows: 0 to N nines as they are, negative numbers of up to N characters
  // without their sign; the sample lights every digit differently (1234).
  static kyv::FeedInfo sendShows();
  kyv::ControlPtr createDigit();
  kyv::Variant invokeDigit(int index, DigitMember member, kyv::Invoke how, kyv::Variant* arg);
  kyv::Colour digitColour(int index, DigitMember member);
  void setDigitColour(int index, DigitMember member, kyv::Colour c);

  const Layout& layout_;
  int32_t maxlimit_;  // starts at its default, so a restore that fails first leaves it usable
  // The digit class's member indexes, -1 for a member it lacks.
  std::array<int, kDigitMembers> bound_{};
};

}  // namespace kyv
