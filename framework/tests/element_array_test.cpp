// Element arrays: members made at design time, added by Load as hidden copies of the
// first member, taken out by Unload and reused.
#include <gtest/gtest.h>

#include "expect_error.h"
#include "gauge.h"
#include "kyv/element_array.h"
#include "kyv/error.h"

using kyv::Colour;
using kyv::ErrorKind;

namespace {

struct ElementArray : ::testing::Test {
  Gauge gauge;
  kyv::PictureBox& box = gauge.box;
};

TEST_F(ElementArray, LoadAddsAHiddenCopyOfTheFirstMember) {
  gauge.tick(1).setBorderColor(Colour{0xFF});
  gauge.tick(1).setY1(300);
  gauge.tick(2).setBorderColor(Colour{0xFF00});
  kyv::LineElement& added = gauge.tick.Load(7);
  EXPECT_EQ(added.index(), 7);
  EXPECT_EQ(added.path(), "tick(7)");
  EXPECT_FALSE(added.Visible());
  EXPECT_EQ(added.BorderColor(), Colour{0xFF});
  EXPECT_EQ(added.Y1(), 300);
  EXPECT_EQ(gauge.tick.Count(), 4);
  EXPECT_EQ(gauge.UserControl().elements().back(), &added);
  EXPECT_EQ(box.stacking().back(), &added);
}

TEST_F(ElementArray, ArraysRefuseMissingDuplicateAndDesignTimeMembers) {
  EXPECT_EQ(kindOf([&] { gauge.tick(0); }), ErrorKind::SubscriptOutOfRange);
  EXPECT_EQ(kindOf([&] { gauge.tick(9); }), ErrorKind::SubscriptOutOfRange);
  EXPECT_EQ(kindOf([&] { gauge.tick.Load(-1); }), ErrorKind::SubscriptOutOfRange);
  EXPECT_EQ(kindOf([&] { gauge.tick.Load(2); }), ErrorKind::InvalidPropertyValue);
  EXPECT_EQ(kindOf([&] { gauge.tick.Unload(1); }), ErrorKind::InvalidPropertyValue);
  EXPECT_EQ(kindOf([&] { gauge.tick.Unload(5); }), ErrorKind::SubscriptOutOfRange);
}

TEST_F(ElementArray, UnloadedMembersAreReusedAndLeaveTheTree) {
  const size_t elements = gauge.UserControl().elements().size();
  kyv::LineElement* first = &gauge.tick.Load(4);
  gauge.tick.Unload(4);
  EXPECT_FALSE(gauge.tick.exists(4));
  EXPECT_EQ(gauge.UserControl().elements().size(), elements);
  EXPECT_EQ(box.stacking().size(), 3u);
  kyv::LineElement* again = &gauge.tick.Load(5);
  EXPECT_EQ(first, again);
  EXPECT_EQ(again->index(), 5);
  EXPECT_EQ(gauge.tick.Count(), 4);
}

// A box loaded as a copy takes the first box's settings, never what is drawn on it, and a
// box reused from the pool starts with nothing drawn whatever it held before.
TEST_F(ElementArray, LoadedBoxesTakeSettingsButNoDrawnLines) {
  kyv::ElementArray<kyv::PictureBox> boxes(gauge.UserControl(), "pane");
  kyv::PictureBox& first = boxes.create(0);
  first.setRectTwips(0, 0, 600, 400);
  first.setBackColor(Colour{0xFF});
  first.Line(0, 0, 10, 10, Colour{0xFF00});
  kyv::PictureBox& copy = boxes.Load(1);
  EXPECT_EQ(copy.BackColor(), Colour{0xFF});
  EXPECT_EQ(copy.widthTwips(), 600);
  EXPECT_TRUE(copy.drawnLines().empty());
  EXPECT_EQ(first.drawnLines().size(), 1u);
  copy.Line(0, 0, 5, 5, Colour{0xFF0000});
  boxes.Unload(1);
  kyv::PictureBox& again = boxes.Load(2);
  EXPECT_EQ(&again, &copy);
  EXPECT_TRUE(again.drawnLines().empty());
  EXPECT_EQ(first.drawnLines().size(), 1u);
}

// An array told how many members it makes keeps that many side by side; the rest, and
// those loaded later, live on their own, and every one is let go once with the array
// (the sanitized build checks that nothing leaks or is freed twice).
TEST_F(ElementArray, MembersItIsToldOfLieSideBySide) {
  const size_t before = gauge.UserControl().elements().size();
  {
    kyv::ElementArray<kyv::LineElement> marks(box, "mark", 3);
    for (int i = 0; i < 5; ++i) marks.create(i).setY2(static_cast<float>(i));
    EXPECT_EQ(&marks(1), &marks(0) + 1);
    EXPECT_EQ(&marks(2), &marks(0) + 2);
    EXPECT_EQ(marks(4).Y2(), 4);
    kyv::LineElement& loaded = marks.Load(7);
    EXPECT_EQ(loaded.Y2(), 0);  // a copy of the lowest member
    marks.Load(8);
    marks.Unload(7);
    EXPECT_EQ(&marks.Load(9), &loaded);
    EXPECT_EQ(marks.Count(), 7);
    EXPECT_EQ(gauge.UserControl().elements().size(), before + 7);
    EXPECT_EQ(&marks(2).surface(), &gauge.UserControl());
  }
  kyv::ElementArray<kyv::PictureBox> panes(gauge.UserControl(), "pane", 2);
  kyv::ElementArray<kyv::Label> captions(panes.create(0), "caption", 1);
  captions.create(0).setCaption("inside a box kept in a block");
  EXPECT_EQ(&captions(0).surface(), &gauge.UserControl());
  EXPECT_EQ(captions(0).parent(), &panes(0));
}

}  // namespace
