#pragma once
// The properties a typed Qt widget carries, read from the class table of the control it
// hosts: one entry per property row, in interface order.
#include <string>
#include <string_view>
#include <vector>

#include "kyv/class_info.h"

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

// The properties of a class, one per property row in interface order. Raises
// std::runtime_error for a property of a type no typed widget carries, saying which.
std::vector<TableProperty> propertiesOf(const kyv::ClassInfo& info);
// A property as the widgets of several classes must agree on it: "Maxlimit (int, stored)".
std::string described(const TableProperty& property);

}  // namespace kyvqtgen
