#include "KyvMovingBar.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "kyv/class_info.h"
#include "kyv/error.h"
#include "kyv/site.h"

using kyv::KyvMovingBar;

namespace {

// Records what the control tells its host, in order; `onEvent` runs inside the event.
struct Recorder : kyv::Site {
  std::vector<std::string> log;
  std::function<void()> onEvent;
  void eventRaised(kyv::Control&, const kyv::EventInfo& e) override {
    log.push_back("event " + std::string(e.name));
    if (onEvent) onEvent();
  }
  void propertyChanged(kyv::Control&, std::string_view name) override { log.push_back("changed " + std::string(name)); }
};

struct Graph : ::testing::Test {
  KyvMovingBar g;
  Recorder site;
  void SetUp() override {
    g.setSite(&site);
    g.InitProperties();
    g.setExtent(3195, 2475);
  }
  void move(int16_t x) { g.MoveBar(x); }
  std::vector<std::string> captions() const {
    std::vector<std::string> out;
    for (int i = 1; i <= KyvMovingBar::kLines; ++i) out.push_back(g.lbl(i).Caption());
    return out;
  }
  int stackIndex(const kyv::Element& e) const {
    const auto& s = g.UserControl().stacking();
    return static_cast<int>(std::find(s.begin(), s.end(), &e) - s.begin());
  }
};

TEST_F(Graph, LabelsShowTheLineValuesWithoutTrailingZeros) {
  using V = std::vector<std::string>;
  EXPECT_EQ(captions(), (V{"90", "80", "70", "60", "50", "40", "30", "20", "10"}));
  const std::pair<int32_t, V> cases[] = {
      {15, {"13.5", "12", "10.5", "9", "7.5", "6", "4.5", "3", "1.5"}},
      {7, {"6.3", "5.6", "4.9", "4.2", "3.5", "2.8", "2.1", "1.4", "0.7"}},
      {1, {"0.9", "0.8", "0.7", "0.6", "0.5", "0.4", "0.3", "0.2", "0.1"}},
      {0, {"0", "0", "0", "0", "0", "0", "0", "0", "0"}},
      {-100, {"-90", "-80", "-70", "-60", "-50", "-40", "-30", "-20", "-10"}},
      {2147483647,
       {"1932735282.3", "1717986917.6", "1503238552.9", "1288490188.2", "1073741823.5", "858993458.8", "644245094.1",
        "429496729.4", "214748364.7"}},
  };
  for (const auto& [max, expected] : cases) {
    g.setMaxLimit(max);
    g.Resize();
    EXPECT_EQ(captions(), expected) << "MaxLimit " << max;
  }
}

// The labels' font (MS Serif, 6 points; DejaVu Serif on a Debian system) draws each digit 5
// pixels (75 twips) wide: "90" is 150 twips, "90000" 375. A layout places each label 1.5
// times the width of the text it showed until then left of the frame's right edge, 3195.
TEST_F(Graph, LabelTakesItsLeftFromThePreviousTextsWidth) {
  EXPECT_EQ(g.lbl(1).Caption(), "90");
  EXPECT_FLOAT_EQ(g.lbl(1).Width(), 150);
  g.setMaxLimit(100000);
  g.Resize();  // placed by the width of "90": 3195 - 225
  EXPECT_FLOAT_EQ(g.lbl(1).Left(), 2970);
  EXPECT_EQ(g.lbl(1).Caption(), "90000");
  EXPECT_FLOAT_EQ(g.lbl(1).Width(), 375);
  g.Resize();  // now by its own text: 3195 - 562.5
  EXPECT_FLOAT_EQ(g.lbl(1).Left(), 2632.5);
  EXPECT_FLOAT_EQ(g.lbl(1).Top(), 247.5);  // on the first grid line, a tenth of 2475 down
}

TEST_F(Graph, ABarEndingOnTheRightEdgeIsStillAppended) {
  g.setExtent(3150, 2475);  // exactly 14 bars
  for (int i = 1; i <= 13; ++i) move(static_cast<int16_t>(i));
  EXPECT_EQ(g.lvl.Count(), 14);
  EXPECT_FLOAT_EQ(g.lvl(13).Left(), 2925);
  EXPECT_TRUE(g.lvl(13).Visible());
  move(14);
  EXPECT_EQ(g.lvl.Count(), 14);
  EXPECT_FLOAT_EQ(g.lvl(0).Height(), 2475 * 0.01f);

  KyvMovingBar narrow;
  narrow.InitProperties();
  narrow.setExtent(3149.99f, 2475);
  for (int i = 1; i <= 13; ++i) {
    int16_t x = static_cast<int16_t>(i);
    narrow.MoveBar(x);
  }
  EXPECT_EQ(narrow.lvl.Count(), 13);
}

// The class table tells a host how many readings fill the row: after that many, every bar
// shows one of them (the first placeholder bar has scrolled out) and the row holds no more.
TEST_F(Graph, TheReadingsShownFillTheRowExactly) {
  const kyv::MemberInfo* moveBar = nullptr;
  for (const kyv::MemberInfo& m : KyvMovingBar::classTable().members())
    if (m.name == "MoveBar") moveBar = &m;
  ASSERT_TRUE(moveBar && moveBar->feed.readingsShown);
  for (const float width : {3150.0f, 3149.99f, 3285.0f, 1200.0f}) {
    KyvMovingBar graph;
    graph.InitProperties();
    graph.setExtent(width, 2475);
    const int shown = moveBar->feed.readingsShown(graph);
    EXPECT_EQ(shown, graph.barsShown());
    for (int i = 1; i <= shown; ++i) {
      int16_t x = static_cast<int16_t>(50 + i);
      graph.MoveBar(x);
    }
    ASSERT_EQ(graph.lvl.Count(), shown) << width;
    EXPECT_FLOAT_EQ(graph.lvl(0).Height(), 2475 * 0.51f) << width;  // the first reading, not the placeholder
    int16_t more = 1;
    graph.MoveBar(more);
    EXPECT_EQ(graph.lvl.Count(), shown) << width;
    EXPECT_FLOAT_EQ(graph.lvl(0).Height(), 2475 * 0.52f) << width;
  }
}

TEST_F(Graph, EventsFollowTheBarsAndHandlersSeeTheTemporaryBar) {
  g.setExtent(450, 2475);  // two bars
  int countInHandler = 0;
  bool newBarVisible = false;
  site.onEvent = [&] {
    countInHandler = g.lvl.Count();
    newBarVisible = g.lvl(countInHandler - 1).Visible();
  };
  move(100);
  EXPECT_EQ(countInHandler, 2);
  EXPECT_TRUE(newBarVisible);  // appended and shown before the event
  move(50);
  EXPECT_EQ(countInHandler, 3);  // scrolling: lvl(2) is still loaded, hidden
  EXPECT_FALSE(newBarVisible);
  EXPECT_EQ(g.lvl.Count(), 2);
  EXPECT_EQ(site.log, (std::vector<std::string>{"event MaxLimitReached", "event NormalOPs"}));
}

TEST_F(Graph, AHandlerMayFeedTheGraphAgain) {
  g.setExtent(675, 2475);  // three bars
  move(10);
  move(20);
  bool fed = false;
  site.onEvent = [&] {
    if (fed) return;
    fed = true;
    move(90);
  };
  // Scrolls, and the handler's call scrolls once more while lvl(3) is loaded: its own
  // value lands in lvl(3) and leaves with it, the row keeps three bars.
  move(30);
  EXPECT_EQ(g.lvl.Count(), 3);
  EXPECT_FLOAT_EQ(g.lvl(0).Height(), 2475 * 0.2f);
  EXPECT_FLOAT_EQ(g.lvl(1).Height(), 2475 * 0.3f);
  EXPECT_FLOAT_EQ(g.lvl(2).Height(), 2475 * 0.3f);
  move(40);
  EXPECT_FLOAT_EQ(g.lvl(2).Height(), 2475 * 0.4f);
}

TEST_F(Graph, FailedCallsLeaveTheRowAsItWas) {
  move(50);
  g.setMaxLimit(0);
  int16_t x = 10;
  try {
    g.MoveBar(x);
    FAIL() << "no error";
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::DivisionByZero);
  }
  g.setMaxLimit(-100);
  x = 10;
  EXPECT_THROW(g.MoveBar(x), kyv::Error);
  EXPECT_EQ(g.lvl.Count(), 2);
  EXPECT_FALSE(g.lvl.exists(2));
  x = -50;  // same sign as the maximum: half the frame, and -50 >= -100
  g.MoveBar(x);
  EXPECT_FLOAT_EQ(g.lvl(2).Left(), 450);
  EXPECT_FLOAT_EQ(g.lvl(2).Height(), 2475 / 2.0f);
  EXPECT_EQ(site.log.back(), "event MaxLimitReached");
}

TEST_F(Graph, BarsStackBehindTheGridAndLabels) {
  for (int i = 0; i < 5; ++i) move(80);
  const int grid = stackIndex(g.grd(1));
  for (int i = 0; i < g.lvl.Count(); ++i) EXPECT_LT(stackIndex(g.lvl(i)), grid) << "lvl(" << i << ")";
  EXPECT_LT(stackIndex(g.schart), stackIndex(g.lvl(0)));
  EXPECT_LT(stackIndex(g.grd(9)), stackIndex(g.lbl(1)));
}

TEST_F(Graph, ResizeKeepsBarsAndStandsThemOnTheNewBottom) {
  for (int i = 0; i < 13; ++i) move(50);
  g.setExtent(1000, 4000);  // narrower: the next call scrolls all 14 bars
  EXPECT_EQ(g.lvl.Count(), 14);
  for (int i = 1; i < 14; ++i) {
    EXPECT_FLOAT_EQ(g.lvl(i).Height(), 1237.5f);
    EXPECT_FLOAT_EQ(g.lvl(i).Top(), 4000 - 1237.5f);
  }
  move(100);
  EXPECT_EQ(g.lvl.Count(), 14);
  EXPECT_FLOAT_EQ(g.lvl(13).Height(), 4000);
  EXPECT_FLOAT_EQ(g.lvl(13).Left(), 2925);  // beyond the frame, still loaded

  g.setExtent(4000, 4000);  // wider: room for three more
  move(25);
  EXPECT_EQ(g.lvl.Count(), 15);
  EXPECT_FLOAT_EQ(g.lvl(14).Left(), 3150);
}

}  // namespace
