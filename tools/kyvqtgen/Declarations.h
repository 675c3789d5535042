#pragma once
// The declarations of a typed widget's properties, in C++ for its header (moc reads them)
// and in SIP for its PyQt6 binding, and the expansion of a template that asks for them.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "TableProperties.h"

namespace kyvqtgen {

// Inside the class body, after Q_OBJECT: a Q_PROPERTY per property (READ, WRITE, NOTIFY,
// and RESET when it is stored), then, public, its getter, setter and reset with the doc
// line, then its NOTIFY signal. What follows in the class opens its own access section.
std::string headerDeclarations(const std::vector<std::string>& classNames,
                               const std::vector<TableProperty>& properties);
// The same members in a .sip class: getter, setter, reset and NOTIFY signal.
std::string sipDeclarations(const std::vector<TableProperty>& properties);

// `text` with each marker line "@PROPERTIES Lib.Class [Lib.Class...]@" replaced by what
// `declare` writes for those classes. Raises std::runtime_error when there is no marker or
// one names no class.
std::string expandTemplate(std::string_view text,
                           const std::function<std::string(const std::vector<std::string>& classNames)>& declare);

}  // namespace kyvqtgen
