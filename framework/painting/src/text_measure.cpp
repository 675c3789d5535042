// The text engine of the element layer, made of cairo: measuring a caption at the
// reference resolution, and the glyph cache the direct canvas draws from. Installed while
// the library loads.
#include <cairo.h>

#include <cmath>

#include "raster.h"
#include "text_layout.h"

namespace kyv {
namespace {

// Whole pixels at the reference resolution: the advance for the width, ascent plus
// descent for the height.
TextSize measure(std::string_view text, const std::string& family, int weight, float points) {
  static cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  raster::selectFont(cr, family, text::isBold(weight), text::pixelSize(points, kReferenceTwipsPerPixel));
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  const std::string s(text);
  cairo_text_extents_t te;
  cairo_text_extents(cr, s.c_str(), &te);
  cairo_destroy(cr);
  const auto twips = [](double px) { return static_cast<float>(std::ceil(px) * kReferenceTwipsPerPixel); };
  return {twips(te.x_advance), twips(fe.ascent + fe.descent)};
}

[[maybe_unused]] const bool installed = (text::install({&measure, &raster::textOf}), true);

}  // namespace
}  // namespace kyv
