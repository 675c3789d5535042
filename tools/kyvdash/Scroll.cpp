#include "Scroll.h"

#include <cstring>

namespace kyvdash {
namespace {

constexpr int kSampleRows = 8;

// The share of the sampled rows' pixels of `area` for which after(x, y) == before(x + dx, y).
double matching(const QImage& before, const QImage& after, const QRect& area, int dx) {
  int same = 0, compared = 0;
  const int step = std::max(1, area.height() / kSampleRows);
  for (int y = area.top() + step / 2; y <= area.bottom(); y += step) {
    const auto* a = reinterpret_cast<const QRgb*>(after.constScanLine(y));
    const auto* b = reinterpret_cast<const QRgb*>(before.constScanLine(y));
    for (int x = area.left(); x + dx <= area.right(); ++x) {
      same += a[x] == b[x + dx];
      ++compared;
    }
  }
  return compared ? double(same) / compared : 0;
}

}  // namespace

int leftShift(const QImage& before, const QImage& after, const QRect& area, int hint, int maxShift) {
  if (area.width() < 16) return 0;
  const double still = matching(before, after, area, 0);
  if (still >= 0.95) return 0;
  // Moved when clearly more of it matches moved than unmoved.
  const auto moved = [&](double share) { return share >= 0.8 && share >= still + 0.05; };
  if (hint > 0 && hint <= std::min(maxShift, area.width() / 2) && moved(matching(before, after, area, hint)))
    return hint;
  int best = 0;
  double bestShare = still;
  for (int dx = 1; dx <= std::min(maxShift, area.width() / 2); ++dx) {
    const double share = matching(before, after, area, dx);
    if (share > bestShare) {
      best = dx;
      bestShare = share;
    }
  }
  return moved(bestShare) ? best : 0;
}

void shiftLeft(QImage& image, const QRect& area, int dx) {
  const size_t bytes = size_t(area.width() - dx) * 4;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    uchar* row = image.scanLine(y) + area.left() * 4;
    std::memmove(row, row + dx * 4, bytes);
  }
}

}  // namespace kyvdash
