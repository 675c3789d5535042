#include "kyv/qt/HeartBeatWidget.h"

#include <algorithm>

namespace kyvqt {

HeartBeatWidget::HeartBeatWidget(QWidget* parent) : HeartBeatWidget(nullptr, parent) {}

HeartBeatWidget::HeartBeatWidget(kyv::Registry* registry, QWidget* parent) : TypedWidget(parent, registry) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  create(QString::fromLatin1(kClassName));
  keepFaceDark();
}

// The trace holds HorizCount + 1 points: those are what a new layout must plot again.
bool HeartBeatWidget::Plot(int Value) {
  if (queuedFromOtherThread([this, Value] { Plot(Value); })) return true;
  if (!feed("Plot", Value)) return false;
  history_.push_back(Value);
  const size_t points = static_cast<size_t>(std::max(0, HorizCount())) + 1;
  while (history_.size() > points) history_.pop_front();
  return true;
}

// A value that fails (HorizCount raised since) ends the replay: the rest would fail too.
void HeartBeatWidget::reapplyReadings() {
  for (const int point : history_)
    if (!refeed("Plot", point)) return;
}

void HeartBeatWidget::forgetReadings() { history_.clear(); }

}  // namespace kyvqt
