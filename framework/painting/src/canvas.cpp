#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kyv::paint {

void setColour(cairo_t* cr, uint32_t bgr) {
  cairo_set_source_rgb(cr, redOf(bgr) / 255.0, greenOf(bgr) / 255.0, blueOf(bgr) / 255.0);
}

namespace {

// The first i >= 0 with a + i * step >= b, for step > 0.
int firstReaching(int a, int b, int step) {
  if (a >= b) return 0;
  return (b - a + step - 1) / step;
}

}  // namespace

// ---- PixelCanvas --------------------------------------------------------------------------

PixelCanvas::PixelCanvas(unsigned char* data, int stride, int originX, int originY, const PixelRect& bounds,
                         CairoFallback& fallback)
    : data_(data), stride_(stride), originX_(originX), originY_(originY), bounds_(bounds), fallback_(fallback) {}

// Cairo caches nothing of an image it did not draw, but is told of the pixels written
// behind its back once it has drawn.
PixelCanvas::~PixelCanvas() {
  if (!usedCairo_) return;
  cairo_surface_t* s = cairo_get_target(fallback_.context());
  cairo_surface_mark_dirty(s);
}

namespace {

// Writes in blocks of four pixels, the last block overlapping the one before; runs under
// four pixels, as lines come in, one by one.
struct Block {
  uint32_t pixels[4];
};

inline void fillRow(uint32_t* p, int width, uint32_t argb) {
  if (width < 4) {
    for (int i = 0; i < width; ++i) p[i] = argb;
    return;
  }
  const Block block{{argb, argb, argb, argb}};
  uint32_t* const end = p + width;
  for (; p + 8 <= end; p += 8) {
    std::memcpy(p, &block, sizeof block);
    std::memcpy(p + 4, &block, sizeof block);
  }
  if (p + 4 <= end) {
    std::memcpy(p, &block, sizeof block);
    p += 4;
  }
  if (p < end) std::memcpy(end - 4, &block, sizeof block);
}

// `count` runs of `width` pixels, each `next` pixels after the one before: narrow columns,
// as damage along lines comes in, with a loop of their own.
inline void fillRepeats(uint32_t* p, int count, ptrdiff_t next, int width, uint32_t argb) {
  if (width == 1) {
    for (int i = 0; i < count; ++i, p += next) *p = argb;
    return;
  }
  if (width >= 4 && width <= 8) {
    const Block block{{argb, argb, argb, argb}};
    const int tail = width - 4;
    for (int i = 0; i < count; ++i, p += next) {
      std::memcpy(p, &block, sizeof block);
      std::memcpy(p + tail, &block, sizeof block);
    }
    return;
  }
  for (int i = 0; i < count; ++i, p += next) fillRow(p, width, argb);
}

}  // namespace

void PixelCanvas::fillRect(const PixelRect& r, uint32_t argb) {
  fillRepeats(row(r.y0) + r.x0, r.y1 - r.y0, stride_ / 4, r.x1 - r.x0, argb);
}

void PixelCanvas::fill(const PixelRect& r, uint32_t bgr, Clips clips) {
  const uint32_t argb = raster::opaque(bgr);
  const PixelRect area = intersect(r, bounds_);
  if (area.empty()) return;
  for (size_t i = 0; i < clips.count; ++i) {
    const PixelRect c = intersect(area, clips.rects[i]);
    if (!c.empty()) fillRect(c, argb);
  }
}

// Runs along a row repeat at stepX, runs down a column at stepY: only the repeats that
// meet the clip are visited, and only the first and last of them can be cut. A stamp that
// lies in the clip is copied without a test.
void PixelCanvas::stamp(const raster::Stamp& s, int x, int y, const PixelRect& clip, uint32_t argb) {
  const PixelRect where{x + s.bounds.x0, y + s.bounds.y0, x + s.bounds.x1, y + s.bounds.y1};
  if (!overlaps(where, clip)) return;
  const ptrdiff_t step = stride_ / 4;
  if (contains(clip, where)) {
    uint32_t* origin = row(y) + x;
    for (const raster::Run& run : s.runs)
      fillRepeats(origin + run.dy * step + run.x0, run.count, run.stepY * step + run.stepX, run.x1 - run.x0, argb);
    return;
  }
  for (const raster::Run& run : s.runs) {
    const int x0 = x + run.x0, x1 = x + run.x1, top = y + run.dy;
    if (run.stepY == 0) {
      if (top < clip.y0 || top >= clip.y1) continue;
      uint32_t* p = row(top);
      if (run.count == 1) {
        const int a = std::max(x0, clip.x0), b = std::min(x1, clip.x1);
        if (a < b) fillRow(p + a, b - a, argb);
        continue;
      }
      const int first = firstReaching(x1, clip.x0 + 1, run.stepX);
      const int end = std::min(run.count, firstReaching(x0, clip.x1, run.stepX));
      if (run.x1 - run.x0 == 1) {  // dots: every one from first to end lies in the clip
        for (int i = first, at = x0 + first * run.stepX; i < end; ++i, at += run.stepX) p[at] = argb;
        continue;
      }
      for (int i = first; i < end; ++i) {
        const int a = std::max(x0 + i * run.stepX, clip.x0), b = std::min(x1 + i * run.stepX, clip.x1);
        if (a < b) fillRow(p + a, b - a, argb);
      }
      continue;
    }
    const int a = std::max(x0, clip.x0), b = std::min(x1, clip.x1);
    if (a >= b) continue;
    const int first = firstReaching(top, clip.y0, run.stepY);
    const int end = std::min(run.count, firstReaching(top, clip.y1, run.stepY));
    if (first < end) fillRepeats(row(top + first * run.stepY) + a, end - first, run.stepY * step, b - a, argb);
  }
}

template <class Draw>
void PixelCanvas::onCairo(Clips clips, Draw&& draw) {
  cairo_t* cr = fallback_.context();
  if (!cr) return;
  if (!usedCairo_) {
    cairo_surface_mark_dirty(cairo_get_target(cr));
    usedCairo_ = true;
  }
  for (size_t i = 0; i < clips.count; ++i) {
    const PixelRect c = intersect(clips.rects[i], bounds_);
    if (c.empty()) continue;
    cairo_save(cr);
    cairo_translate(cr, originX_, originY_);
    cairo_rectangle(cr, c.x0, c.y0, c.x1 - c.x0, c.y1 - c.y0);
    cairo_clip(cr);
    draw(cr);
    cairo_restore(cr);
  }
  cairo_surface_flush(cairo_get_target(cr));
}

void PixelCanvas::stampWithin(const raster::Stamp& s, int x, int y, Clips clips, uint32_t argb) {
  for (size_t i = 0; i < clips.count; ++i) {
    const PixelRect c = intersect(clips.rects[i], bounds_);
    if (!c.empty()) stamp(s, x, y, c, argb);
  }
}

void PixelCanvas::line(const DeviceLine& l, uint32_t bgr, Clips clips) {
  if (l.style == 0) return;
  const bool inRange = inPixelRange(l.x1) && inPixelRange(l.y1) && inPixelRange(l.x2) && inPixelRange(l.y2) &&
                       inPixelRange(l.width) && inPixelRange(l.unit);
  if (inRange) {
    const int x1 = static_cast<int>(l.x1), y1 = static_cast<int>(l.y1);
    const raster::LineShape shape{static_cast<int>(l.x2) - x1, static_cast<int>(l.y2) - y1, l.style,
                                  static_cast<int>(l.width), static_cast<int>(l.unit)};
    if (raster::stampable(shape)) {
      // Grid lines come in shapes of a kind: the last one looked up is kept at hand.
      if (!(shape == lastShape_) || !lastStamp_) {
        lastShape_ = shape;
        lastStamp_ = raster::stampOf(shape);
      }
      if (const raster::Stamp* s = lastStamp_) {
        stampWithin(*s, x1, y1, clips, raster::opaque(bgr));
        return;
      }
    } else if (const std::optional<raster::Stamp> s = raster::stampAt(shape, x1, y1)) {
      // Stroked by cairo within each clip, a slanted dashed line may set other pixels than
      // stroked whole: a part repainted would not match the picture painted at once.
      stampWithin(*s, x1, y1, clips, raster::opaque(bgr));
      return;
    }
  }
  onCairo(clips, [&](cairo_t* cr) {
    setColour(cr, bgr);
    raster::stroke(cr, l.x1, l.y1, l.x2, l.y2, l.style, l.width, l.unit);
  });
}

void PixelCanvas::text(const PlacedText& t, const std::string& family, const std::string& caption, uint32_t bgr,
                       Clips clips) {
  const raster::Text& g = *t.text;
  const bool direct = g.kept && t.left == std::floor(t.left) && inPixelRange(t.left) && inPixelRange(t.baseline);
  if (!direct) {
    onCairo(clips, [&](cairo_t* cr) {
      setColour(cr, bgr);
      raster::showText(cr, family, t.bold, t.size, caption, t.left, t.baseline);
    });
    return;
  }
  const int x = static_cast<int>(t.left) + g.x, y = static_cast<int>(t.baseline) + g.y;
  const PixelRect ink = intersect({x, y, x + g.width, y + g.height}, bounds_);
  const uint32_t argb = raster::opaque(bgr);
  for (size_t i = 0; i < clips.count; ++i) {
    const PixelRect box = intersect(ink, clips.rects[i]);
    if (box.empty()) continue;
    for (int r = box.y0; r < box.y1; ++r) {
      const uint8_t* cover = g.coverage.data() + static_cast<ptrdiff_t>(r - y) * g.width - x;
      uint32_t* p = row(r);
      for (int col = box.x0; col < box.x1; ++col) {
        const uint32_t c = cover[col];
        if (c == 255)
          p[col] = argb;
        else if (c)
          p[col] = raster::over(argb, p[col], c);
      }
    }
  }
}

// ---- CairoCanvas ----------------------------------------------------------------------------

CairoCanvas::CairoCanvas(cairo_t* cr) : cr_(cr) {}

CairoCanvas::~CairoCanvas() {
  if (clipped_) cairo_restore(cr_);
}

PixelRect CairoCanvas::bounds() const {
  const int far = static_cast<int>(kClamp);
  return {-far, -far, far, far};
}

void CairoCanvas::clipTo(const PixelRect& r) {
  if (clipped_ && r == clip_) return;
  if (clipped_) cairo_restore(cr_);
  cairo_save(cr_);
  cairo_rectangle(cr_, r.x0, r.y0, static_cast<double>(r.x1) - r.x0, static_cast<double>(r.y1) - r.y0);
  cairo_clip(cr_);
  clip_ = r;
  clipped_ = true;
}

void CairoCanvas::fill(const PixelRect& r, uint32_t bgr, Clips clips) {
  if (r.empty()) return;
  for (size_t i = 0; i < clips.count; ++i) {
    if (!overlaps(r, clips.rects[i])) continue;
    clipTo(clips.rects[i]);
    cairo_rectangle(cr_, r.x0, r.y0, static_cast<double>(r.x1) - r.x0, static_cast<double>(r.y1) - r.y0);
    setColour(cr_, bgr);
    cairo_fill(cr_);
  }
}

void CairoCanvas::line(const DeviceLine& l, uint32_t bgr, Clips clips) {
  if (l.style == 0) return;
  for (size_t i = 0; i < clips.count; ++i) {
    clipTo(clips.rects[i]);
    cairo_save(cr_);
    setColour(cr_, bgr);
    raster::stroke(cr_, l.x1, l.y1, l.x2, l.y2, l.style, l.width, l.unit);
    cairo_restore(cr_);
  }
}

void CairoCanvas::text(const PlacedText& t, const std::string& family, const std::string& caption, uint32_t bgr,
                       Clips clips) {
  for (size_t i = 0; i < clips.count; ++i) {
    clipTo(clips.rects[i]);
    cairo_save(cr_);
    setColour(cr_, bgr);
    raster::showText(cr_, family, t.bold, t.size, caption, t.left, t.baseline);
    cairo_restore(cr_);
  }
}

}  // namespace kyv::paint
