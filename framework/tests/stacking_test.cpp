// The stacking order of a container's children: sent to the back, brought to the front,
// placed in front of a neighbour.
#include <gtest/gtest.h>

#include <algorithm>

#include "gauge.h"
#include "kyv/element_array.h"

namespace {

struct Stacking : ::testing::Test {
  Gauge gauge;
  kyv::PictureBox& box = gauge.box;
  int stackIndex(const kyv::Element& e) const {
    const auto& s = box.stacking();
    return static_cast<int>(std::find(s.begin(), s.end(), &e) - s.begin());
  }
};

TEST_F(Stacking, SendToBackAndBringToFront) {
  kyv::LineElement& front = gauge.tick(3);
  box.sendToBack(front);
  EXPECT_EQ(box.stacking().front(), &front);
  box.bringToFront(front);
  EXPECT_EQ(box.stacking().back(), &front);
  EXPECT_EQ(box.stacking().size(), 3u);
}

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

}  // namespace
