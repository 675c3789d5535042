#pragma once
// How a changed element looked when its control was last painted. The first change after
// a paint keeps the element's look in a record of its surface; the next paint works out
// its damage from the records and the elements as they are now, and then lets the records
// go. Only elements changed since a paint have one, and an element made since has none:
// it showed nothing then.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

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

// A line's end points, twips of its container's interior.
struct LineEnds {
  float x1, y1, x2, y2;
  bool operator==(const LineEnds&) const = default;
};

// Twips of a box's interior that painted lines cleared since the paint covered, as the
// corners of the rectangle holding them. Few boxes clear lines between two paints: the
// surface keeps these apart from the records, which stay small.
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

struct ErasedLook {
  const Element* box = nullptr;
  ErasedLines lines;
};

struct BoxLook {
  Colour backColor;
  int16_t borderStyle = 0;
  uint32_t lines = 0;  // drawn lines painted: the first `lines` of the box's list
  bool sameStyle(const Container& b) const { return backColor == b.BackColor() && borderStyle == b.BorderStyle(); }
};

struct LineLook {
  Colour colour;
  int16_t style = 0, width = 0;
  bool operator==(const LineLook&) const = default;
};

struct ShapeLook {
  Colour fill, border;
  int16_t borderStyle = 0;
  bool operator==(const ShapeLook&) const = default;
};

struct SlotLook {
  uint32_t placed = 0;  // which control the slot held: ControlSlot::placed_ then
  bool held = false;    // whether it held one
};

struct LabelLook {
  std::string caption, fontName;
  float fontSize = 0;
  int fontWeight = 0;
  int16_t alignment = 0;
  Colour foreColor;
};

// What the element's kind shows besides its place: the member of its kind is the one
// written and read. A new record reads as nothing shown for every kind.
union KindLook {
  KindLook() : box{} {}
  BoxLook box;  // the surface and picture boxes
  LineLook line;
  ShapeLook shape;
  int16_t imageBorder;
  SlotLook slot;
  uint32_t label;  // which of the surface's label looks
};

struct LookRecord {
  Element* element = nullptr;
  bool visible = false;      // visible then
  bool attached = false;     // in its container's stacking order then
  bool restacked = false;    // moved in that order since
  bool erasedLines = false;  // a box that cleared painted lines since: see Surface::erasedLinesOf
  union {
    RectLook rect{};  // elements with a rectangle
    LineEnds ends;    // lines
  };
  KindLook kind;
};
// What a surface keeps beside its records, for the few elements that need more.
struct SideLooks {
  std::vector<LabelLook> labels;  // the first labelsUsed are in use
  std::vector<ErasedLook> erased;
  uint32_t labelsUsed = 0;
};

// Steady changes keep one record an element: its size is a control's memory.
static_assert(sizeof(void*) != 8 || sizeof(LookRecord) == 40);

}  // namespace kyv::detail
