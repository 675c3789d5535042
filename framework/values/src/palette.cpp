#include "kyv/palette.h"

namespace kyv {
namespace {

// Classic system colours, 0x00BBGGRR, indexed by the low byte of 0x800000nn.
Palette& palette() {
  static Palette p = {0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
                      0x000000, 0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xFF9933, 0xFFFFFF, 0xF0F0F0,
                      0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
                      0xE1FFFF, 0xB5B5B5, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0};
  return p;
}

}  // namespace

const Palette& systemPalette() { return palette(); }
void setSystemPalette(const Palette& p) { palette() = p; }

uint32_t resolveColour(Colour c) { return resolveColour(c, palette()); }

uint32_t resolveColour(Colour c, const Palette& p) {
  if (!c.isSystem()) return c.value & 0xFFFFFF;
  const uint32_t index = c.value & 0xFFFFFF;
  return index < p.size() ? p[index] : 0;
}

}  // namespace kyv
