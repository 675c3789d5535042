#include "kyv/region.h"

#include <algorithm>

#include "bands.h"
#include "growth.h"

namespace kyv {

Region Region::everything() {
  Region r;
  r.setEverything();
  return r;
}

void Region::setEverything() {
  rects_.clear();
  rects_.push_back(kEverything);
}

// Two rectangles make one when they share a side's whole length, or one holds the other.
void Region::add(const PixelRect& r) {
  if (r.empty() || isEverything()) return;
  if (!rects_.empty()) {
    PixelRect& last = rects_.back();
    if (kyv::contains(last, r)) return;
    if (kyv::contains(r, last)) {
      last = r;
      return;
    }
    if (last.x0 == r.x0 && last.x1 == r.x1 && r.y0 <= last.y1 && last.y0 <= r.y1) {
      last.y0 = std::min(last.y0, r.y0);
      last.y1 = std::max(last.y1, r.y1);
      return;
    }
    if (last.y0 == r.y0 && last.y1 == r.y1 && r.x0 <= last.x1 && last.x0 <= r.x1) {
      last.x0 = std::min(last.x0, r.x0);
      last.x1 = std::max(last.x1, r.x1);
      return;
    }
  }
  detail::append(rects_, r);
}

PixelRect Region::bounds() const {
  if (rects_.empty()) return {};
  PixelRect b = rects_[0];
  for (const PixelRect& r : rects_)
    b = {std::min(b.x0, r.x0), std::min(b.y0, r.y0), std::max(b.x1, r.x1), std::max(b.y1, r.y1)};
  return b;
}

bool Region::contains(int x, int y) const {
  for (const PixelRect& r : rects_)
    if (x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1) return true;
  return false;
}

// Each disjoint piece of the band sweep counted once.
size_t Region::area() const {
  BandScratch scratch;
  size_t total = 0;
  sweepBands(rects_.data(), rects_.size(), scratch,
             [&](const PixelRect& r) { total += static_cast<size_t>(r.x1 - r.x0) * static_cast<size_t>(r.y1 - r.y0); });
  return total;
}

}  // namespace kyv
