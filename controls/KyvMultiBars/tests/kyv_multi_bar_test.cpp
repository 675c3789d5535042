#include "KyvMultiBar.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "kyv/error.h"

using kyv::KyvMultiBar;

namespace {

// Everything the control's elements and surface show, as numbers in a fixed order.
std::vector<double> state(const KyvMultiBar& m) {
  const kyv::Surface& s = m.UserControl();
  std::vector<double> v{s.ScaleWidth(), s.ScaleHeight(), static_cast<double>(s.BackColor().value),
                        static_cast<double>(s.BorderStyle())};
  for (int i = 0; i < KyvMultiBar::kBars; ++i) {
    const kyv::Shape& b = m.indic(i);
    v.insert(v.end(), {double(b.Visible()), b.leftTwips(), b.topTwips(), b.widthTwips(), b.heightTwips(),
                       double(b.FillColor().value)});
  }
  for (const auto* lines : {&m.hgrd, &m.vgrd})
    lines->forEach([&](const kyv::LineElement& l) {
      v.insert(v.end(), {double(l.Visible()), l.x1Twips(), l.y1Twips(), l.x2Twips(), l.y2Twips(),
                         double(l.BorderColor().value)});
    });
  return v;
}

// A Value that leaves the rest of the layout alone must leave the control exactly as a
// whole layout pass would: two controls take the same steps, and after each Value the
// second is laid out once more from scratch (Resize runs the whole pass).
TEST(MultiBar, EveryValueLeavesWhatAWholeLayoutPassWould) {
  KyvMultiBar quick, whole;
  for (KyvMultiBar* m : {&quick, &whole}) {
    m->InitProperties();
    m->setExtent(2100, 1305);
  }
  std::mt19937 random(7);
  const auto pick = [&](int n) { return static_cast<int>(random() % n); };
  for (int step = 0; step < 3000; ++step) {
    const int what = pick(20);
    const int16_t a = static_cast<int16_t>(pick(11)), v = static_cast<int16_t>(pick(160));
    const kyv::Colour colour{static_cast<uint32_t>(pick(3) * 0x404040)};
    const float w = 600 + 300 * pick(8), h = 400 + 250 * pick(8);
    for (KyvMultiBar* m : {&quick, &whole}) {
      int16_t arg = what < 10 ? v : a;
      switch (what) {
        case 10: m->setColumns(a); break;
        case 11: m->setMaxLimit(static_cast<int16_t>(a * 25 + 1)); break;
        case 12: m->setBackColor(colour); break;
        case 13: m->setBorderStyle(static_cast<int16_t>(a % 2)); break;
        case 14: m->setBarColor(colour); break;
        case 15: m->setExtent(w, h); break;
        case 16:
        case 17: arg = static_cast<int16_t>(a % KyvMultiBar::kBars), m->Column(arg); break;
        default: m->Value(arg); break;
      }
    }
    if (what < 10 || what > 17) whole.Resize();
    ASSERT_EQ(state(quick), state(whole)) << "after step " << step << " (" << what << ")";
  }
}

TEST(MultiBar, AValueOfAHiddenBarKeepsItsHeightForWhenItIsShown) {
  KyvMultiBar m;
  m.InitProperties();
  m.setExtent(2100, 1305);
  int16_t column = 9, value = 50;
  m.Column(column);
  m.Value(value);  // bar 9 is hidden with Columns 8
  EXPECT_FALSE(m.indic(9).Visible());
  m.setColumns(10);
  EXPECT_TRUE(m.indic(9).Visible());
  EXPECT_FLOAT_EQ(m.indic(9).Height(), 50);
  EXPECT_FLOAT_EQ(m.indic(9).Top(), 50);
}

}  // namespace
