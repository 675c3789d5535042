// The six-digit display: what every length of value shows, the order in which the
// digits are fed, and its frame at (15, 15). Colours and the bag are covered by the
// kyvhost scripts.
#include <gtest/gtest.h>

#include <climits>

#include "digit_reading.h"
#include "kyv/registry.h"
#include "probe_digit.h"
#include "sixseg.h"

using kyv::sixseg;

namespace {

using digittest::expected;
using digittest::shown;

struct Six : ::testing::Test {
  Six() {
    s.InitProperties();
    s.setExtent(3405, 1050);
  }
  void send(int32_t v) {
    int32_t arg = v;
    EXPECT_EQ(s.send(arg), 0);
    EXPECT_EQ(arg, v);
  }
  kyv::Registry registry;
  sixseg s{&registry};
};

TEST_F(Six, ShowsValuesOfEveryLengthRightAlignedWithLeadingZeros) {
  EXPECT_EQ(shown(s), "000000");
  // Every length and sign, around each place where the length changes.
  for (int64_t edge : {1LL, 10LL, 100LL, 1000LL, 10000LL, 100000LL, 1000000LL})
    for (int64_t v : {edge - 2, edge - 1, edge, edge + 7, -edge + 1, -edge, -edge - 3}) {
      const std::string before = shown(s);
      send(static_cast<int32_t>(v));
      const std::string want = expected(v, 6);
      EXPECT_EQ(shown(s), want.empty() ? before : want) << v;
    }
}

TEST_F(Six, EveryLengthClearsTheLeadingPositions) {
  send(123456);
  EXPECT_EQ(shown(s), "123456");
  send(7);
  EXPECT_EQ(shown(s), "000007");
  send(654321);
  send(123);
  EXPECT_EQ(shown(s), "000123");
  send(-42);
  EXPECT_EQ(shown(s), "000042");
  send(-99999);
  EXPECT_EQ(shown(s), "099999");
  for (int32_t v : {1000000, -100000, INT32_MAX, INT32_MIN}) {
    send(v);
    EXPECT_EQ(shown(s), "099999") << v;
  }
}

TEST_F(Six, FrameSitsAt15And15AndTheDigitsAt15InsideIt) {
  send(123456);
  s.setExtent(3405, 1050);
  EXPECT_EQ(shown(s), "000000");
  EXPECT_EQ(s.Picture1.Left(), 15);
  EXPECT_EQ(s.Picture1.Top(), 15);
  EXPECT_EQ(s.Picture1.Width(), 3405);  // reaching 15 twips past the surface's edges
  EXPECT_EQ(s.Picture1.Height(), 1050);
  const float w = 3345.0f / 6.0f;
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(s.digit(i).Left(), static_cast<float>(i) * w) << i;
    EXPECT_EQ(s.digit(i).Top(), 15) << i;
    EXPECT_EQ(s.digit(i).Width(), w) << i;
    EXPECT_EQ(s.digit(i).Height(), 990) << i;
  }
}

TEST(SixCreation, WithoutARegisteredDigitFailsNamingIt) {
  kyv::Registry nothing("/nonexistent/kyvregistry.json");
  try {
    sixseg s(&nothing);
    FAIL() << "created without digits";
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::CannotCreateObject);
    EXPECT_NE(std::string(e.what()).find("\"Kyv1Digit.sseg\""), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("Kyv6Digit.sixseg"), std::string::npos) << e.what();
  }
}

TEST(SixProbe, FeedsTheDigitsInTheOrderOfEachTextLength) {
  kyv::Registry registry(KYV_PROBE_REGISTRY);
  sixseg s(&registry);
  s.setExtent(3405, 1050);
  const auto sends = [&](int32_t v) {
    ProbeDigit::log().clear();
    s.send(v);
    std::string out;
    for (const ProbeDigit::Send& step : ProbeDigit::log())
      for (int i = 0; i < 6; ++i)
        if (s.digit(i).control() == step.digit) out += std::to_string(i) + "<" + std::to_string(step.amount) + " ";
    return out;
  };
  EXPECT_EQ(sends(7), "5<7 4<0 3<0 2<0 1<0 0<0 ");
  EXPECT_EQ(sends(12), "5<2 4<1 3<0 2<0 1<0 0<0 ");
  EXPECT_EQ(sends(123), "5<3 3<1 4<2 2<0 1<0 0<0 ");
  EXPECT_EQ(sends(1234), "5<4 2<1 3<2 4<3 1<0 0<0 ");
  EXPECT_EQ(sends(12345), "5<5 1<1 2<2 4<4 3<3 0<0 ");
  EXPECT_EQ(sends(123456), "5<6 0<1 1<2 4<5 3<4 2<3 ");
  EXPECT_EQ(sends(-12345), "5<5 0<0 1<1 4<4 3<3 2<2 ");
  EXPECT_EQ(sends(1234567), "");
}

}  // namespace
