#pragma once
// Hstat ("KyvHStatus.Hstat"): a horizontal threshold status bar. incbar shows a reading as
// a bar growing from the left inner edge of the holder, with the caption box at the left
// end; the bands, members, events and bag are those of every StatusBar, except that the
// bag default of "CaptionVisible" is the Integer 1.
#include <cstdint>

#include "StatusBar.h"

namespace kyv {

class KYV_API Hstat : public StatusBar {
 public:
  explicit Hstat(kyv::Registry* registry = nullptr);
  static const kyv::ClassInfo& classTable();

  // Caption box of fixed width, holder beside it; the bands keep their widths, so the
  // bar shows the last reading's width in twips until the next incbar.
  void Resize() override;

 private:
  // Width v / Maxlimit of the holder's inner width; the left edge stays where it is.
  void showReading(kyv::PictureBox& band, int16_t v) override;
};

}  // namespace kyv
