#pragma once
// The values a control can show of what its feed gives it. The controls keep their own
// rules for a value beyond them (a six-digit display leaves its digits as they were for a
// seven-digit number and shows -12 as 12; an integer is held at its type's limit); the
// dashboard marks such a reading instead of showing a wrong number without a sign.
#include <QString>
#include <optional>

#include "ClassCheck.h"

namespace kyvdash {

struct FeedRange {
  double low = 0, high = 0;
  bool contains(double v) const { return v >= low && v <= high; }  // false for NaN
  // "0 to 999999".
  QString text() const;
};

// What a feed through `members` of a control of class `info` can show.
FeedRange feedRange(const FeedMembers& members, const kyv::ClassInfo& info);

}  // namespace kyvdash
