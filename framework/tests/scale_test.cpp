// The user scale of containers: positions and sizes are read and written in scale units,
// converted at that moment, while every element keeps its twips.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kyv/element_array.h"
#include "kyv/elements.h"
#include "kyv/error.h"
#include "probe.h"

namespace {

using kyv::ErrorKind;

struct ScaleTest : ::testing::Test {
  Probe control;
  kyv::Surface& surface = control.UserControl();
  kyv::Shape bar{surface, "bar"};
  kyv::LineElement rule{surface, "rule"};

  void SetUp() override {
    surface.setRectTwips(0, 0, 2000, 1000);
    bar.setRectTwips(100, 200, 300, 400);
  }
};

TEST_F(ScaleTest, WithoutUserScaleUnitsAreTwipsOfTheInterior) {
  EXPECT_EQ(surface.ScaleWidth(), 2000);
  EXPECT_EQ(bar.Width(), 300);
  surface.setBorderStyle(1);
  EXPECT_EQ(surface.ScaleWidth(), 2000 - 2 * kyv::kBoxBorderTwips);
  EXPECT_EQ(surface.ScaleHeight(), 1000 - 2 * kyv::kBoxBorderTwips);
}

TEST_F(ScaleTest, ANewScaleMovesNothingAndChangesWhatReadsReturn) {
  surface.setScaleWidth(100);
  surface.setScaleHeight(50);
  EXPECT_EQ(surface.ScaleWidth(), 100);
  EXPECT_EQ(surface.ScaleHeight(), 50);
  EXPECT_EQ(bar.Left(), 5);
  EXPECT_EQ(bar.Top(), 10);
  EXPECT_EQ(bar.Width(), 15);
  EXPECT_EQ(bar.Height(), 20);
  EXPECT_EQ(bar.leftTwips(), 100);
  EXPECT_EQ(bar.heightTwips(), 400);

  surface.setScaleHeight(200);
  EXPECT_EQ(bar.Height(), 80);
  EXPECT_EQ(bar.heightTwips(), 400);
}

TEST_F(ScaleTest, WritesConvertThroughTheScaleInForceThen) {
  surface.setScaleHeight(100);
  bar.setHeight(25);
  bar.setTop(100 - bar.Height());
  EXPECT_EQ(bar.heightTwips(), 250);
  EXPECT_EQ(bar.topTwips(), 750);
  surface.setScaleHeight(200);
  bar.setTop(200 - bar.Height());
  EXPECT_EQ(bar.Height(), 50);
  EXPECT_EQ(bar.heightTwips(), 250);
  EXPECT_EQ(bar.topTwips(), 750);
}

TEST_F(ScaleTest, LinesConvertTheirEndPoints) {
  surface.setScaleWidth(100);
  surface.setScaleHeight(10);
  rule.setX1(25);
  rule.setY1(1);
  rule.setX2(100);
  rule.setY2(10);
  EXPECT_EQ(rule.x1Twips(), 500);
  EXPECT_EQ(rule.y1Twips(), 100);
  EXPECT_EQ(rule.x2Twips(), 2000);
  EXPECT_EQ(rule.y2Twips(), 1000);
  surface.setScaleWidth(50);
  EXPECT_EQ(rule.X1(), 12.5f);
  EXPECT_EQ(rule.x1Twips(), 500);
}

TEST_F(ScaleTest, ScaleLeftAndTopShiftTheOrigin) {
  surface.setScaleWidth(100);
  surface.setScaleLeft(-50);
  EXPECT_EQ(bar.Left(), -45);
  bar.setLeft(0);
  EXPECT_EQ(bar.leftTwips(), 1000);
  surface.setScaleTop(10);
  EXPECT_EQ(bar.Top(), 210);
  EXPECT_EQ(bar.Width(), 15);
}

TEST_F(ScaleTest, ResizingTheContainerKeepsTheUserScaleAndTheTwipsOfItsChildren) {
  surface.setScaleWidth(100);
  surface.setScaleHeight(100);
  surface.setRectTwips(0, 0, 4000, 500);
  EXPECT_EQ(surface.ScaleWidth(), 100);
  EXPECT_EQ(surface.ScaleHeight(), 100);
  EXPECT_EQ(bar.widthTwips(), 300);
  EXPECT_EQ(bar.Width(), 7.5f);
  EXPECT_EQ(bar.Height(), 80);
  surface.setBorderStyle(1);
  EXPECT_FLOAT_EQ(bar.Width(), 300 * 100 / 3940.0f);
}

TEST_F(ScaleTest, AnAxisWithoutAUserScaleStaysInTwips) {
  surface.setScaleHeight(10);
  EXPECT_EQ(surface.ScaleWidth(), 2000);
  EXPECT_EQ(bar.Left(), 100);
  EXPECT_EQ(bar.Top(), 2);
}

TEST_F(ScaleTest, ZeroAndNonFiniteScalesAreRefusedAndChangeNothing) {
  surface.setScaleWidth(100);
  const float inf = std::numeric_limits<float>::infinity();
  for (float bad : {0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_EQ(kindOf([&] { surface.setScaleWidth(bad); }), ErrorKind::InvalidPropertyValue);
    EXPECT_EQ(kindOf([&] { surface.setScaleHeight(bad); }), ErrorKind::InvalidPropertyValue);
  }
  EXPECT_EQ(surface.ScaleWidth(), 100);
  EXPECT_EQ(surface.ScaleHeight(), 1000);
}

TEST_F(ScaleTest, NegativeSizesInUnitsAreRefusedBeforeConversion) {
  surface.setScaleHeight(100);
  EXPECT_EQ(kindOf([&] { bar.setHeight(-1); }), ErrorKind::InvalidPropertyValue);
  EXPECT_EQ(bar.heightTwips(), 400);
}

TEST_F(ScaleTest, AnEmptyInteriorReadsZeroUnits) {
  surface.setRectTwips(0, 0, 2000, 0);
  surface.setScaleHeight(100);
  EXPECT_EQ(bar.Height(), 0);
  EXPECT_EQ(bar.Top(), 0);
  bar.setHeight(50);
  EXPECT_EQ(bar.heightTwips(), 0);
}

// A bar read in one scale and set back onto the bottom edge keeps its twips and stands
// on the edge, to the precision of a Single.
TEST_F(ScaleTest, BarsReadInANewScaleStayOnTheBottomEdge) {
  for (float interior : {1365.0f, 1245.0f, 2700.0f}) {
    surface.setRectTwips(0, 0, 2000, interior);
    for (float scale : {100.0f, 150.0f, 37.0f}) {
      surface.setScaleHeight(scale);
      for (float twips : {135.0f, 360.0f, 810.0f}) {
        bar.setRectTwips(0, 0, 10, twips);
        bar.setTop(scale - bar.Height());
        EXPECT_EQ(bar.heightTwips(), twips);
        EXPECT_NEAR(bar.topTwips() + twips, interior, interior * 1e-6) << interior << " " << scale << " " << twips;
      }
    }
  }
}

TEST_F(ScaleTest, ArrayMembersConvertLikeSingleElements) {
  kyv::ElementArray<kyv::Shape> bars(surface, "bars");
  bars.create(0).setRectTwips(0, 0, 0, 500);
  bars.Load(1);
  surface.setScaleWidth(100);
  surface.setScaleHeight(10);
  bars(1).setWidth(50);
  EXPECT_EQ(bars(1).widthTwips(), 1000);
  EXPECT_EQ(bars(1).Height(), 5);
}

}  // namespace
