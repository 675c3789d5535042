#include "Kyvvstat.h"

#include "kyv/plugin.h"

namespace kyv {

const kyv::ClassInfo& Kyvvstat::classTable() {
  static const Table table = makeTable({"KyvVStatus.Kyvvstat",
                                        {465, 3540, 240, 750},
                                        true,
                                        "Vertical status bar",
                                        "A vertical bar coloured by threshold band, with the reading below it",
                                        false,
                                        true});
  return table;
}

Kyvvstat::Kyvvstat(kyv::Registry* registry) : StatusBar(classTable(), registry, 9) {
  datpict.setRectTwips(0, 3210, 465, 330);
  cntlbl.setRectTwips(135, 45, 120, 195);
  holdbar.setRectTwips(0, 0, 465, 3225);
}

void Kyvvstat::showReading(kyv::PictureBox& band, int16_t v) {
  band.setHeight(plainZero(static_cast<float>(fractionOfMaxlimit(v) * holdbar.ScaleHeight())));
  band.setTop(holdbar.ScaleHeight() - band.Height());
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
    kyv::PictureBox& band = BarSeg(i);
    band.setHeight(0);
    band.setWidth(holdbar.Width());
    band.setLeft(holdbar.Left());
    band.setTop(holdbar.ScaleHeight() - band.Height());
  }
  cntlbl.setLeft((datpict.ScaleWidth() - cntlbl.Width()) / 2);
  cntlbl.setTop((datpict.ScaleHeight() - cntlbl.Height()) / 2);
}

}  // namespace kyv

KYV_CONTROL_LIBRARY(kyv::plugin<kyv::Kyvvstat>())
