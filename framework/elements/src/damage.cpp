#include "damage.h"

#include <algorithm>
#include <array>

#include "geometry.h"
#include "kyv/elements.h"
#include "look_record.h"

namespace kyv::detail {
namespace {

using paint::Scale;

// Past this many changed lines in a box, their damage is the rectangle holding them.
constexpr size_t kManyLines = 16;

// The pixels that may change when a filled rectangle with an edge `edge` pixels thick
// (drawn inside it) moves from `a` to `b`: with its sides staying put, the band between
// the old and the new place of each side that moved, widened by the edge; else both.
template <class Add>
void addMove(const PixelRect& a, const PixelRect& b, int edge, Add&& add) {
  if (a == b) return;
  if (a.empty() || b.empty()) {
    add(a);
    add(b);
    return;
  }
  if (a.x0 == b.x0 && a.x1 == b.x1) {
    if (a.y0 != b.y0) add({a.x0, std::min(a.y0, b.y0), a.x1, std::max(a.y0, b.y0) + edge});
    if (a.y1 != b.y1) add({a.x0, std::min(a.y1, b.y1) - edge, a.x1, std::max(a.y1, b.y1)});
    return;
  }
  if (a.y0 == b.y0 && a.y1 == b.y1) {
    if (a.x0 != b.x0) add({std::min(a.x0, b.x0), a.y0, std::max(a.x0, b.x0) + edge, a.y1});
    if (a.x1 != b.x1) add({std::min(a.x1, b.x1) - edge, a.y0, std::max(a.x1, b.x1), a.y1});
    return;
  }
  add(a);
  add(b);
}

// The look of an element that has no record: made since the paint, it showed nothing.
const LookRecord kNothingShown{};

}  // namespace

// Works out the damage of one control (and the controls embedded in it) at one scale.
class Tracker::Damage {
 public:
  Damage(const Scale& scale, Region& out) : scale_(scale), out_(out) {}

  // The damage of `control` drawn with its top-left corner at (x, y) twips, within `clip`.
  void control(Control& control, double x, double y, const PixelRect& clip);

 private:
  // Where a container's children paint: its interior's top-left in twips, what every
  // enclosing box lets through, and whether it and every box around it are shown.
  struct Where {
    double ix = 0, iy = 0;
    PixelRect clip;
    bool shown = false;
  };

  struct Change;
  using Rect = RectLook;

  const Where& where(const Container& box);
  Where compute(const Container& box);
  // The damage of one changed element, by kind.
  void element(Element& e);
  void surface(const Surface& s, const LookRecord& look);
  void shape(const Shape& s, const Change& c);
  void image(const Image& i, const Change& c);
  void line(const LineElement& l, const Change& c);
  void label(const Label& l, const Change& c);
  void pictureBox(const Container& b, const Change& c);
  void slot(ControlSlot& slot, const Change& c);
  // Whether an embedded control has the size it was painted at.
  static bool sameSize(const Control* control);
  // The damage of a control embedded in a slot that stayed in place.
  void embedded(const ControlSlot& slot, const Change& c);
  PixelRect footprint(const Control* control, const Rect& at, bool before, const Where& w) const;
  void drawnLines(const Container& box, const LookRecord& look);
  // The record of how `e`, an element of the control being worked on, looked at the paint.
  const LookRecord& lookOf(const Element& e) const {
    const LookRecord* look = surface_->lookOf(e);
    return look ? *look : kNothingShown;
  }
  static Rect rectOf(const RectElement& e) { return {e.leftTwips(), e.topTwips(), e.widthTwips(), e.heightTwips()}; }
  void add(const PixelRect& r, const PixelRect& clip) { out_.add(intersect(r, clip)); }
  // A line damages the pixels it may set.
  void add(const paint::DeviceLine& l, const PixelRect& clip) { add(paint::bounds(l), clip); }
  // Adds to the damage within the clip of an element's container.
  auto adder(const Change& c);
  PixelRect device(const Rect& r, const Where& w) const {
    return scale_.rect(w.ix + r.left, w.iy + r.top, r.width, r.height);
  }

  const Scale& scale_;
  Region& out_;
  // The control being worked on: its surface and where it is drawn.
  Surface* surface_ = nullptr;
  double x_ = 0, y_ = 0;
  PixelRect clip_;
  // Recently asked places of containers.
  static constexpr size_t kKnown = 4;
  const Container* knownBox_[kKnown] = {};
  Where known_[kKnown];
  size_t next_ = 0;
};

// How an element's showing changed since the paint, and where its container paints.
struct Tracker::Damage::Change {
  const LookRecord& look;  // how the element looked then
  bool wasShown, isShown;
  bool bothShown;  // shown then and now, in the same place in the stacking order
  const Where& w;
};

auto Tracker::Damage::adder(const Change& c) {
  return [this, &c](const PixelRect& r) { add(r, c.w.clip); };
}

const Tracker::Damage::Where& Tracker::Damage::where(const Container& box) {
  for (size_t i = 0; i < kKnown; ++i)
    if (knownBox_[i] == &box) return known_[i];
  const size_t i = next_++ % kKnown;
  knownBox_[i] = nullptr;  // computing may ask for the parent and reuse slots
  const Where w = compute(box);
  knownBox_[i] = &box;
  known_[i] = w;
  return known_[i];
}

// Damage is cut to the control's extent only: what a box would cut off of its children is
// repainted to no harm, and working its edges out costs more than the pixels.
Tracker::Damage::Where Tracker::Damage::compute(const Container& box) {
  Where w;
  double x = x_, y = y_;
  bool shown = true;
  if (&box != surface_) {
    const Where& parent = where(*box.parent());
    x = parent.ix + box.leftTwips();
    y = parent.iy + box.topTwips();
    shown = parent.shown && box.Visible() && box.attached_.value;
  }
  const double edge = box.BorderStyle() ? kBoxBorderTwips : 0;
  w.ix = x + edge;
  w.iy = y + edge;
  w.clip = clip_;
  w.shown = shown;
  return w;
}

void Tracker::Damage::control(Control& control, double x, double y, const PixelRect& clip) {
  surface_ = &control.UserControl();
  x_ = x;
  y_ = y;
  clip_ = clip;
  std::fill(std::begin(knownBox_), std::end(knownBox_), nullptr);
  // Elements listed while working (none are) would move the list: it is read by index.
  const std::vector<Element*>& changed = surface_->changed_;
  for (size_t i = 0; i < changed.size(); ++i) element(*changed[i]);
}

void Tracker::Damage::element(Element& e) {
  const LookRecord& look = lookOf(e);
  if (&e == surface_) return surface(static_cast<const Surface&>(e), look);
  const bool wasShown = look.attached && look.visible, isShown = e.attached_.value && e.visible_;
  if (!wasShown && !isShown) return;
  const Where& w = where(*e.parent());
  if (!w.shown) return;
  const Change c{look, wasShown, isShown, wasShown && isShown && !look.restacked, w};
  switch (e.kind()) {
    case ElementKind::Shape: return shape(static_cast<const Shape&>(e), c);
    case ElementKind::Image: return image(static_cast<const Image&>(e), c);
    case ElementKind::Line: return line(static_cast<const LineElement&>(e), c);
    case ElementKind::Label: return label(static_cast<const Label&>(e), c);
    case ElementKind::PictureBox: return pictureBox(static_cast<const Container&>(e), c);
    case ElementKind::ControlSlot: return slot(static_cast<ControlSlot&>(e), c);
    case ElementKind::Surface: return;
  }
}

// The surface resized or restyled damages its old and new extent; else its drawn lines.
inline void Tracker::Damage::surface(const Surface& s, const LookRecord& look) {
  const Rect& p = look.rect;
  const bool same = look.kind.box.sameStyle(s) && p == rectOf(s);
  if (same) return drawnLines(s, look);
  add(scale_.rect(x_ + p.left, y_ + p.top, p.width, p.height), clip_);
  add(scale_.rect(x_, y_, s.widthTwips(), s.heightTwips()), clip_);
}

inline void Tracker::Damage::shape(const Shape& s, const Change& c) {
  const Rect& painted = c.look.rect;
  const ShapeLook& look = c.look.kind.shape;
  const bool sameLook = look == ShapeLook{s.FillColor(), s.BorderColor(), s.BorderStyle()};
  if (c.bothShown && sameLook && painted == rectOf(s)) return;
  const PixelRect before = device(painted, c.w), after = device(rectOf(s), c.w);
  if (c.bothShown && sameLook) {
    addMove(before, after, look.borderStyle ? static_cast<int>(scale_.scaled(1)) : 0, adder(c));
    return;
  }
  if (c.wasShown) add(before, c.w.clip);
  if (c.isShown) add(after, c.w.clip);
}

// An image frame shows only its outline.
inline void Tracker::Damage::image(const Image& i, const Change& c) {
  const Rect& painted = c.look.rect;
  if (c.bothShown && c.look.kind.imageBorder == i.BorderStyle()) {
    if (i.BorderStyle())
      addMove(device(painted, c.w), device(rectOf(i), c.w), static_cast<int>(scale_.scaled(1)), adder(c));
    return;
  }
  if (c.wasShown && c.look.kind.imageBorder)
    for (const PixelRect& side : paint::outline(scale_, device(painted, c.w)).sides) add(side, c.w.clip);
  if (c.isShown && i.BorderStyle())
    for (const PixelRect& side : paint::outline(scale_, device(rectOf(i), c.w)).sides) add(side, c.w.clip);
}

inline void Tracker::Damage::line(const LineElement& l, const Change& c) {
  const LineEnds& p = c.look.ends;
  const LineLook& look = c.look.kind.line;
  if (c.bothShown && p == LineEnds{l.x1Twips(), l.y1Twips(), l.x2Twips(), l.y2Twips()} &&
      look == LineLook{l.BorderColor(), l.BorderStyle(), l.BorderWidth()})
    return;
  const Where& w = c.w;
  if (c.wasShown)
    add(paint::deviceLine(scale_, w.ix + p.x1, w.iy + p.y1, w.ix + p.x2, w.iy + p.y2, look.style, look.width), w.clip);
  if (c.isShown)
    add(paint::deviceLine(scale_, w.ix + l.x1Twips(), w.iy + l.y1Twips(), w.ix + l.x2Twips(), w.iy + l.y2Twips(),
                          l.BorderStyle(), l.BorderWidth()),
        w.clip);
}

// A caption damages the pixels its glyphs may touch, where it was and where it is. Its
// height places nothing: a label that changed only that shows the same.
inline void Tracker::Damage::label(const Label& l, const Change& c) {
  const LabelLook& p = surface_->labelLookOf(c.look);
  const Rect& rect = c.look.rect;
  const Rect now = rectOf(l);
  const bool same = p.caption == l.Caption() && p.fontName == l.FontName() && p.fontSize == l.FontSize() &&
                    p.fontWeight == l.FontWeight() && p.alignment == l.Alignment() && p.foreColor == l.ForeColor() &&
                    rect.left == now.left && rect.top == now.top && rect.width == now.width;
  if (c.bothShown && same) return;
  const Where& w = c.w;
  // Each placement is used before the next: the glyph cache may let go of the first.
  if (c.wasShown)
    add(paint::inkBounds(paint::placeText(scale_, p.caption, p.fontName, p.fontWeight, p.fontSize, p.alignment,
                                          w.ix + rect.left, w.iy + rect.top, rect.width),
                         w.clip),
        w.clip);
  if (c.isShown)
    add(paint::inkBounds(paint::placeText(scale_, l.Caption(), l.FontName(), l.FontWeight(), l.FontSize(),
                                          l.Alignment(), w.ix + now.left, w.iy + now.top, now.width),
                         w.clip),
        w.clip);
}

inline void Tracker::Damage::pictureBox(const Container& b, const Change& c) {
  const Rect& painted = c.look.rect;
  const Rect now = rectOf(b);
  const PixelRect before = device(painted, c.w), after = device(now, c.w);
  const BoxLook& look = c.look.kind.box;
  const bool sameLook = look.sameStyle(b);
  // Resized in place, the box keeps its children where they were; a box with nothing
  // in it is a rectangle and its edge wherever it goes. Either gains or loses pixels
  // and moves its edge.
  const bool empty = b.stacking_.empty() && b.drawnLines().empty() && !c.look.erasedLines && look.lines == 0;
  if (c.bothShown && sameLook && (empty || (painted.left == now.left && painted.top == now.top))) {
    addMove(before, after, look.borderStyle ? 2 * static_cast<int>(scale_.scaled(1)) : 0, adder(c));
    drawnLines(b, c.look);
    return;
  }
  if (c.wasShown) add(before, c.w.clip);
  if (c.isShown) add(after, c.w.clip);
}

// In place and of the same size, the embedded control's own damage is the slot's; else
// the slot's footprint then and now.
inline void Tracker::Damage::slot(ControlSlot& slot, const Change& c) {
  const Rect& painted = c.look.rect;
  Control* control = slot.control();
  const SlotLook& held = c.look.kind.slot;
  const bool sameControl = held.placed == slot.placed_ && held.held == (control != nullptr);
  const bool samePlace = painted.left == slot.leftTwips() && painted.top == slot.topTwips();
  if (c.bothShown && sameControl && samePlace && sameSize(control)) return embedded(slot, c);
  if (c.wasShown && held.held) add(footprint(sameControl ? control : nullptr, painted, true, c.w), c.w.clip);
  if (c.isShown && control) add(footprint(control, rectOf(slot), false, c.w), c.w.clip);
}

inline bool Tracker::Damage::sameSize(const Control* control) {
  if (!control) return true;
  const Surface& s = control->UserControl();
  const LookRecord* look = s.surface().lookOf(s);
  return !look || look->rect == Rect{0, 0, s.widthTwips(), s.heightTwips()};
}

inline void Tracker::Damage::embedded(const ControlSlot& slot, const Change& c) {
  Control* control = slot.control();
  if (!control) return;
  const Surface& s = control->UserControl();
  const double x = c.w.ix + slot.leftTwips(), y = c.w.iy + slot.topTwips();
  const PixelRect extent = scale_.rect(x, y, s.widthTwips(), s.heightTwips());
  if (control->paintedTpp_ == 0) return add(extent, c.w.clip);
  Damage(scale_, out_).control(*control, x, y, intersect(c.w.clip, extent));
}

// An embedded control takes the slot's size; one replaced since the paint is gone.
inline PixelRect Tracker::Damage::footprint(const Control* control, const Rect& at, bool before, const Where& w) const {
  float width = at.width, height = at.height;
  if (control) {
    const Surface& s = control->UserControl();
    const LookRecord* painted = before ? s.surface().lookOf(s) : nullptr;
    width = painted ? painted->rect.width : s.widthTwips();
    height = painted ? painted->rect.height : s.heightTwips();
  }
  return scale_.rect(w.ix + at.left, w.iy + at.top, width, height);
}

// Lines cleared since the paint damage the rectangle that held them; lines added
// since, each its own bounds, or many of them (a trace drawn anew) the rectangle that holds
// them all, found in twips.
void Tracker::Damage::drawnLines(const Container& box, const LookRecord& look) {
  const ErasedLines* cleared = surface_->erasedLinesOf(look);
  const ErasedLines erased = cleared ? *cleared : ErasedLines{};
  const std::vector<DrawnLine>& now = box.drawnLines();
  const size_t from = std::min<size_t>(look.kind.box.lines, now.size());
  if (!erased.any && from == now.size()) return;
  const Where& w = where(box);
  if (!w.shown) return;
  // A line from corner to corner has the bounds of the rectangle between them.
  const auto bounds = [&](float x1, float y1, float x2, float y2) {
    return paint::bounds(paint::deviceLine(scale_, w.ix + x1, w.iy + y1, w.ix + x2, w.iy + y2, 1, 1));
  };
  if (now.size() - from <= kManyLines) {
    if (erased.any) add(bounds(erased.x0, erased.y0, erased.x1, erased.y1), w.clip);
    for (size_t i = from; i < now.size(); ++i) add(bounds(now[i].x1, now[i].y1, now[i].x2, now[i].y2), w.clip);
    return;
  }
  ErasedLines all = erased;
  for (size_t i = from; i < now.size(); ++i) all.include(now[i]);
  add(bounds(all.x0, all.y0, all.x1, all.y1), w.clip);
}

void Tracker::damageOf(Control& control, Region& out) {
  out.clear();
  if (control.paintedTpp_ == 0) {
    out.setEverything();
    return;
  }
  const Scale scale{control.paintedTpp_};
  const Surface& s = control.UserControl();
  Damage(scale, out).control(control, 0, 0, scale.rect(0, 0, s.widthTwips(), s.heightTwips()));
}

bool Tracker::paintedWith(const Control& control, double tpp, uint64_t palette) {
  return control.paintedTpp_ == tpp && control.paintedPalette_ == palette;
}

// The lists of elements filled while the control was built are cut to their size at its
// first paint: most never grow after that, and those that do grow by a quarter.
void Tracker::settle(Surface& s) {
  s.elements_.shrink_to_fit();
  s.stacking_.shrink_to_fit();
  for (Element* e : s.elements_)
    if (e->kind() == ElementKind::PictureBox) static_cast<Container*>(e)->stacking_.shrink_to_fit();
}

void Tracker::markPainted(Control& control, double tpp, uint64_t palette) {
  Surface& s = control.surface_;
  if (!control.painted()) settle(s);
  // Nothing was listed before the first paint: every embedded control is painted with it.
  const std::vector<Element*>& painted = control.painted() ? s.changed_ : s.elements_;
  for (Element* e : painted) {
    e->look_.value = kUnchanged;
    if (e->kind() != ElementKind::ControlSlot) continue;
    if (Control* c = static_cast<ControlSlot*>(e)->control()) markPainted(*c, tpp, palette);
  }
  s.changed_.clear();
  s.looksUsed_ = 0;
  if (s.side_) {
    s.side_->labelsUsed = 0;
    s.side_->erased.clear();
  }
  control.dirty_ = false;
  control.paintedTpp_ = tpp;
  control.paintedPalette_ = palette;
  control.damage_.clear();
  control.damageKnown_ = true;
}

}  // namespace kyv::detail
