#pragma once
// fourseg ("Kyv4Digit.fourseg"): a whole number of up to four characters on four
// seven-segment digits, right-aligned with leading zeros (7 shows as 0007, -42 as 0042);
// a longer text leaves the display as it was. The digits are "Kyv1Digit.sseg" controls,
// so a fourseg must be made through a registry that knows that class: from C++,
// `kyv::Registry registry; kyv::fourseg display(&registry);`.
#include "DigitRow.h"

namespace kyv {

extern template class DigitRow<4>;

class KYV_API fourseg : public DigitRow<4> {
 public:
  explicit fourseg(kyv::Registry* registry = nullptr);
  static const kyv::ClassInfo& classTable();
};

}  // namespace kyv
