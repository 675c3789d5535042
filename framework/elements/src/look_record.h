#pragma once
// How a changed element looked when its control was last painted. The first change after
// a paint keeps the element's look in a record of its surface; the next paint works out
// its damage from the records and the elements as they are now, and then lets the records
// go. Only elements changed since a paint have one, and an element made since has none:
// it showed nothing then.
#include <algorithm>
#include <cstdint>
#include <string>

#include "kyv/elements.h"

namespace kyv::detail {

// Element::look_ of an element not listed as changed.
inline constexpr uint32_t kUnchanged = UINT32_MAX;
// Element::look_ of one listed as changed without a record: made since the paint.
inline constexpr uint32_t kMadeSincePaint = UINT32_MAX - 1;

struct RectLook {
  float left = 0, top = 0, width = 0, height = 0;
  bool operator==(const RectLook&) const = default;
};

// Twips of a box's interior that painted lines cleared since the paint covered, as the
// corners of the rectangle holding them.
struct ErasedLines {
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool any = false;
  // Grows the rectangle to hold line `s`.
  void include(const DrawnLine& s) {
    if (!any) *this = {s.x1, s.y1, s.x1, s.y1, true};
    x0 = std::min({x0, s.x1, s.x2});
    y0 = std::min({y0, s.y1, s.y2});
    x1 = std::max({x1, s.x1, s.x2});
    y1 = std::max({y1, s.y1, s.y2});
  }
};

struct BoxLook {
  Colour backColor;
  int16_t borderStyle = 0;
  uint32_t lines = 0;  // drawn lines painted: the first `lines` of the box's list
  ErasedLines erased;  // painted lines cleared since
  bool sameStyle(const Container& b) const { return backColor == b.BackColor() && borderStyle == b.BorderStyle(); }
};

struct LineLook {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  Colour colour;
  int16_t style = 0, width = 0;
  bool operator==(const LineLook&) const = default;
};

struct ShapeLook {
  Colour fill, border;
  int16_t borderStyle = 0;
  bool operator==(const ShapeLook&) const = default;
};

struct LabelLook {
  std::string caption, fontName;
  float fontSize = 0;
  int fontWeight = 0;
  int16_t alignment = 0;
  Colour foreColor;
};

// What the element's kind shows besides its rectangle: the member of its kind is the one
// written and read. A new record reads as nothing shown for every kind.
union KindLook {
  KindLook() : box{} {}
  BoxLook box;  // the surface and picture boxes
  LineLook line;
  ShapeLook shape;
  int16_t imageBorder;
  const Control* slotControl;
  uint32_t label;  // which of the surface's label looks
};

struct LookRecord {
  Element* element = nullptr;
  bool visible = false;    // visible then
  bool attached = false;   // in its container's stacking order then
  bool restacked = false;  // moved in that order since
  RectLook rect;           // elements with a rectangle
  KindLook kind;
};

}  // namespace kyv::detail
