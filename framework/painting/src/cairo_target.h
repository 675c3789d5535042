#pragma once
// Working out what is behind a cairo context: whether the renderer may write its pixels
// itself (and where), and how a direct canvas over them falls back to the context.
#include <cairo.h>

#include <optional>

#include "canvas.h"
#include "kyv/region.h"

namespace kyv::paint {

// The pixels behind a context when painting into them directly gives cairo's pixels: an
// ARGB32 or RGB24 image, drawn into with OVER at a whole-pixel offset with no group
// pushed, clipped to at most one pixel-aligned rectangle, and text left to cairo's
// defaults.
struct DirectTarget {
  unsigned char* data;
  int stride, originX, originY;
  PixelRect bounds;  // the control's pixels
};

// The direct target behind `cr` for a control whose pixels are `extent`; nullopt when
// only cairo may draw there.
std::optional<DirectTarget> directTarget(cairo_t* cr, const PixelRect& extent);

// The fallback of a direct canvas over a cairo context's own target: that context.
class ContextFallback final : public CairoFallback {
 public:
  ContextFallback(cairo_t* cr, int originX, int originY) : cr_(cr), originX_(originX), originY_(originY) {}
  // The canvas places the control at its origin in the image: undoes the context's own
  // translation for the time of the call.
  cairo_t* context() override;

 private:
  cairo_t* cr_;
  int originX_, originY_;
  bool prepared_ = false;
};

}  // namespace kyv::paint
