#pragma once
// What the direct canvas needs from cairo, obtained from cairo itself once and kept: the
// pixels a line of each shape sets, and each caption's glyph coverage. Also the one
// definition of how a line is stroked, used by both canvases.
#include <cairo.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kyv/palette.h"
#include "kyv/region.h"
#include "text_layout.h"

namespace kyv::raster {

// Pixels [x0, x1) of row dy, relative to the line's first end, and `count` - 1 more runs
// like it, each (stepX, stepY) further on: a dotted line is a handful of these. Runs along
// a row have stepY 0 and stepX at least their length; runs down a column have stepX 0.
struct Run {
  int dy, x0, x1;
  int count = 1, stepX = 0, stepY = 0;
};

// A line's shape: everything but its position. Ends on pixel corners (the stroke runs
// through pixel centres when its width is odd), a width and a dash unit in whole pixels,
// a line style from 1 to 6 (solid, dash, dot, dash-dot, dash-dot-dot, inside solid).
struct LineShape {
  int dx, dy, style, width, unit;
  bool operator==(const LineShape&) const = default;
};

// The pixels cairo sets when it strokes a line of one shape, relative to the line's first
// end, and their bounds.
struct Stamp {
  std::vector<Run> runs;
  PixelRect bounds;
};

// Whether a line of this shape, moved by whole pixels, sets the same pixels moved by as
// much: solid lines, and dashed ones that are level or upright. Cairo places the dashes
// of a slanted line in floating point from its ends.
bool stampable(const LineShape& s);
// The stamp of a stampable shape, rasterized by cairo once per thread and kept; null when
// the shape is too large to keep.
const Stamp* stampOf(const LineShape& s);

// The pixels cairo sets when it strokes a line of shape `s` with its first end at pixel
// corner (x, y), unclipped, relative to that end; nullopt when the line is too large for a
// scratch image. Made anew each time: for shapes that are not stampable, whose pixels
// cairo may set otherwise when it strokes them clipped.
std::optional<Stamp> stampAt(const LineShape& s, int x, int y);

// Strokes a line of `style` from (x1, y1) to (x2, y2), pixel corners, `width` pixels wide
// with dashes in units of `unit` pixels, in the current source.
void stroke(cairo_t* cr, double x1, double y1, double x2, double y2, int style, double width, double unit);

// A caption as cairo lays it out and draws it in one font (see text::Layout).
using Text = text::Layout;

// The caption in `family` (bold or not) at `size` pixels, measured and drawn by cairo
// once per thread and kept. The reference holds until the next call.
const Text& textOf(std::string_view family, bool bold, double size, std::string_view caption);
// Selects the font the renderer draws and measures captions in: `family`, bold or not,
// `size` pixels.
void selectFont(cairo_t* cr, const std::string& family, bool bold, double size);
// Draws a caption as cairo draws it, the left end of its baseline at (x, y).
void showText(cairo_t* cr, const std::string& family, bool bold, double size, const std::string& caption, double x,
              double y);

// Pixel arithmetic of cairo's ARGB32: an opaque pixel of colour 0x00BBGGRR, and `dst`
// moved towards the opaque `src` by `coverage`, rounded as pixman rounds.
inline uint32_t opaque(uint32_t bgr) { return 0xFF000000u | swapRedBlue(bgr); }
// src IN coverage OVER dst, channel by channel: each channel a * b / 255 rounded as
// pixman rounds, the four worked out at once, 16 bits apart, where a * b + 0x80 and the
// rounding step stay below 2^16. Inline: it runs for every edge pixel of a caption.
inline uint32_t over(uint32_t src, uint32_t dst, uint32_t coverage) {
  constexpr uint64_t kLanes = 0x00FF00FF00FF00FFull, kHalf = 0x0080008000800080ull;
  const auto spread = [](uint64_t v) {
    return (v & 0xFF) | (v & 0xFF00) << 8 | (v & 0xFF0000) << 16 | (v & 0xFF000000) << 24;
  };
  const auto multiply = [&](uint64_t lanes, uint64_t b) {
    const uint64_t t = lanes * b + kHalf;
    return ((t >> 8 & kLanes) + t) >> 8 & kLanes;
  };
  const uint64_t r = multiply(spread(src), coverage) + multiply(spread(dst), 255 - coverage);
  return static_cast<uint32_t>((r & 0xFF) | (r >> 8 & 0xFF00) | (r >> 16 & 0xFF0000) | (r >> 24 & 0xFF000000));
}

}  // namespace kyv::raster
