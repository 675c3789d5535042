#include "painter.h"

#include <algorithm>

#include "kyv/elements.h"

namespace kyv::paint {
namespace {

constexpr uint32_t kShadow = 0x80000010, kDarkShadow = 0x80000015, kHighlight = 0x80000014, kLight = 0x80000016,
                   kFrame = 0x80000006;

bool lightweight(ElementKind k) {
  return k == ElementKind::Label || k == ElementKind::Line || k == ElementKind::Shape || k == ElementKind::Image;
}

}  // namespace

void Painter::paint(Control& control, const Region* region) {
  const ClipList all = lists_.of(region, canvas_.bounds());
  if (all.empty()) return;
  const Surface& s = control.UserControl();
  box(s, 0, 0, scale_.rect(0, 0, s.widthTwips(), s.heightTwips()), all);
}

inline bool Painter::mayMeet(const ClipList& l, double x, double y, double w, double h, int reach) const {
  const double margin = (reach + 1) * std::max(scale_.tpp, kReferenceTwipsPerPixel);
  const PixelRect& b = l.bounds;
  return x + w + margin >= b.x0 * scale_.tpp && x - margin <= b.x1 * scale_.tpp &&
         y + h + margin >= b.y0 * scale_.tpp && y - margin <= b.y1 * scale_.tpp;
}

inline PixelRect Painter::opaqueRect(const Element& e, double ix, double iy) const {
  const auto& r = static_cast<const RectElement&>(e);
  if (e.kind() == ElementKind::PictureBox)
    return scale_.rect(ix + r.leftTwips(), iy + r.topTwips(), r.widthTwips(), r.heightTwips());
  const Control* c = static_cast<const ControlSlot&>(e).control();
  if (!c) return {};
  const Surface& s = c->UserControl();
  return scale_.rect(ix + r.leftTwips(), iy + r.topTwips(), s.widthTwips(), s.heightTwips());
}

// Paint order: background, lightweight elements in stacking order, drawn lines,
// child boxes and embedded controls in stacking order, border.
void Painter::box(const Container& b, double x, double y, const PixelRect& outer, const ClipList& in) {
  const size_t mark = lists_.mark();
  const ClipList area = lists_.within(in, outer);
  if (area.empty()) {
    lists_.release(mark);
    return;
  }
  const double edge = b.BorderStyle() ? kBoxBorderTwips : 0, ix = x + edge, iy = y + edge;
  // Without a border the interior is the box.
  const PixelRect interior =
      edge == 0 ? outer : intersect(scale_.rect(ix, iy, b.interiorWidth(), b.interiorHeight()), outer);
  // The pixels of each shown child box and embedded control, in stacking order, worked out
  // once for both the background and the children.
  const size_t kids = lists_.mark();
  for (const Element* e : b.stacking())
    if (e->Visible() && !lightweight(e->kind())) lists_.keep(opaqueRect(*e, ix, iy));
  const size_t kidsEnd = lists_.mark();
  ClipList own = area;
  for (size_t k = kids; k < kidsEnd; ++k) {
    const PixelRect covered = intersect(lists_.at(k), interior);
    if (!covered.empty()) own = lists_.without(own, covered);
  }
  if (!own.empty()) background(b, ix, iy, outer, interior, own);
  const ClipList inside = lists_.within(area, interior);
  if (!inside.empty()) children(b, ix, iy, kids, inside);
  if (b.BorderStyle()) border(outer, area);
  lists_.release(mark);
}

inline void Painter::background(const Container& b, double ix, double iy, const PixelRect& outer,
                                const PixelRect& interior, const ClipList& own) {
  canvas_.fill(outer, colour(b.BackColor()), lists_.clips(own));
  const ClipList ownInside = lists_.within(own, interior);
  if (ownInside.empty()) return;
  for (const Element* e : b.stacking())
    if (e->Visible() && lightweight(e->kind())) lightweightElement(*e, ix, iy, interior, ownInside);
  drawnLines(b, ix, iy, interior, ownInside);
}

inline void Painter::drawnLines(const Container& b, double ix, double iy, const PixelRect& interior,
                                const ClipList& own) {
  // Where one rectangle holds the whole interior, every line is drawn within it.
  const bool open = own.size() == 1 && contains(lists_.at(own.begin), interior);
  for (const DrawnLine& s : b.drawnLines()) {
    const DeviceLine l = deviceLine(scale_, ix + s.x1, iy + s.y1, ix + s.x2, iy + s.y2, 1, 1);
    if (open) {
      canvas_.line(l, colour(s.colour), lists_.clips(own));
      continue;
    }
    const size_t at = lists_.mark();
    const ClipList hits = lists_.meeting(own, intersect(bounds(l), interior));
    if (!hits.empty()) canvas_.line(l, colour(s.colour), lists_.clips(hits));
    lists_.release(at);
  }
}

inline void Painter::children(const Container& b, double ix, double iy, size_t kids, const ClipList& inside) {
  size_t k = kids;
  for (const Element* e : b.stacking()) {
    if (!e->Visible() || lightweight(e->kind())) continue;
    const PixelRect childOuter = lists_.at(k++);
    const auto& r = static_cast<const RectElement&>(*e);
    if (e->kind() == ElementKind::PictureBox) {
      box(static_cast<const Container&>(*e), ix + r.leftTwips(), iy + r.topTwips(), childOuter, inside);
    } else if (Control* c = static_cast<const ControlSlot&>(*e).control()) {
      box(c->UserControl(), ix + r.leftTwips(), iy + r.topTwips(), childOuter, inside);
    }
  }
}

inline void Painter::lightweightElement(const Element& e, double ix, double iy, const PixelRect& interior,
                                        const ClipList& own) {
  const size_t mark = lists_.mark();
  switch (e.kind()) {
    case ElementKind::Shape: shape(static_cast<const Shape&>(e), ix, iy, interior, own); break;
    case ElementKind::Image: image(static_cast<const Image&>(e), ix, iy, interior, own); break;
    case ElementKind::Line: line(static_cast<const LineElement&>(e), ix, iy, interior, own); break;
    case ElementKind::Label: label(static_cast<const Label&>(e), ix, iy, interior, own); break;
    default: break;
  }
  lists_.release(mark);
}

inline void Painter::shape(const Shape& s, double ix, double iy, const PixelRect& interior, const ClipList& own) {
  if (!mayMeet(own, ix + s.leftTwips(), iy + s.topTwips(), s.widthTwips(), s.heightTwips(), 0)) return;
  const PixelRect r = scale_.rect(ix + s.leftTwips(), iy + s.topTwips(), s.widthTwips(), s.heightTwips());
  const ClipList hits = lists_.meeting(own, intersect(r, interior));
  if (hits.empty()) return;
  canvas_.fill(r, colour(s.FillColor()), lists_.clips(hits));
  if (!s.BorderStyle()) return;
  const uint32_t c = colour(s.BorderColor());
  for (const PixelRect& side : outline(scale_, r).sides) canvas_.fill(side, c, lists_.clips(hits));
}

inline void Painter::image(const Image& i, double ix, double iy, const PixelRect& interior, const ClipList& own) {
  if (!i.BorderStyle()) return;
  const PixelRect r = scale_.rect(ix + i.leftTwips(), iy + i.topTwips(), i.widthTwips(), i.heightTwips());
  const ClipList hits = lists_.meeting(own, intersect(r, interior));
  if (hits.empty()) return;
  for (const PixelRect& side : outline(scale_, r).sides) canvas_.fill(side, colour(Colour{kFrame}), lists_.clips(hits));
}

inline void Painter::line(const LineElement& l, double ix, double iy, const PixelRect& interior, const ClipList& own) {
  const double x0 = std::min(l.x1Twips(), l.x2Twips()), y0 = std::min(l.y1Twips(), l.y2Twips());
  if (!mayMeet(own, ix + x0, iy + y0, std::max(l.x1Twips(), l.x2Twips()) - x0, std::max(l.y1Twips(), l.y2Twips()) - y0,
               l.BorderWidth() + 1))
    return;
  const DeviceLine d = deviceLine(scale_, ix + l.x1Twips(), iy + l.y1Twips(), ix + l.x2Twips(), iy + l.y2Twips(),
                                  l.BorderStyle(), l.BorderWidth());
  const ClipList hits = lists_.meeting(own, intersect(bounds(d), interior));
  if (!hits.empty()) canvas_.line(d, colour(l.BorderColor()), lists_.clips(hits));
}

inline void Painter::label(const Label& l, double ix, double iy, const PixelRect& interior, const ClipList& own) {
  const PlacedText t = placeText(scale_, l.Caption(), l.FontName(), l.FontWeight(), l.FontSize(), l.Alignment(),
                                 ix + l.leftTwips(), iy + l.topTwips(), l.widthTwips());
  if (!t.text) return;
  const ClipList hits = lists_.disjointMeeting(own, intersect(inkBounds(t, interior), interior));
  if (!hits.empty()) canvas_.text(t, l.FontName(), l.Caption(), colour(l.ForeColor()), lists_.clips(hits));
}

// The 2-pixel sunken edge: each ring's lit sides (bottom, right), then its shaded ones.
inline void Painter::border(const PixelRect& r, const ClipList& in) {
  const SunkenEdge e = sunkenEdge(scale_, r);
  const Colour lit[2] = {Colour{kHighlight}, Colour{kLight}}, shaded[2] = {Colour{kShadow}, Colour{kDarkShadow}};
  const auto side = [&](const PixelRect& s, Colour c) {
    const size_t mark = lists_.mark();
    const ClipList hits = lists_.meeting(in, s);
    if (!hits.empty()) canvas_.fill(s, colour(c), lists_.clips(hits));
    lists_.release(mark);
  };
  for (int ring = 0; ring < 2; ++ring) {
    for (const PixelRect& s : e.lit[ring]) side(s, lit[ring]);
    for (const PixelRect& s : e.shaded[ring]) side(s, shaded[ring]);
  }
}

}  // namespace kyv::paint
