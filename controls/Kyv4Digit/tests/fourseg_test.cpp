// The four-digit display's logic: what every value shows, the order in which the digits
// are fed, what the colour reads return, repeated keys with mixed digit colours, and
// creation. Notifications, bags and errors as hosts see them are in the kyvhost scripts.
#include <gtest/gtest.h>

#include <climits>

#include "digit_reading.h"
#include "fourseg.h"
#include "kyv/bag.h"
#include "kyv/registry.h"
#include "probe_digit.h"

using kyv::fourseg;

namespace {

using digittest::expected;
using digittest::shown;
using kyv::Colour;

struct Four : ::testing::Test {
  Four() {
    f.setSite(&notes);
    f.InitProperties();
    f.setExtent(1785, 585);
  }
  int32_t send(int32_t v) {
    int32_t arg = v;
    const int32_t result = f.send(arg);
    EXPECT_EQ(arg, v);
    return result;
  }
  kyv::Registry registry;
  fourseg f{&registry};
  digittest::Notes notes;
};

TEST_F(Four, ShowsEveryValueThatFitsRightAlignedWithLeadingZeros) {
  EXPECT_EQ(shown(f), "0000");
  for (int32_t v = -1100; v <= 10100; ++v) {
    const std::string before = shown(f);
    ASSERT_EQ(send(v), 0);
    const std::string want = expected(v, 4);
    ASSERT_EQ(shown(f), want.empty() ? before : want) << v;
  }
}

TEST_F(Four, EveryTextLengthClearsTheLeadingPositions) {
  const std::pair<int32_t, const char*> cases[] = {{9999, "9999"}, {5, "0005"},   {1234, "1234"}, {42, "0042"},
                                                   {8888, "8888"}, {123, "0123"}, {-7, "0007"},   {-123, "0123"},
                                                   {8888, "8888"}, {-42, "0042"}, {-999, "0999"}, {0, "0000"}};
  for (auto [v, want] : cases) {
    send(v);
    EXPECT_EQ(shown(f), want) << v;
  }
}

TEST_F(Four, EverySendRefreshesTheSurface) {
  for (int32_t v : {5, 12345}) {
    f.UserControl().Line(0, 0, 100, 100, Colour{0xFF});
    f.clearDirty();
    send(v);
    EXPECT_TRUE(f.UserControl().drawnLines().empty()) << v;
    EXPECT_TRUE(f.dirty()) << v;
  }
}

TEST_F(Four, ResizeLaysTheDigitsSideBySideAndShowsZeros) {
  send(1234);
  f.setBorderStyle(0);
  f.setExtent(2000, 700);
  EXPECT_EQ(shown(f), "0000");
  for (int i = 0; i < 4; ++i) {
    const kyv::ControlSlot& d = f.digit(i);
    EXPECT_EQ(d.Left(), 500.0f * i);
    EXPECT_EQ(d.Top(), 0);
    EXPECT_EQ(d.Width(), 500);
    EXPECT_EQ(d.Height(), 700);
    EXPECT_EQ(d.control()->UserControl().Width(), 500);
    EXPECT_EQ(d.control()->UserControl().Height(), 700);
  }
  // With the frame's border the digits share its inner width: 1725 / 4 each.
  f.setBorderStyle(1);
  f.setExtent(1785, 585);
  EXPECT_EQ(f.digit(3).Left(), 3 * 431.25f);
  EXPECT_EQ(f.digit(3).Width(), 431.25f);
  EXPECT_EQ(f.digit(3).Height(), 525);
}

TEST_F(Four, ColourReadsReturnTheLastDigitsAndBackColorRealignsTheFrame) {
  f.digit(0).control()->put("BackColor", Colour{0x111111});
  f.digit(3).control()->put("BackColor", Colour{0x333333});
  f.digit(3).control()->put("DisplayColor", Colour{0xFF});
  f.Picture1.setBackColor(Colour{0x80000005});
  EXPECT_EQ(f.DisplayColor(), Colour{0xFF});
  EXPECT_EQ(f.Picture1.BackColor(), Colour{0x80000005});
  EXPECT_EQ(f.BackColor(), Colour{0x333333});
  EXPECT_EQ(f.Picture1.BackColor(), Colour{0x111111});
  EXPECT_TRUE(notes.take().empty());
}

TEST_F(Four, SavesEachDigitUnderTheRepeatedKeysAndRestoresThem) {
  const Colour backs[] = {Colour{0x010101}, Colour{0x020202}, Colour{0x030303}, Colour{0x040404}};
  const Colour fronts[] = {Colour{0xFF}, Colour{0xFF00}, Colour{0xFF0000}, Colour{0x00FFFF}};
  for (int i = 0; i < 4; ++i) {
    f.digit(i).control()->put("BackColor", backs[i]);
    f.digit(i).control()->put("DisplayColor", fronts[i]);
  }
  f.setmaxlimit(123456);
  f.setBorderStyle(0);
  kyv::PropertyBag bag;
  f.WriteProperties(bag);
  std::vector<std::string> keys;
  for (const auto& e : bag.entries()) keys.push_back(e.key);
  // DisplayColor of digit(1) is the default green and is left out.
  EXPECT_EQ(keys, (std::vector<std::string>{"BackColor", "BackColor", "BackColor", "BackColor", "DisplayColor",
                                            "DisplayColor", "DisplayColor", "maxlimit", "BorderStyle"}));

  fourseg copy(&registry);
  kyv::PropertyBag stored = kyv::PropertyBag::fromJson(bag.toJson());
  copy.ReadProperties(stored);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(copy.digit(i).control()->get("BackColor"), kyv::Variant(backs[i])) << i;
  }
  // Only three DisplayColor entries were stored: the fourth read starts again at the first.
  EXPECT_EQ(copy.digit(0).control()->get("DisplayColor"), kyv::Variant(fronts[0]));
  EXPECT_EQ(copy.digit(1).control()->get("DisplayColor"), kyv::Variant(fronts[2]));
  EXPECT_EQ(copy.digit(2).control()->get("DisplayColor"), kyv::Variant(fronts[3]));
  EXPECT_EQ(copy.digit(3).control()->get("DisplayColor"), kyv::Variant(fronts[0]));
  EXPECT_EQ(copy.maxlimit(), 123456);
  EXPECT_EQ(copy.BorderStyle(), 0);
  // The frame takes the fifth BackColor read, which wraps round to the first entry.
  EXPECT_EQ(copy.Picture1.BackColor(), backs[0]);
}

TEST(FourCreation, DigitsComeFromTheRegistryWithNoBorderAndTheirDesignExtent) {
  kyv::Registry registry;
  fourseg f(&registry);
  EXPECT_EQ(registry.loadedLibraries(), (std::vector<std::string>{"Kyv1Digit"}));
  for (int i = 0; i < 4; ++i) {
    kyv::Control& d = *f.digit(i).control();
    EXPECT_EQ(d.classInfo().className(), "Kyv1Digit.sseg");
    EXPECT_EQ(d.get("BorderStyle"), kyv::Variant(int16_t{0}));
    EXPECT_EQ(d.get("maxlimit"), kyv::Variant(int32_t{999}));
    EXPECT_EQ(d.UserControl().Width(), 870);
    EXPECT_EQ(d.UserControl().Height(), 1125);
  }
}

TEST(FourCreation, WithoutARegistryFailsNamingTheDigitClass) {
  try {
    fourseg f;
    FAIL() << "created without digits";
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::CannotCreateObject);
    EXPECT_NE(std::string(e.what()).find("\"Kyv1Digit.sseg\""), std::string::npos) << e.what();
  }
}

// The stand-in digit shows the order of the sends and that the digits are reached by name.
struct FourProbe : ::testing::Test {
  FourProbe() {
    f.setExtent(1785, 585);
    ProbeDigit::log().clear();
  }
  // "digit <- value" for each send since the last call.
  std::vector<std::string> sends(int32_t v) {
    ProbeDigit::log().clear();
    int32_t arg = v;
    f.send(arg);
    std::vector<std::string> out;
    for (const ProbeDigit::Send& s : ProbeDigit::log()) {
      int index = -1;
      for (int i = 0; i < 4; ++i)
        if (f.digit(i).control() == s.digit) index = i;
      out.push_back(std::to_string(index) + "<-" + std::to_string(s.amount));
    }
    return out;
  }
  kyv::Registry registry{KYV_PROBE_REGISTRY};
  fourseg f{&registry};
};

TEST_F(FourProbe, FeedsTheDigitsInTheOrderOfEachTextLength) {
  using V = std::vector<std::string>;
  EXPECT_EQ(sends(7), (V{"3<-7", "2<-0", "1<-0", "0<-0"}));
  EXPECT_EQ(sends(-5), (V{"3<-5", "2<-0", "1<-0", "0<-0"}));
  EXPECT_EQ(sends(42), (V{"3<-2", "2<-4", "1<-0", "0<-0"}));
  EXPECT_EQ(sends(-42), (V{"3<-2", "1<-0", "2<-4", "0<-0"}));
  EXPECT_EQ(sends(123), (V{"3<-3", "1<-1", "2<-2", "0<-0"}));
  EXPECT_EQ(sends(1234), (V{"3<-4", "0<-1", "1<-2", "2<-3"}));
  EXPECT_EQ(sends(-123), (V{"3<-3", "0<-0", "1<-1", "2<-2"}));
  EXPECT_EQ(sends(12345), V{});
  EXPECT_EQ(sends(-1234), V{});
}

TEST_F(FourProbe, AMemberTheDigitLacksFailsOnlyWhenUsed) {
  f.setBackColor(Colour{0xFF});
  try {
    f.setDisplayColor(Colour{0xFF});
    FAIL() << "DisplayColor reached a digit without it";
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::NoSuchMember);
    EXPECT_NE(std::string(e.what()).find("DisplayColor"), std::string::npos) << e.what();
  }
  EXPECT_THROW(f.DisplayColor(), kyv::Error);
  EXPECT_EQ(f.BackColor(), Colour{0xFF});
}

}  // namespace
