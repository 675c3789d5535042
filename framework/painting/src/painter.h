#pragma once
// The painter: walks a control's element tree in paint order, rounds its geometry to
// device pixels and draws through a canvas. Each box paints within a clip list: the
// region asked for, cut to the box; a box's own layers leave out what its opaque children
// cover.
#include "canvas.h"
#include "clip_lists.h"
#include "geometry.h"
#include "kyv/control.h"
#include "kyv/palette.h"

namespace kyv::paint {

class Painter {
 public:
  Painter(Canvas& canvas, double tpp, const Palette& palette) : canvas_(canvas), scale_{tpp}, palette_(palette) {}

  // Paints the control within `region` (everything when null).
  void paint(Control& control, const Region* region);

 private:
  // The steps below are inline, defined in painter.cpp alone: they run for every element
  // of every paint, and a call each would cost more than some of them.
  uint32_t colour(Colour c) const { return resolveColour(c, palette_); }
  // Whether a twips rectangle, widened by `reach` pixels at the reference resolution each
  // way, may meet the rectangles of `l`: a test without a division, before the exact one.
  inline bool mayMeet(const ClipList& l, double x, double y, double w, double h, int reach) const;
  // The rectangle a child box or embedded control paints over, opaquely.
  inline PixelRect opaqueRect(const Element& e, double ix, double iy) const;

  // Paints box `b`, whose top-left corner is at (x, y) twips and whose pixels are `outer`.
  void box(const Container& b, double x, double y, const PixelRect& outer, const ClipList& in);
  // The box's background and what is drawn on it (lightweight elements, then drawn lines),
  // within `own`: what its children do not cover.
  inline void background(const Container& b, double ix, double iy, const PixelRect& outer, const PixelRect& interior,
                         const ClipList& own);
  inline void drawnLines(const Container& b, double ix, double iy, const PixelRect& interior, const ClipList& own);
  // Child boxes and embedded controls in stacking order; their pixels start at `kids`.
  inline void children(const Container& b, double ix, double iy, size_t kids, const ClipList& inside);
  inline void lightweightElement(const Element& e, double ix, double iy, const PixelRect& interior,
                                 const ClipList& own);
  inline void shape(const Shape& s, double ix, double iy, const PixelRect& interior, const ClipList& own);
  inline void image(const Image& i, double ix, double iy, const PixelRect& interior, const ClipList& own);
  inline void line(const LineElement& l, double ix, double iy, const PixelRect& interior, const ClipList& own);
  inline void label(const Label& l, double ix, double iy, const PixelRect& interior, const ClipList& own);
  inline void border(const PixelRect& r, const ClipList& in);

  Canvas& canvas_;
  Scale scale_;
  const Palette& palette_;
  ClipLists lists_;
};

}  // namespace kyv::paint
