// The single digit's logic: which segments each value lights, what a resize shows, and
// that a colour reaches unlit segments too. Layout figures, notifications and the bag
// are covered by the kyvhost scripts.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "sseg.h"

using kyv::sseg;

namespace {

// The segments each digit lights, seg(0) first: UR LR B LL UL T M.
const char* const kLit[10] = {"XXXXXX.", "XX.....", "X.XX.XX", "XXX..XX", "XX..X.X",
                              ".XX.XXX", ".XXXXXX", "XX...X.", "XXXXXXX", "XX..XXX"};

std::string lit(const sseg& d) {
  std::string s;
  for (int i = 0; i < 7; ++i) s += d.seg(i).Visible() ? 'X' : '.';
  return s;
}

struct Digit : ::testing::Test {
  Digit() {
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
  d.setDisplayColor(kyv::Colour{0xFF0000});
  send(8);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(d.seg(i).BorderColor(), kyv::Colour{0xFF0000}) << i;
  EXPECT_EQ(d.DisplayColor(), kyv::Colour{0xFF0000});
}

}  // namespace
