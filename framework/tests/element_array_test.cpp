// What the scrolling controls rely on beyond the basic element tests: a loaded member
// stacked beside its neighbour, drawn-segment storage kept across repaints,
// auto-sizing labels.
#include <gtest/gtest.h>

#include "expect_error.h"
#include "gauge.h"
#include "kyv/element_array.h"
#include "kyv/render.h"

using kyv::Colour;

namespace {

struct Stacking : ::testing::Test {
  Gauge gauge;
  kyv::PictureBox& box = gauge.box;
  int stackIndex(const kyv::Element& e) const {
    const auto& s = box.stacking();
    return static_cast<int>(std::find(s.begin(), s.end(), &e) - s.begin());
  }
};

TEST_F(Stacking, PlaceInFrontOfMovesOneElement) {
  kyv::ElementArray<kyv::Shape> bars(box, "bar");
  kyv::Shape& first = bars.create(0);
  kyv::LineElement grid(box, "grid");
  kyv::Shape& second = bars.Load(1);  // loaded in front of everything
  box.placeInFrontOf(second, first);
  EXPECT_EQ(stackIndex(second), stackIndex(first) + 1);
  EXPECT_EQ(stackIndex(grid), stackIndex(second) + 1);
  EXPECT_EQ(box.stacking().size(), 6u);
  kyv::PictureBox other(gauge.UserControl(), "other");
  kyv::Label stranger(other, "stranger");
  box.placeInFrontOf(first, stranger);  // not a child of the box: to the front
  EXPECT_EQ(box.stacking().back(), &first);
}

TEST_F(Stacking, ClearedSegmentsKeepTheirStorage) {
  box.setRectTwips(0, 0, 1000, 1000);
  for (int i = 0; i < 50; ++i) box.Line(0, 0, 1, 1, Colour{0xFF00});
  const kyv::Segment* storage = box.drawnSegments().data();
  box.Refresh();
  for (int i = 0; i < 50; ++i) box.Line(0, 0, 1, 1, Colour{0xFF00});
  EXPECT_EQ(box.drawnSegments().data(), storage);
  EXPECT_EQ(kindOf([&] { box.Line(0, 0, 1, 1, Colour{0x12345678}); }), kyv::ErrorKind::InvalidPropertyValue);
}

TEST_F(Stacking, AutoSizeLabelFollowsItsCaption) {
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

}  // namespace
