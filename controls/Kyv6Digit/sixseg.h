#pragma once
// sixseg ("Kyv6Digit.sixseg"): a whole number of up to six characters on six
// seven-segment digits, right-aligned with leading zeros (7 shows as 000007, -42 as
// 000042); a longer text leaves the display as it was. Its frame sits at (15, 15). The
// digits are "Kyv1Digit.sseg" controls, so a sixseg must be made through a registry that
// knows that class: from C++, `kyv::Registry registry; kyv::sixseg display(&registry);`.
#include "DigitRow.h"

namespace kyv {

extern template class DigitRow<6>;

class KYV_API sixseg : public DigitRow<6> {
 public:
  explicit sixseg(kyv::Registry* registry = nullptr);
  static const kyv::ClassInfo& classTable();
};

}  // namespace kyv
