#pragma once
// Direct rasterization for the renderer: when a control is painted into a plain image
// surface, its rectangles and lines are written straight into the surface's pixels, with
// exactly the pixels cairo would set, at a fraction of cairo's cost per call.
#include <cairo.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kyv::raster {

// Device pixels [x0, x1) x [y0, y1).
struct PixelRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x0 >= x1 || y0 >= y1; }
};
PixelRect intersect(const PixelRect& a, const PixelRect& b);

struct Run;

// A line as the renderer draws it: ends on pixel corners (the stroke runs through pixel
// centres when its width is odd), a width and a dash unit in whole pixels, a line style
// from 1 to 6 (solid, dash, dot, dash-dot, dash-dot-dot, inside solid).
struct Line {
  int x1, y1, x2, y2;
  int style;
  int width, unit;
};

// Strokes a line of `style` from (x1, y1) to (x2, y2), pixel corners, `width` pixels wide
// with dashes in units of `unit` pixels, in the current source: the one definition of a
// line's cap, dash pattern and placement, for both ways of painting.
void stroke(cairo_t* cr, double x1, double y1, double x2, double y2, int style, double width, double unit);

// A caption as cairo lays it out and draws it in one font: its advance and the font's
// ascent in pixels, and the coverage of its glyphs (0 to 255, summed where glyphs
// overlap) in a `width` x `height` box whose top-left corner lies at (x, y) from the left
// end of the baseline. `kept` is false for a caption too large to keep a copy of.
struct Text {
  double advance = 0, ascent = 0;
  int x = 0, y = 0, width = 0, height = 0;
  std::vector<uint8_t> coverage;
  bool kept = true;
};

// The caption in `family` (bold or not) at `size` pixels, measured and drawn by cairo
// once per thread and kept.
const Text& textOf(const std::string& family, bool bold, double size, const std::string& caption);

// The pixels of the image a context paints into, with the clip in force, in the
// context's user space.
class PixelTarget {
 public:
  // The target of `cr` when painting into it directly gives cairo's pixels: an ARGB32 or
  // RGB24 image, drawn into with OVER at an integer offset and no group pushed, clipped
  // to at most one pixel-aligned rectangle. Clips `cr` to `extent` on the way (the
  // caller restores the context). Flushes the surface, as direct access requires.
  static std::optional<PixelTarget> of(cairo_t* cr, const PixelRect& extent);

  const PixelRect& clip() const { return clip_; }
  void setClip(const PixelRect& clip) { clip_ = clip; }

  // Fills `r` (within the clip) with the opaque colour 0x00BBGGRR.
  void fill(const PixelRect& r, uint32_t bgr);
  // Draws `line` within the clip; false, drawing nothing, for a line this path cannot
  // copy exactly (slanted and dashed, or too large to rasterize on the side), which the
  // caller strokes with cairo.
  bool draw(const Line& line, uint32_t bgr);
  // Draws `text` with the left end of its baseline at (x, y), within the clip, as cairo
  // draws text in an opaque colour: each pixel moves towards the colour by its coverage.
  void draw(const Text& text, int x, int y, uint32_t bgr);
  // Whether the context leaves text to cairo's defaults (no font options of its own), so
  // that text drawn here looks as cairo would draw it.
  bool plainText() const { return plainText_; }
  // Tells cairo which pixels were written.
  void markDirty() const;

 private:
  PixelTarget() = default;
  void fillRow(int y, int x0, int x1, uint32_t argb);
  // Fills `run` of a stamp placed at (x, y), within the clip.
  void fillRun(int x, int y, const Run& run, uint32_t argb);

  cairo_surface_t* surface_ = nullptr;
  unsigned char* data_ = nullptr;
  int stride_ = 0;         // bytes a row
  int dx_ = 0, dy_ = 0;    // device position of the user-space origin
  PixelRect clip_;         // user space, within the surface
  PixelRect painted_;      // user space, the extent clipped once
  bool plainText_ = false;
};

}  // namespace kyv::raster
