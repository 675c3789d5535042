#include "kyv/qt/SixsegWidget.h"

#include <QString>

namespace kyvqt {

SixsegWidget::SixsegWidget(QWidget* parent) : SixsegWidget(nullptr, parent) {}

SixsegWidget::SixsegWidget(kyv::Registry* registry, QWidget* parent) : TypedWidget(parent, registry) {
  create(QString::fromLatin1(kClassName));
}

namespace {

// The numbers the display shows: those of at most its digits' count of characters.
constexpr int kLowest = -99999, kHighest = 999999;

}  // namespace

std::optional<TypedWidget::Reading> SixsegWidget::reading() const {
  return Reading{last_.value_or(0), kLowest, kHighest};
}

// The control leaves the display as it is for a number it cannot show; the widget says so.
bool SixsegWidget::send(int amount) {
  if (amount < kLowest || amount > kHighest) {
    reject("send", kyv::ErrorKind::Overflow,
           QStringLiteral("Overflow: %1 is not between %2 and %3; the display keeps what it shows")
               .arg(amount)
               .arg(kLowest)
               .arg(kHighest));
    return false;
  }
  if (!feed("send", amount)) return false;
  last_ = amount;
  announceReading();
  return true;
}

void SixsegWidget::reapplyReadings() {
  if (last_) refeed("send", *last_);
}

void SixsegWidget::forgetReadings() { last_.reset(); }

}  // namespace kyvqt
