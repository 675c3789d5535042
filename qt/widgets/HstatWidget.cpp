#include "kyv/qt/HstatWidget.h"

namespace kyvqt {

HstatWidget::HstatWidget(QWidget* parent) : HstatWidget(nullptr, parent) {}

HstatWidget::HstatWidget(kyv::Registry* registry, QWidget* parent) : TypedWidget(parent, registry) {
  create(QString::fromLatin1(kClassName));
}

std::optional<TypedWidget::Reading> HstatWidget::reading() const { return Reading{last_.value_or(0), 0, Maxlimit()}; }

bool HstatWidget::incbar(int BarData) {
  if (!feed("incbar", BarData)) return false;
  last_ = BarData;
  announceReading();
  return true;
}

void HstatWidget::reapplyReadings() {
  if (last_) refeed("incbar", *last_);
}

void HstatWidget::forgetReadings() { last_.reset(); }

}  // namespace kyvqt
