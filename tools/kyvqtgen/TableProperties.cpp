#include "TableProperties.h"

#include <optional>
#include <stdexcept>

#include "kyv/class_info.h"
#include "kyv/names.h"

namespace kyvqtgen {
namespace {

std::optional<QtType> qtType(kyv::VarType type) {
  switch (type) {
    case kyv::VarType::Integer:
    case kyv::VarType::Long: return QtType{"int", "int value", "int value", "Int"};
    case kyv::VarType::Boolean: return QtType{"bool", "bool value", "bool value", "Bool"};
    case kyv::VarType::Colour: return QtType{"QColor", "const QColor& value", "const QColor &value", "Colour"};
    default: return std::nullopt;
  }
}

bool stored(const kyv::ClassInfo& info, std::string_view name) {
  for (const kyv::StoredInfo& row : info.storedReadOrder())
    if (kyv::sameName(row.key, name)) return true;
  return false;
}

}  // namespace

std::vector<TableProperty> propertiesOf(const kyv::ClassInfo& info) {
  std::vector<TableProperty> properties;
  for (const kyv::MemberInfo& m : info.members()) {
    if (m.kind != kyv::MemberKind::Property) continue;
    const std::optional<QtType> type = qtType(m.type);
    if (!type)
      throw std::runtime_error(std::string(info.className()) + "'s property " + std::string(m.name) + " is of type " +
                               std::string(kyv::typeName(m.type)) +
                               ", which the typed widgets do not carry (Integer, Long, "
                               "Boolean and Colour are)");
    properties.push_back(
        {std::string(m.name), *type, std::string(m.note.empty() ? m.help : m.note), stored(info, m.name)});
  }
  return properties;
}

std::string described(const TableProperty& p) {
  return std::string(p.name) + " (" + std::string(p.type.cxx) + (p.resettable ? ", stored" : ", not stored") + ")";
}

}  // namespace kyvqtgen
