#pragma once
// The C++ files of a set of typed widgets: a header per widget (a family's base, each
// class's widget), and one source that defines their constructors and feed slots and has
// moc's code of every header compiled with it. For the family of the build, also Widgets.h
// (every widget in one include) and the catalog (kyvqt::widgetCatalog()) in the source.
#include <map>
#include <string>

#include "WidgetModel.h"

namespace kyvqtgen {

// The name of the source among the files.
inline constexpr const char* kWidgetSource = "TypedWidgets.cpp";

// File name -> text: NAME.h per widget, kWidgetSource, and with `catalog` Widgets.h.
std::map<std::string, std::string> widgetFiles(const WidgetSet& set, bool catalog);

}  // namespace kyvqtgen
