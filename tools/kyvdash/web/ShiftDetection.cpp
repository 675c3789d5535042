#include "ShiftDetection.h"

#include <cstring>

namespace kyvdash {
namespace {

constexpr int kSampleRows = 8;

// The share of the sampled rows' pixels of `area` for which after(x, y) == before(x + dx, y);
// 0 as soon as more than `1 - atLeast` of them are known to differ.
double matching(const QImage& before, const QImage& after, const QRect& area, int dx, double atLeast = 0) {
  const int step = std::max(1, area.height() / kSampleRows);
  const int perRow = std::max(0, area.width() - dx);
  const int rows = (area.height() - 1 - step / 2) / step + 1;
  const int allowed = int((1 - atLeast) * rows * perRow + 1e-6);  // differing pixels before giving up
  int differing = 0, compared = 0;
  for (int y = area.top() + step / 2; y <= area.bottom(); y += step) {
    const auto* a = reinterpret_cast<const QRgb*>(after.constScanLine(y)) + area.left();
    const auto* b = reinterpret_cast<const QRgb*>(before.constScanLine(y)) + area.left() + dx;
    for (int x = 0; x < perRow; ++x) differing += a[x] != b[x];
    compared += perRow;
    if (differing > allowed) return 0;
  }
  return compared ? double(compared - differing) / compared : 0;
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
    const double share = matching(before, after, area, dx, std::max(0.8, bestShare));
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
