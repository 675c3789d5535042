#include "HeartBeat.h"

#include <gtest/gtest.h>

#include <vector>

#include "kyv/error.h"

using kyv::HeartBeat;

namespace {

struct Trace : ::testing::Test {
  HeartBeat h;
  void SetUp() override {
    h.InitProperties();
    h.setExtent(1060, 1060);  // a 1000 x 1000 plot area
  }
  int16_t plot(int16_t v) {
    h.Plot(v);
    return v;
  }
  const std::vector<kyv::DrawnLine>& drawn() const { return h.Picture1.drawnLines(); }
};

TEST_F(Trace, LateBoundCallerSeesTheWriteBackEvenWhenPlotFails) {
  h.setHorizCount(11);  // one more than the arrays of the layout hold
  kyv::Variant arg;
  for (int i = 0; i < 10; ++i) {
    arg = kyv::Variant(int16_t(4));
    h.call("Plot", arg);
  }
  arg = kyv::Variant(int16_t(4));
  try {
    h.call("Plot", arg);
    FAIL() << "no error";
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::SubscriptOutOfRange);
  }
  EXPECT_EQ(arg, kyv::Variant(int16_t(6)));
  EXPECT_EQ(drawn().size(), 10u);  // no point added
}

TEST_F(Trace, OverflowChangesNothing) {
  h.setMaxLimit(-2);
  int16_t v = 32767;
  EXPECT_THROW(h.Plot(v), kyv::Error);
  EXPECT_EQ(v, 32767);
  EXPECT_TRUE(drawn().empty());
  v = 0;
  h.Plot(v);  // still the first point: p was not advanced
  ASSERT_EQ(drawn().size(), 1u);
  EXPECT_FLOAT_EQ(drawn()[0].x2, 100);
}

TEST_F(Trace, LayoutWithoutScaleOrStepsKeepsTheTraceLayout) {
  plot(5);
  plot(5);
  for (int16_t bad : {int16_t(0), int16_t(-1)}) {
    h.setHorizCount(bad);
    EXPECT_NO_THROW(h.setExtent(2060, 560));
  }
  h.setHorizCount(10);
  h.setMaxLimit(0);
  EXPECT_NO_THROW(h.setExtent(2060, 560));
  EXPECT_FLOAT_EQ(h.Picture1.ScaleWidth(), 2000);
  EXPECT_FLOAT_EQ(h.grd(5).Y1(), 250);  // the grid follows the new size
  EXPECT_TRUE(drawn().empty());
  plot(5);  // the third point, with the old step (100) and scale (100)
  ASSERT_EQ(drawn().size(), 1u);
  EXPECT_FLOAT_EQ(drawn()[0].x1, 200);
  EXPECT_FLOAT_EQ(drawn()[0].x2, 300);
  EXPECT_FLOAT_EQ(drawn()[0].y2, -500);  // M is 0 now: 0 - 5 at the old scale
}

TEST_F(Trace, ScrollingRedrawsInTheCurrentLineColour) {
  for (int i = 0; i < 10; ++i) plot(static_cast<int16_t>(i));
  h.setLineColor(kyv::Colour{0xFF});
  EXPECT_EQ(drawn()[9].colour, kyv::Colour{0xFF00});
  plot(10);
  ASSERT_EQ(drawn().size(), 10u);
  for (const kyv::DrawnLine& s : drawn()) EXPECT_EQ(s.colour, kyv::Colour{0xFF});
  EXPECT_FLOAT_EQ(drawn()[0].y1, 1000);  // the first value, 0, now at the left edge
  EXPECT_FLOAT_EQ(drawn()[9].y2, 0);
  h.setBackColor(kyv::Colour{0});
  EXPECT_TRUE(drawn().empty());
}

TEST_F(Trace, ScrollingReusesItsStorage) {
  h.setHorizCount(100);
  h.setExtent(1060, 1060);
  for (int i = 0; i < 101; ++i) plot(static_cast<int16_t>(i % 10));
  const kyv::DrawnLine* segments = drawn().data();
  for (int i = 0; i < 500; ++i) plot(static_cast<int16_t>(i % 10));
  EXPECT_EQ(drawn().data(), segments);
  EXPECT_EQ(drawn().size(), 100u);
}

TEST_F(Trace, GridReadsTheLastLine) {
  h.vgrd(HeartBeat::kLines).setVisible(false);
  EXPECT_FALSE(h.GridVisible());
  h.grd(1).setBorderColor(kyv::Colour{0xFF});
  EXPECT_EQ(h.GridColor(), kyv::Colour{0x80000004});
  EXPECT_THROW(h.setGridColor(kyv::Colour{0x7F000000}), kyv::Error);
  EXPECT_EQ(h.grd(1).BorderColor(), kyv::Colour{0xFF});
}

}  // namespace
