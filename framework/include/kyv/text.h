#pragma once
// Text measurement: how large a caption comes out in a font, as the renderer draws it.
#include <string>
#include <string_view>

#include "kyv/export.h"

namespace kyv {

// Size of `text` in twips, measured with the font at the reference resolution.
struct TextSize {
  float width, height;
};
KYV_API TextSize measureText(std::string_view text, const std::string& family, int weight, float points);

}  // namespace kyv
