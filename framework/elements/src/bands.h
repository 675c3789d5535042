#pragma once
// The band sweep over a set of rectangles that may overlap: the rows between consecutive
// distinct top and bottom edges, and in each row band the x intervals of the rectangles
// spanning it, merged where they meet or overlap. What the rectangles cover is then a set
// of disjoint pieces, one per merged interval of a band.
#include <algorithm>
#include <utility>
#include <vector>

#include "kyv/region.h"

namespace kyv {

// Scratch storage of a sweep, kept by a caller that sweeps often so that it allocates
// nothing once grown.
struct BandScratch {
  std::vector<PixelRect> rects;  // for a caller to copy its rectangles into
  std::vector<int> edges;
  std::vector<std::pair<int, int>> intervals;
};

// Calls piece(PixelRect) for each disjoint piece of the union of `rects`, band by band
// from the top, left to right within a band.
template <class Piece>
void sweepBands(const PixelRect* rects, size_t count, BandScratch& scratch, Piece&& piece) {
  std::vector<int>& ys = scratch.edges;
  ys.clear();
  for (size_t i = 0; i < count; ++i) {
    ys.push_back(rects[i].y0);
    ys.push_back(rects[i].y1);
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  std::vector<std::pair<int, int>>& spans = scratch.intervals;
  for (size_t b = 0; b + 1 < ys.size(); ++b) {
    spans.clear();
    for (size_t i = 0; i < count; ++i)
      if (rects[i].y0 <= ys[b] && rects[i].y1 >= ys[b + 1]) spans.emplace_back(rects[i].x0, rects[i].x1);
    std::sort(spans.begin(), spans.end());
    size_t kept = 0;
    for (const auto& s : spans) {
      if (kept > 0 && s.first <= spans[kept - 1].second)
        spans[kept - 1].second = std::max(spans[kept - 1].second, s.second);
      else
        spans[kept++] = s;
    }
    for (size_t i = 0; i < kept; ++i) piece(PixelRect{spans[i].first, ys[b], spans[i].second, ys[b + 1]});
  }
}

}  // namespace kyv
