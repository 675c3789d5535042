#include "kyv/qt/HstatWidget.h"

namespace kyvqt {

HstatWidget::HstatWidget(QWidget* parent) : HstatWidget(nullptr, parent) {}

// The bar keeps its thickness and grows along its length.
HstatWidget::HstatWidget(kyv::Registry* registry, QWidget* parent) : StatusBarWidget(kClassName, registry, parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
}

}  // namespace kyvqt
