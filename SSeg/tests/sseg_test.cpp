// The single digit's logic: which segments each value lights, the layout arithmetic, and
// what the property writes touch. Output seen by hosts is covered by the kyvhost scripts.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "kyv/bag.h"
#include "kyv/site.h"
#include "sseg.h"

namespace {

// The segments each digit lights, seg(0) first: UR LR B LL UL T M.
const char* const kLit[10] = {"XXXXXX.", "XX.....", "X.XX.XX", "XXX..XX", "XX..X.X",
                              ".XX.XXX", ".XXXXXX", "XX...X.", "XXXXXXX", "XX..XXX"};

std::string lit(const sseg& d) {
  std::string s;
  for (int i = 0; i < 7; ++i) s += d.seg(i).Visible() ? 'X' : '.';
  return s;
}

struct Notes : kyv::Site {
  std::vector<std::string> changed;
  void propertyChanged(kyv::Control&, std::string_view p) override { changed.emplace_back(p); }
};

struct Digit : ::testing::Test {
  Digit() {
    d.setSite(&notes);
    d.InitProperties();
    d.setExtent(870, 1125);
  }
  int32_t send(int32_t v) {
    int32_t arg = v;
    const int32_t result = d.send(arg);
    EXPECT_EQ(arg, v);
    return result;
  }
  sseg d;
  Notes notes;
};

TEST_F(Digit, EveryDigitLightsExactlyItsSegments) {
  for (int32_t v = 0; v <= 9; ++v) {
    EXPECT_EQ(send(v), 0);
    EXPECT_EQ(lit(d), kLit[v]) << "digit " << v;
  }
  // From any digit to any other: nothing of the previous one is left over.
  for (int32_t from = 0; from <= 9; ++from)
    for (int32_t to = 0; to <= 9; ++to) {
      send(from);
      send(to);
      ASSERT_EQ(lit(d), kLit[to]) << from << " then " << to;
    }
}

TEST_F(Digit, ValuesOutsideZeroToNineChangeNothing) {
  send(4);
  for (int32_t v : {10, -1, 11, 100, INT32_MAX, INT32_MIN}) {
    EXPECT_EQ(send(v), 0);
    EXPECT_EQ(lit(d), kLit[4]) << v;
  }
}

TEST_F(Digit, LaysOutTheSegmentsInTheMiddleThirdOfTheFace) {
  // The frame's sunken border takes 30 twips on each side: the face is 810 x 1065.
  ASSERT_EQ(d.digit(0).ScaleWidth(), 810);
  ASSERT_EQ(d.digit(0).ScaleHeight(), 1065);
  const float expected[7][4] = {
      {590, 227.5f, 590, 482.5f},     // upper right
      {590, 582.5f, 590, 837.5f},     // lower right
      {270, 887.5f, 540, 887.5f},     // bottom
      {220, 582.5f, 220, 837.5f},     // lower left
      {220, 227.5f, 220, 482.5f},     // upper left
      {270, 177.5f, 540, 177.5f},     // top
      {270, 532.5f, 540, 532.5f},     // middle
  };
  for (int i = 0; i < 7; ++i) {
    const kyv::LineElement& s = d.seg(i);
    EXPECT_EQ(s.X1(), expected[i][0]) << i;
    EXPECT_EQ(s.Y1(), expected[i][1]) << i;
    EXPECT_EQ(s.X2(), expected[i][2]) << i;
    EXPECT_EQ(s.Y2(), expected[i][3]) << i;
  }
}

TEST_F(Digit, LayoutIsSinglePrecision) {
  d.setBorderStyle(0);
  d.setExtent(1000, 1000);
  const float w3 = 1000.0f / 3.0f, h3 = 1000.0f / 3.0f;
  EXPECT_EQ(d.seg(0).X1(), 2 * w3 + 50);
  EXPECT_EQ(d.seg(6).Y1(), h3 / 2 + h3);
  EXPECT_EQ(d.seg(1).Y2(), 2 * h3 + h3 / 2 - 50);
  EXPECT_EQ(d.seg(3).X1(), w3 - 50);
}

TEST_F(Digit, SmallFacesAreNotClamped) {
  d.setBorderStyle(0);
  d.setExtent(120, 240);
  EXPECT_GT(d.seg(0).Y1(), d.seg(0).Y2());  // verticals' ends cross below 300 twips
  EXPECT_EQ(d.seg(4).X1(), -10);            // left verticals at w3 - 50 < 0
  d.setExtent(0, 0);
  EXPECT_EQ(d.seg(5).X1(), 0);
  EXPECT_EQ(d.seg(2).Y1(), 0);
  EXPECT_EQ(lit(d), kLit[0]);
}

TEST_F(Digit, ResizeShowsZero) {
  send(7);
  d.setExtent(600, 900);
  EXPECT_EQ(lit(d), kLit[0]);
  send(1);
  d.setExtent(600, 900);
  EXPECT_EQ(lit(d), kLit[0]);
}

TEST_F(Digit, DisplayColorRecoloursLitAndUnlitSegments) {
  send(1);
  notes.changed.clear();
  d.setDisplayColor(kyv::Colour{0xFF0000});
  EXPECT_EQ(notes.changed, std::vector<std::string>(7, "DisplayColor"));
  send(8);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(d.seg(i).BorderColor(), kyv::Colour{0xFF0000}) << i;
  EXPECT_EQ(d.DisplayColor(), kyv::Colour{0xFF0000});
}

TEST_F(Digit, RejectedColourStopsBeforeItsNotification) {
  notes.changed.clear();
  EXPECT_THROW(d.setDisplayColor(kyv::Colour{0x7F000000}), kyv::Error);
  EXPECT_TRUE(notes.changed.empty());
  EXPECT_EQ(d.seg(0).BorderColor(), kyv::Colour{0x00FF00});
  EXPECT_THROW(d.setBackColor(kyv::Colour{0x800000FF}), kyv::Error);
  EXPECT_EQ(d.BackColor(), kyv::Colour{0x80000008});
  EXPECT_THROW(d.setBorderStyle(2), kyv::Error);
  EXPECT_TRUE(notes.changed.empty());
}

TEST_F(Digit, BorderStyleKeepsTheLayoutOfTheLastResize) {
  const float x = d.seg(0).X1(), y = d.seg(1).Y2();
  d.setBorderStyle(0);
  EXPECT_EQ(d.Picture1.BorderStyle(), 0);
  EXPECT_EQ(d.seg(0).X1(), x);
  EXPECT_EQ(d.seg(1).Y2(), y);
  EXPECT_EQ(notes.changed, std::vector<std::string>{"BorderStyle"});
}

TEST_F(Digit, MaxlimitIsStoredOnly) {
  EXPECT_EQ(d.maxlimit(), 999);
  send(3);
  d.setmaxlimit(-5);
  EXPECT_EQ(d.maxlimit(), -5);
  EXPECT_EQ(lit(d), kLit[3]);
  EXPECT_EQ(notes.changed, std::vector<std::string>{"maxlimit"});
}

TEST_F(Digit, RoundTripKeepsEverySegmentColour) {
  d.setBackColor(kyv::Colour{0x123456});
  d.setDisplayColor(kyv::Colour{0x0000FF});
  d.seg(2).setBorderColor(kyv::Colour{0x00FFFF});  // segments may differ after a restore
  d.setmaxlimit(70000);
  d.setBorderStyle(0);
  kyv::PropertyBag bag;
  d.WriteProperties(bag);
  sseg copy;
  copy.ReadProperties(bag);
  EXPECT_EQ(copy.BackColor(), kyv::Colour{0x123456});
  for (int i = 0; i < 7; ++i) EXPECT_EQ(copy.seg(i).BorderColor(), d.seg(i).BorderColor()) << i;
  EXPECT_EQ(copy.maxlimit(), 70000);
  EXPECT_EQ(copy.BorderStyle(), 0);
}

TEST_F(Digit, EmptyBagRestoresDefaults) {
  kyv::PropertyBag empty;
  sseg fresh;
  fresh.ReadProperties(empty);
  EXPECT_EQ(fresh.BackColor(), kyv::Colour{0x80000008});
  EXPECT_EQ(fresh.DisplayColor(), kyv::Colour{0x00FF00});
  EXPECT_EQ(fresh.maxlimit(), 999);
  EXPECT_EQ(fresh.BorderStyle(), 1);
}

}  // namespace
