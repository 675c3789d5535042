#include "kyv/qt/FoursegWidget.h"

namespace kyvqt {

FoursegWidget::FoursegWidget(QWidget* parent) : FoursegWidget(nullptr, parent) {}

FoursegWidget::FoursegWidget(kyv::Registry* registry, QWidget* parent)
    : DigitsWidget(kClassName, -999, 9999, registry, parent) {}

}  // namespace kyvqt
