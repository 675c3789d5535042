#pragma once
// How the form turns the text of its boxes into numbers: the number a text begins with
// (0 when it begins with none), rounded half to even into a 16-bit Integer or a 32-bit
// Long for a property, or rounded down for a generated value. A result outside the
// target range raises kyv::Error of kind overflow.
#include <QString>
#include <cstdint>
#include <string_view>

namespace kyvdemo {

// The number at the start of `text` after leading blanks: an optional sign, digits with an
// optional decimal point, an optional exponent (E or D). 0 when the text begins with none.
double leadingNumber(std::string_view text);
double leadingNumber(const QString& text);

// The text value of a box: its leading number rounded to the nearest integer, ties to even.
int16_t integerValue(const QString& text);
int32_t longValue(const QString& text);

// The largest integer not greater than `x`.
int16_t floorInteger(double x);
int32_t floorLong(double x);

// Plain decimal form of an integer, as the form writes numbers into its boxes.
QString numberText(int32_t value);

}  // namespace kyvdemo
