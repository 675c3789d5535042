#include "kyv/class_info.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "kyv/error.h"
#include "kyv/names.h"

namespace kyv {

ClassInfo::ClassInfo(std::string_view className, float defaultWidth, float defaultHeight,
                     std::vector<MemberInfo> members, std::vector<EventInfo> events)
    : ClassInfo(className, DesignExtent{defaultWidth, defaultHeight}, std::move(members), std::move(events)) {}

ClassInfo::ClassInfo(std::string_view className, DesignExtent extent, std::vector<MemberInfo> members,
                     std::vector<EventInfo> events, Presentation presentation)
    : className_(className),
      extent_(extent),
      members_(std::move(members)),
      events_(std::move(events)),
      presentation_(presentation) {
  for (size_t i = 0; i < members_.size(); ++i) {
    int16_t& slot = byId_[slotOf(members_[i].id)];
    slot = slot == 0 ? static_cast<int16_t>(i + 1) : -1;
  }
  refuseRepeatedIds();
}

// Two members of one id would make binding by id find only the first: the class's table
// is wrong, and says so when the class is first described.
void ClassInfo::refuseRepeatedIds() const {
  for (size_t i = 0; i < members_.size(); ++i)
    for (size_t j = i + 1; j < members_.size(); ++j) {
      if (members_[i].id != members_[j].id) continue;
      char id[16];
      std::snprintf(id, sizeof id, "0x%08X", static_cast<unsigned>(members_[i].id));
      throw std::invalid_argument(std::string(className_) + ": " + std::string(members_[i].name) + " and " +
                                  std::string(members_[j].name) + " have the same dispatch id " + id);
    }
}

ClassInfo::~ClassInfo() = default;

// Dispatch ids are 0x680300nn for properties and 0x600300nn for methods: the low byte
// and the property bit index a table, so binding by id is a lookup, not a search.
int ClassInfo::slotOf(DispId id) { return ((id >> 19) & 0x100) | (id & 0xFF); }

int ClassInfo::find(DispId id) const {
  const int16_t slot = byId_[slotOf(id)];
  if (slot > 0) return members_[slot - 1].id == id ? slot - 1 : -1;
  if (slot == 0) return -1;
  for (size_t i = 0; i < members_.size(); ++i)
    if (members_[i].id == id) return static_cast<int>(i);
  return -1;
}

int ClassInfo::find(std::string_view name) const {
  for (size_t i = 0; i < members_.size(); ++i)
    if (sameName(members_[i].name, name)) return static_cast<int>(i);
  return -1;
}

int ClassInfo::bind(std::string_view name, std::optional<MemberKind> kind) const {
  return bound(find(name), kind, nameForMessage(name));
}

int ClassInfo::bind(DispId id, std::optional<MemberKind> kind) const {
  char shown[16];
  std::snprintf(shown, sizeof shown, "#0x%08X", static_cast<uint32_t>(id));
  return bound(find(id), kind, shown);
}

int ClassInfo::bound(int index, std::optional<MemberKind> kind, const std::string& shown) const {
  if (index >= 0 && (!kind || members_[index].kind == *kind)) return index;
  const char* what = !kind ? "member " : *kind == MemberKind::Method ? "method " : "property ";
  raise(ErrorKind::NoSuchMember,
        "Object doesn't support this property or method: " + std::string(className_) + " has no " + what + shown);
}

}  // namespace kyv
