#pragma once
// Text measurement: how large a caption comes out in a font, as the renderer draws it.
#include <string>
#include <string_view>

#include "kyv/export.h"

namespace kyv {

// The reference resolution: 15 twips per pixel (96 dpi).
inline constexpr double kReferenceTwipsPerPixel = 15.0;

// Size of `text` in twips, measured with the font at the reference resolution.
struct TextSize {
  float width, height;
};
KYV_API TextSize measureText(std::string_view text, const std::string& family, int weight, float points);

}  // namespace kyv
