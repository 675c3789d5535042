#include "kyv/qt/SsegWidget.h"

namespace kyvqt {

SsegWidget::SsegWidget(QWidget* parent) : SsegWidget(nullptr, parent) {}

SsegWidget::SsegWidget(kyv::Registry* registry, QWidget* parent) : DigitsWidget(kClassName, 0, 9, registry, parent) {}

}  // namespace kyvqt
