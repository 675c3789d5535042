#include "kyv/qt/KyvvstatWidget.h"

namespace kyvqt {

KyvvstatWidget::KyvvstatWidget(QWidget* parent) : KyvvstatWidget(nullptr, parent) {}

KyvvstatWidget::KyvvstatWidget(kyv::Registry* registry, QWidget* parent) : TypedWidget(parent, registry) {
  create(QString::fromLatin1(kClassName));
}

std::optional<TypedWidget::Reading> KyvvstatWidget::reading() const {
  return Reading{last_.value_or(0), 0, Maxlimit()};
}

bool KyvvstatWidget::incbar(int BarData) {
  if (!feed("incbar", BarData)) return false;
  last_ = BarData;
  announceReading();
  return true;
}

void KyvvstatWidget::reapplyReadings() {
  if (last_) refeed("incbar", *last_);
}

void KyvvstatWidget::forgetReadings() { last_.reset(); }

}  // namespace kyvqt
