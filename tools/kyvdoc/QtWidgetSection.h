#pragma once
// The reference page's section on the typed Qt widget of a control class, made from the
// widget catalog and the widget's own meta-object: its class and header, its properties,
// slots and signals. Needs a QApplication.
#include <string>
#include <string_view>

namespace kyvdoc {

// The section in Markdown, from its "## Qt widget" heading; empty when the catalog holds
// no widget for `className`.
std::string qtWidgetSection(std::string_view className);

}  // namespace kyvdoc
