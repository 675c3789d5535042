// The renderer's entry points: what a render paints (the damage or the clip), onto which
// canvas (the pixels directly, or cairo), and the record of the paint.
#include "kyv/render.h"

#include <cairo.h>

#include <cmath>
#include <optional>

#include "cairo_target.h"
#include "canvas.h"
#include "damage.h"
#include "geometry.h"
#include "kyv/control.h"
#include "painter.h"
#include "render_checks.h"

namespace kyv {
namespace {

using paint::Painter;
using paint::Scale;

// A palette's fingerprint: a render with another palette repaints everything. The last
// one worked out is kept with its palette: a host painting many controls a tick asks for
// the same one each time, and comparing is cheaper than hashing.
uint64_t fingerprint(const Palette& p) {
  thread_local Palette last{};
  thread_local uint64_t lastPrint = 0;
  if (lastPrint != 0 && p == last) return lastPrint;
  uint64_t h = 1469598103934665603ull;
  for (uint32_t v : p) h = (h ^ v) * 1099511628211ull;
  last = p;
  lastPrint = h | 1;  // never 0, which stands for no paint
  return lastPrint;
}

double validTpp(double tpp) { return tpp > 0 && std::isfinite(tpp) ? tpp : kReferenceTwipsPerPixel; }

// What a render paints: the damage when only that is asked for and can be trusted, else
// the clip.
const Region* regionToPaint(Control& control, const RenderOptions& o, double tpp, uint64_t palette, bool direct) {
  if (!o.onlyDamage) return o.clip;
  if (!direct || !detail::Tracker::paintedWith(control, tpp, palette)) return nullptr;
  return &control.damage();
}

// The fallback of a direct canvas over a pixel target: the target's own cairo context.
class TargetFallback final : public paint::CairoFallback {
 public:
  explicit TargetFallback(PixelTarget& target) : target_(target) {}
  cairo_t* context() override { return target_.cairo(); }

 private:
  PixelTarget& target_;
};

}  // namespace

PixelTarget::PixelTarget(uint8_t* bits, int width, int height, int stride)
    : bits_(bits), width_(width), height_(height), stride_(stride) {
  paint::checkPixels(bits, width, height, stride);
}

PixelTarget::~PixelTarget() {
  if (cr_) cairo_destroy(cr_);
  if (surface_) cairo_surface_destroy(surface_);
}

cairo_t* PixelTarget::cairo() {
  if (!cr_) {
    surface_ = cairo_image_surface_create_for_data(bits_, CAIRO_FORMAT_ARGB32, width_, height_, stride_);
    cr_ = cairo_create(surface_);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  }
  return cr_;
}

void render(Control& control, PixelTarget& target, int x, int y, const RenderOptions& options) {
  const double tpp = validTpp(options.twipsPerPixel);
  const Palette& palette = options.palette ? *options.palette : systemPalette();
  const uint64_t print = fingerprint(palette);
  const Region* region = regionToPaint(control, options, tpp, print, true);
  const Surface& s = control.UserControl();
  const Scale scale{tpp};
  const PixelRect extent =
      intersect(scale.rect(0, 0, s.widthTwips(), s.heightTwips()), {-x, -y, target.width() - x, target.height() - y});
  if (!extent.empty()) {
    TargetFallback fallback(target);
    paint::PixelCanvas canvas(target.bits(), target.stride(), x, y, extent, fallback);
    Painter(canvas, tpp, palette).paint(control, region);
  }
  detail::Tracker::markPainted(control, tpp, print);
}

void render(Control& control, cairo_t* cr, const RenderOptions& options) {
  const double tpp = validTpp(options.twipsPerPixel);
  const Palette& palette = options.palette ? *options.palette : systemPalette();
  const uint64_t print = fingerprint(palette);
  cairo_save(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  const Surface& s = control.UserControl();
  const PixelRect extent = Scale{tpp}.rect(0, 0, s.widthTwips(), s.heightTwips());
  const std::optional<paint::DirectTarget> direct = paint::directTarget(cr, extent);
  const Region* region = regionToPaint(control, options, tpp, print, direct.has_value());
  if (direct) {
    paint::ContextFallback fallback(cr, direct->originX, direct->originY);
    {
      paint::PixelCanvas canvas(direct->data, direct->stride, direct->originX, direct->originY,
                                intersect(direct->bounds, extent), fallback);
      Painter(canvas, tpp, palette).paint(control, region);
    }
    const PixelRect& b = direct->bounds;
    if (!b.empty())
      cairo_surface_mark_dirty_rectangle(cairo_get_target(cr), b.x0 + direct->originX, b.y0 + direct->originY,
                                         b.x1 - b.x0, b.y1 - b.y0);
  } else {
    paint::CairoCanvas canvas(cr);
    Painter(canvas, tpp, palette).paint(control, region);
  }
  cairo_restore(cr);
  detail::Tracker::markPainted(control, tpp, print);
}

void render(Control& control, cairo_t* cr, double twipsPerPixel) {
  RenderOptions o;
  o.twipsPerPixel = twipsPerPixel;
  render(control, cr, o);
}

void renderToPixels(Control& control, uint8_t* bits, int width, int height, int stride, const RenderOptions& options) {
  PixelTarget target(bits, width, height, stride);
  paint::checkScale(options.twipsPerPixel);
  render(control, target, 0, 0, options);
}

void renderToPixels(Control& control, uint8_t* bits, int width, int height, int stride, double tpp) {
  RenderOptions o;
  o.twipsPerPixel = tpp;
  renderToPixels(control, bits, width, height, stride, o);
}

}  // namespace kyv
