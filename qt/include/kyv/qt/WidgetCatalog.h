#pragma once
// The catalog of the typed Kyv widgets: one entry per widget, in the order of the list of
// controls, for tools that offer them all (the Designer plugin, form loaders, tests,
// accessibility). kyvqtgen writes it from the list of controls and their class tables.
//
//   for (const kyvqt::WidgetEntry& entry : kyvqt::widgetCatalog()) {
//     QWidget* widget = entry.create(parent);   // a kyvqt::TypedWidget holding its control
//     widget->setToolTip(QString::fromUtf8(entry.toolTip));
//   }
#include <QAccessible>
#include <array>
#include <string_view>

#include "kyv/controls.h"
#include "kyv/qt/ControlWidget.h"

class QWidget;

namespace kyvqt {

struct WidgetEntry {
  const char* qtClassName;       // the widget's Qt class name, "kyvqt::GaugeWidget"
  const char* header;            // the header that declares it, "kyv/qt/GaugeWidget.h"
  const char* controlClassName;  // the control it hosts, "Lib.Gauge"
  const char* displayName;       // what it is, "Vertical status bar": its accessible name
  const char* toolTip;           // one line for a tooltip or what's-this text
  QAccessible::Role role;        // its accessible role
  // A new widget with `parent`, holding a new control made through the default registry.
  QWidget* (*create)(QWidget* parent);
};

// The accessible role of a control whose picture is `picture`: a progress bar for a level,
// static text for a number, a chart for a chart.
KYVQT_API QAccessible::Role accessibleRole(kyv::PictureKind picture);

// Every typed widget, one entry each, one for each control library.
KYVQT_API const std::array<WidgetEntry, kyv::kControlCount>& widgetCatalog();
// The entry whose Qt class name (with or without "kyvqt::") or control class name is
// `name`, in any case; null when there is none.
KYVQT_API const WidgetEntry* findWidget(std::string_view name);

}  // namespace kyvqt
