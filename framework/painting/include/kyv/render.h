#pragma once
// The renderer: one walk of a control's element tree paints it into a plain 32-bit image
// (writing the pixels itself, the same pixels cairo sets) or into any cairo context (a
// PNG, SVG or PDF file, a PNG in memory, a pushed group, a transformed context). Shapes and lines are drawn
// without anti-aliasing for the classic pixel look; text uses fontconfig fonts.
//
// A render may paint only a region, and a host that keeps a control's picture may paint
// only what changed since the last paint (RenderOptions::onlyDamage): the renderer skips
// every element that misses the region and repaints everything that meets it in paint
// order.
#include <cstdint>
#include <string>

#include "kyv/export.h"
#include "kyv/palette.h"
#include "kyv/region.h"
#include "kyv/text.h"
#include "kyv/variant.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace kyv {

class Control;

// The scales the renderer takes: from a hundredth to a hundred times the reference size.
inline constexpr double kMinTwipsPerPixel = 0.15, kMaxTwipsPerPixel = 1500;
// The largest picture: cairo's 32767 pixels a side, and for a picture the renderer holds
// itself (renderToFile), 2^26 pixels in all (256 MB of 32-bit pixels).
inline constexpr int kMaxPictureSide = 32767;
inline constexpr double kMaxPicturePixels = 1 << 26;

// Why a picture of `width` x `height` pixels is refused: beyond kMaxPictureSide a side or
// `maxPixels` in all (the message of the invalid-property-value raised for it, `unit`
// naming its pixels in it); empty when it is within both. A side that is not a number is
// beyond.
inline std::string pictureBeyondLimits(double width, double height, double maxPixels = kMaxPicturePixels,
                                       const std::string& unit = "pixels") {
  const auto refused = [&](const std::string& limit) {
    return "Invalid property value: a picture of " + formatNumber(width) + " x " + formatNumber(height) + " " + unit +
           " is beyond the limit of " + limit;
  };
  if (!(width <= kMaxPictureSide && height <= kMaxPictureSide))
    return refused(std::to_string(kMaxPictureSide) + " pixels a side");
  if (width * height > maxPixels) return refused(formatNumber(maxPixels) + " pixels in all");
  return {};
}

struct RenderOptions {
  double twipsPerPixel = kReferenceTwipsPerPixel;
  // System colours resolve through this palette; null: the system palette.
  const Palette* palette = nullptr;
  // Only pixels in this region are painted (device pixels, from the control's top-left
  // corner); null: all of them.
  const Region* clip = nullptr;
  // Paints only the control's damage (Control::damage): the target must hold the
  // control's last paint. Everything is painted when that paint was at another resolution
  // or with another palette, when there was none, or when the target is not a plain image.
  // `clip` is not used then.
  bool onlyDamage = false;
};

// Caller-owned 32-bit pixels that controls are painted into: `width` x `height` pixels,
// `stride` bytes a row (at least width * 4, a multiple of 4), each pixel a native-endian
// premultiplied 0xAARRGGBB word (cairo's ARGB32, which is QImage's ARGB32_Premultiplied).
// Made once and used for any number of renders, so what a render needs of a target is set
// up once; a cairo surface over the pixels is made only when the renderer first needs
// cairo's help.
class KYV_API PixelTarget {
 public:
  // Raises invalid-property-value for a null buffer, a size below 1 or above 32767, or a
  // stride that does not fit.
  PixelTarget(uint8_t* bits, int width, int height, int stride);
  ~PixelTarget();
  PixelTarget(const PixelTarget&) = delete;
  PixelTarget& operator=(const PixelTarget&) = delete;

  uint8_t* bits() const { return bits_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }
  // A cairo context over the pixels, made when first asked for.
  cairo_t* cairo();

 private:
  uint8_t* bits_;
  int width_, height_, stride_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
};

// Paints `control` with its top-left corner at (x, y) of `target`, within the target, and
// marks it painted. Pixels outside the control's extent are left as they were.
KYV_API void render(Control& control, PixelTarget& target, int x, int y, const RenderOptions& options = {});

// Paints `control` with its top-left corner at the context's origin and marks it painted.
// Into a plain ARGB32 or RGB24 image at a whole-pixel offset the renderer writes the
// pixels itself; anything else is drawn by cairo.
KYV_API void render(Control& control, cairo_t* cr, const RenderOptions& options);
KYV_API void render(Control& control, cairo_t* cr, double twipsPerPixel = kReferenceTwipsPerPixel);

// Paints `control` into caller-owned pixels (as a PixelTarget describes them) at their
// top-left corner. Raises as PixelTarget does, and for a scale outside kMinTwipsPerPixel ..
// kMaxTwipsPerPixel.
KYV_API void renderToPixels(Control& control, uint8_t* bits, int width, int height, int stride,
                            const RenderOptions& options);
KYV_API void renderToPixels(Control& control, uint8_t* bits, int width, int height, int stride,
                            double twipsPerPixel = kReferenceTwipsPerPixel);

// Renders into a file whose format follows its extension (.png, .svg, .pdf), replacing the
// file whole (see writeFileAtomically). The picture is the extent rounded up to whole
// pixels, at least 1 x 1. Raises invalid-property-value for another extension, a scale
// outside kMinTwipsPerPixel .. kMaxTwipsPerPixel, a picture beyond kMaxPictureSide or
// kMaxPicturePixels, or a file that cannot be written (an old file is then left as it was).
KYV_API void renderToFile(Control& control, const std::string& path, double twipsPerPixel = kReferenceTwipsPerPixel);
// The same at `options.twipsPerPixel`, system colours through `options.palette` (the
// other options are not used: the file holds the whole picture).
KYV_API void renderToFile(Control& control, const std::string& path, const RenderOptions& options);

// The bytes of the PNG file renderToFile writes for the same picture, made in memory.
// Raises invalid-property-value as renderToFile does for the scale and the picture's size,
// and when the PNG cannot be made.
KYV_API std::string renderToPng(Control& control, double twipsPerPixel = kReferenceTwipsPerPixel);
KYV_API std::string renderToPng(Control& control, const RenderOptions& options);

}  // namespace kyv
