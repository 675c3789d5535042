#pragma once
// The properties a typed Qt widget carries, read from the class tables of the controls it
// hosts: one entry per property row, in interface order.
#include <string>
#include <string_view>
#include <vector>

#include "kyv/registry.h"

namespace kyvqtgen {

// How a Kyv type is carried by a typed widget.
struct QtType {
  std::string_view cxx;        // the Qt type: "int", "bool", "QColor"
  std::string_view parameter;  // a setter's parameter in C++: "int value", "const QColor& value"
  std::string_view sip;        // the same in a .sip file: "int value", "const QColor &value"
  std::string_view suffix;     // of TypedWidget's typed access: readInt, writeInt
};

struct TableProperty {
  std::string name;
  QtType type;
  std::string doc;          // the row's note, or its help text when it has none
  bool resettable = false;  // the class stores the property, with a default to reset to
};

// The properties of `classNames`, which must agree on every property's name, Qt type and
// resettability (a widget shared by several classes); the doc lines are the first class's.
// Raises kyv::Error for a class the registry cannot describe, and std::runtime_error for a
// property of a type no typed widget carries or classes that disagree, saying which.
std::vector<TableProperty> tableProperties(kyv::Registry& registry, const std::vector<std::string>& classNames);

}  // namespace kyvqtgen
