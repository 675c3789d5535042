#pragma once
// The declarations of a typed widget's properties, in C++ for its header (moc reads them)
// and in SIP for its PyQt6 binding, and the expansion of a template that asks for them.
#include <string>
#include <string_view>
#include <vector>

#include "TableProperties.h"

namespace kyvqtgen {

// `text` as comment lines ("// ...") of at most 96 characters, each starting with `indent`.
std::string comment(std::string_view text, std::string_view indent = "  ");

// Inside the class body, after Q_OBJECT: a Q_PROPERTY per property (READ, WRITE, NOTIFY,
// and RESET when it is stored), then, public, its getter, setter and reset with the doc
// line, then its NOTIFY signal. What follows in the class opens its own access section.
std::string headerDeclarations(const std::vector<std::string>& classNames,
                               const std::vector<TableProperty>& properties);
// The same members in a .sip class: getter, setter, reset and NOTIFY signal.
std::string sipDeclarations(const std::vector<TableProperty>& properties);

// `text` with its one line that holds `marker` alone replaced by `replacement`. Raises
// std::runtime_error when no line, or more than one, holds the marker.
std::string expandTemplate(std::string_view text, std::string_view marker, const std::string& replacement);

}  // namespace kyvqtgen
