#pragma once
// HeartBeat ("KyvPulse.HeartBeat"): a patient-monitor trace. Plot adds one point per
// value, one step of the HorizCount steps across the plot area further right; once the
// trace reaches the right edge, every value moves it one step to the left. A dotted grid
// divides the area into tenths both ways. The control raises no events.
#include <cstdint>
#include <vector>

#include "kyv/control.h"
#include "kyv/element_array.h"
#include "kyv/elements.h"

namespace kyv {

class KYV_API HeartBeat : public kyv::Control {
 public:
  explicit HeartBeat(kyv::Registry* registry = nullptr);
  static const kyv::ClassInfo& classTable();

  // Steps across the width (the trace has HorizCount + 1 points). The point arrays and x
  // positions follow at the next layout; Plot uses the new count at once.
  int16_t HorizCount() const { return horizCount_; }
  void setHorizCount(int16_t v);
  // The value drawn at the top edge. The vertical scale follows at the next layout;
  // Plot uses the new maximum at once.
  int16_t MaxLimit() const { return maxLimit_; }
  void setMaxLimit(int16_t v);

  // Adds one point and leaves MaxLimit - Value in Value. MaxLimit - Value outside the
  // Integer range raises overflow before anything changes; a point past the point arrays
  // (HorizCount raised since the layout) raises subscript-out-of-range.
  void Plot(int16_t& Value);

  // Background of the plot area; a write also clears the drawn trace.
  kyv::Colour BackColor() const { return Picture1.BackColor(); }
  void setBackColor(kyv::Colour c);
  // Border of the plot area: 0 none, 1 fixed single.
  int16_t BorderStyle() const { return Picture1.BorderStyle(); }
  void setBorderStyle(int16_t style);
  // Colour of segments drawn from now on.
  kyv::Colour LineColor() const { return lineColour_; }
  void setLineColor(kyv::Colour c);
  // Visibility of the eighteen grid lines (read from vgrd(9)); nine notifications a write.
  bool GridVisible() const { return vgrd(kLines).Visible(); }
  void setGridVisible(bool visible);
  // Colour of the eighteen grid lines (read from vgrd(9)); nine notifications a write.
  kyv::Colour GridColor() const { return vgrd(kLines).BorderColor(); }
  void setGridColor(kyv::Colour c);

  void InitProperties() override;
  void Resize() override;

  static constexpr int kLines = 9;  // grid lines each way, members 1 to 9

  // Elements, in creation order; the grid lines lie inside Picture1.
  kyv::PictureBox Picture1;
  kyv::ElementArray<kyv::LineElement> grd;
  kyv::ElementArray<kyv::LineElement> vgrd;

 private:
  void layoutGrid();
  void layoutTrace();
  void grow(float y);
  void scroll(float y);
  void segment(int from, float fromY, int to);
  float& yAt(int i);
  float xAt(int i) const;

  // The fields start at their defaults, so a restore that fails part way leaves the
  // fields it did not reach usable.
  static constexpr kyv::Colour kLineColour{0xFF00};
  static constexpr int16_t kHorizCount = 10, kMaxLimit = 10;
  kyv::Colour lineColour_ = kLineColour;
  int16_t horizCount_ = kHorizCount;
  int16_t maxLimit_ = kMaxLimit;
  // The trace as of the last good layout: point i of the y_.size() points lies at
  // (i * xStep_, y_[i]). Points not plotted yet read as 0, as an empty entry does.
  float xStep_ = 0;
  std::vector<float> y_;
  int16_t p_ = 0;    // index of the latest point
  float scale_ = 0;  // plot height per unit of value
};

}  // namespace kyv
