#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "expect_error.h"
#include "gauge.h"
#include "kyv/error.h"
#include "kyv/site.h"
#include "kyv/text.h"

using kyv::Colour;
using kyv::ErrorKind;

namespace {

struct Elements : ::testing::Test {
  Gauge gauge;
  kyv::PictureBox& box = gauge.box;
};

TEST_F(Elements, RejectedValuesLeaveTheElementAsItWas) {
  box.setWidth(400);
  EXPECT_EQ(kindOf([&] { box.setWidth(-1); }), ErrorKind::InvalidPropertyValue);
  EXPECT_EQ(kindOf([&] { box.setHeight(-0.5f); }), ErrorKind::InvalidPropertyValue);
  EXPECT_EQ(box.Width(), 400);
  EXPECT_EQ(kindOf([&] { box.setBorderStyle(2); }), ErrorKind::InvalidPropertyValue);
  EXPECT_EQ(box.BorderStyle(), 0);
  EXPECT_EQ(kindOf([&] { box.setBackColor(Colour{0x80000040}); }), ErrorKind::InvalidPropertyValue);
  EXPECT_EQ(kindOf([&] { box.setBackColor(Colour{0x01000000}); }), ErrorKind::InvalidPropertyValue);
  EXPECT_EQ(box.BackColor(), Colour{0x8000000F});
  EXPECT_EQ(kindOf([&] { gauge.tick(1).setBorderStyle(7); }), ErrorKind::InvalidPropertyValue);
  EXPECT_EQ(kindOf([&] { gauge.tick(1).setBorderWidth(0); }), ErrorKind::InvalidPropertyValue);
  box.setBackColor(Colour{0x80000005});
  EXPECT_EQ(box.BackColor(), Colour{0x80000005});
}

// An extent that is no number is refused before the control is laid out, and the control
// keeps the extent it had.
TEST_F(Elements, AnExtentMustBeFinite) {
  gauge.setExtent(900, 600);
  const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
  for (const auto& [w, h] : {std::pair{nan, 600.0f}, {900.0f, nan}, {inf, 600.0f}, {900.0f, -inf}})
    EXPECT_EQ(kindOf([&] { gauge.setExtent(w, h); }), ErrorKind::InvalidPropertyValue) << w << " x " << h;
  EXPECT_EQ(gauge.UserControl().widthTwips(), 900);
  EXPECT_EQ(gauge.UserControl().heightTwips(), 600);
}

TEST_F(Elements, GeometryIsStoredExactlyAsWritten) {
  box.setLeft(12.345f);
  box.setTop(-7.5f);
  EXPECT_EQ(box.Left(), 12.345f);
  EXPECT_EQ(box.topTwips(), -7.5f);
}

TEST_F(Elements, ABorderTakesSixtyTwipsFromTheInterior) {
  box.setRectTwips(0, 0, 465, 3210);
  EXPECT_EQ(box.ScaleWidth(), 465);
  box.setBorderStyle(1);
  EXPECT_EQ(box.ScaleWidth(), 405);
  EXPECT_EQ(box.ScaleHeight(), 3150);
  box.setWidth(40);
  EXPECT_EQ(box.ScaleWidth(), 0);
}

TEST_F(Elements, UserScaleConvertsAtTheMomentWhileElementsKeepTwips) {
  box.setRectTwips(0, 0, 2000, 1000);
  kyv::PictureBox child(box, "child");
  box.setScaleWidth(100);
  box.setScaleHeight(50);
  child.setLeft(50);
  child.setWidth(25);
  child.setHeight(10);
  EXPECT_EQ(child.leftTwips(), 1000);
  EXPECT_EQ(child.widthTwips(), 500);
  EXPECT_EQ(child.heightTwips(), 200);
  box.setScaleHeight(100);  // a new scale moves nothing
  EXPECT_EQ(child.heightTwips(), 200);
  EXPECT_EQ(child.Height(), 20);
  box.setHeight(2000);  // the scale stays, its units grow
  EXPECT_EQ(box.ScaleHeight(), 100);
  EXPECT_EQ(child.Height(), 10);
  box.setScaleLeft(10);
  EXPECT_EQ(child.Left(), 60);
  EXPECT_EQ(kindOf([&] { box.setScaleWidth(0); }), ErrorKind::InvalidPropertyValue);
  kyv::LineElement line(box, "line");
  line.setX2(100);
  EXPECT_EQ(line.x2Twips(), 1800);
}

TEST_F(Elements, DrawnSegmentsGoWithRefreshResizeAndBackColor) {
  box.setRectTwips(0, 0, 1000, 1000);
  box.Line(0, 0, 100, 100, Colour{0xFF});
  box.Line(100, 100, 200, 50, Colour{0xFF});
  ASSERT_EQ(box.drawnLines().size(), 2u);
  EXPECT_EQ(box.drawnLines()[1].y2, 50);
  box.Refresh();
  EXPECT_TRUE(box.drawnLines().empty());
  box.Line(0, 0, 1, 1, Colour{0xFF});
  box.setWidth(900);
  EXPECT_TRUE(box.drawnLines().empty());
  box.Line(0, 0, 1, 1, Colour{0xFF});
  box.setBackColor(Colour{0});
  EXPECT_TRUE(box.drawnLines().empty());
  box.Line(0, 0, 1, 1, Colour{0xFF});
  box.setLeft(5);  // moving keeps what is drawn
  EXPECT_EQ(box.drawnLines().size(), 1u);
}

TEST_F(Elements, ClearedDrawnLinesKeepTheirStorage) {
  box.setRectTwips(0, 0, 1000, 1000);
  for (int i = 0; i < 50; ++i) box.Line(0, 0, 1, 1, Colour{0xFF00});
  const kyv::DrawnLine* storage = box.drawnLines().data();
  box.Refresh();
  for (int i = 0; i < 50; ++i) box.Line(0, 0, 1, 1, Colour{0xFF00});
  EXPECT_EQ(box.drawnLines().data(), storage);
  EXPECT_EQ(kindOf([&] { box.Line(0, 0, 1, 1, Colour{0x12345678}); }), kyv::ErrorKind::InvalidPropertyValue);
}

TEST_F(Elements, RoomForDrawnLinesIsExactAndKeepsTheLines) {
  box.setRectTwips(0, 0, 1000, 1000);
  box.reserveLines(30);
  EXPECT_EQ(box.drawnLines().capacity(), 30u);
  const kyv::DrawnLine* storage = box.drawnLines().data();
  for (int i = 0; i < 30; ++i) box.Line(0, 0, float(i), 1, Colour{0xFF00});
  EXPECT_EQ(box.drawnLines().data(), storage);
  // Less room than there are lines keeps every line, with no room beyond them.
  box.reserveLines(10);
  ASSERT_EQ(box.drawnLines().size(), 30u);
  EXPECT_EQ(box.drawnLines().capacity(), 30u);
  EXPECT_EQ(box.drawnLines()[29].x2, 29.0f);
  box.Refresh();
  box.reserveLines(5);
  EXPECT_EQ(box.drawnLines().capacity(), 5u);
}

TEST_F(Elements, AutoSizeLabelFollowsItsCaption) {
  kyv::Label label(box, "label");
  label.setFont("MS Serif", 400, 6);
  label.setCaption("1");
  label.setAutoSize(true);
  const float narrow = label.Width();
  EXPECT_EQ(narrow, kyv::measureText("1", "MS Serif", 400, 6).width);
  label.setCaption("13.5");
  EXPECT_GT(label.Width(), narrow);
  EXPECT_EQ(label.Width(), kyv::measureText("13.5", "MS Serif", 400, 6).width);
  EXPECT_GT(label.Height(), 0);
}

struct CountingSite : kyv::Site {
  int invalidations = 0;
  void invalidated(kyv::Control&, const kyv::Region&) override { ++invalidations; }
};

TEST_F(Elements, ChangesInvalidateOnceUntilTheHostPaints) {
  CountingSite site;
  gauge.setSite(&site);
  gauge.clearDirty();
  box.setWidth(10);
  box.setHeight(10);
  gauge.tick(1).setVisible(false);
  EXPECT_EQ(site.invalidations, 1);
  EXPECT_TRUE(gauge.dirty());
  gauge.clearDirty();
  box.Refresh();
  EXPECT_EQ(site.invalidations, 2);
}

}  // namespace
