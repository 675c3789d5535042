#pragma once
// Checked arithmetic as the controls need it: 16-bit overflow and floating-point
// division by zero raise errors instead of producing garbage.
#include <cstdint>

#include "kyv/error.h"

namespace kyv {

// a / b in single precision; b == 0 raises division-by-zero whatever a is.
inline float divide(float a, float b) {
  if (b == 0.0f) raise(ErrorKind::DivisionByZero, "Division by zero");
  return a / b;
}

// a / b in double precision; b == 0 raises division-by-zero whatever a is.
inline double divide(double a, double b) {
  if (b == 0.0) raise(ErrorKind::DivisionByZero, "Division by zero");
  return a / b;
}

// Narrows to a 16-bit Integer; values outside -32768..32767 raise overflow.
inline int16_t toInt16(int64_t v) {
  if (v < INT16_MIN || v > INT16_MAX)
    raise(ErrorKind::Overflow, "Overflow: " + std::to_string(v) + " is outside the Integer range");
  return static_cast<int16_t>(v);
}

// Narrows to a 32-bit Long; values outside its range raise overflow.
inline int32_t toInt32(int64_t v) {
  if (v < INT32_MIN || v > INT32_MAX)
    raise(ErrorKind::Overflow, "Overflow: " + std::to_string(v) + " is outside the Long range");
  return static_cast<int32_t>(v);
}

}  // namespace kyv
