#include "clip_lists.h"

#include <algorithm>

namespace kyv::paint {
namespace {

// Lists with more rectangles than this are kept sorted.
constexpr size_t kSortedFrom = 8;

// The rectangles of `a` that `b` does not cover, at most four, into `out`; returns how many.
int subtract(const PixelRect& a, const PixelRect& b, PixelRect* out) {
  if (!overlaps(a, b)) {
    out[0] = a;
    return 1;
  }
  int n = 0;
  if (a.y0 < b.y0) out[n++] = {a.x0, a.y0, a.x1, b.y0};
  if (b.y1 < a.y1) out[n++] = {a.x0, b.y1, a.x1, a.y1};
  const int top = std::max(a.y0, b.y0), bottom = std::min(a.y1, b.y1);
  if (a.x0 < b.x0) out[n++] = {a.x0, top, b.x0, bottom};
  if (b.x1 < a.x1) out[n++] = {b.x1, top, a.x1, bottom};
  return n;
}

std::vector<PixelRect>& scratchRects() {
  thread_local std::vector<PixelRect> rects;
  return rects;
}

BandScratch& scratchBands() {
  thread_local BandScratch bands;
  return bands;
}

}  // namespace

ClipLists::ClipLists() : rects_(scratchRects()), bands_(scratchBands()) { rects_.clear(); }

void ClipLists::push(const PixelRect& r, ClipList& l) {
  if (r.empty()) return;
  rects_.push_back(r);
  l.maxWidth = std::max(l.maxWidth, r.x1 - r.x0);
  const PixelRect& b = l.bounds;
  l.bounds = b.empty() ? r
                       : PixelRect{std::min(b.x0, r.x0), std::min(b.y0, r.y0), std::max(b.x1, r.x1), std::max(b.y1, r.y1)};
}

void ClipLists::sortIfLarge(ClipList& l) {
  if (l.size() <= kSortedFrom) return;
  std::sort(rects_.begin() + static_cast<ptrdiff_t>(l.begin), rects_.begin() + static_cast<ptrdiff_t>(l.end),
            [](const PixelRect& a, const PixelRect& b) { return a.x0 < b.x0; });
  l.sorted = true;
}

ClipList ClipLists::of(const Region* region, const PixelRect& bounds) {
  ClipList all = start(false);
  if (!region || region->isEverything()) {
    push(bounds, all);
  } else {
    for (const PixelRect& r : region->rects()) push(intersect(r, bounds), all);
  }
  all.end = rects_.size();
  sortIfLarge(all);
  return all;
}

ClipList ClipLists::within(const ClipList& in, const PixelRect& r) {
  if (contains(r, in.bounds)) return in;
  ClipList out = start(in.sorted);
  if (!overlaps(r, in.bounds)) return out;
  for (size_t i = in.begin; i < in.end; ++i) push(intersect(rects_[i], r), out);
  out.end = rects_.size();
  return out;
}

ClipList ClipLists::without(const ClipList& in, const PixelRect& r) {
  if (!overlaps(r, in.bounds)) return in;
  ClipList out = start(false);
  if (contains(r, in.bounds)) return out;
  PixelRect pieces[4];
  for (size_t i = in.begin; i < in.end; ++i) {
    const int n = subtract(rects_[i], r, pieces);
    for (int k = 0; k < n; ++k) push(pieces[k], out);
  }
  out.end = rects_.size();
  sortIfLarge(out);
  return out;
}

ClipList ClipLists::meeting(const ClipList& in, const PixelRect& f) {
  ClipList out = start(false);
  if (f.empty() || !overlaps(f, in.bounds)) return out;
  size_t i = in.begin;
  if (in.sorted) {
    const int from = f.x0 - in.maxWidth;
    i = static_cast<size_t>(std::partition_point(rects_.begin() + static_cast<ptrdiff_t>(in.begin),
                                                 rects_.begin() + static_cast<ptrdiff_t>(in.end),
                                                 [&](const PixelRect& r) { return r.x0 <= from; }) -
                            rects_.begin());
  }
  for (; i < in.end; ++i) {
    const PixelRect r = rects_[i];
    if (in.sorted && r.x0 >= f.x1) break;
    if (!overlaps(r, f)) continue;
    if (contains(r, f)) {
      rects_.resize(out.begin);
      rects_.push_back(r);
      out.end = out.begin + 1;
      return out;
    }
    rects_.push_back(r);
  }
  out.end = rects_.size();
  return out;
}

// The hits cut to `f`, swept into bands; the pieces follow them in the scratch.
ClipList ClipLists::disjointMeeting(const ClipList& in, const PixelRect& f) {
  const ClipList hits = meeting(in, f);
  if (hits.size() <= 1) return hits;
  for (size_t i = hits.begin; i < hits.end; ++i) rects_[i] = intersect(rects_[i], f);
  const size_t count = hits.size();
  // Pieces are appended while the hits are read: the sweep reads a copy of them.
  std::vector<PixelRect>& hitsCopy = bands_.rects;
  hitsCopy.assign(rects_.begin() + static_cast<ptrdiff_t>(hits.begin), rects_.begin() + static_cast<ptrdiff_t>(hits.end));
  ClipList out = start(false);
  sweepBands(hitsCopy.data(), count, bands_, [&](const PixelRect& piece) { rects_.push_back(piece); });
  out.end = rects_.size();
  return out;
}

}  // namespace kyv::paint
