#include "kyv/text.h"

#include <cairo.h>

#include <cmath>

#include "kyv/render.h"

namespace kyv {

// Whole pixels at the reference resolution: the advance for the width, ascent plus
// descent for the height.
TextSize measureText(std::string_view text, const std::string& family, int weight, float points) {
  static cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  cairo_select_font_face(cr, family.c_str(), CAIRO_FONT_SLANT_NORMAL,
                         weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, points * 20.0 / kReferenceTwipsPerPixel);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  const std::string s(text);
  cairo_text_extents_t te;
  cairo_text_extents(cr, s.c_str(), &te);
  cairo_destroy(cr);
  const auto twips = [](double px) { return static_cast<float>(std::ceil(px) * kReferenceTwipsPerPixel); };
  return {twips(te.x_advance), twips(fe.ascent + fe.descent)};
}

}  // namespace kyv
