#include "kyv/bag.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>

#include "kyv/error.h"

namespace kyv {
namespace {

using nlohmann::json;
// The same documents with numbers held as long double, whose range reaches far beyond a
// double's: a number a double cannot hold (1e400) is valid JSON all the same, and reads
// as a number out of every range rather than spoiling the whole document.
using WideJson =
    nlohmann::basic_json<std::map, std::vector, std::string, bool, std::int64_t, std::uint64_t, long double>;

[[noreturn]] void notABag(const std::string& why) {
  raise(ErrorKind::InvalidPropertyValue, "Invalid property value: not a property bag: " + why);
}

json toJsonValue(const Variant& v) {
  switch (v.type()) {
    case VarType::Integer: return *v.get<int16_t>();
    case VarType::Long: return *v.get<int32_t>();
    case VarType::Single: return std::isfinite(*v.get<float>()) ? json(*v.get<float>()) : json(v.display());
    case VarType::Double: return std::isfinite(*v.get<double>()) ? json(*v.get<double>()) : json(v.display());
    case VarType::Boolean: return *v.get<bool>();
    case VarType::Colour: return v.get<Colour>()->value;
    case VarType::String: return *v.get<std::string>();
    default: return nullptr;
  }
}

// A number read wide: the double it is, or an infinity of its sign beyond a double's range.
double narrowed(long double wide) {
  if (std::fabs(wide) > std::numeric_limits<double>::max())
    return std::copysign(std::numeric_limits<double>::infinity(), static_cast<double>(wide));
  return static_cast<double>(wide);
}
double narrowed(double value) { return value; }

template <class Json>
Variant fromJsonValue(const Json& j) {
  if (j.is_boolean()) return Variant(j.template get<bool>());
  if (j.is_number_integer()) {
    if (j.is_number_unsigned()) {
      const uint64_t u = j.template get<uint64_t>();
      if (u <= 32767) return Variant(static_cast<int16_t>(u));
      if (u <= 2147483647) return Variant(static_cast<int32_t>(u));
      return Variant(static_cast<double>(u));
    }
    const int64_t i = j.template get<int64_t>();
    if (i >= -32768 && i <= 32767) return Variant(static_cast<int16_t>(i));
    if (i >= INT32_MIN && i <= INT32_MAX) return Variant(static_cast<int32_t>(i));
    return Variant(static_cast<double>(i));
  }
  if (j.is_number()) return Variant(narrowed(j.template get<typename Json::number_float_t>()));
  if (j.is_string()) return Variant(j.template get<std::string>());
  if (j.is_null()) return Variant();
  // Arrays and objects are kept as text: reading them as a number is a type mismatch.
  return Variant(j.dump());
}

json bagToJson(const PropertyBag& bag) {
  json list = json::array();
  for (const auto& e : bag.entries()) list.push_back(json::array({e.key, toJsonValue(e.value)}));
  return list;
}

template <class Json>
void bagFromJson(const Json& list, PropertyBag& bag) {
  if (!list.is_array()) notABag("\"properties\" is not an array");
  size_t number = 0;
  for (const Json& pair : list) {
    ++number;
    if (!pair.is_array() || pair.size() != 2 || !pair[0].is_string())
      notABag("entry " + std::to_string(number) + " is not a [KEY, VALUE] pair");
    bag.WriteProperty(pair[0].template get<std::string>(), fromJsonValue(pair[1]));
  }
}

// The deepest nesting of arrays and objects in `text`, read as JSON is, strings skipped;
// stops counting beyond `limit`.
size_t nestingDepth(std::string_view text, size_t limit) {
  size_t depth = 0, deepest = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size() && deepest <= limit; ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"')
      inString = true;
    else if (c == '[' || c == '{')
      deepest = std::max(deepest, ++depth);
    else if ((c == ']' || c == '}') && depth > 0)
      --depth;
  }
  return deepest;
}

// Refuses, before parsing, a document larger, or nested deeper, than any document this
// framework writes (so that nothing reading it recurses without bound).
void checkLimits(std::string_view text, size_t maxBytes, std::string_view what) {
  if (text.size() > maxBytes)
    notABag("the text is larger than " + std::to_string(maxBytes) + " bytes, the limit of a " + std::string(what));
  if (text.find('\0') != std::string_view::npos) notABag("the text holds a NUL byte");
  if (nestingDepth(text, kMaxDocumentNesting) > kMaxDocumentNesting)
    notABag("arrays and objects nest deeper than " + std::to_string(kMaxDocumentNesting) + " levels");
}

// Hands the document to `read` as a JSON object: read with doubles, or, when a number is
// beyond a double's range, with long doubles.
template <class Read>
void parse(std::string_view text, size_t maxBytes, std::string_view what, Read&& read) {
  checkLimits(text, maxBytes, what);
  json doc = json::parse(text.begin(), text.end(), nullptr, false);
  if (!doc.is_discarded()) {
    if (!doc.is_object()) notABag("the document is not a JSON object");
    read(doc);
    return;
  }
  WideJson wide = WideJson::parse(text.begin(), text.end(), nullptr, false);
  if (wide.is_discarded()) notABag("the text is not JSON");
  if (!wide.is_object()) notABag("the document is not a JSON object");
  read(wide);
}

template <class Json>
PropertyBag bagFromDocument(const Json& doc) {
  if (!doc.contains("properties")) notABag("the document has no \"properties\"");
  PropertyBag bag;
  bagFromJson(doc["properties"], bag);
  return bag;
}

template <class Json>
FormDocument formFromDocument(const Json& doc) {
  if (!doc.contains("controls")) notABag("the document has no \"controls\"");
  FormDocument form;
  const Json& list = doc["controls"];
  if (!list.is_array()) notABag("\"controls\" is not an array");
  for (const Json& c : list) {
    if (!c.is_object() || !c.contains("name") || !c["name"].is_string() || !c.contains("class") ||
        !c["class"].is_string())
      notABag("a control lacks its \"name\" or \"class\"");
    FormControl fc;
    fc.name = c["name"].template get<std::string>();
    fc.className = c["class"].template get<std::string>();
    if (c.contains("extent")) {
      const Json& e = c["extent"];
      if (!e.is_array() || e.size() != 2 || !e[0].is_number() || !e[1].is_number())
        notABag("the extent of " + quoteForMessage(fc.name) + " is not [W, H] in twips");
      const double w = narrowed(e[0].template get<typename Json::number_float_t>());
      const double h = narrowed(e[1].template get<typename Json::number_float_t>());
      if (!(w >= 0 && h >= 0 && w <= 1e7 && h <= 1e7))
        notABag("the extent of " + quoteForMessage(fc.name) + " is not [W, H] in twips");
      fc.width = static_cast<float>(w);
      fc.height = static_cast<float>(h);
    }
    if (c.contains("properties")) bagFromJson(c["properties"], fc.properties);
    form.controls.push_back(std::move(fc));
  }
  return form;
}

}  // namespace

Variant PropertyBag::ReadProperty(std::string_view key, const Variant& fallback) {
  size_t stored = 0;
  for (const Entry& e : entries_) stored += sameName(e.key, key);
  if (stored == 0) return fallback;
  size_t* reads = nullptr;
  for (auto& [k, n] : cursors_)
    if (sameName(k, key)) reads = &n;
  if (!reads) reads = &cursors_.emplace_back(std::string(key), 0).second;
  const size_t wanted = (*reads)++ % stored;
  size_t seen = 0;
  for (const Entry& e : entries_) {
    if (!sameName(e.key, key) || seen++ != wanted) continue;
    if (e.value.isEmpty()) raise(ErrorKind::TypeMismatch, "Type mismatch: the stored value is null");
    return e.value;
  }
  return fallback;
}

void PropertyBag::WriteProperty(std::string_view key, const Variant& value, const Variant& fallback) {
  if (!fallback.isEmpty() && equalsDefault(value, fallback)) return;
  entries_.push_back({std::string(key), value});
}

void PropertyBag::clear() {
  entries_.clear();
  cursors_.clear();
}

std::string PropertyBag::toJson() const { return json{{"properties", bagToJson(*this)}}.dump(); }

PropertyBag PropertyBag::fromJson(std::string_view text) {
  PropertyBag bag;
  parse(text, kMaxBagBytes, "property bag", [&](const auto& doc) { bag = bagFromDocument(doc); });
  return bag;
}

const FormControl* FormDocument::find(std::string_view name) const {
  for (const FormControl& c : controls)
    if (sameName(c.name, name)) return &c;
  return nullptr;
}

std::string FormDocument::toJson() const {
  json list = json::array();
  for (const FormControl& c : controls)
    list.push_back({{"name", c.name},
                    {"class", c.className},
                    {"extent", json::array({c.width, c.height})},
                    {"properties", bagToJson(c.properties)}});
  return json{{"controls", list}}.dump(2);
}

FormDocument FormDocument::fromJson(std::string_view text) {
  FormDocument form;
  parse(text, kMaxFormBytes, "form document", [&](const auto& doc) { form = formFromDocument(doc); });
  return form;
}

}  // namespace kyv
