#pragma once
// KyvMultiBar ("KyvMultiBars.KyvMultiBar"): up to ten level bars side by side, each rising
// from the bottom edge. Column selects a bar and Value sets its height in units of
// MaxLimit; lines in the background colour over the bars cut each into ten segments and
// part the columns. Every Columns write and every resize runs the whole layout pass, and so
// does a Value when anything the pass works from (Columns, MaxLimit, the surface's size,
// border and colour) has changed since the last one; otherwise a Value changes its
// own bar alone, which is all the pass would change. The pass cannot fail: the values it
// works from are checked where they enter.
#include <cstdint>

#include "kyv/control.h"
#include "kyv/element_array.h"
#include "kyv/elements.h"

namespace kyv {

class KYV_API KyvMultiBar : public kyv::Control {
 public:
  static constexpr int kBars = 10;

  explicit KyvMultiBar(kyv::Registry* registry = nullptr);
  static const kyv::ClassInfo& classTable();

  // Colour of the surface; the separator lines take it at the next layout pass.
  kyv::Colour BackColor() const { return UserControl().BackColor(); }
  void setBackColor(kyv::Colour c);
  // Border of the surface: 0 none, 1 sunken.
  int16_t BorderStyle() const { return UserControl().BorderStyle(); }
  void setBorderStyle(int16_t style);
  // Fill of the visible bars: a write colours bars 0 .. Columns-1 (hidden bars keep their
  // colour); a read returns the fill of bar Columns-1, or 0 when no bar is visible.
  kyv::Colour BarColor() const;
  void setBarColor(kyv::Colour c);
  // Number of bars shown, from bar 0: 0 to 10, else invalid-property-value. A write lays out.
  int16_t Columns() const { return columns_; }
  void setColumns(int16_t n);
  // The value that fills the whole height, above 0, else invalid-property-value. It takes
  // effect at the next layout pass: the Value right after a write still measures against
  // the old one.
  int16_t MaxLimit() const { return maxLimit_; }
  void setMaxLimit(int16_t v);

  // Selects the bar the next Value sets: 0 to 9, else subscript-out-of-range.
  void Column(int16_t& ColumnNumber);
  // Gives the selected bar a height of Values units of the last layout's scale, then lays
  // out as the class comment says; a value above MaxLimit shows a full bar. Negative:
  // invalid-property-value.
  void Value(int16_t& Values);

  void InitProperties() override;
  // The layout pass.
  void Resize() override { layout(); }

  // Elements, in creation order and stacking, all on the surface: the lines lie over the bars.
  kyv::ElementArray<kyv::Shape> indic;       // the bars, 0 to 9
  kyv::ElementArray<kyv::LineElement> hgrd;  // a line at every tenth of the height, 0 to 10
  kyv::ElementArray<kyv::LineElement> vgrd;  // a line at each column's left edge, 0 to 10

 private:
  // What a layout pass works from besides the bars' heights (the scale it sets follows
  // from MaxLimit). A Value that finds it as the last pass left it changes one bar, and the
  // pass would change nothing else.
  struct LayoutBasis {
    int16_t columns = -1, maxLimit = 0, borderStyle = 0;
    kyv::Colour back{0};
    float width = 0, height = 0;
    bool operator==(const LayoutBasis& o) const;
  };
  LayoutBasis basis() const;
  void layout();
  // Stands visible bar `i` on the bottom edge at its height, as the layout pass does.
  void standOnBottom(int i, float scaleHeight);

  // The fields start at their defaults, so a restore that fails part way leaves the
  // fields it did not reach usable.
  static constexpr int16_t kColumns = 8, kMaxLimit = 100;
  int16_t columns_ = kColumns;
  int16_t maxLimit_ = kMaxLimit;
  int16_t selected_ = 0;
  LayoutBasis laidOut_;  // the basis of the last layout pass; none before the first
};

}  // namespace kyv
