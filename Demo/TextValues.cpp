#include "TextValues.h"

#include <charconv>
#include <cmath>
#include <string>

#include "kyv/variant.h"

namespace kyvdemo {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the digits at `at`.
size_t digitsAt(std::string_view s, size_t at) {
  size_t n = 0;
  while (at + n < s.size() && isDigit(s[at + n])) ++n;
  return n;
}

}  // namespace

double leadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t start = i;
  const size_t whole = digitsAt(text, i);
  i += whole;
  size_t fraction = 0;
  if (i < text.size() && text[i] == '.') {
    fraction = digitsAt(text, i + 1);
    i += fraction + 1;
  }
  if (whole + fraction == 0) return 0;
  std::string number(text.substr(start, i - start));
  bool smallExponent = false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    const size_t exponent = digitsAt(text, j);
    if (exponent > 0) {
      number.append("e").append(text.substr(i + 1, j + exponent - i - 1));
      smallExponent = text[i + 1] == '-';
    }
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  // Beyond a double: too small is 0, too large is infinite (and overflows any integer).
  if (ec == std::errc::result_out_of_range) {
    const bool wholeIsZero = number.find_first_not_of("0", 0) >= whole;
    value = smallExponent || wholeIsZero ? 0.0 : HUGE_VAL;
  }
  return negative ? -value : value;
}

double leadingNumber(const QString& text) { return leadingNumber(text.toStdString()); }

int16_t integerValue(const QString& text) { return kyv::Variant(leadingNumber(text)).toInteger(); }
int32_t longValue(const QString& text) { return kyv::Variant(leadingNumber(text)).toLong(); }

int16_t floorInteger(double x) { return kyv::Variant(std::floor(x)).toInteger(); }
int32_t floorLong(double x) { return kyv::Variant(std::floor(x)).toLong(); }

QString numberText(int32_t value) { return QString::number(value); }

}  // namespace kyvdemo
