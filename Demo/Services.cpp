#include "Services.h"

#include <QColorDialog>
#include <chrono>

#include "kyv/qt/ControlWidget.h"

namespace kyvdemo {

void ColourDialog::ShowColor(QWidget* parent) {
  const QColor chosen = QColorDialog::getColor(kyvqt::toQColor(colour_), parent, QStringLiteral("Color"));
  if (!chosen.isValid()) return;
  colour_ = kyvqt::bgrOf(chosen);
}

// seed_seq spreads the clock reading over the generator's whole state, so that readings a
// steady interval apart do not start it from closely related states.
void ClockRandom::Randomize() {
  const auto now = static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
  std::seed_seq seed{static_cast<uint32_t>(now), static_cast<uint32_t>(now >> 32)};
  engine_.seed(seed);
}

// 24 random bits: every value is exact in single precision and below 1.
float ClockRandom::Rnd() { return static_cast<float>(engine_() >> 8) / 16777216.0f; }

}  // namespace kyvdemo
