#pragma once
// What the Python package takes of a set of typed widgets: their classes in the PyQt6
// binding (SIP), and their names for kyv.qt (the names module and the type stubs).
#include <map>
#include <string>

#include "WidgetModel.h"

namespace kyvqtgen {

// The SIP classes of the widgets, families' bases first, for the template's "@WIDGETS@".
std::string sipClasses(const WidgetSet& set);

// File name -> text: _widgets.py (the widgets' names in order, and the bases') and
// __init__.pyi (kyv.qt's names for type checkers).
std::map<std::string, std::string> pythonFiles(const WidgetSet& set);

}  // namespace kyvqtgen
