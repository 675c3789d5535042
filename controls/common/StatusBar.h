#pragma once
// StatusBar: what the vertical and the horizontal threshold status bars share. incbar
// shows a reading in one of three band segments (blue at or below MinThreshold, green up
// to MaxThreshold, red above it) inside the bar holder, writes it into the caption box,
// repaints and raises MinThreshReached, NormalOPs or MaxThreshReached. The member table,
// the events and the bag order are common too. A subclass places the elements (their
// design-time rectangles and its Resize) and sizes the segment that a reading shows.
#include <cstdint>
#include <string_view>

#include "kyv/class_table.h"
#include "kyv/control.h"
#include "kyv/element_array.h"
#include "kyv/elements.h"

namespace kyv {

class KYV_API StatusBar : public kyv::Control {
 public:
  // Border of the bar holder: 0 none, 1 sunken.
  int16_t BorderStyle() const { return holdbar.BorderStyle(); }
  void setBorderStyle(int16_t style);
  // Border of the three segments (read from BarSeg(2)); 1 gives them a sunken edge.
  int16_t Bar3D() const { return BarSeg(2).BorderStyle(); }
  void setBar3D(int16_t style);
  // Shows or hides the caption box; its place stays reserved either way.
  bool CaptionVisible() const { return datpict.Visible(); }
  void setCaptionVisible(bool visible);
  // Border of the caption box.
  int16_t CaptionBorder() const { return datpict.BorderStyle(); }
  void setCaptionBorder(int16_t style);
  // Colour of the empty bar (holdbar); a write colours the caption box too.
  kyv::Colour BackColor() const { return holdbar.BackColor(); }
  void setBackColor(kyv::Colour c);
  // Colour of the normal band (BarSeg(0)).
  kyv::Colour FillColor() const { return BarSeg(0).BackColor(); }
  void setFillColor(kyv::Colour c);
  // Colour of the high band (BarSeg(2)).
  kyv::Colour maxthreshcolor() const { return BarSeg(2).BackColor(); }
  void setmaxthreshcolor(kyv::Colour c);
  // Readings up to and including MinThreshold are low.
  int16_t MinThreshold() const { return minThreshold_; }
  void setMinThreshold(int16_t v);
  // Readings above MaxThreshold are high.
  int16_t MaxThreshold() const { return maxThreshold_; }
  void setMaxThreshold(int16_t v);
  // The reading that fills the holder exactly.
  int16_t Maxlimit() const { return maxlimit_; }
  void setMaxlimit(int16_t v);
  // Colour of the low band (BarSeg(1)).
  kyv::Colour minthreshcolor() const { return BarSeg(1).BackColor(); }
  void setminthreshcolor(kyv::Colour c);

  // Shows one reading (never changes BarData). Maxlimit 0 raises division-by-zero and a
  // negative size invalid-property-value, after the band's visibility changes.
  void incbar(int16_t& BarData);

  void InitProperties() override;

  // Elements, in creation order. BarSeg stacks 1 (back), 0, 2 (front) inside holdbar.
  kyv::PictureBox datpict;
  kyv::Label cntlbl;
  kyv::PictureBox holdbar;
  kyv::ElementArray<kyv::PictureBox> BarSeg;

 protected:
  // What one status bar class declares beyond the shared table.
  struct ClassDesign {
    std::string_view className;
    kyv::DesignExtent extent;             // default and smallest extent, twips
    kyv::Variant captionVisibleDefault;   // the bag default of "CaptionVisible"
    std::string_view title, description;  // how hosts present it (kyv::Presentation)
    bool growsAcross, growsDown;          // the bar grows along its length, not across it
  };
  using Table = kyv::ClassTable<StatusBar>;
  static Table makeTable(const ClassDesign& design);

  // Makes the elements with the settings both bars share; `captionPoints` sizes the number.
  StatusBar(const kyv::ClassInfo& info, kyv::Registry* registry, float captionPoints);

  // Sizes `band`, which incbar has just made the visible band, for reading v >= 0.
  virtual void showReading(kyv::PictureBox& band, int16_t v) = 0;
  // v / Maxlimit with both as Singles, the quotient kept at full precision; Maxlimit 0
  // raises division-by-zero.
  double fractionOfMaxlimit(int16_t v) const;
  // `size`, with a zero of either sign as +0: a zero reading over a negative Maxlimit gives
  // -0, which would otherwise stay stored through later zero readings (equal to 0, so no
  // change) and dump differently from the same state reached another way.
  static float plainZero(float size) { return size == 0 ? 0.0f : size; }

 private:
  void setCaption(int16_t v);

  // The fields start at their defaults, so a restore that fails part way leaves the
  // fields it did not reach usable.
  static constexpr int16_t kMinThreshold = 0, kMaxThreshold = 40, kMaxlimit = 100;
  int16_t minThreshold_ = kMinThreshold;
  int16_t maxThreshold_ = kMaxThreshold;
  int16_t maxlimit_ = kMaxlimit;
};

}  // namespace kyv
