// Fuzz target: the property bag and form document reader. Any input either reads as a
// bag or document, or raises kyv::Error; every stored value then converts or raises.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kyv/bag.h"
#include "kyv/error.h"

namespace {

void convertAll(const kyv::PropertyBag& bag) {
  for (const auto& entry : bag.entries()) {
    for (kyv::VarType t : {kyv::VarType::Integer, kyv::VarType::Long, kyv::VarType::Single, kyv::VarType::Boolean,
                           kyv::VarType::Colour, kyv::VarType::String}) {
      try {
        entry.value.convertTo(t);
      } catch (const kyv::Error&) {
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    kyv::PropertyBag bag = kyv::PropertyBag::fromJson(text);
    convertAll(bag);
    const kyv::PropertyBag stored = bag;
    for (const auto& entry : stored.entries()) bag.ReadProperty(entry.key);
    kyv::PropertyBag::fromJson(bag.toJson());
  } catch (const kyv::Error&) {
  }
  try {
    kyv::FormDocument form = kyv::FormDocument::fromJson(text);
    for (const auto& control : form.controls) convertAll(control.properties);
    kyv::FormDocument::fromJson(form.toJson());
  } catch (const kyv::Error&) {
  }
  return 0;
}
