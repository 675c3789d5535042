#include "Kyvvstat.h"

#include "kyv/plugin.h"

namespace kyv {

const kyv::ClassInfo& Kyvvstat::classTable() {
  static const Table table = makeTable({"KyvVStatus.Kyvvstat", {465, 3540, 240, 750}, true});
  return table;
}

Kyvvstat::Kyvvstat(kyv::Registry* registry) : StatusBar(classTable(), registry, 9) {
  datpict.setRectTwips(0, 3210, 465, 330);
  cntlbl.setRectTwips(135, 45, 120, 195);
  holdbar.setRectTwips(0, 0, 465, 3225);
}

void Kyvvstat::showReading(kyv::PictureBox& segment, int16_t v) {
  segment.setHeight(plainZero(static_cast<float>(share(v) * holdbar.ScaleHeight())));
  segment.setTop(holdbar.ScaleHeight() - segment.Height());
}

void Kyvvstat::Resize() {
  const float w = UserControl().ScaleWidth();
  const float h = UserControl().ScaleHeight();
  holdbar.setTop(0);
  holdbar.setWidth(w);
  holdbar.setHeight(h - datpict.Height());
  datpict.setTop(holdbar.Height());
  datpict.setWidth(w);
  datpict.setHeight(h - holdbar.Height());
  for (int i = 0; i < 3; ++i) {
    kyv::PictureBox& segment = BarSeg(i);
    segment.setHeight(0);
    segment.setWidth(holdbar.Width());
    segment.setLeft(holdbar.Left());
    segment.setTop(holdbar.ScaleHeight() - segment.Height());
  }
  cntlbl.setLeft((datpict.ScaleWidth() - cntlbl.Width()) / 2);
  cntlbl.setTop((datpict.ScaleHeight() - cntlbl.Height()) / 2);
}

}  // namespace kyv

KYV_CONTROL_LIBRARY(kyv::plugin<kyv::Kyvvstat>())
