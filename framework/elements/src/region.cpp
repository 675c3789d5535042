#include "kyv/region.h"

#include <algorithm>

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
  rects_.push_back(r);
}

PixelRect Region::bounds() const {
  if (rects_.empty()) return {};
  PixelRect b = rects_[0];
  for (const PixelRect& r : rects_) b = {std::min(b.x0, r.x0), std::min(b.y0, r.y0), std::max(b.x1, r.x1), std::max(b.y1, r.y1)};
  return b;
}

bool Region::contains(int x, int y) const {
  for (const PixelRect& r : rects_)
    if (x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1) return true;
  return false;
}

// Row bands between consecutive rectangle edges, each summing its merged x intervals.
size_t Region::area() const {
  std::vector<int> ys;
  for (const PixelRect& r : rects_) {
    ys.push_back(r.y0);
    ys.push_back(r.y1);
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  size_t total = 0;
  std::vector<std::pair<int, int>> spans;
  for (size_t i = 0; i + 1 < ys.size(); ++i) {
    spans.clear();
    for (const PixelRect& r : rects_)
      if (r.y0 <= ys[i] && r.y1 >= ys[i + 1]) spans.emplace_back(r.x0, r.x1);
    std::sort(spans.begin(), spans.end());
    long covered = 0, end = -(1L << 40);
    for (auto [a, b] : spans) {
      if (b <= end) continue;
      covered += b - std::max<long>(a, end);
      end = b;
    }
    total += static_cast<size_t>(covered) * static_cast<size_t>(ys[i + 1] - ys[i]);
  }
  return total;
}

}  // namespace kyv
