#pragma once
// Text as the element layer needs it, without the font machinery: the font rule, and an
// engine the painting layer installs when the library loads, which measures captions (a
// label's AutoSize) and lays them out as they are drawn (a label's damage).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kyv/text.h"

namespace kyv::text {

// The font rule: a weight from 600 on is bold, and a size in points is points * 20 twips.
inline bool isBold(int weight) { return weight >= 600; }
inline double pixelSize(float points, double twipsPerPixel) { return points * 20.0 / twipsPerPixel; }

// A caption laid out in one font: its advance and the font's ascent in pixels, and the
// coverage of its glyphs (0 to 255, summed where glyphs overlap) in a `width` x `height`
// box whose top-left corner lies at (x, y) from the left end of the baseline. `kept` is
// false for a caption too large to keep a copy of.
struct Layout {
  double advance = 0, ascent = 0;
  int x = 0, y = 0, width = 0, height = 0;
  std::vector<uint8_t> coverage;
  bool kept = true;
};

struct Engine {
  // What measureText answers.
  TextSize (*measure)(std::string_view text, const std::string& family, int weight, float points);
  // The caption in `family` (bold or not) at `size` pixels; the reference holds until the
  // next call on the same thread.
  const Layout& (*layout)(std::string_view family, bool bold, double size, std::string_view caption);
};

// Installs the engine every later call goes through.
void install(const Engine& engine);
const Engine& engine();

}  // namespace kyv::text
