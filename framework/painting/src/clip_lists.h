#pragma once
// The algebra of clip lists: the rectangles one box may paint within, cut to a box, less
// what its opaque children cover, or narrowed to what one element meets. Every list is a
// stretch of one scratch vector of rectangles per thread, so that painting allocates
// nothing once the vector has grown; a caller takes a mark before making lists and
// releases it when done with them.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "bands.h"
#include "canvas.h"
#include "kyv/region.h"

namespace kyv::paint {

// A stretch [begin, end) of the scratch rectangles. Sorted lists are in order of x0, with
// none wider than maxWidth, so that the rectangles an element meets are found by a binary
// search.
struct ClipList {
  size_t begin = 0, end = 0;
  bool sorted = false;
  int maxWidth = 0;
  PixelRect bounds;  // of all its rectangles
  bool empty() const { return begin == end; }
  size_t size() const { return end - begin; }
};

class ClipLists {
 public:
  // Starts on the thread's scratch rectangles, emptied.
  ClipLists();
  ClipLists(const ClipLists&) = delete;
  ClipLists& operator=(const ClipLists&) = delete;

  // The place to come back to: release(mark()) drops every list made since.
  size_t mark() const { return rects_.size(); }
  void release(size_t mark) { rects_.resize(mark); }
  // Keeps a rectangle that belongs to no list (the caller reads it back with at()).
  size_t keep(const PixelRect& r) {
    rects_.push_back(r);
    return rects_.size() - 1;
  }
  const PixelRect& at(size_t i) const { return rects_[i]; }
  Clips clips(const ClipList& l) const { return {rects_.data() + l.begin, l.size()}; }

  // The rectangles of `region` cut to `bounds` (all of `bounds` when `region` is null or
  // everything).
  ClipList of(const Region* region, const PixelRect& bounds);
  // The rectangles of `in` cut to `r`: `in` itself when `r` holds them all, none at once
  // when `r` misses their bounds.
  ClipList within(const ClipList& in, const PixelRect& r);
  // The rectangles of `in` less what `r` covers: `in` itself when `r` misses them, none
  // at once when `r` covers their bounds.
  ClipList without(const ClipList& in, const PixelRect& r);
  // The rectangles of `in` that meet `f`; just one when one holds all of `f`.
  ClipList meeting(const ClipList& in, const PixelRect& f);
  // The pixels of `f` that rectangles of `in` cover, as rectangles that do not overlap.
  ClipList disjointMeeting(const ClipList& in, const PixelRect& f);

 private:
  ClipList start(bool sorted) const { return {rects_.size(), rects_.size(), sorted, 0, {}}; }
  void push(const PixelRect& r, ClipList& l);
  void sortIfLarge(ClipList& l);

  std::vector<PixelRect>& rects_;
  BandScratch& bands_;
};

namespace clip {
// Lists with more rectangles than this are kept sorted.
constexpr size_t kSortedFrom = 8;

// The rectangles of `a` that `b` does not cover, at most four, into `out`; returns how many.
inline int subtract(const PixelRect& a, const PixelRect& b, PixelRect* out) {
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

}  // namespace clip

// Defined here, not in clip_lists.cpp: the painter calls them for every element, and
// inlined they cost no call.
inline void ClipLists::push(const PixelRect& r, ClipList& l) {
  if (r.empty()) return;
  rects_.push_back(r);
  l.maxWidth = std::max(l.maxWidth, r.x1 - r.x0);
  const PixelRect& b = l.bounds;
  l.bounds =
      b.empty() ? r : PixelRect{std::min(b.x0, r.x0), std::min(b.y0, r.y0), std::max(b.x1, r.x1), std::max(b.y1, r.y1)};
}

inline void ClipLists::sortIfLarge(ClipList& l) {
  if (l.size() <= clip::kSortedFrom) return;
  std::sort(rects_.begin() + static_cast<ptrdiff_t>(l.begin), rects_.begin() + static_cast<ptrdiff_t>(l.end),
            [](const PixelRect& a, const PixelRect& b) { return a.x0 < b.x0; });
  l.sorted = true;
}

inline ClipList ClipLists::of(const Region* region, const PixelRect& bounds) {
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

inline ClipList ClipLists::within(const ClipList& in, const PixelRect& r) {
  if (contains(r, in.bounds)) return in;
  ClipList out = start(in.sorted);
  if (!overlaps(r, in.bounds)) return out;
  for (size_t i = in.begin; i < in.end; ++i) push(intersect(rects_[i], r), out);
  out.end = rects_.size();
  return out;
}

inline ClipList ClipLists::without(const ClipList& in, const PixelRect& r) {
  if (!overlaps(r, in.bounds)) return in;
  ClipList out = start(false);
  if (contains(r, in.bounds)) return out;
  PixelRect pieces[4];
  for (size_t i = in.begin; i < in.end; ++i) {
    const int n = clip::subtract(rects_[i], r, pieces);
    for (int k = 0; k < n; ++k) push(pieces[k], out);
  }
  out.end = rects_.size();
  sortIfLarge(out);
  return out;
}

inline ClipList ClipLists::meeting(const ClipList& in, const PixelRect& f) {
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

}  // namespace kyv::paint
