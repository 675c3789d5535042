#include "probe_digit.h"

#include "kyv/class_table.h"
#include "kyv/plugin.h"

std::vector<ProbeDigit::Send>& ProbeDigit::log() {
  static std::vector<Send> sends;
  return sends;
}

const kyv::ClassInfo& ProbeDigit::classTable() {
  using T = kyv::ClassTable<ProbeDigit>;
  using K = ProbeDigit;
  // It presents itself as one of the digits' family, as the digit it stands in for does, so
  // that a host meeting it beside a display sees a family whose members disagree.
  static const T table{"Kyv1Digit.sseg",
                       {870, 1125},
                       {.family = "Digits"},
                       {T::method<&K::send>("send", 0x60030001),
                        T::property<&K::BorderStyle, &K::setBorderStyle>("BorderStyle", 0x68030007),
                        T::property<&K::BackColor, &K::setBackColor>("BackColor", 0x68030009)},
                       {},
                       {{"BorderStyle", int16_t{1}, kyv::VarType::Integer,
                         [](K& c, int, const kyv::Variant& v) { c.border_ = v.toInteger(); },
                         [](K& c, int) { return kyv::Variant(c.border_); }}}};
  return table;
}

ProbeDigit::ProbeDigit(kyv::Registry* registry) : Control(classTable(), registry) {}

int32_t ProbeDigit::send(int32_t& amount) {
  log().push_back({this, amount});
  return 0;
}

KYV_CONTROL_LIBRARY(kyv::plugin<ProbeDigit>())
