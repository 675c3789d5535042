// Element arrays, stacking, drawn segments and auto-sizing labels as the controls use them.
#include <gtest/gtest.h>

#include "kyv/class_table.h"
#include "kyv/element_array.h"
#include "kyv/elements.h"
#include "kyv/error.h"
#include "kyv/render.h"

namespace {

struct Bare : kyv::Control {
  static const kyv::ClassInfo& classTable() {
    static const kyv::ClassTable<Bare> table{"Test.Bare", 3000, 2000, {}, {}, {}};
    return table;
  }
  Bare() : Control(classTable(), nullptr) {}
};

struct Elements : ::testing::Test {
  Bare control;
  kyv::Surface& surface = control.UserControl();
  kyv::ElementArray<kyv::Shape> bars{surface, "bar"};
  int stackIndex(const kyv::Element& e) const {
    const auto& s = surface.stacking();
    return static_cast<int>(std::find(s.begin(), s.end(), &e) - s.begin());
  }
};

TEST_F(Elements, LoadCopiesTheFirstMemberHidden) {
  kyv::Shape& first = bars.create(0);
  first.setRectTwips(630, 2895, 225, 15);
  first.setFillColor(kyv::Colour{0xFF});
  first.setBorderStyle(1);
  kyv::Shape& copy = bars.Load(1);
  EXPECT_EQ(copy.index(), 1);
  EXPECT_EQ(copy.path(), "bar(1)");
  EXPECT_FALSE(copy.Visible());
  EXPECT_FLOAT_EQ(copy.Width(), 225);
  EXPECT_FLOAT_EQ(copy.Height(), 15);
  EXPECT_FLOAT_EQ(copy.Left(), 630);
  EXPECT_EQ(copy.FillColor(), kyv::Colour{0xFF});
  EXPECT_EQ(copy.BorderStyle(), 1);
  EXPECT_EQ(bars.Count(), 2);
  EXPECT_EQ(surface.elements().back(), &copy);
}

TEST_F(Elements, UnloadedMembersAreReused) {
  bars.create(0).setFillColor(kyv::Colour{0xFF});
  kyv::Shape* loaded = &bars.Load(1);
  loaded->setHeight(500);
  loaded->setVisible(true);
  bars.Unload(1);
  EXPECT_FALSE(bars.exists(1));
  EXPECT_EQ(bars.Count(), 1);
  EXPECT_EQ(surface.elements().size(), 1u);
  bars(0).setFillColor(kyv::Colour{0xFF00});
  kyv::Shape& again = bars.Load(1);
  EXPECT_EQ(&again, loaded);
  EXPECT_FALSE(again.Visible());  // a fresh copy, nothing left of its former life
  EXPECT_FLOAT_EQ(again.Height(), 0);
  EXPECT_EQ(again.FillColor(), kyv::Colour{0xFF00});
}

TEST_F(Elements, ArrayMisuseRaises) {
  bars.create(0);
  const auto kindOf = [](auto&& f) {
    try {
      f();
    } catch (const kyv::Error& e) {
      return e.kind();
    }
    return kyv::ErrorKind::NoSuchMember;  // nothing raised
  };
  EXPECT_EQ(kindOf([&] { bars.Unload(0); }), kyv::ErrorKind::InvalidPropertyValue);
  EXPECT_EQ(kindOf([&] { bars.Load(0); }), kyv::ErrorKind::InvalidPropertyValue);
  EXPECT_EQ(kindOf([&] { bars.Item(3); }), kyv::ErrorKind::SubscriptOutOfRange);
  EXPECT_EQ(kindOf([&] { bars.Unload(2); }), kyv::ErrorKind::SubscriptOutOfRange);
  EXPECT_EQ(bars.Count(), 1);
}

TEST_F(Elements, PlaceInFrontOfMovesOneElement) {
  kyv::Image frame(surface, "frame");
  kyv::Shape& first = bars.create(0);
  kyv::LineElement grid(surface, "grid");
  kyv::Shape& second = bars.Load(1);  // loaded in front of everything
  surface.placeInFrontOf(second, first);
  EXPECT_EQ(stackIndex(frame), 0);
  EXPECT_EQ(stackIndex(first), 1);
  EXPECT_EQ(stackIndex(second), 2);
  EXPECT_EQ(stackIndex(grid), 3);
  kyv::PictureBox other(surface, "other");
  kyv::Label stranger(other, "stranger");
  surface.placeInFrontOf(first, stranger);  // not a child of the surface: to the front
  EXPECT_EQ(stackIndex(first), static_cast<int>(surface.stacking().size()) - 1);
}

TEST_F(Elements, DrawnSegmentsGoWithRefreshResizeAndBackColour) {
  kyv::PictureBox box(surface, "box");
  box.setRectTwips(0, 0, 1060, 1060);
  box.setBorderStyle(1);
  box.Line(0, 1000, 100, 0, kyv::Colour{0xFF00});
  ASSERT_EQ(box.drawnSegments().size(), 1u);
  EXPECT_FLOAT_EQ(box.drawnSegments()[0].y1, 1000);
  const kyv::Segment* storage = box.drawnSegments().data();
  box.Refresh();
  EXPECT_TRUE(box.drawnSegments().empty());
  box.Line(0, 0, 1, 1, kyv::Colour{0xFF00});
  EXPECT_EQ(box.drawnSegments().data(), storage);  // cleared, not freed
  box.setWidth(1060);
  EXPECT_TRUE(box.drawnSegments().empty());
  box.Line(0, 0, 1, 1, kyv::Colour{0xFF00});
  box.setBackColor(kyv::Colour{0});
  EXPECT_TRUE(box.drawnSegments().empty());
  EXPECT_THROW(box.Line(0, 0, 1, 1, kyv::Colour{0x12345678}), kyv::Error);
}

TEST_F(Elements, AutoSizeLabelFollowsItsCaption) {
  kyv::Label label(surface, "label");
  label.setFont("MS Serif", 400, 6);
  label.setCaption("1");
  label.setAutoSize(true);
  const float narrow = label.Width();
  EXPECT_FLOAT_EQ(narrow, kyv::measureText("1", "MS Serif", 400, 6).width);
  label.setCaption("13.5");
  EXPECT_GT(label.Width(), narrow);
  EXPECT_FLOAT_EQ(label.Width(), kyv::measureText("13.5", "MS Serif", 400, 6).width);
  EXPECT_GT(label.Height(), 0);
}

TEST_F(Elements, LinesTakeTheDottedStyle) {
  kyv::LineElement line(surface, "line");
  line.setBorderStyle(3);
  EXPECT_EQ(line.BorderStyle(), 3);
  EXPECT_THROW(line.setBorderStyle(7), kyv::Error);
  EXPECT_EQ(line.BorderStyle(), 3);
}

}  // namespace
