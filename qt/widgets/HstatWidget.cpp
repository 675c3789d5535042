#include "kyv/qt/HstatWidget.h"

namespace kyvqt {

HstatWidget::HstatWidget(QWidget* parent) : HstatWidget(nullptr, parent) {}

// The bar keeps its thickness and grows along its length. Growing, it also keeps a column
// beside widgets that do not grow (digits) from being capped at their width.
HstatWidget::HstatWidget(kyv::Registry* registry, QWidget* parent) : StatusBarWidget(kClassName, registry, parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
}

}  // namespace kyvqt
