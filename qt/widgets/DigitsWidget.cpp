#include "kyv/qt/DigitsWidget.h"

#include <QString>

namespace kyvqt {

DigitsWidget::DigitsWidget(const char* className, int lowest, int highest, kyv::Registry* registry, QWidget* parent)
    : TypedWidget(parent, registry), lowest_(lowest), highest_(highest) {
  setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
  create(QString::fromLatin1(className));
  keepFaceDark();
}

std::optional<TypedWidget::Reading> DigitsWidget::reading() const {
  return Reading{last_.value_or(0), lowest_, highest_};
}

// The control leaves the display as it is for a number it cannot show; the widget says so.
bool DigitsWidget::send(int amount) {
  if (queuedFromOtherThread([this, amount] { send(amount); })) return true;
  if (amount < lowest_ || amount > highest_) {
    reject("send", kyv::ErrorKind::Overflow,
           QStringLiteral("Overflow: %1 is not between %2 and %3; the display keeps what it shows")
               .arg(amount)
               .arg(lowest_)
               .arg(highest_));
    return false;
  }
  if (!feed("send", amount)) return false;
  last_ = amount;
  announceReading();
  return true;
}

void DigitsWidget::reapplyReadings() {
  if (last_) refeed("send", *last_);
}

void DigitsWidget::forgetReadings() { last_.reset(); }

}  // namespace kyvqt
