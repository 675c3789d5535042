#include "kyv/qt/KyvvstatWidget.h"

namespace kyvqt {

KyvvstatWidget::KyvvstatWidget(QWidget* parent) : KyvvstatWidget(nullptr, parent) {}

KyvvstatWidget::KyvvstatWidget(kyv::Registry* registry, QWidget* parent) : StatusBarWidget(kClassName, registry, parent) {}

}  // namespace kyvqt
