#include "kyv/qt/StatusBarWidget.h"

namespace kyvqt {

StatusBarWidget::StatusBarWidget(const char* className, kyv::Registry* registry, QWidget* parent)
    : TypedWidget(parent, registry) {
  create(QString::fromLatin1(className));
}

std::optional<TypedWidget::Reading> StatusBarWidget::reading() const {
  return Reading{last_.value_or(0), 0, Maxlimit()};
}

bool StatusBarWidget::incbar(int BarData) {
  if (queuedFromOtherThread([this, BarData] { incbar(BarData); })) return true;
  if (!feed("incbar", BarData)) return false;
  last_ = BarData;
  announceReading();
  return true;
}

void StatusBarWidget::reapplyReadings() {
  if (last_) refeed("incbar", *last_);
}

void StatusBarWidget::forgetReadings() { last_.reset(); }

}  // namespace kyvqt
