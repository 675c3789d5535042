#include "sixseg.h"

#include "DigitRowImpl.h"
#include "kyv/plugin.h"

namespace kyv {

template class DigitRow<6>;

namespace {

// For each text length 1 to 6: which digit gets which character, in order.
constexpr DigitRowLayout<6> kLayout{
    15,
    15,
    999999,
    {{
        {{{5, 1}, {4, 0}, {3, 0}, {2, 0}, {1, 0}, {0, 0}}},
        {{{5, 2}, {4, 1}, {3, 0}, {2, 0}, {1, 0}, {0, 0}}},
        {{{5, 3}, {3, 1}, {4, 2}, {2, 0}, {1, 0}, {0, 0}}},
        {{{5, 4}, {2, 1}, {3, 2}, {4, 3}, {1, 0}, {0, 0}}},
        {{{5, 5}, {1, 1}, {2, 2}, {4, 4}, {3, 3}, {0, 0}}},
        {{{5, 6}, {0, 1}, {1, 2}, {4, 5}, {3, 4}, {2, 3}}},
    }},
};

}  // namespace

sixseg::sixseg(kyv::Registry* registry) : DigitRow(classTable(), registry, kLayout) {}

const kyv::ClassInfo& sixseg::classTable() {
  static const Table table{"Kyv6Digit.sixseg",
                           {3405, 1050, 1860, 480},
                           presentation("Six-digit display",
                                        "A whole number of up to six characters on seven-segment digits, with "
                                        "leading zeros"),
                           members(0x60030005),
                           {},
                           persisted(kLayout)};
  return table;
}

}  // namespace kyv

KYV_CONTROL_LIBRARY(kyv::plugin<kyv::sixseg>())
