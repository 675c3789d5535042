#include "kyv/qt/SsegWidget.h"

#include <QString>

namespace kyvqt {

SsegWidget::SsegWidget(QWidget* parent) : SsegWidget(nullptr, parent) {}

SsegWidget::SsegWidget(kyv::Registry* registry, QWidget* parent) : TypedWidget(parent, registry) {
  create(QString::fromLatin1(kClassName));
}

namespace {

// The numbers the display shows: those of at most its digits' count of characters.
constexpr int kLowest = 0, kHighest = 9;

}  // namespace

std::optional<TypedWidget::Reading> SsegWidget::reading() const {
  return Reading{last_.value_or(0), kLowest, kHighest};
}

// The control leaves the display as it is for a number it cannot show; the widget says so.
bool SsegWidget::send(int amount) {
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

void SsegWidget::reapplyReadings() {
  if (last_) refeed("send", *last_);
}

void SsegWidget::forgetReadings() { last_.reset(); }

}  // namespace kyvqt
