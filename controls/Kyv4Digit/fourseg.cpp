#include "fourseg.h"

#include "DigitRowImpl.h"
#include "kyv/plugin.h"

namespace kyv {

template class DigitRow<4>;

namespace {

// For each text length 1 to 4: which digit gets which character, in order.
constexpr DigitRowLayout<4> kLayout{
    0,
    0,
    9999,
    {{
        {{{3, 1}, {2, 0}, {1, 0}, {0, 0}}},
        {{{3, 2}, {2, 1}, {1, 0}, {0, 0}}},
        {{{3, 3}, {1, 1}, {2, 2}, {0, 0}}},
        {{{3, 4}, {0, 1}, {1, 2}, {2, 3}}},
    }},
};

}  // namespace

fourseg::fourseg(kyv::Registry* registry) : DigitRow(classTable(), registry, kLayout) {}

const kyv::ClassInfo& fourseg::classTable() {
  static const Table table{"Kyv4Digit.fourseg",
                           {2745, 1065, 1260, 480},
                           presentation("Four-digit display",
                                        "A whole number of up to four characters on seven-segment digits, with "
                                        "leading zeros"),
                           members(0x60030004),
                           {},
                           persisted(kLayout)};
  return table;
}

}  // namespace kyv

KYV_CONTROL_LIBRARY(kyv::plugin<kyv::fourseg>())
