#pragma once
// The algebra of clip lists: the rectangles one box may paint within, cut to a box, less
// what its opaque children cover, or narrowed to what one element meets. Every list is a
// stretch of one scratch vector of rectangles per thread, so that painting allocates
// nothing once the vector has grown; a caller takes a mark before making lists and
// releases it when done with them.
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

}  // namespace kyv::paint
