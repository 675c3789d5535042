// Damage: what a change costs to repaint. The gauge's box fills its 1500 x 600 twips
// surface, 100 x 40 pixels at the reference resolution, so a twips value over 15 is a
// pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gauge.h"
#include "kyv/region.h"
#include "kyv/render.h"
#include "kyv/site.h"

namespace {

struct Requests final : kyv::Site {
  void invalidated(kyv::Control&, const kyv::Region& damage) override {
    ++count;
    last = damage;
  }
  int count = 0;
  kyv::Region last;
};

struct Damage : ::testing::Test {
  Damage() : pixels(100 * 40) {
    gauge.tick.forEach([](kyv::LineElement& l) { l.setVisible(false); });
    gauge.box.setBackColor(kyv::Colour{0x00FFFF});
  }
  // Paints the gauge whole, as a host that keeps its picture does first.
  void paint(const kyv::Palette* palette = nullptr) {
    kyv::RenderOptions o;
    o.palette = palette;
    kyv::renderToPixels(gauge, bits(), 100, 40, 400, o);
  }
  uint8_t* bits() { return reinterpret_cast<uint8_t*>(pixels.data()); }
  Gauge gauge;
  std::vector<uint32_t> pixels;
};

TEST_F(Damage, EverythingBeforeTheFirstPaintAndNothingRightAfterIt) {
  EXPECT_TRUE(gauge.damage().isEverything());
  paint();
  EXPECT_TRUE(gauge.damage().empty());
  EXPECT_FALSE(gauge.dirty());
}

// What a control keeps for good is its lists' room: the lists filled while it was built
// are cut to size at its first paint, and later growth keeps within a quarter of what a
// list holds; the records of a tick's changes and its damage are reused tick after tick.
TEST_F(Damage, ListsKeepLittleMoreRoomThanTheyUse) {
  kyv::ElementArray<kyv::LineElement> marks(gauge.box, "mark");
  for (int i = 0; i < 40; ++i) marks.create(i);
  const kyv::Surface& s = gauge.UserControl();
  EXPECT_GT(s.elements().capacity(), s.elements().size());  // doubling left room
  paint();
  EXPECT_EQ(s.elements().capacity(), s.elements().size());
  EXPECT_EQ(gauge.box.stacking().capacity(), gauge.box.stacking().size());
  const auto within = [](const auto& list) { return list.capacity() <= list.size() + list.size() / 4 + 1; };
  for (int i = 40; i < 300; ++i) marks.Load(i).setVisible(true);
  EXPECT_TRUE(within(s.elements())) << s.elements().size() << " in room for " << s.elements().capacity();
  EXPECT_TRUE(within(gauge.box.stacking()));
  EXPECT_TRUE(within(s.changedElements()));
  paint();
  for (int round = 0; round < 3; ++round) {
    marks.forEach([&](kyv::LineElement& l) { l.setY1(static_cast<float>(round * 15 + 15)); });
    EXPECT_TRUE(within(s.changedElements()));
    EXPECT_TRUE(within(gauge.damage().rects()));
    paint();
  }
}

// Before the first paint every pixel is damage: changes are not listed, and the first
// paint leaves an embedded control painted with its host, so that its next change damages
// only its own pixels.
TEST_F(Damage, ChangesBeforeTheFirstPaintAreNotListed) {
  kyv::ControlSlot slot(gauge.box, "slot");
  slot.setRectTwips(150, 150, 600, 300);  // pixels 10 to 50 across, 10 to 30 down
  slot.setControl(kyv::ControlPtr(new Gauge()));
  auto& inner = static_cast<Gauge&>(*slot.control());
  inner.box.setBackColor(kyv::Colour{0x00FF00});
  gauge.box.setBorderStyle(0);
  EXPECT_TRUE(gauge.UserControl().changedElements().empty());
  EXPECT_TRUE(inner.UserControl().changedElements().empty());
  EXPECT_FALSE(gauge.painted());
  paint();
  EXPECT_TRUE(gauge.painted());
  EXPECT_TRUE(inner.painted());
  kyv::Shape dot(inner.box, "dot");
  dot.setRectTwips(0, 0, 150, 150);  // pixels 10 to 20 across and down in the host
  EXPECT_EQ(gauge.damage().bounds(), (kyv::PixelRect{10, 10, 20, 20}));
}

// A slot given another control between two paints damages its whole footprint, even where
// the new control looks the same.
TEST_F(Damage, ASlotGivenAnotherControlDamagesItsFootprint) {
  kyv::ControlSlot slot(gauge.box, "slot");
  slot.setRectTwips(150, 150, 600, 300);
  slot.setControl(kyv::ControlPtr(new Gauge()));
  paint();
  slot.setControl(kyv::ControlPtr(new Gauge()));
  EXPECT_EQ(gauge.damage().bounds(), (kyv::PixelRect{10, 10, 50, 30}));
  paint();
  slot.setControl(nullptr);
  EXPECT_EQ(gauge.damage().bounds(), (kyv::PixelRect{10, 10, 50, 30}));
  paint();
  EXPECT_TRUE(gauge.damage().empty());
}

TEST_F(Damage, WritesThatChangeNothingDamageNothingAndAskForNoPaint) {
  kyv::Shape bar(gauge.box, "bar");
  bar.setRectTwips(150, 150, 300, 300);
  paint();
  Requests site;
  gauge.setSite(&site);
  bar.setVisible(true);
  bar.setFillColor(bar.FillColor());
  bar.setLeft(150);
  gauge.box.setBorderStyle(0);
  EXPECT_TRUE(gauge.damage().empty());
  EXPECT_FALSE(gauge.dirty());
  EXPECT_EQ(site.count, 0);
}

// A control may hide an element and show it again in one pass: only what ends up
// different counts.
TEST_F(Damage, HidingAndShowingAgainNetsToNothing) {
  kyv::Shape bar(gauge.box, "bar");
  bar.setRectTwips(150, 150, 300, 300);
  paint();
  bar.setVisible(false);
  bar.setHeight(600);
  bar.setVisible(true);
  bar.setHeight(300);
  EXPECT_TRUE(gauge.dirty());
  EXPECT_TRUE(gauge.damage().empty());
}

TEST_F(Damage, AShapeThatGrowsDamagesOnlyTheRowsItGains) {
  kyv::Shape bar(gauge.box, "bar");
  bar.setRectTwips(150, 150, 300, 300);  // pixels 10 to 30 each way
  paint();
  bar.setHeight(360);  // now down to row 34
  const kyv::Region& d = gauge.damage();
  EXPECT_EQ(d.bounds(), (kyv::PixelRect{10, 30, 30, 34}));
  EXPECT_EQ(d.area(), 20u * 4u);
}

// With an outline, the old bottom edge becomes fill: one row more.
TEST_F(Damage, AnOutlinedShapeAlsoDamagesItsOldEdge) {
  kyv::Shape bar(gauge.box, "bar");
  bar.setRectTwips(150, 150, 300, 300);
  bar.setBorderStyle(1);
  paint();
  bar.setHeight(360);
  EXPECT_EQ(gauge.damage().bounds(), (kyv::PixelRect{10, 29, 30, 34}));
}

TEST_F(Damage, ARecolouredOrHiddenShapeDamagesItsRectangle) {
  kyv::Shape bar(gauge.box, "bar");
  bar.setRectTwips(150, 150, 300, 300);
  paint();
  bar.setFillColor(kyv::Colour{0x0000FF});
  EXPECT_EQ(gauge.damage().bounds(), (kyv::PixelRect{10, 10, 30, 30}));
  paint();
  bar.setVisible(false);
  EXPECT_EQ(gauge.damage().bounds(), (kyv::PixelRect{10, 10, 30, 30}));
}

// A caption of one digit at the left of a 1200-twips (80-pixel) label damages the few
// pixels its glyphs cover, not the label.
TEST_F(Damage, TextDamagesItsInkNotItsLabel) {
  kyv::Label label(gauge.box, "label");
  label.setRectTwips(150, 150, 1200, 300);
  label.setCaption("1");
  paint();
  label.setCaption("7");
  const kyv::PixelRect ink = gauge.damage().bounds();
  EXPECT_GE(ink.x0, 10);
  EXPECT_LE(ink.x1, 20);
  EXPECT_GE(ink.y0, 10);
  EXPECT_LE(ink.y1, 30);
  EXPECT_FALSE(ink.empty());
}

// A level segment from pixel 0 to pixel 10 sets eleven pixels; clearing it damages those.
TEST_F(Damage, RefreshDamagesTheClearedSegmentsNotTheBox) {
  gauge.box.Line(0, 150, 150, 150, kyv::Colour{0xFF0000});
  paint();
  gauge.box.Refresh();
  EXPECT_EQ(gauge.damage().bounds(), (kyv::PixelRect{0, 10, 11, 11}));
  paint();
  gauge.box.Refresh();  // nothing left to clear: a repaint is asked for, of nothing
  EXPECT_TRUE(gauge.dirty());
  EXPECT_TRUE(gauge.damage().empty());
}

// A box moved takes its children along: all it covered and covers is damaged.
TEST_F(Damage, AMovedBoxDamagesWhereItWasAndWhereItIs) {
  kyv::PictureBox inner(gauge.box, "inner");
  inner.setRectTwips(150, 150, 300, 300);
  kyv::Shape dot(inner, "dot");
  dot.setRectTwips(0, 0, 30, 30);
  paint();
  inner.setLeft(600);
  const kyv::Region& d = gauge.damage();
  EXPECT_TRUE(d.contains(10, 10));   // where it was
  EXPECT_TRUE(d.contains(49, 29));   // where it is
  EXPECT_FALSE(d.contains(35, 20));  // between the two
}

// An embedded control's changes reach the control holding it; shrunk, it damages where
// it was.
TEST_F(Damage, AnEmbeddedControlDamagesItsHost) {
  kyv::ControlSlot slot(gauge.box, "slot");
  slot.setRectTwips(150, 150, 600, 300);  // pixels 10 to 50 across, 10 to 30 down
  slot.setControl(kyv::ControlPtr(new Gauge()));
  paint();
  auto& inner = static_cast<Gauge&>(*slot.control());
  kyv::Variant red(kyv::Colour{0x0000FF});
  inner.put("Colour", red);
  EXPECT_TRUE(gauge.dirty());
  EXPECT_EQ(gauge.damage().bounds(), (kyv::PixelRect{10, 10, 50, 30}));
  paint();
  slot.setWidth(300);
  EXPECT_TRUE(gauge.damage().contains(45, 20));
}

TEST_F(Damage, TheSiteHearsAllOfACallsDamageOnceWhenTheCallEnds) {
  paint();
  Requests site;
  gauge.setSite(&site);
  kyv::Variant ticks(true);
  gauge.put("Ticks", ticks);  // three ticks shown, one notification
  EXPECT_EQ(site.count, 1);
  EXPECT_EQ(site.last.rects(), gauge.damage().rects());
  EXPECT_TRUE(site.last.contains(0, 0));
}

// A change made through the elements, outside a late-bound call, is reported before it is
// made: the site must not be told that nothing changed.
TEST_F(Damage, AChangeOutsideACallIsReportedWithARegionThatHoldsIt) {
  paint();
  Requests site;
  gauge.setSite(&site);
  gauge.box.setBackColor(kyv::Colour{0x0000FF});
  gauge.box.setBackColor(kyv::Colour{0x00FF00});  // one request until the next paint
  EXPECT_EQ(site.count, 1);
  EXPECT_TRUE(site.last.contains(50, 20));
  EXPECT_TRUE(gauge.damage().contains(50, 20));
}

// A level or upright line of any width, once hidden, damages the pixels it covered and
// no more: the damage's bounds are those of the pixels that change, at either scale.
TEST_F(Damage, AHiddenStraightLineDamagesExactlyThePixelsItCovered) {
  kyv::LineElement line(gauge.box, "line");
  line.setBorderColor(kyv::Colour{0x0000FF});
  struct Ends {
    float x1, y1, x2, y2;
  };
  const Ends level{300, 293, 1100, 293}, upright{517, 98, 517, 451};
  for (double tpp : {15.0, 7.5}) {
    const int w = static_cast<int>(1500 / tpp), h = static_cast<int>(600 / tpp);
    std::vector<uint32_t> shown(static_cast<size_t>(w) * h), hidden(shown.size());
    const auto render = [&](std::vector<uint32_t>& into) {
      kyv::RenderOptions o;
      o.twipsPerPixel = tpp;
      kyv::renderToPixels(gauge, reinterpret_cast<uint8_t*>(into.data()), w, h, w * 4, o);
    };
    for (int16_t width = 1; width <= 6; ++width)
      for (const Ends& e : {level, upright}) {
        line.setBorderWidth(width);
        line.setX1(e.x1);
        line.setY1(e.y1);
        line.setX2(e.x2);
        line.setY2(e.y2);
        line.setVisible(true);
        render(shown);
        line.setVisible(false);
        const kyv::PixelRect damaged = gauge.damage().bounds();
        render(hidden);
        kyv::Region changed;
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x)
            if (shown[static_cast<size_t>(y) * w + x] != hidden[static_cast<size_t>(y) * w + x])
              changed.add({x, y, x + 1, y + 1});
        EXPECT_EQ(damaged, changed.bounds())
            << "width " << width << (e.y1 == e.y2 ? " level" : " upright") << " at " << tpp << " twips a pixel";
      }
  }
}

TEST_F(Damage, OnlyTheDamageIsRepaintedIntoTheKeptPicture) {
  kyv::Shape bar(gauge.box, "bar");
  bar.setRectTwips(150, 150, 300, 300);
  paint();
  pixels[0] = 0x12345678;  // a pixel outside any damage
  bar.setFillColor(kyv::Colour{0x0000FF});
  kyv::RenderOptions o;
  o.onlyDamage = true;
  kyv::renderToPixels(gauge, bits(), 100, 40, 400, o);
  EXPECT_EQ(pixels[0], 0x12345678u);
  EXPECT_EQ(pixels[15 * 100 + 15], 0xFFFF0000u);
}

// System colours may change with the palette: a render with another palette paints
// everything, though no element changed.
TEST_F(Damage, ARenderWithAnotherPaletteRepaintsEverything) {
  gauge.box.setBackColor(kyv::Colour{0x80000005});
  paint();
  kyv::Palette other = kyv::systemPalette();
  other[5] = 0x0000FF;
  kyv::RenderOptions o;
  o.onlyDamage = true;
  o.palette = &other;
  kyv::renderToPixels(gauge, bits(), 100, 40, 400, o);
  EXPECT_EQ(pixels[20 * 100 + 50], 0xFFFF0000u);
}

// Each case below paints the gauge, makes one change, and renders again: every pixel that
// changed must lie in the damage the change left, and some pixel must change.
struct DamageHoldsTheChange : Damage {
  void check(const char* what, const std::function<void()>& change) {
    paint();
    const std::vector<uint32_t> before = pixels;
    change();
    const kyv::Region damage = gauge.damage();
    paint();
    int changed = 0, missed = 0;
    std::string first;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 100; ++x) {
        if (before[static_cast<size_t>(y) * 100 + x] == pixels[static_cast<size_t>(y) * 100 + x]) continue;
        ++changed;
        if (damage.contains(x, y)) continue;
        if (missed++ == 0) first = std::to_string(x) + ", " + std::to_string(y);
      }
    EXPECT_EQ(missed, 0) << what << ": " << missed << " changed pixels are not in the damage, the first at " << first;
    EXPECT_GT(changed, 0) << what << " changed no pixel";
  }
};

// The outline is drawn inside the rectangle: whichever side moves, its old edge becomes
// fill or background.
TEST_F(DamageHoldsTheChange, AnOutlinedShapeMovingAnySide) {
  kyv::Shape bar(gauge.box, "bar");
  bar.setRectTwips(300, 150, 600, 300);  // pixels 20 to 60 across, 10 to 30 down
  bar.setFillColor(kyv::Colour{0x0000FF});
  bar.setBorderColor(kyv::Colour{0x000000});
  bar.setBorderStyle(1);
  check("right side out", [&] { bar.setWidth(660); });
  check("right side in", [&] { bar.setWidth(540); });
  check("left side out", [&] { bar.setRectTwips(240, 150, 600, 300); });
  check("left side in", [&] { bar.setRectTwips(330, 150, 510, 300); });
  check("bottom side out", [&] { bar.setHeight(360); });
  check("top side in", [&] { bar.setRectTwips(330, 210, 510, 300); });
}

// A slot that moved or changed size shows its control elsewhere or otherwise: whatever
// side of it changed, where it was and where it is are repainted, not only what its
// control changed. Its left edge alone staying put is no reason to think it in place.
TEST_F(DamageHoldsTheChange, AControlSlotMovedOrResizedAnyWay) {
  kyv::ControlSlot slot(gauge.box, "slot");
  slot.setRectTwips(300, 150, 600, 300);  // pixels 20 to 60 across, 10 to 30 down
  auto* inner = new Gauge();
  slot.setControl(kyv::ControlPtr(inner));
  inner->box.setBackColor(kyv::Colour{0x0000FF});
  inner->tick.forEach([](kyv::LineElement& l) { l.setVisible(false); });
  check("moved down", [&] { slot.setTop(210); });
  check("moved up", [&] { slot.setTop(150); });
  check("moved right", [&] { slot.setLeft(360); });
  check("made shorter", [&] { slot.setHeight(240); });
  check("made taller", [&] { slot.setHeight(330); });
  check("made narrower", [&] { slot.setWidth(450); });
  check("made wider", [&] { slot.setWidth(630); });
}

// Brought in front of the shape it overlaps, a shape shows its colour over the overlap.
TEST_F(DamageHoldsTheChange, ARestackedElementRepaintsTheOverlap) {
  kyv::Shape back(gauge.box, "back"), front(gauge.box, "front");
  back.setRectTwips(150, 150, 600, 300);
  back.setFillColor(kyv::Colour{0x0000FF});
  front.setRectTwips(600, 75, 600, 450);
  front.setFillColor(kyv::Colour{0x00FF00});
  check("brought to front", [&] { gauge.box.bringToFront(back); });
  check("sent to back", [&] { gauge.box.sendToBack(back); });
  check("placed in front of the other", [&] { gauge.box.placeInFrontOf(back, front); });
}

// A right-aligned or centred caption moves when its label narrows or widens.
TEST_F(DamageHoldsTheChange, AnAlignedCaptionFollowsItsLabelsWidth) {
  kyv::Label label(gauge.box, "label");
  label.setRectTwips(150, 150, 1200, 300);
  label.setCaption("42");
  label.setForeColor(kyv::Colour{0x000000});
  for (const int16_t alignment : {1, 2}) {
    label.setAlignment(alignment);
    const char* how = alignment == 1 ? "right-aligned" : "centred";
    check(how, [&] { label.setWidth(600); });
    check(how, [&] { label.setWidth(1200); });
  }
}

// An outline is drawn inside its rectangle, even one a pixel thin at twice the pixels a
// twip: else a repaint of the rectangle's damage would leave the rest of it behind.
TEST_F(Damage, AThinOutlinedShapeOrFramePaintsWithinItsRectangle) {
  kyv::Shape bar(gauge.box, "bar");
  bar.setFillColor(kyv::Colour{0x0000FF});
  bar.setBorderColor(kyv::Colour{0x000000});
  bar.setBorderStyle(1);
  kyv::Image frame(gauge.box, "frame");
  frame.setBorderStyle(1);
  for (double tpp : {15.0, 7.5}) {
    const float thin = static_cast<float>(tpp);  // one pixel
    bar.setRectTwips(150, 150, 300, thin);
    frame.setRectTwips(600, 300, thin, 150);
    const int w = static_cast<int>(1500 / tpp), h = static_cast<int>(600 / tpp);
    std::vector<uint32_t> shown(static_cast<size_t>(w) * h);
    kyv::RenderOptions o;
    o.twipsPerPixel = tpp;
    kyv::renderToPixels(gauge, reinterpret_cast<uint8_t*>(shown.data()), w, h, w * 4, o);
    const int p = static_cast<int>(15 / tpp);  // pixels in 15 twips
    const kyv::PixelRect barRect{10 * p, 10 * p, 30 * p, 10 * p + 1}, frameRect{40 * p, 20 * p, 40 * p + 1, 30 * p};
    int painted = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (shown[static_cast<size_t>(y) * w + x] == 0xFFFFFF00u) continue;
        ++painted;
        EXPECT_TRUE(kyv::contains(barRect, {x, y, x + 1, y + 1}) || kyv::contains(frameRect, {x, y, x + 1, y + 1}))
            << "pixel " << x << ", " << y << " at " << tpp << " twips a pixel";
      }
    EXPECT_EQ(painted, 20 * p + 10 * p) << "at " << tpp << " twips a pixel";
  }
}

// A repaint of a part must give the pixels a paint of the whole gives, for any line: each
// column painted on its own makes the picture painted at once.
TEST_F(Damage, ASlantedDashedLinePaintedInPiecesMatchesItPaintedWhole) {
  kyv::LineElement line(gauge.box, "line");
  line.setBorderColor(kyv::Colour{0x800080});
  struct Ends {
    float x1, y1, x2, y2;
  };
  for (const Ends& e : {Ends{15, 435, 1455, 150}, Ends{30, 30, 1380, 555}, Ends{1470, 90, 60, 510}})
    for (int16_t style = 2; style <= 5; ++style)
      for (int16_t width = 1; width <= 3; ++width) {
        line.setX1(e.x1);
        line.setY1(e.y1);
        line.setX2(e.x2);
        line.setY2(e.y2);
        line.setBorderStyle(style);
        line.setBorderWidth(width);
        paint();
        const std::vector<uint32_t> whole = pixels;
        std::fill(pixels.begin(), pixels.end(), 0u);
        for (int x = 0; x < 100; ++x) {
          const kyv::Region column({x, 0, x + 1, 40});
          kyv::RenderOptions o;
          o.clip = &column;
          kyv::renderToPixels(gauge, bits(), 100, 40, 400, o);
        }
        EXPECT_TRUE(pixels == whole) << "style " << style << ", width " << width << ", from " << e.x1 << ", " << e.y1;
      }
}

TEST(Regions, MergeARectangleIntoTheLastWhenTogetherTheyMakeOne) {
  kyv::Region r;
  r.add({0, 0, 10, 5});
  r.add({0, 5, 10, 8});   // below, as wide
  r.add({2, 2, 4, 4});    // inside
  r.add({20, 0, 30, 5});  // apart
  EXPECT_EQ(r.rects().size(), 2u);
  EXPECT_EQ(r.rects()[0], (kyv::PixelRect{0, 0, 10, 8}));
  EXPECT_EQ(r.bounds(), (kyv::PixelRect{0, 0, 30, 8}));
  EXPECT_EQ(r.area(), 80u + 50u);
  r.add({5, 0, 25, 2});  // overlapping both: counted once
  EXPECT_EQ(r.area(), 80u + 50u + 10u * 2u);
  EXPECT_TRUE(r.contains(15, 1));
  EXPECT_FALSE(r.contains(15, 3));
}

// Side by side (touching or overlapping) with the same rows, two rectangles make one; a
// gap, other rows or another rectangle in between keep them apart.
TEST(Regions, MergeSideBySideRectanglesOfTheSameRows) {
  kyv::Region r;
  r.add({0, 0, 10, 5});
  r.add({10, 0, 20, 5});  // touching on the right
  r.add({15, 0, 30, 5});  // overlapping
  r.add({-5, 0, 2, 5});   // on the left
  EXPECT_EQ(r.rects(), (std::vector<kyv::PixelRect>{{-5, 0, 30, 5}}));
  r.add({31, 0, 40, 5});  // a column apart
  r.add({40, 1, 50, 5});  // other rows
  EXPECT_EQ(r.rects(), (std::vector<kyv::PixelRect>{{-5, 0, 30, 5}, {31, 0, 40, 5}, {40, 1, 50, 5}}));
  r.add({50, 1, 60, 5});  // merges with the last only
  EXPECT_EQ(r.rects().back(), (kyv::PixelRect{40, 1, 60, 5}));
  EXPECT_EQ(r.rects().size(), 3u);
  EXPECT_EQ(r.area(), 35u * 5u + 9u * 5u + 20u * 4u);
  EXPECT_FALSE(r.contains(30, 2));
  EXPECT_TRUE(r.contains(59, 4));
}

TEST(Regions, EverythingHoldsEveryPixelAndTakesNoMore) {
  kyv::Region r = kyv::Region::everything();
  r.add({0, 0, 10, 10});
  EXPECT_TRUE(r.isEverything());
  EXPECT_TRUE(r.contains(-100000, 100000));
  r.clear();
  EXPECT_TRUE(r.empty());
}

}  // namespace
