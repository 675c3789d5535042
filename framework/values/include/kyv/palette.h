#pragma once
// System colours: 0x80000000 + n names entry n of a palette of 0x00BBGGRR colours. One
// system palette serves every render that names no palette of its own; a host may replace
// it, or pass a palette with each render.
#include <array>
#include <cstdint>

#include "kyv/export.h"
#include "kyv/variant.h"

namespace kyv {

using Palette = std::array<uint32_t, 31>;

// The palette renders use when they are given none, and its replacement.
KYV_API const Palette& systemPalette();
KYV_API void setSystemPalette(const Palette& palette);

// A colour value 0x00BBGGRR from its channels (0 to 255), and its channels.
constexpr uint32_t packBgr(uint32_t red, uint32_t green, uint32_t blue) { return red | green << 8 | blue << 16; }
constexpr uint32_t redOf(uint32_t bgr) { return bgr & 0xFF; }
constexpr uint32_t greenOf(uint32_t bgr) { return bgr >> 8 & 0xFF; }
constexpr uint32_t blueOf(uint32_t bgr) { return bgr >> 16 & 0xFF; }
// 0x00BBGGRR as 0x00RRGGBB (as QRgb, cairo's ARGB32 and #RRGGBB write it) and back: red
// and blue exchanged, the top byte dropped.
constexpr uint32_t swapRedBlue(uint32_t c) { return packBgr(blueOf(c), greenOf(c), redOf(c)); }

// Whether `c` names an entry of a palette.
inline bool knownSystemColour(Colour c) { return c.isSystem() && (c.value & 0x00FFFFFFu) < std::tuple_size_v<Palette>; }

// The plain 0x00BBGGRR value a colour shows as, through `palette` or the system palette.
KYV_API uint32_t resolveColour(Colour c);
KYV_API uint32_t resolveColour(Colour c, const Palette& palette);

}  // namespace kyv
