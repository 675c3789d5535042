#pragma once
// The scale the dashboard is shown at. Kyv draws at any scale, so a layout is shown on a
// screen of any size by drawing it with fewer twips a pixel: everything on the screen,
// controls and text alike, is drawn `factor` times larger, sharp, not stretched.
#include <QSize>

class QScreen;

namespace kyvdash {

// The largest factor at which `layout` (pixels at 15 twips a pixel) fits in `room`, keeping
// its aspect.
double fitFactor(QSize layout, QSize room);

// Draws everything shown on `screen` `factor` times larger (1 for as it is). Set before the
// window is shown.
void setScreenScale(QScreen* screen, double factor);

}  // namespace kyvdash
