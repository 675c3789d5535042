#pragma once
// Working out a control's damage from the elements changed since its last paint, and
// recording a paint.
#include <cstdint>

#include "kyv/control.h"
#include "kyv/region.h"

namespace kyv::detail {

struct Tracker {
  // The damage of `control` at the twips per pixel of its last paint (everything before
  // the first), into `out`.
  static void damageOf(Control& control, Region& out);
  // Whether `control` was last painted at `tpp` with the palette of fingerprint `palette`.
  static bool paintedWith(const Control& control, double tpp, uint64_t palette);
  // Records that `control` and the controls embedded in it were painted as they are now.
  static void markPainted(Control& control, double tpp, uint64_t palette);

 private:
  class Damage;
  // Cuts the element lists of a control being painted for the first time to their size.
  static void settle(Surface& s);
};

}  // namespace kyv::detail
