#include "clip_lists.h"

#include <algorithm>

namespace kyv::paint {
namespace {

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

// The hits cut to `f`, swept into bands; the pieces follow them in the scratch.
ClipList ClipLists::disjointMeeting(const ClipList& in, const PixelRect& f) {
  const ClipList hits = meeting(in, f);
  if (hits.size() <= 1) return hits;
  for (size_t i = hits.begin; i < hits.end; ++i) rects_[i] = intersect(rects_[i], f);
  const size_t count = hits.size();
  // Pieces are appended while the hits are read: the sweep reads a copy of them.
  std::vector<PixelRect>& hitsCopy = bands_.rects;
  hitsCopy.assign(rects_.begin() + static_cast<ptrdiff_t>(hits.begin),
                  rects_.begin() + static_cast<ptrdiff_t>(hits.end));
  ClipList out = start(false);
  sweepBands(hitsCopy.data(), count, bands_, [&](const PixelRect& piece) { rects_.push_back(piece); });
  out.end = rects_.size();
  return out;
}

}  // namespace kyv::paint
