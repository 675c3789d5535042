#include "TableProperties.h"

#include <algorithm>
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

// Raises when `other`'s properties differ from `first`'s in anything the widget declares.
void checkAgree(const std::string& firstClass, const std::vector<TableProperty>& first, const std::string& otherClass,
                const std::vector<TableProperty>& other) {
  const size_t n = std::max(first.size(), other.size());
  for (size_t i = 0; i < n; ++i) {
    const std::string a = i < first.size() ? described(first[i]) : "nothing";
    const std::string b = i < other.size() ? described(other[i]) : "nothing";
    if (a != b)
      throw std::runtime_error("the classes of one widget disagree: property " + std::to_string(i + 1) + " of " +
                               firstClass + " is " + a + ", of " + otherClass + " " + b);
  }
}

}  // namespace

std::vector<TableProperty> tableProperties(kyv::Registry& registry, const std::vector<std::string>& classNames) {
  std::vector<TableProperty> first;
  for (size_t i = 0; i < classNames.size(); ++i) {
    std::vector<TableProperty> properties;
    registry.describe(classNames[i], [&](const kyv::ClassInfo& info) { properties = propertiesOf(info); });
    if (i == 0)
      first = std::move(properties);
    else
      checkAgree(classNames[0], first, classNames[i], properties);
  }
  return first;
}

}  // namespace kyvqtgen
