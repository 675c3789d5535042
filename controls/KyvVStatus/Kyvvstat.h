#pragma once
// Kyvvstat ("KyvVStatus.Kyvvstat"): a vertical threshold status bar. incbar shows a
// reading as a bar rising from the bottom of the holder, with the caption box below it;
// the bands, members, events and bag are those of every StatusBar.
#include <cstdint>

#include "StatusBar.h"

namespace kyv {

class KYV_API Kyvvstat : public StatusBar {
 public:
  explicit Kyvvstat(kyv::Registry* registry = nullptr);
  static const kyv::ClassInfo& classTable();

  // Holder over a caption strip of fixed height; empties the bar (all bands 0 high).
  void Resize() override;

 private:
  // Height v / Maxlimit of the holder's inner height, read back and stood on its bottom.
  void showReading(kyv::PictureBox& band, int16_t v) override;
};

}  // namespace kyv
