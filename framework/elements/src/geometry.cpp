#include "geometry.h"

#include <algorithm>

#include "kyv/text.h"

namespace kyv::paint {

double Scale::scaled(double referencePixels) const {
  return std::max(1.0, roundHalfAway(referencePixels * kReferenceTwipsPerPixel / tpp));
}

PixelRect Scale::rect(double x, double y, double w, double h) const {
  const double x0 = px(x), y0 = px(y), x1 = px(x + w), y1 = px(y + h);
  if (std::isnan(x0) || std::isnan(y0) || std::isnan(x1) || std::isnan(y1)) return {};
  return {clampPixel(x0), clampPixel(y0), clampPixel(x1), clampPixel(y1)};
}

SunkenEdge sunkenEdge(const Scale& s, const PixelRect& r) {
  SunkenEdge e{};
  const int ring = static_cast<int>(s.scaled(1));
  for (int i = 0; i < 2; ++i) {
    const int a = r.x0 + i * ring, b = r.y0 + i * ring, c = r.x1 - i * ring, d = r.y1 - i * ring;
    if (c - a <= 0 || d - b <= 0) break;
    e.lit[i][0] = {a, d - ring, c, d};
    e.lit[i][1] = {c - ring, b, c, d};
    e.shaded[i][0] = {a, b, c - ring, b + ring};
    e.shaded[i][1] = {a, b, a + ring, d - ring};
  }
  return e;
}

Outline outline(const Scale& s, const PixelRect& r) {
  if (r.empty()) return {};
  // A rectangle thinner than two sides is all outline, never more.
  const int t = static_cast<int>(s.scaled(1));
  const int top = std::min(r.y0 + t, r.y1), bottom = std::max(r.y1 - t, r.y0);
  const int left = std::min(r.x0 + t, r.x1), right = std::max(r.x1 - t, r.x0);
  return {{{r.x0, r.y0, r.x1, top}, {r.x0, bottom, r.x1, r.y1}, {r.x0, r.y0, left, r.y1}, {right, r.y0, r.x1, r.y1}}};
}

DeviceLine deviceLine(const Scale& s, double x1, double y1, double x2, double y2, int style, int width) {
  return {s.px(x1), s.px(y1), s.px(x2), s.px(y2), style, s.scaled(width), s.scaled(1)};
}

// Whether a stroke of this width runs through pixel centres.
static bool oddWidth(double w) { return w < 0x1p62 ? (static_cast<int64_t>(w) & 1) && w == std::floor(w) : false; }

// The stroke is a rectangle half the width each side of the line, reaching half the width
// past each end; a pixel is set when its centre lies in it.
PixelRect bounds(const DeviceLine& l) {
  if (l.style == 0) return {};
  // Ends on whole pixels and a whole width: one pixel wide, the stroke reaches less than a
  // pixel past its ends either way, so it sets the pixels from end to end; level or
  // upright, it reaches half its width each way, which sets width / 2 pixels before each
  // end and (width + 1) / 2 from it on.
  if (inPixelRange(l.x1) && inPixelRange(l.y1) && inPixelRange(l.x2) && inPixelRange(l.y2)) {
    const int x1 = static_cast<int>(l.x1), y1 = static_cast<int>(l.y1), x2 = static_cast<int>(l.x2),
              y2 = static_cast<int>(l.y2);
    if (l.width == 1 || x1 == x2 || y1 == y2) {
      const int width = static_cast<int>(l.width), before = width / 2, after = (width + 1) / 2;
      return {std::min(x1, x2) - before, std::min(y1, y2) - before, std::max(x1, x2) + after, std::max(y1, y2) + after};
    }
  }
  const double offset = oddWidth(l.width) ? 0.5 : 0.0, half = l.width / 2;
  const double dx = std::abs(l.x2 - l.x1), dy = std::abs(l.y2 - l.y1);
  const double reach = dx == 0 || dy == 0 ? half : half * (dx + dy) / std::sqrt(dx * dx + dy * dy);
  const double lx = std::min(l.x1, l.x2) + offset - reach, hx = std::max(l.x1, l.x2) + offset + reach;
  const double ly = std::min(l.y1, l.y2) + offset - reach, hy = std::max(l.y1, l.y2) + offset + reach;
  if (std::isnan(lx + hx + ly + hy)) return {};
  constexpr double slack = 1e-6;
  return {clampPixel(std::ceil(lx - 0.5 - slack)), clampPixel(std::ceil(ly - 0.5 - slack)),
          clampPixel(std::floor(hx - 0.5 + slack) + 1), clampPixel(std::floor(hy - 0.5 + slack) + 1)};
}

// The caption's left end: its box's left edge, moved for right and centred alignment.
// An advance a rounding error away from a whole number of pixels (as hinted metrics
// come out) counts as that number, so that a centred caption does not move by a pixel
// with the error's sign.
static double textLeft(int alignment, double left, double width, double advance) {
  if (std::abs(advance - roundHalfAway(advance)) < 1e-9) advance = roundHalfAway(advance);
  if (alignment == 1) return left + width - advance;
  if (alignment == 2) return left + roundHalfAway((width - advance) / 2);
  return left;
}

PlacedText placeText(const Scale& s, std::string_view caption, const std::string& family, int weight, float points,
                     int alignment, double x, double y, double widthTwips) {
  PlacedText p;
  if (caption.empty()) return p;
  p.bold = text::isBold(weight);
  p.size = text::pixelSize(points, s.tpp);
  p.text = &text::engine().layout(family, p.bold, p.size, caption);
  const double left = s.px(x), width = s.px(x + widthTwips) - left;
  p.left = textLeft(alignment, left, width, p.text->advance);
  p.baseline = s.px(y) + roundHalfAway(p.text->ascent);
  return p;
}

// Cairo places a caption that starts between pixels by its own rounding: a pixel's
// slack either way.
PixelRect inkBounds(const PlacedText& t, const PixelRect& unbounded) {
  if (!t.text) return {};
  const text::Layout& g = *t.text;
  if (!g.kept || std::isnan(t.left + t.baseline)) return unbounded;
  const double slack = t.left == std::floor(t.left) ? 0 : 1;
  const double x0 = std::floor(t.left) + g.x - slack, x1 = std::ceil(t.left) + g.x + g.width + slack;
  const double y0 = t.baseline + g.y, y1 = y0 + g.height;
  if (g.width == 0 || g.height == 0) return {};
  return {clampPixel(x0), clampPixel(y0), clampPixel(x1), clampPixel(y1)};
}

}  // namespace kyv::paint
