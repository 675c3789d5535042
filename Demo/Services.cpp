#include "Services.h"

#include <QColorDialog>
#include <chrono>

namespace kyvdemo {

void ColourDialog::ShowColor(QWidget* parent) {
  const QColor start(colour_ & 0xFF, (colour_ >> 8) & 0xFF, (colour_ >> 16) & 0xFF);
  const QColor chosen = QColorDialog::getColor(start, parent, QStringLiteral("Color"));
  if (!chosen.isValid()) return;
  colour_ = static_cast<uint32_t>(chosen.red()) | static_cast<uint32_t>(chosen.green()) << 8 |
            static_cast<uint32_t>(chosen.blue()) << 16;
}

void ClockRandom::Randomize() {
  engine_.seed(static_cast<std::mt19937::result_type>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count()));
}

// 24 random bits: every value is exact in single precision and below 1.
float ClockRandom::Rnd() { return static_cast<float>(engine_() >> 8) / 16777216.0f; }

}  // namespace kyvdemo
