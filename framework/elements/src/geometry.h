#pragma once
// Where things land in device pixels: the rounding rules the renderer paints by, kept in
// one place so that the damage worked out for a change covers exactly what painting sets.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "kyv/elements.h"
#include "kyv/region.h"
#include "text_layout.h"

namespace kyv::paint {

// Device coordinates the direct path takes; lines beyond them are left to cairo.
inline constexpr double kPixelRange = 1 << 22;
// Rectangles are clamped here: far beyond any image, so clamping changes no pixel.
inline constexpr double kClamp = 1 << 26;

inline bool inPixelRange(double v) { return std::abs(v) <= kPixelRange; }

// std::round, without the call into the maths library: halves away from zero.
inline double roundHalfAway(double v) {
  if (!(std::abs(v) < 0x1p52)) return v;  // whole already, or not a number
  const double t = static_cast<double>(static_cast<int64_t>(v));
  const double rest = v - t;
  if (rest >= 0.5) return t + 1;
  if (rest <= -0.5) return t - 1;
  return t;
}

// Twips to device pixels at one resolution.
struct Scale {
  double tpp;

  double px(double twips) const { return roundHalfAway(twips / tpp); }
  // Border and line widths are pixels at the reference resolution.
  double scaled(double referencePixels) const;
  // The device rectangle of a twips rectangle; empty when a coordinate is not a number.
  PixelRect rect(double x, double y, double w, double h) const;
};

// The pixel coordinate for a rounded device value, clamped far outside any image.
inline int clampPixel(double v) { return static_cast<int>(std::clamp(v, -kClamp, kClamp)); }

// The rings of a box's 2-pixel sunken edge inside `r`: for ring 0 (outer) and 1 (inner),
// the bottom and right sides (`lit`) and the top and left sides (`shaded`), each two
// rectangles. Rings that do not fit are empty.
struct SunkenEdge {
  PixelRect lit[2][2], shaded[2][2];
};
SunkenEdge sunkenEdge(const Scale& s, const PixelRect& r);
// The four sides of a one-pixel (scaled) outline inside `r`; all empty when `r` is.
struct Outline {
  PixelRect sides[4];
};
Outline outline(const Scale& s, const PixelRect& r);

// A line in device pixels: ends on pixel corners, width and dash unit in pixels.
struct DeviceLine {
  double x1, y1, x2, y2;
  int style;
  double width, unit;
};
DeviceLine deviceLine(const Scale& s, double x1, double y1, double x2, double y2, int style, int width);
// The pixels a line may set (cairo strokes it with square caps, or butt caps when dotted).
PixelRect bounds(const DeviceLine& l);

// A caption placed as the renderer draws it: the left end of its baseline, and its
// glyphs as cached.
struct PlacedText {
  const text::Layout* text = nullptr;
  double left = 0, baseline = 0;
  double size = 0;  // pixels
  bool bold = false;
};
PlacedText placeText(const Scale& s, std::string_view caption, const std::string& family, int weight, float points,
                     int alignment, double x, double y, double widthTwips);
// The pixels the caption's glyphs may touch; `unbounded` when that is not known.
PixelRect inkBounds(const PlacedText& t, const PixelRect& unbounded);

}  // namespace kyv::paint
