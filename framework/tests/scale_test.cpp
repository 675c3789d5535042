// The user scale on a control's surface, as a layout that measures in its own units uses
// it: positions and sizes convert at the moment they are read or written, every element
// keeps its twips, and the scale stays in force when the surface is resized.
#include <gtest/gtest.h>

#include <limits>

#include "expect_error.h"
#include "gauge.h"
#include "kyv/element_array.h"
#include "kyv/error.h"

using kyv::ErrorKind;

namespace {

// A surface of 2060 x 1060 twips with a sunken border: its interior is 2000 x 1000.
struct SurfaceScale : ::testing::Test {
  Gauge gauge;
  kyv::Surface& surface = gauge.UserControl();
  kyv::ElementArray<kyv::Shape> bars{surface, "bars"};
  kyv::LineElement rule{surface, "rule"};

  void SetUp() override {
    surface.setRectTwips(0, 0, 2060, 1060);
    surface.setBorderStyle(1);
    bars.create(0).setRectTwips(100, 200, 300, 400);
  }
  // Stands bar i on the bottom edge at the height it has, as read in the scale now in force.
  void standOnBottom(int i) { bars(i).setTop(surface.ScaleHeight() - bars(i).Height()); }
};

TEST_F(SurfaceScale, TheScaleCoversTheInteriorInsideTheBorder) {
  surface.setScaleHeight(100);
  surface.setScaleWidth(100);
  EXPECT_EQ(bars(0).Left(), 5);
  EXPECT_EQ(bars(0).Width(), 15);
  EXPECT_EQ(bars(0).Height(), 40);
  bars(0).setLeft(50);
  bars(0).setWidth(25);
  EXPECT_EQ(bars(0).leftTwips(), 1000);
  EXPECT_EQ(bars(0).widthTwips(), 500);
}

TEST_F(SurfaceScale, ABarKeepsItsTwipsAcrossScalesAndStandsOnTheBottomEdgeInEach) {
  for (float scale : {100.0f, 200.0f, 37.0f, 1.0f}) {
    surface.setScaleHeight(scale);
    standOnBottom(0);
    EXPECT_EQ(bars(0).heightTwips(), 400) << scale;
    EXPECT_FLOAT_EQ(bars(0).topTwips(), 600) << scale;
  }
  surface.setScaleHeight(200);
  bars(0).setHeight(50);  // written in the scale in force: a quarter of the interior
  EXPECT_EQ(bars(0).heightTwips(), 250);
}

TEST_F(SurfaceScale, ResizingKeepsTheScaleSoABarReadAgainKeepsItsTwips) {
  surface.setScaleHeight(100);
  surface.setScaleWidth(100);
  surface.setRectTwips(0, 0, 4060, 2060);
  EXPECT_EQ(surface.ScaleHeight(), 100);
  EXPECT_EQ(bars(0).Height(), 20);
  standOnBottom(0);
  EXPECT_EQ(bars(0).heightTwips(), 400);
  EXPECT_EQ(bars(0).topTwips(), 1600);
  EXPECT_EQ(bars(0).Width(), 7.5f);
}

// Heights that do not divide evenly still come back to the bottom edge within a Single's
// precision, whatever the interior and the scale.
TEST_F(SurfaceScale, OddHeightsStayOnTheBottomEdge) {
  for (float interior : {1245.0f, 1365.0f, 2700.0f}) {
    surface.setRectTwips(0, 0, 2060, interior + 60);
    for (float scale : {100.0f, 150.0f, 37.0f}) {
      surface.setScaleHeight(scale);
      for (float twips : {135.0f, 360.0f, 810.0f}) {
        bars(0).setRectTwips(0, 0, 10, twips);
        standOnBottom(0);
        EXPECT_EQ(bars(0).heightTwips(), twips);
        EXPECT_NEAR(bars(0).topTwips() + twips, interior, interior * 1e-6f) << interior << " " << scale << " " << twips;
      }
    }
  }
}

TEST_F(SurfaceScale, LinesConvertTheirEndPointsAndKeepThemInTwips) {
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

TEST_F(SurfaceScale, AnAxisWithoutAUserScaleStaysInTwips) {
  surface.setScaleHeight(10);
  EXPECT_EQ(surface.ScaleWidth(), 2000);
  EXPECT_EQ(bars(0).Left(), 100);
  EXPECT_EQ(bars(0).Top(), 2);
}

TEST_F(SurfaceScale, ZeroAndNonFiniteScalesAreRefusedAndChangeNothing) {
  surface.setScaleWidth(100);
  const float inf = std::numeric_limits<float>::infinity();
  for (float bad : {0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_EQ(kindOf([&] { surface.setScaleWidth(bad); }), ErrorKind::InvalidPropertyValue);
    EXPECT_EQ(kindOf([&] { surface.setScaleHeight(bad); }), ErrorKind::InvalidPropertyValue);
  }
  EXPECT_EQ(surface.ScaleWidth(), 100);
  EXPECT_EQ(surface.ScaleHeight(), 1000);
}

TEST_F(SurfaceScale, ConversionsBeyondTheSingleRangeGiveInfinities) {
  surface.setScaleHeight(1e-30f);
  bars(0).setHeight(1e30f);
  EXPECT_EQ(bars(0).heightTwips(), std::numeric_limits<float>::infinity());
  bars(0).setTop(-1e30f);
  EXPECT_EQ(bars(0).topTwips(), -std::numeric_limits<float>::infinity());
}

TEST_F(SurfaceScale, AnEmptyInteriorReadsZeroUnitsAndKeepsTwips) {
  surface.setScaleHeight(100);
  surface.setRectTwips(0, 0, 2060, 40);
  EXPECT_EQ(bars(0).Height(), 0);
  standOnBottom(0);
  EXPECT_EQ(bars(0).heightTwips(), 400);
  EXPECT_EQ(kindOf([&] { bars(0).setHeight(-1); }), ErrorKind::InvalidPropertyValue);
  surface.setRectTwips(0, 0, 2060, 1060);
  standOnBottom(0);
  EXPECT_EQ(bars(0).topTwips(), 600);
}

TEST_F(SurfaceScale, LoadedArrayMembersConvertLikeDesignTimeOnes) {
  bars.Load(1);
  surface.setScaleWidth(100);
  surface.setScaleHeight(10);
  bars(1).setWidth(50);
  EXPECT_EQ(bars(1).widthTwips(), 1000);
  EXPECT_EQ(bars(1).Height(), 4);
}

}  // namespace
