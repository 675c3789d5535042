#include "kyv/qt/WidgetCatalog.h"

#include "kyv/names.h"

namespace kyvqt {
namespace {

constexpr std::string_view kNamespace = "kyvqt::";

}  // namespace

QAccessible::Role accessibleRole(kyv::PictureKind picture) {
  switch (picture) {
    case kyv::PictureKind::Level: return QAccessible::ProgressBar;
    case kyv::PictureKind::Number: return QAccessible::StaticText;
    case kyv::PictureKind::Chart: break;
  }
  return QAccessible::Chart;
}

// widgetCatalog() itself is written by kyvqtgen, from the list of controls, with the widgets.
const WidgetEntry* findWidget(std::string_view name) {
  for (const WidgetEntry& entry : widgetCatalog()) {
    const std::string_view qtName = entry.qtClassName;
    if (kyv::sameName(name, qtName) || kyv::sameName(name, qtName.substr(kNamespace.size())) ||
        kyv::sameName(name, entry.controlClassName))
      return &entry;
  }
  return nullptr;
}

}  // namespace kyvqt
