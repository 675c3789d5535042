#pragma once
// Regions of device pixels: where a control's picture changed since it was last painted,
// and which pixels a render paints.
#include <cstddef>
#include <vector>

#include "kyv/export.h"

namespace kyv {

// Device pixels [x0, x1) x [y0, y1).
struct PixelRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x0 >= x1 || y0 >= y1; }
  friend bool operator==(const PixelRect& a, const PixelRect& b) {
    return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1;
  }
  friend bool operator!=(const PixelRect& a, const PixelRect& b) { return !(a == b); }
};

inline PixelRect intersect(const PixelRect& a, const PixelRect& b) {
  return {a.x0 > b.x0 ? a.x0 : b.x0, a.y0 > b.y0 ? a.y0 : b.y0, a.x1 < b.x1 ? a.x1 : b.x1, a.y1 < b.y1 ? a.y1 : b.y1};
}
inline bool overlaps(const PixelRect& a, const PixelRect& b) {
  return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}
// Whether every pixel of `inner` lies in `outer` (an empty `inner` lies anywhere).
inline bool contains(const PixelRect& outer, const PixelRect& inner) {
  return inner.empty() ||
         (outer.x0 <= inner.x0 && outer.y0 <= inner.y0 && outer.x1 >= inner.x1 && outer.y1 >= inner.y1);
}

// A set of pixels held as rectangles, which may overlap; the region is their union.
// Adding a rectangle merges it into the last one added when the two make one rectangle.
// Clearing keeps the storage, so a region built again and again allocates nothing once it
// has grown to its size.
class KYV_API Region {
 public:
  Region() = default;
  explicit Region(const PixelRect& r) { add(r); }

  // The region of every pixel there is.
  static Region everything();
  bool isEverything() const { return rects_.size() == 1 && rects_[0] == kEverything; }
  void setEverything();

  void add(const PixelRect& r);
  void clear() { rects_.clear(); }

  bool empty() const { return rects_.empty(); }
  const std::vector<PixelRect>& rects() const { return rects_; }
  // The smallest rectangle holding the region (empty for an empty region).
  PixelRect bounds() const;
  bool contains(int x, int y) const;
  // Number of pixels in the region, each counted once.
  size_t area() const;

 private:
  static constexpr int kFar = 1 << 28;
  static constexpr PixelRect kEverything{-kFar, -kFar, kFar, kFar};
  std::vector<PixelRect> rects_;
};

}  // namespace kyv
