#include "ScreenScale.h"

#include <private/qhighdpiscaling_p.h>
#include <QScreen>
#include <algorithm>

namespace kyvdash {

double fitFactor(QSize layout, QSize room) {
  if (layout.isEmpty() || room.isEmpty()) return 1;
  return std::min(double(room.width()) / layout.width(), double(room.height()) / layout.height());
}

void setScreenScale(QScreen* screen, double factor) {
  if (screen) QHighDpiScaling::setScreenFactor(screen, factor);
}

}  // namespace kyvdash
