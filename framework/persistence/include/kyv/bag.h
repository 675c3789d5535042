#pragma once
// PropertyBag: the ordered store a control saves its properties into and restores
// them from. Keys compare without regard to case; a key written several times keeps one
// entry per write, and successive reads return them in write order, then from the first
// again. Serialised as {"properties": [[KEY, VALUE], ...]}.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "kyv/export.h"
#include "kyv/names.h"
#include "kyv/variant.h"

namespace kyv {

// Limits of what the JSON readers take, far beyond any real document: a bag of a control
// holds a few hundred bytes, a form of a wall of controls a few hundred kilobytes, and
// neither nests deeper than five levels.
inline constexpr size_t kMaxBagBytes = size_t{1} << 20;
inline constexpr size_t kMaxFormBytes = size_t{4} << 20;
inline constexpr size_t kMaxDocumentNesting = 16;

class KYV_API PropertyBag {
 public:
  struct Entry {
    std::string key;
    Variant value;
  };

  // The next stored value for `key`, or `fallback` when none is stored. A stored Empty
  // value (null in JSON) raises type-mismatch.
  Variant ReadProperty(std::string_view key, const Variant& fallback = {});
  // Stores `value` unless it equals `fallback` (see equalsDefault).
  void WriteProperty(std::string_view key, const Variant& value, const Variant& fallback = {});

  const std::vector<Entry>& entries() const { return entries_; }
  void clear();

  // JSON form. fromJson raises invalid-property-value for text that is not a bag: not a
  // JSON object with a "properties" array of [KEY, VALUE] pairs, larger than kMaxBagBytes,
  // nested deeper than kMaxDocumentNesting, or holding a NUL byte. A null VALUE is kept,
  // and reading it raises type-mismatch.
  std::string toJson() const;
  static PropertyBag fromJson(std::string_view text);

 private:
  friend class FormDocument;
  std::vector<Entry> entries_;
  std::vector<std::pair<std::string, size_t>> cursors_;  // folded key, reads so far
};

// A form document: several named controls with class, extent and bag.
struct KYV_API FormControl {
  std::string name;
  std::string className;
  float width = 0, height = 0;
  PropertyBag properties;
};

class KYV_API FormDocument {
 public:
  std::vector<FormControl> controls;
  const FormControl* find(std::string_view name) const;
  std::string toJson() const;
  // Raises invalid-property-value for text that is not a form document (the limits are
  // those of a bag, with kMaxFormBytes for its size).
  static FormDocument fromJson(std::string_view text);
};

}  // namespace kyv
