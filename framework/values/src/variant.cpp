#include "kyv/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "kyv/arith.h"
#include "kyv/error.h"
#include "kyv/names.h"

namespace kyv {
namespace {

[[noreturn]] void mismatch(const Variant& v, std::string_view target) {
  const std::string* text = v.get<std::string>();
  raise(ErrorKind::TypeMismatch,
        "Type mismatch: " + (text ? quoteForMessage(*text) : v.display()) + " is not " + std::string(target));
}

// Rounds half to even and checks the range of the target integer type.
int64_t roundChecked(double d, double lo, double hi, std::string_view target) {
  if (std::isnan(d)) raise(ErrorKind::Overflow, "Overflow: NaN is not " + std::string(target));
  const double r = std::nearbyint(d);
  if (r < lo || r > hi)
    raise(ErrorKind::Overflow, "Overflow: " + formatNumber(d) + " is outside the " + std::string(target) + " range");
  return static_cast<int64_t>(r);
}

// A number at the whole of `text` (blanks around it allowed), or NaN-free failure.
bool parseNumber(std::string_view text, double& out) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty()) return false;
  if (text.size() > 2 && (text.substr(0, 2) == "&H" || text.substr(0, 2) == "&h")) {
    uint64_t v = 0;
    auto [p, ec] = std::from_chars(text.data() + 2, text.data() + text.size(), v, 16);
    if (ec != std::errc() || p != text.data() + text.size()) return false;
    out = static_cast<double>(v);
    return true;
  }
  if (text.front() == '+') text.remove_prefix(1);
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && p == text.data() + text.size() && std::isfinite(out);
}

}  // namespace

std::string_view typeName(VarType type) {
  switch (type) {
    case VarType::Empty: return "Empty";
    case VarType::Integer: return "Integer";
    case VarType::Long: return "Long";
    case VarType::Single: return "Single";
    case VarType::Double: return "Double";
    case VarType::Boolean: return "Boolean";
    case VarType::Colour: return "Colour";
    case VarType::String: return "String";
    case VarType::Variant: return "Variant";
  }
  return "Variant";
}

double Variant::toDouble() const {
  switch (type()) {
    case VarType::Empty: return 0;
    case VarType::Integer: return *get<int16_t>();
    case VarType::Long: return *get<int32_t>();
    case VarType::Single: return *get<float>();
    case VarType::Double: return *get<double>();
    case VarType::Boolean: return *get<bool>() ? -1 : 0;
    case VarType::Colour: return static_cast<int32_t>(get<Colour>()->value);
    case VarType::String: {
      double d = 0;
      if (!parseNumber(*get<std::string>(), d)) mismatch(*this, "a number");
      return d;
    }
    case VarType::Variant: break;
  }
  return 0;
}

int16_t Variant::toInteger() const {
  if (const int16_t* i = get<int16_t>()) return *i;
  if (const int32_t* l = get<int32_t>()) return toInt16(*l);
  if (const Colour* c = get<Colour>()) return toInt16(c->value);
  return static_cast<int16_t>(roundChecked(toDouble(), INT16_MIN, INT16_MAX, "Integer"));
}

int32_t Variant::toLong() const {
  if (const int16_t* i = get<int16_t>()) return *i;
  if (const int32_t* l = get<int32_t>()) return *l;
  if (const Colour* c = get<Colour>()) return static_cast<int32_t>(c->value);
  return static_cast<int32_t>(roundChecked(toDouble(), INT32_MIN, INT32_MAX, "Long"));
}

float Variant::toSingle() const {
  if (const float* f = get<float>()) return *f;
  const double d = toDouble();
  if (std::fabs(d) > std::numeric_limits<float>::max())
    raise(ErrorKind::Overflow, "Overflow: " + formatNumber(d) + " is outside the Single range");
  return static_cast<float>(d);
}

bool Variant::toBoolean() const {
  if (const bool* b = get<bool>()) return *b;
  if (const std::string* s = get<std::string>()) {
    if (s->size() == 4 && sameName(*s, "true")) return true;
    if (s->size() == 5 && sameName(*s, "false")) return false;
  }
  return toDouble() != 0;
}

Colour Variant::toColour() const {
  if (const Colour* c = get<Colour>()) return *c;
  if (const int16_t* i = get<int16_t>()) return Colour{static_cast<uint32_t>(static_cast<int32_t>(*i))};
  if (const int32_t* l = get<int32_t>()) return Colour{static_cast<uint32_t>(*l)};
  const int64_t v = roundChecked(toDouble(), INT32_MIN, UINT32_MAX, "Colour");
  return Colour{static_cast<uint32_t>(v)};
}

std::string Variant::toString() const {
  switch (type()) {
    case VarType::Empty: return "";
    case VarType::String: return *get<std::string>();
    case VarType::Boolean: return *get<bool>() ? "True" : "False";
    case VarType::Colour: return std::to_string(static_cast<int32_t>(get<Colour>()->value));
    default: return display();
  }
}

Variant Variant::convertTo(VarType t) const {
  switch (t) {
    case VarType::Integer: return Variant(toInteger());
    case VarType::Long: return Variant(toLong());
    case VarType::Single: return Variant(toSingle());
    case VarType::Double: return Variant(toDouble());
    case VarType::Boolean: return Variant(toBoolean());
    case VarType::Colour: return Variant(toColour());
    case VarType::String: return Variant(toString());
    case VarType::Empty:
    case VarType::Variant: return *this;
  }
  return *this;
}

std::string Variant::display() const {
  switch (type()) {
    case VarType::Empty: return "Empty";
    case VarType::Integer: return std::to_string(*get<int16_t>());
    case VarType::Long: return std::to_string(*get<int32_t>());
    case VarType::Single: return formatNumber(*get<float>());
    case VarType::Double: return formatNumber(*get<double>());
    case VarType::Boolean: return *get<bool>() ? "True" : "False";
    case VarType::Colour: {
      char buf[16];
      std::snprintf(buf, sizeof buf, "0x%08X", get<Colour>()->value);
      return buf;
    }
    case VarType::String: {
      std::string out = "\"";
      for (char ch : *get<std::string>()) {
        if (ch == '"') out += '"';
        out += ch;
      }
      return out + "\"";
    }
    case VarType::Variant: break;
  }
  return "Empty";
}

bool equalsDefault(const Variant& value, const Variant& fallback) {
  try {
    return fallback.convertTo(value.type()) == value;
  } catch (const Error&) {
    return false;
  }
}

std::string formatNumber(double v) {
  char buf[64];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, p);
}

std::string formatNumber(float v) {
  char buf[64];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, p);
}

}  // namespace kyv
