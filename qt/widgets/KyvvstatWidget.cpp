#include "kyv/qt/KyvvstatWidget.h"

namespace kyvqt {

KyvvstatWidget::KyvvstatWidget(QWidget* parent) : KyvvstatWidget(nullptr, parent) {}

// The bar keeps its thickness and grows along its length.
KyvvstatWidget::KyvvstatWidget(kyv::Registry* registry, QWidget* parent) : StatusBarWidget(kClassName, registry, parent) {
  setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
}

}  // namespace kyvqt
