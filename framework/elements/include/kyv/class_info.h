#pragma once
// Type info and late binding: a class publishes its name, default extent, members in
// interface order with dispatch ids, kinds, types and help texts, its events and its
// stored properties. Hosts
// bind a member once (by name, case-insensitively, or by id) and then invoke it by index.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "kyv/export.h"
#include "kyv/variant.h"

namespace kyv {

class Control;
class PropertyBag;

using DispId = int32_t;

enum class MemberKind : uint8_t { Property, Method };
enum class Invoke : uint8_t { Get, Put, Call };

struct MemberInfo {
  std::string_view name;
  MemberKind kind;
  VarType type;  // property type, or a method's result type
  DispId id;
  std::string_view help;             // the help text the class reports
  VarType argType = VarType::Empty;  // a method's by-reference argument; Empty when none
  // What the help text does not say, in plain words: the reference pages add it, and the
  // typed Qt widgets document the property with it; empty when the help text says it all.
  std::string_view note = {};
  // A property the control takes up only at its next layout (Resize): a host lays the
  // control out again after writing it, before the control paints or is fed.
  bool takesEffectAtLayout = false;
};

struct EventInfo {
  std::string_view name;
  int number;  // from 1, in declaration order
  std::string_view help;
};

// One stored property as a property bag holds it: its key, default and type, and how many
// entries ReadProperties reads and WriteProperties writes (-1 when the instance decides;
// `entries` then says how many).
struct StoredInfo {
  std::string_view key;
  Variant fallback;
  VarType type;
  int reads;
  int writes;
  std::string_view entries;
};

// A class's sizes in twips: the extent a new instance gets, and the smallest extent its
// layout accepts (what still shows its parts readably; 0 when any size will do).
struct DesignExtent {
  float width, height;
  float minimumWidth = 0, minimumHeight = 0;
};

class KYV_API ClassInfo {
 public:
  // Raises std::invalid_argument when two members have the same dispatch id.
  ClassInfo(std::string_view className, DesignExtent extent, std::vector<MemberInfo> members,
            std::vector<EventInfo> events);
  ClassInfo(std::string_view className, float defaultWidth, float defaultHeight, std::vector<MemberInfo> members,
            std::vector<EventInfo> events);
  virtual ~ClassInfo();
  ClassInfo(const ClassInfo&) = delete;
  ClassInfo& operator=(const ClassInfo&) = delete;

  std::string_view className() const { return className_; }
  float defaultWidth() const { return extent_.width; }
  float defaultHeight() const { return extent_.height; }
  // The smallest extent an instance's layout accepts, in twips; hosts lay it out no smaller.
  float minimumWidth() const { return extent_.minimumWidth; }
  float minimumHeight() const { return extent_.minimumHeight; }
  const std::vector<MemberInfo>& members() const { return members_; }
  const std::vector<EventInfo>& events() const { return events_; }

  // Member index for a name (any case) or a dispatch id; -1 when there is none.
  int find(std::string_view name) const;
  int find(DispId id) const;
  // The same for a host binding a member it means to use, of `kind` when one is given.
  // Raises no-such-member when there is none: "Object doesn't support this property or
  // method: CLASS has no property NAME" ("method", or "member" when no kind is given; an id
  // shows as #0x68030001).
  int bind(std::string_view name, std::optional<MemberKind> kind = std::nullopt) const;
  int bind(DispId id, std::optional<MemberKind> kind = std::nullopt) const;

  // Reads, writes or calls member `index` of `control`, which must be of this class.
  // `arg` is the by-reference argument of a call (converted in place to the argument
  // type, written back on return) or the value of a write.
  virtual Variant invoke(Control& control, int index, Invoke how, Variant* arg) const = 0;
  virtual void readProperties(Control& control, PropertyBag& bag) const = 0;
  virtual void writeProperties(Control& control, PropertyBag& bag) const = 0;
  // The stored properties in the order ReadProperties reads them, and in the order
  // WriteProperties writes them.
  virtual std::vector<StoredInfo> storedReadOrder() const { return {}; }
  virtual std::vector<StoredInfo> storedWriteOrder() const { return {}; }

 private:
  static int slotOf(DispId id);
  void refuseRepeatedIds() const;
  int bound(int index, std::optional<MemberKind> kind, const std::string& shown) const;
  std::string_view className_;
  DesignExtent extent_;
  std::vector<MemberInfo> members_;
  std::vector<EventInfo> events_;
  std::array<int16_t, 512> byId_{};  // member index + 1 by id slot; 0 empty, -1 shared
};

}  // namespace kyv
