#include "kyv/qt/HstatWidget.h"

namespace kyvqt {

HstatWidget::HstatWidget(QWidget* parent) : HstatWidget(nullptr, parent) {}

HstatWidget::HstatWidget(kyv::Registry* registry, QWidget* parent) : StatusBarWidget(kClassName, registry, parent) {}

}  // namespace kyvqt
