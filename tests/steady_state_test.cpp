// A control fed values and painted only where they changed, as a monitoring screen does
// many times a second, allocates nothing once it runs steadily: neither the late-bound
// call, nor the elements' record of their last paint, nor working out and painting the
// damage. Every control of the family is fed through its own feed method.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "alloc_counter.h"
#include "kyv/control.h"
#include "kyv/registry.h"
#include "kyv/render.h"
#include "kyv/site.h"

namespace {

struct Feed {
  const char* className;
  const char* method;
  bool wholeNumber;    // the method takes a Long (else an Integer)
  const char* column;  // a method choosing the column the value goes to, if any
  int modulo;          // values run from 0 to modulo - 1
};

void PrintTo(const Feed& f, std::ostream* os) { *os << f.className; }

std::string feedName(const testing::TestParamInfo<Feed>& info) {
  const std::string name = info.param.className;
  return name.substr(name.find('.') + 1);
}

struct QueueingSite final : kyv::Site {
  void invalidated(kyv::Control&, const kyv::Region&) override { asked = true; }
  bool asked = false;
};

class SteadyState : public testing::TestWithParam<Feed> {
 protected:
  void SetUp() override {
    control_ = registry_.create(GetParam().className);
    control_->setSite(&site_);
    control_->InitProperties();
    control_->setExtent(3000, 1800);
    const kyv::ClassInfo& info = control_->classInfo();
    feed_ = info.find(GetParam().method);
    column_ = GetParam().column ? info.find(GetParam().column) : -1;
    ASSERT_GE(feed_, 0);
    kyv::render(*control_, target_, 0, 0);
  }

  // Feeds value `n` and paints the damage when the control asked for a repaint.
  void step(int n) {
    const Feed& f = GetParam();
    if (column_ >= 0) {
      arg_ = kyv::Variant(static_cast<int16_t>(n % 7));
      control_->invoke(column_, kyv::Invoke::Call, &arg_);
    }
    const int v = (n * 37) % f.modulo;
    arg_ = f.wholeNumber ? kyv::Variant(static_cast<int32_t>(v)) : kyv::Variant(static_cast<int16_t>(v));
    control_->invoke(feed_, kyv::Invoke::Call, &arg_);
    if (!site_.asked) return;
    site_.asked = false;
    kyv::RenderOptions options;
    options.onlyDamage = true;
    kyv::render(*control_, target_, 0, 0, options);
  }

  kyv::Registry registry_;
  QueueingSite site_;
  kyv::ControlPtr control_;
  std::vector<uint32_t> pixels_ = std::vector<uint32_t>(260 * 160);
  kyv::PixelTarget target_{reinterpret_cast<uint8_t*>(pixels_.data()), 260, 160, 260 * 4};
  kyv::Variant arg_;
  int feed_ = -1, column_ = -1;
};

TEST_P(SteadyState, ValuesAndPaintsAllocateNothing) {
  // Enough values for every graph and trace to fill and scroll, and every element to have
  // changed at least once.
  for (int n = 0; n < 2000; ++n) step(n);
  const long before = kyvbench::allocations.load();
  for (int n = 2000; n < 2400; ++n) step(n);
  EXPECT_EQ(kyvbench::allocations.load() - before, 0) << "heap allocations in 400 values and paints";
}

INSTANTIATE_TEST_SUITE_P(EveryFeed, SteadyState,
                         testing::Values(Feed{"KyvVStatus.Kyvvstat", "incbar", false, nullptr, 120},
                                         Feed{"KyvHStatus.Hstat", "incbar", false, nullptr, 120},
                                         Feed{"Kyv1Digit.sseg", "send", true, nullptr, 10},
                                         Feed{"Kyv4Digit.fourseg", "send", true, nullptr, 10000},
                                         Feed{"Kyv6Digit.sixseg", "send", true, nullptr, 1000000},
                                         Feed{"KyvMovingBars.KyvMovingBar", "MoveBar", false, nullptr, 100},
                                         Feed{"KyvPulse.HeartBeat", "Plot", false, nullptr, 100},
                                         Feed{"KyvMultiBars.KyvMultiBar", "Value", false, "Column", 100}),
                         feedName);

}  // namespace
