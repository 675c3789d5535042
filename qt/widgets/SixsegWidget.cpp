#include "kyv/qt/SixsegWidget.h"

namespace kyvqt {

SixsegWidget::SixsegWidget(QWidget* parent) : SixsegWidget(nullptr, parent) {}

SixsegWidget::SixsegWidget(kyv::Registry* registry, QWidget* parent)
    : DigitsWidget(kClassName, -99999, 999999, registry, parent) {}

}  // namespace kyvqt
