#include "damage.h"

#include <algorithm>
#include <array>

#include "geometry.h"
#include "kyv/elements.h"

namespace kyv::detail {
namespace {

using paint::Scale;

// Past this many changed segments in a box, their damage is the rectangle holding them.
constexpr size_t kManySegments = 16;

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

  const Where& where(const Container& box);
  Where compute(const Container& box);
  void element(Element& e);
  void segments(const Container& box);
  void add(const PixelRect& r, const PixelRect& clip) { out_.add(intersect(r, clip)); }
  // A line damages the pixels it may set.
  void add(const paint::DeviceLine& l, const PixelRect& clip) { add(paint::bounds(l), clip); }
  PixelRect device(const RectElement::Rect& r, const Where& w) const {
    return scale_.rect(w.ix + r.left, w.iy + r.top, r.width, r.height);
  }

  const Scale& scale_;
  Region& out_;
  // The control being worked on: its surface and where it is drawn.
  const Surface* surface_ = nullptr;
  double x_ = 0, y_ = 0;
  PixelRect clip_;
  // Recently asked places of containers.
  static constexpr size_t kKnown = 4;
  const Container* knownBox_[kKnown] = {};
  Where known_[kKnown];
  size_t next_ = 0;
};

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
    shown = parent.shown && box.Visible() && box.track_.value.attached;
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
  const Element::Track& t = e.track_.value;
  const bool wasShown = t.paintedAttached && t.paintedVisible, isShown = t.attached && e.visible_;
  if (&e == surface_) {
    const auto& s = static_cast<const Surface&>(e);
    const bool same = s.painted_.value == Container::Look{s.backColor_, s.borderStyle_} &&
                      static_cast<const RectElement&>(s).painted_.value ==
                          RectElement::Rect{s.leftTwips(), s.topTwips(), s.widthTwips(), s.heightTwips()};
    if (!same) {
      const RectElement::Rect& p = static_cast<const RectElement&>(s).painted_.value;
      add(scale_.rect(x_ + p.left, y_ + p.top, p.width, p.height), clip_);
      add(scale_.rect(x_, y_, s.widthTwips(), s.heightTwips()), clip_);
      return;
    }
    segments(s);
    return;
  }
  if (!wasShown && !isShown) return;
  const Where& w = where(*e.parent());
  if (!w.shown) return;
  const PixelRect& clip = w.clip;
  const auto addTo = [&](const PixelRect& r) { add(r, clip); };
  const bool bothShown = wasShown && isShown && !t.restacked;
  switch (e.kind()) {
    case ElementKind::Shape: {
      const auto& s = static_cast<const Shape&>(e);
      const auto& painted = static_cast<const RectElement&>(s).painted_.value;
      const RectElement::Rect now{s.leftTwips(), s.topTwips(), s.widthTwips(), s.heightTwips()};
      const Shape::Look& look = s.painted_.value;
      if (bothShown && look == s.look() && painted == now) return;
      const PixelRect before = device(painted, w), after = device(now, w);
      if (bothShown && look == s.look()) {
        addMove(before, after, look.borderStyle ? static_cast<int>(scale_.scaled(1)) : 0, addTo);
        return;
      }
      if (wasShown) addTo(before);
      if (isShown) addTo(after);
      return;
    }
    case ElementKind::Image: {
      const auto& i = static_cast<const Image&>(e);
      const auto& painted = static_cast<const RectElement&>(i).painted_.value;
      const RectElement::Rect now{i.leftTwips(), i.topTwips(), i.widthTwips(), i.heightTwips()};
      if (bothShown && i.painted_.value == i.BorderStyle()) {
        if (i.BorderStyle()) addMove(device(painted, w), device(now, w), static_cast<int>(scale_.scaled(1)), addTo);
        return;
      }
      if (wasShown && i.painted_.value)
        for (const PixelRect& side : paint::outline(scale_, device(painted, w)).sides) addTo(side);
      if (isShown && i.BorderStyle())
        for (const PixelRect& side : paint::outline(scale_, device(now, w)).sides) addTo(side);
      return;
    }
    case ElementKind::Line: {
      const auto& l = static_cast<const LineElement&>(e);
      const LineElement::Look& p = l.painted_.value;
      if (bothShown && p == l.look()) return;
      if (wasShown) add(paint::deviceLine(scale_, w.ix + p.x1, w.iy + p.y1, w.ix + p.x2, w.iy + p.y2, p.style, p.width), clip);
      if (isShown)
        add(paint::deviceLine(scale_, w.ix + l.x1Twips(), w.iy + l.y1Twips(), w.ix + l.x2Twips(), w.iy + l.y2Twips(),
                              l.BorderStyle(), l.BorderWidth()),
            clip);
      return;
    }
    case ElementKind::Label: {
      const auto& l = static_cast<const Label&>(e);
      const Label::Look& p = l.painted_.value;
      const auto& rect = static_cast<const RectElement&>(l).painted_.value;
      const RectElement::Rect now{l.leftTwips(), l.topTwips(), l.widthTwips(), l.heightTwips()};
      const bool same = p.caption == l.Caption() && p.fontName == l.FontName() && p.fontSize == l.FontSize() &&
                        p.fontWeight == l.FontWeight() && p.alignment == l.Alignment() && p.foreColor == l.ForeColor() &&
                        rect.left == now.left && rect.top == now.top && rect.width == now.width;
      if (bothShown && same) return;
      // Each placement is used before the next: the glyph cache may let go of the first.
      if (wasShown)
        addTo(paint::inkBounds(paint::placeText(scale_, p.caption, p.fontName, p.fontWeight, p.fontSize, p.alignment,
                                                w.ix + rect.left, w.iy + rect.top, rect.width),
                               clip));
      if (isShown)
        addTo(paint::inkBounds(paint::placeText(scale_, l.Caption(), l.FontName(), l.FontWeight(), l.FontSize(),
                                                l.Alignment(), w.ix + now.left, w.iy + now.top, now.width),
                               clip));
      return;
    }
    case ElementKind::PictureBox: {
      const auto& b = static_cast<const Container&>(e);
      const auto& painted = static_cast<const RectElement&>(b).painted_.value;
      const RectElement::Rect now{b.leftTwips(), b.topTwips(), b.widthTwips(), b.heightTwips()};
      const PixelRect before = device(painted, w), after = device(now, w);
      const Container::Look& look = b.painted_.value;
      const bool sameLook = look == Container::Look{b.BackColor(), b.BorderStyle()};
      // Resized in place, the box keeps its children where they were; a box with nothing
      // in it is a rectangle and its edge wherever it goes. Either gains or loses pixels
      // and moves its edge.
      const bool empty = b.stacking_.empty() && b.segments_.empty() && !b.erased_.value.any && b.paintedSegments_.value == 0;
      if (bothShown && sameLook && (empty || (painted.left == now.left && painted.top == now.top))) {
        addMove(before, after, look.borderStyle ? 2 * static_cast<int>(scale_.scaled(1)) : 0, addTo);
        segments(b);
        return;
      }
      if (wasShown) addTo(before);
      if (isShown) addTo(after);
      return;
    }
    case ElementKind::ControlSlot: {
      auto& slot = static_cast<ControlSlot&>(e);
      const auto& painted = static_cast<const RectElement&>(slot).painted_.value;
      Control* c = slot.control();
      const Control* paintedControl = slot.painted_.value;
      const bool sameControl = c == paintedControl;
      // In place and of the same size, the embedded control's own damage is the slot's.
      const bool samePlace = painted.left == slot.leftTwips() && painted.top == slot.topTwips();
      const bool sameSize = !c || !c->UserControl().track_.value.changed ||
                            static_cast<const RectElement&>(c->UserControl()).painted_.value ==
                                RectElement::Rect{0, 0, c->UserControl().widthTwips(), c->UserControl().heightTwips()};
      if (bothShown && sameControl && samePlace && sameSize) {
        if (!c) return;
        const Surface& s = c->UserControl();
        const double x = w.ix + slot.leftTwips(), y = w.iy + slot.topTwips();
        const PixelRect extent = scale_.rect(x, y, s.widthTwips(), s.heightTwips());
        if (c->paintedTpp_ == 0) return addTo(extent);
        Damage(scale_, out_).control(*c, x, y, intersect(clip, extent));
        return;
      }
      // An embedded control takes the slot's size; one replaced since the paint is gone.
      const auto footprint = [&](const Control* control, const RectElement::Rect& at, bool before) {
        float width = at.width, height = at.height;
        if (control) {
          const Surface& s = control->UserControl();
          const bool sizeChanged = before && s.track_.value.changed;
          const auto& p = static_cast<const RectElement&>(s).painted_.value;
          width = sizeChanged ? p.width : s.widthTwips();
          height = sizeChanged ? p.height : s.heightTwips();
        }
        return scale_.rect(w.ix + at.left, w.iy + at.top, width, height);
      };
      if (wasShown && paintedControl) addTo(footprint(sameControl ? c : nullptr, painted, true));
      if (isShown && c)
        addTo(footprint(c, {slot.leftTwips(), slot.topTwips(), slot.widthTwips(), slot.heightTwips()}, false));
      return;
    }
    case ElementKind::Surface: return;
  }
}

// Segments cleared since the paint damage the rectangle that held them; segments added
// since, each its own bounds, or many of them (a trace drawn anew) the rectangle that holds
// them all, found in twips.
void Tracker::Damage::segments(const Container& box) {
  const Container::Erased& erased = box.erased_.value;
  const std::vector<Segment>& now = box.segments_;
  const size_t from = std::min(box.paintedSegments_.value, now.size());
  if (!erased.any && from == now.size()) return;
  const Where& w = where(box);
  if (!w.shown) return;
  // A segment from corner to corner has the bounds of the rectangle between them.
  const auto bounds = [&](float x1, float y1, float x2, float y2) {
    return paint::bounds(paint::deviceLine(scale_, w.ix + x1, w.iy + y1, w.ix + x2, w.iy + y2, 1, 1));
  };
  if (now.size() - from <= kManySegments) {
    if (erased.any) add(bounds(erased.x0, erased.y0, erased.x1, erased.y1), w.clip);
    for (size_t i = from; i < now.size(); ++i) add(bounds(now[i].x1, now[i].y1, now[i].x2, now[i].y2), w.clip);
    return;
  }
  Container::Erased all = erased;
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

void Tracker::markPainted(Control& control, double tpp, uint64_t palette) {
  Surface& s = control.surface_;
  for (Element* e : s.changed_) {
    Element::Track& t = e->track_.value;
    t.changed = false;
    t.restacked = false;
    if (e->kind() == ElementKind::Surface || e->kind() == ElementKind::PictureBox) {
      auto& box = static_cast<Container&>(*e);
      box.erased_.value = {};
      box.paintedSegments_.value = box.segments_.size();
    } else if (e->kind() == ElementKind::ControlSlot) {
      if (Control* c = static_cast<ControlSlot*>(e)->control()) markPainted(*c, tpp, palette);
    }
  }
  s.changed_.clear();
  control.dirty_ = false;
  control.paintedTpp_ = tpp;
  control.paintedPalette_ = palette;
  control.damage_.clear();
  control.damageKnown_ = true;
}

}  // namespace kyv::detail
