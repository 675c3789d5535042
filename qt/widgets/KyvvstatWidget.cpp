#include "kyv/qt/KyvvstatWidget.h"

namespace kyvqt {

KyvvstatWidget::KyvvstatWidget(QWidget* parent) : KyvvstatWidget(nullptr, parent) {}

// The bar keeps its thickness and grows along its length. Growing, it also keeps a row
// beside widgets that do not grow (digits) from being capped at their height.
KyvvstatWidget::KyvvstatWidget(kyv::Registry* registry, QWidget* parent)
    : StatusBarWidget(kClassName, registry, parent) {
  setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Expanding);
}

}  // namespace kyvqt
