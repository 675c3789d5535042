#include "cairo_target.h"

#include <cmath>
#include <cstdint>

namespace kyv::paint {
namespace {

bool whole(double v) { return std::abs(v) <= (1 << 24) && v == std::floor(v); }

// An image surface of a format the direct canvas writes, drawn into with OVER.
bool plainImage(cairo_t* cr, cairo_surface_t* surface) {
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS || cairo_get_group_target(cr) != surface) return false;
  if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return false;
  const cairo_format_t format = cairo_image_surface_get_format(surface);
  return (format == CAIRO_FORMAT_ARGB32 || format == CAIRO_FORMAT_RGB24) &&
         cairo_get_operator(cr) == CAIRO_OPERATOR_OVER;
}

// A whole-pixel translation, with no device offset or scale on the surface.
bool wholePixelOffset(cairo_t* cr, cairo_surface_t* surface, cairo_matrix_t& m) {
  double offsetX, offsetY, scaleX, scaleY;
  cairo_surface_get_device_offset(surface, &offsetX, &offsetY);
  cairo_surface_get_device_scale(surface, &scaleX, &scaleY);
  cairo_get_matrix(cr, &m);
  if (offsetX != 0 || offsetY != 0 || scaleX != 1 || scaleY != 1) return false;
  return m.xx == 1 && m.yy == 1 && m.xy == 0 && m.yx == 0 && whole(m.x0) && whole(m.y0);
}

bool defaultFontOptions(cairo_t* cr) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_t* defaults = cairo_font_options_create();
  cairo_get_font_options(cr, options);
  const bool plain = cairo_font_options_equal(options, defaults);
  cairo_font_options_destroy(options);
  cairo_font_options_destroy(defaults);
  return plain;
}

// The context's clip within `extent`, when it is one pixel-aligned rectangle or none
// (an empty rectangle then).
std::optional<PixelRect> simpleClip(cairo_t* cr, const PixelRect& extent) {
  cairo_save(cr);
  cairo_rectangle(cr, extent.x0, extent.y0, static_cast<double>(extent.x1) - extent.x0,
                  static_cast<double>(extent.y1) - extent.y0);
  cairo_clip(cr);
  cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(cr);
  cairo_restore(cr);
  const bool simple = list->status == CAIRO_STATUS_SUCCESS && list->num_rectangles <= 1;
  PixelRect clip;
  if (simple && list->num_rectangles == 1) {
    const cairo_rectangle_t& r = list->rectangles[0];
    if (whole(r.x) && whole(r.y) && whole(r.width) && whole(r.height))
      clip = {static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.x + r.width),
              static_cast<int>(r.y + r.height)};
    else
      clip = {0, 0, -1, -1};
  }
  cairo_rectangle_list_destroy(list);
  if (!simple || clip.x1 < clip.x0) return std::nullopt;
  return clip;
}

}  // namespace

std::optional<DirectTarget> directTarget(cairo_t* cr, const PixelRect& extent) {
  cairo_surface_t* surface = cairo_get_target(cr);
  cairo_matrix_t m;
  if (!plainImage(cr, surface) || !wholePixelOffset(cr, surface, m) || !defaultFontOptions(cr)) return std::nullopt;

  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  if (!data || reinterpret_cast<uintptr_t>(data) % 4 != 0 || stride % 4 != 0) return std::nullopt;

  const std::optional<PixelRect> clip = simpleClip(cr, extent);
  if (!clip) return std::nullopt;
  const int originX = static_cast<int>(m.x0), originY = static_cast<int>(m.y0);
  const PixelRect image{-originX, -originY, cairo_image_surface_get_width(surface) - originX,
                        cairo_image_surface_get_height(surface) - originY};
  return DirectTarget{data, stride, originX, originY, intersect(*clip, image)};
}

cairo_t* ContextFallback::context() {
  if (!prepared_) {
    cairo_translate(cr_, -originX_, -originY_);
    prepared_ = true;
  }
  return cr_;
}

}  // namespace kyv::paint
