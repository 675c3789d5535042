#pragma once
// KyvMovingBar ("KyvMovingBars.KyvMovingBar"): a scrolling bar graph. MoveBar adds one
// value as a bar standing on the bottom of the chart frame; the row fills from the left,
// then scrolls: the newest value enters at the right, the oldest leaves at the left.
// Nine grid lines divide the height into tenths, each labelled with its share of
// MaxLimit. BackColor colours the bars and FillColor the background behind them.
#include <cstdint>

#include "kyv/control.h"
#include "kyv/element_array.h"
#include "kyv/elements.h"

namespace kyv {

class KYV_API KyvMovingBar : public kyv::Control {
 public:
  explicit KyvMovingBar(kyv::Registry* registry = nullptr);
  static const kyv::ClassInfo& classTable();

  // Adds x as the newest bar (x is not changed) and raises MaxLimitReached when
  // x >= MaxLimit, else NormalOPs. MaxLimit 0 raises division-by-zero and a negative
  // height invalid-property-value, before any event and with the bars as they were.
  void MoveBar(int16_t& x);
  // The bars the row holds once full at the chart's present width: the latest readings the
  // graph shows (the row scrolls from the next one on).
  int barsShown() const;

  // A stored number; it draws nothing.
  int16_t value() const { return value_; }
  void setvalue(int16_t v);
  // The value of a bar as high as the frame, and of the grid labels at the next layout.
  int32_t MaxLimit() const { return maxLimit_; }
  void setMaxLimit(int32_t v);
  // Visibility of the nine grid lines; one notification per write.
  bool showgrid() const { return grd(kLines).Visible(); }
  void setshowgrid(bool visible);
  // Visibility of the nine grid labels; one notification per write.
  bool showLabel() const { return lbl(kLines).Visible(); }
  void setshowLabel(bool visible);
  // Colour of the bars (read from the last bar); a write colours every bar and notifies
  // once per bar. Bars added later copy lvl(0).
  kyv::Colour BackColor() const { return lvl(lvl.Count() - 1).FillColor(); }
  void setBackColor(kyv::Colour c);
  // Border of the chart frame: 0 none, 1 fixed single.
  int16_t BorderStyle() const { return schart.BorderStyle(); }
  void setBorderStyle(int16_t style);
  // Colour of the background behind the bars.
  kyv::Colour FillColor() const { return UserControl().BackColor(); }
  void setFillColor(kyv::Colour c);

  void InitProperties() override;
  void Resize() override;

  static constexpr int kLines = 9;  // grid lines and labels, members 1 to 9

  // Elements, in creation order, which is also their stacking from the back: the frame,
  // the bars, the grid lines, the labels in front.
  kyv::Image schart;
  kyv::ElementArray<kyv::Shape> lvl;
  kyv::ElementArray<kyv::LineElement> grd;
  kyv::ElementArray<kyv::Label> lbl;

 private:
  float barHeight(int16_t x) const;
  void append(kyv::Shape& bar, int n);
  void shiftLeft(int n);
  void raiseFor(int16_t x);

  // The fields start at their defaults, so a restore that fails part way leaves the
  // fields it did not reach usable.
  static constexpr int16_t kValue = 0;
  static constexpr int32_t kMaxLimit = 100;
  int16_t value_ = kValue;
  int32_t maxLimit_ = kMaxLimit;
};

}  // namespace kyv
