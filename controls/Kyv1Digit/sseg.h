#pragma once
// sseg ("Kyv1Digit.sseg"): one seven-segment digit. send(n) lights the segments of the
// digit n (0 to 9) and ignores any other value; every Resize lays the segments out on the
// face anew and shows 0. The multi-digit displays build on this class through its
// late-bound members only.
#include <cstdint>

#include "kyv/control.h"
#include "kyv/element_array.h"
#include "kyv/elements.h"

namespace kyv {

class KYV_API sseg : public kyv::Control {
 public:
  explicit sseg(kyv::Registry* registry = nullptr);
  static const kyv::ClassInfo& classTable();

  // Border of the frame Picture1: 0 none, 1 sunken. The layout is not redone.
  int16_t BorderStyle() const { return Picture1.BorderStyle(); }
  void setBorderStyle(int16_t style);
  // Background of the face digit(0).
  kyv::Colour BackColor() const { return digit(0).BackColor(); }
  void setBackColor(kyv::Colour c);
  // Colour of the segments, lit or not (read from seg(6)); a write notifies once per segment.
  kyv::Colour DisplayColor() const { return seg(6).BorderColor(); }
  void setDisplayColor(kyv::Colour c);
  // Stored and saved; it has no effect on what the digit shows.
  int32_t maxlimit() const { return maxlimit_; }
  void setmaxlimit(int32_t v);

  // Shows `amount` when it is 0 to 9; any other value leaves the digit as it is.
  // Returns 0 either way and never changes `amount`.
  int32_t send(int32_t& amount);

  void InitProperties() override;
  void Resize() override;

  // Elements, in creation order: the frame, the face inside it, and the seven segments
  // drawn on the face (0 upper right, 1 lower right, 2 bottom, 3 lower left, 4 upper
  // left, 5 top, 6 middle). A lit segment is visible, an unlit one hidden.
  kyv::PictureBox Picture1;
  kyv::ElementArray<kyv::PictureBox> digit;
  kyv::ElementArray<kyv::LineElement> seg;

 private:
  void place(int segment, float x1, float y1, float x2, float y2);
  // Starts at its default, so a restore that fails before reaching it leaves it usable.
  static constexpr int32_t kMaxlimit = 999;
  int32_t maxlimit_ = kMaxlimit;
};

}  // namespace kyv
