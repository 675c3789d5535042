#include "Hstat.h"

#include "kyv/plugin.h"

namespace kyv {

const kyv::ClassInfo& Hstat::classTable() {
  static const Table table = makeTable({"KyvHStatus.Hstat",
                                        {4035, 510, 1050, 330},
                                        int16_t(1),
                                        "Horizontal status bar",
                                        "A horizontal bar coloured by threshold band, with the reading at its left end",
                                        true,
                                        false});
  return table;
}

// The bands' tops are never set again: BarSeg(1) keeps its design top of -15.
Hstat::Hstat(kyv::Registry* registry) : StatusBar(classTable(), registry, 9.75f) {
  datpict.setRectTwips(0, 0, 540, 495);
  cntlbl.setRectTwips(210, 90, 105, 225);
  holdbar.setRectTwips(540, 0, 3495, 510);
  BarSeg(0).setRectTwips(45, 0, 0, 450);
  BarSeg(1).setRectTwips(15, -15, 0, 450);
  BarSeg(2).setRectTwips(210, 0, 0, 450);
}

void Hstat::showReading(kyv::PictureBox& band, int16_t v) {
  band.setWidth(plainZero(static_cast<float>(fractionOfMaxlimit(v) * holdbar.ScaleWidth())));
}

void Hstat::Resize() {
  const float w = UserControl().ScaleWidth();
  const float h = UserControl().ScaleHeight();
  datpict.setHeight(h);
  holdbar.setLeft(datpict.Width());
  holdbar.setWidth(w - datpict.Width());
  holdbar.setHeight(h);
  for (int i = 0; i < 3; ++i) {
    BarSeg(i).setHeight(holdbar.Height());
    BarSeg(i).setLeft(holdbar.ScaleLeft());
  }
  cntlbl.setLeft((datpict.ScaleWidth() - cntlbl.Width()) / 2);
  cntlbl.setTop((datpict.ScaleHeight() - cntlbl.Height()) / 2);
}

}  // namespace kyv

KYV_CONTROL_LIBRARY(kyv::plugin<kyv::Hstat>())
