#include "TextValues.h"

#include <algorithm>
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

// Whether a number beyond a double's range is too large rather than too small: the
// power of ten of its first significant digit is positive. `mantissa` holds `whole`
// digits, then possibly a point and more digits; `exponent` is signed decimal or empty.
bool tooLarge(std::string_view mantissa, size_t whole, std::string_view exponent) {
  const size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return false;
  // 10^power <= the mantissa < 10^(power + 1); one digit past the point is 10^-1.
  long long power = first < whole ? static_cast<long long>(whole - first) - 1 : -static_cast<long long>(first - whole);
  long long scale = 0;
  const bool minus = !exponent.empty() && exponent[0] == '-';
  for (const char c : exponent)
    if (isDigit(c)) scale = std::min(scale * 10 + (c - '0'), 1'000'000'000LL);
  power += minus ? -scale : scale;
  return power > 0;
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
  const std::string_view mantissa = text.substr(start, i - start);
  std::string number(mantissa);
  std::string_view exponent;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    const size_t digits = digitsAt(text, j);
    if (digits > 0) {
      exponent = text.substr(i + 1, j + digits - i - 1);
      number.append("e").append(exponent);
    }
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  // Beyond a double: too small is 0, too large is infinite (and overflows any integer).
  if (ec == std::errc::result_out_of_range) value = tooLarge(mantissa, whole, exponent) ? HUGE_VAL : 0.0;
  return negative ? -value : value;
}

double leadingNumber(const QString& text) { return leadingNumber(text.toStdString()); }

int16_t integerValue(const QString& text) { return kyv::Variant(leadingNumber(text)).toInteger(); }
int32_t longValue(const QString& text) { return kyv::Variant(leadingNumber(text)).toLong(); }

int16_t floorInteger(double x) { return kyv::Variant(std::floor(x)).toInteger(); }
int32_t floorLong(double x) { return kyv::Variant(std::floor(x)).toLong(); }

QString numberText(int32_t value) { return QString::number(value); }

}  // namespace kyvdemo
