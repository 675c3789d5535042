#pragma once
// The cairo renderer: one code path paints a control into any cairo context (an image
// surface, a PNG, SVG or PDF file, or a widget's pixels). Shapes and lines are drawn
// without anti-aliasing for the classic pixel look; text uses fontconfig fonts. Into a
// plain ARGB32 or RGB24 image at a whole-pixel offset (renderToPixels, PNG files, an image
// surface without a group or transform) the renderer writes the pixels itself, the same
// pixels cairo sets, many times faster.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "kyv/export.h"
#include "kyv/variant.h"

typedef struct _cairo cairo_t;

namespace kyv {

class Control;

// The reference resolution: 15 twips per pixel (96 dpi).
inline constexpr double kReferenceTwipsPerPixel = 15.0;
// The scales the renderer takes: from a hundredth to a hundred times the reference size.
inline constexpr double kMinTwipsPerPixel = 0.15, kMaxTwipsPerPixel = 1500;
// The largest picture: cairo's 32767 pixels a side, and for a picture the renderer holds
// itself (renderToFile), 2^26 pixels in all (256 MB of 32-bit pixels).
inline constexpr int kMaxPictureSide = 32767;
inline constexpr double kMaxPicturePixels = 1 << 26;

// System colours 0x80000000 + n resolve through this table (0x00BBGGRR entries).
using Palette = std::array<uint32_t, 31>;
KYV_API const Palette& systemPalette();
KYV_API void setSystemPalette(const Palette& palette);
// The plain 0x00BBGGRR value a colour shows as.
KYV_API uint32_t resolveColour(Colour c);

// Paints `control` with its top-left corner at the context's origin and marks it clean.
KYV_API void render(Control& control, cairo_t* cr, double twipsPerPixel = kReferenceTwipsPerPixel);

// Paints `control` into caller-owned 32-bit pixels: `width` x `height` pixels, `stride`
// bytes a row (at least width * 4, a multiple of 4), each pixel a native-endian premultiplied
// 0xAARRGGBB word (cairo's ARGB32, which is QImage's ARGB32_Premultiplied). Pixels outside
// the control's extent are left as they were. Raises invalid-property-value for a null
// buffer, a size below 1 or beyond kMaxPictureSide, a stride that does not fit, or a scale
// outside kMinTwipsPerPixel .. kMaxTwipsPerPixel.
KYV_API void renderToPixels(Control& control, uint8_t* bits, int width, int height, int stride,
                            double twipsPerPixel = kReferenceTwipsPerPixel);

// Renders into a file whose format follows its extension (.png, .svg, .pdf), replacing the
// file whole (see writeFileAtomically). The picture is the extent rounded up to whole
// pixels, at least 1 x 1. Raises invalid-property-value for another extension, a scale
// outside kMinTwipsPerPixel .. kMaxTwipsPerPixel, a picture beyond kMaxPictureSide or
// kMaxPicturePixels, or a file that cannot be written (an old file is then left as it was).
KYV_API void renderToFile(Control& control, const std::string& path,
                          double twipsPerPixel = kReferenceTwipsPerPixel);

// Size of `text` in twips, measured with the font at the reference resolution.
struct TextSize {
  float width, height;
};
KYV_API TextSize measureText(std::string_view text, const std::string& family, int weight, float points);

}  // namespace kyv
