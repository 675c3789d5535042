#pragma once
// Variant: the value type of properties, method arguments and property bags.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "kyv/export.h"

namespace kyv {

// The order matches the alternatives of Variant's storage.
enum class VarType : uint8_t { Empty, Integer, Long, Single, Double, Boolean, Colour, String, Variant };

// Type name as type info shows it: "Integer", "Long", "Colour", ...
KYV_API std::string_view typeName(VarType type);

// A colour: 0x00BBGGRR, or 0x800000nn naming system colour nn.
struct Colour {
  uint32_t value = 0;
  friend bool operator==(Colour a, Colour b) { return a.value == b.value; }
  friend bool operator!=(Colour a, Colour b) { return !(a == b); }
  bool isSystem() const { return (value & 0xFF000000u) == 0x80000000u; }
};

class KYV_API Variant {
 public:
  Variant() = default;
  Variant(int16_t v) : v_(v) {}
  Variant(int32_t v) : v_(v) {}
  Variant(float v) : v_(v) {}
  Variant(double v) : v_(v) {}
  Variant(bool v) : v_(v) {}
  Variant(Colour v) : v_(v) {}
  Variant(std::string v) : v_(std::move(v)) {}
  Variant(const char* v) : v_(std::string(v)) {}

  VarType type() const { return static_cast<VarType>(v_.index()); }
  bool isEmpty() const { return type() == VarType::Empty; }

  // Conversions. Numbers round half to even into Integer and Long; a result outside the
  // target range raises overflow; text that is not a number raises type-mismatch.
  // True is -1 as a number; any non-zero number is True.
  int16_t toInteger() const;
  int32_t toLong() const;
  float toSingle() const;
  double toDouble() const;
  bool toBoolean() const;
  // Integer and Long keep their bits (so -2147483633 is 0x8000000F); other numbers must
  // be whole and within -2^31 .. 2^32 - 1.
  Colour toColour() const;
  std::string toString() const;

  // The value converted to `type` (Variant and Empty leave it as it is).
  Variant convertTo(VarType type) const;

  // The value as hosts print it: decimals, True/False, 0x%08X colours, shortest
  // round-trip floats, quoted strings, Empty.
  std::string display() const;

  // Exact equality of type and value.
  friend bool operator==(const Variant& a, const Variant& b) { return a.v_ == b.v_; }
  friend bool operator!=(const Variant& a, const Variant& b) { return !(a == b); }

  template <class T>
  const T* get() const {
    return std::get_if<T>(&v_);
  }

 private:
  std::variant<std::monostate, int16_t, int32_t, float, double, bool, Colour, std::string> v_;
};

// True when `value` equals `fallback` converted to value's type (a Boolean True equals
// a fallback of 1). A fallback that cannot be converted is never equal.
KYV_API bool equalsDefault(const Variant& value, const Variant& fallback);

// The shortest text that reads back to the same value, as std::to_chars writes it.
KYV_API std::string formatNumber(double v);
KYV_API std::string formatNumber(float v);

}  // namespace kyv
