#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gauge.h"
#include "kyv/bag.h"
#include "kyv/error.h"
#include "kyv/site.h"

using kyv::Invoke;
using kyv::Variant;

namespace {

struct Recorder : kyv::Site {
  std::vector<std::string> log;
  std::function<void(kyv::Control&, const kyv::EventInfo&)> onEvent;
  void eventRaised(kyv::Control& c, const kyv::EventInfo& e) override {
    log.push_back("event " + std::string(e.name) + " " + std::to_string(e.number));
    if (onEvent) onEvent(c, e);
  }
  void propertyChanged(kyv::Control&, std::string_view p) override { log.push_back("changed " + std::string(p)); }
};

struct Dispatch : ::testing::Test {
  Dispatch() {
    gauge.InitProperties();
    gauge.setSite(&site);
  }
  Gauge gauge;
  Recorder site;
};

TEST_F(Dispatch, BindsByNameInAnyCaseAndById) {
  const kyv::ClassInfo& info = gauge.classInfo();
  EXPECT_EQ(info.find("limit"), 0);
  EXPECT_EQ(info.find("FEED"), 3);
  EXPECT_EQ(info.find(kyv::DispId{0x60030003}), 3);
  EXPECT_EQ(info.find(kyv::DispId{0x68030001}), 1);
  EXPECT_EQ(info.find(kyv::DispId{0x68030003}), -1);  // a method's low byte with the property bit
  EXPECT_EQ(info.find("nothing"), -1);
}

// What a host's binding raises, by name with and without a kind and by id: one message.
std::string bindFailure(const std::function<void()>& bind) {
  try {
    bind();
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::NoSuchMember);
    return e.what();
  }
  return "no error";
}

TEST_F(Dispatch, BindingRaisesNoSuchMemberNamingTheClassAndTheMember) {
  const kyv::ClassInfo& info = gauge.classInfo();
  EXPECT_EQ(info.bind("feed"), 3);
  EXPECT_EQ(info.bind("Limit", kyv::MemberKind::Property), 0);
  EXPECT_EQ(info.bind(kyv::DispId{0x60030003}, kyv::MemberKind::Method), 3);
  const std::string prefix = "Object doesn't support this property or method: KyvTestGauge.Gauge has no ";
  EXPECT_EQ(bindFailure([&] { info.bind("Nothing"); }), prefix + "member Nothing");
  EXPECT_EQ(bindFailure([&] { info.bind("Limit", kyv::MemberKind::Method); }), prefix + "method Limit");
  EXPECT_EQ(bindFailure([&] { info.bind("feed", kyv::MemberKind::Property); }), prefix + "property feed");
  EXPECT_EQ(bindFailure([&] { info.bind(kyv::DispId{0x6803007f}); }), prefix + "member #0x6803007F");
  EXPECT_EQ(bindFailure([&] { info.bind(kyv::DispId{0x68030002}, kyv::MemberKind::Method); }),
            prefix + "method #0x68030002");
  EXPECT_EQ(bindFailure([&] { info.bind("a\nb"); }), prefix + "member \"a\\x0Ab\"");
  // The control's late-bound calls bind the same way.
  Variant v(int16_t{1});
  EXPECT_EQ(bindFailure([&] { gauge.call("Limit", v); }), prefix + "method Limit");
  EXPECT_EQ(bindFailure([&] { gauge.get("Feed"); }), prefix + "property Feed");
}

TEST_F(Dispatch, ReadsWritesAndCallsWithTheArgumentByReference) {
  gauge.put("LIMIT", int32_t{25});
  EXPECT_EQ(gauge.get("Limit"), Variant(int16_t{25}));
  Variant arg(7.0);
  EXPECT_TRUE(gauge.call("feed", arg).isEmpty());
  EXPECT_EQ(arg, Variant(int16_t{18}));  // written back, as the argument's declared type
  EXPECT_EQ(site.log, (std::vector<std::string>{"changed Limit", "event Low 1"}));
}

TEST_F(Dispatch, WrongMembersAndKindsAreNoSuchMember) {
  Variant v(int16_t{1});
  for (auto f : std::vector<std::function<void()>>{[&] { gauge.get("Nothing"); }, [&] { gauge.call("Limit", v); },
                                                   [&] { gauge.put("Feed", v); },
                                                   [&] { gauge.invoke(99, Invoke::Get, nullptr); }}) {
    try {
      f();
      ADD_FAILURE() << "no error";
    } catch (const kyv::Error& e) {
      EXPECT_EQ(e.kind(), kyv::ErrorKind::NoSuchMember);
      EXPECT_EQ(e.number(), 438);
    }
  }
}

TEST_F(Dispatch, AFailedCallLeavesTheArgumentAsItWas) {
  gauge.setLimit(-32768);
  Variant arg(int16_t{1});
  EXPECT_THROW(gauge.call("Feed", arg), kyv::Error);
  EXPECT_EQ(arg, Variant(int16_t{1}));
  Variant text("abc");
  EXPECT_THROW(gauge.put("Limit", text), kyv::Error);
  EXPECT_EQ(gauge.Limit(), -32768);
}

TEST_F(Dispatch, GroupWritesNotifyPerElement) {
  gauge.put("Ticks", false);
  EXPECT_EQ(site.log, (std::vector<std::string>{"changed Ticks", "changed Ticks", "changed Ticks"}));
  EXPECT_EQ(gauge.get("ticks"), Variant(false));
}

TEST_F(Dispatch, HandlersRunInsideTheCallAndMayReenter) {
  int depth = 0;
  site.onEvent = [&](kyv::Control& c, const kyv::EventInfo& e) {
    if (e.number != 2 || depth > 0) return;
    ++depth;
    Variant zero(int16_t{0});
    c.call("Feed", zero);
    EXPECT_EQ(zero, Variant(int16_t{10}));
  };
  Variant high(int16_t{50});
  gauge.call("Feed", high);
  EXPECT_EQ(site.log, (std::vector<std::string>{"event High 2", "event Low 1"}));
  EXPECT_EQ(high, Variant(int16_t{-40}));
}

TEST_F(Dispatch, AFreshControlStoresNothingAndRestoresItself) {
  kyv::PropertyBag bag;
  gauge.WriteProperties(bag);
  EXPECT_TRUE(bag.entries().empty());
  gauge.setTicks(false);
  gauge.setColour(kyv::Colour{0xFF});
  gauge.setLimit(3);
  gauge.WriteProperties(bag);
  ASSERT_EQ(bag.entries().size(), 5u);
  EXPECT_EQ(bag.entries()[1].key, "Ticks");
  EXPECT_EQ(bag.entries()[3].value, Variant(false));
  kyv::PropertyBag restored = kyv::PropertyBag::fromJson(bag.toJson());
  Gauge copy;
  copy.ReadProperties(restored);
  EXPECT_EQ(copy.Limit(), 3);
  EXPECT_FALSE(copy.Ticks());
  EXPECT_FALSE(copy.tick(1).Visible());
  EXPECT_EQ(copy.Colour(), kyv::Colour{0xFF});
}

TEST_F(Dispatch, ABadStoredValueNamesItsKeyAndKeepsWhatWasReadBefore) {
  kyv::PropertyBag bag =
      kyv::PropertyBag::fromJson(R"({"properties": [["Limit", 5], ["Ticks", "soon"], ["Colour", 255]]})");
  Gauge copy;
  try {
    copy.ReadProperties(bag);
    FAIL() << "no error";
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::TypeMismatch);
    EXPECT_NE(std::string(e.what()).find("\"Ticks\""), std::string::npos) << e.what();
  }
  EXPECT_EQ(copy.Limit(), 5);
  EXPECT_EQ(copy.Colour(), kyv::Colour{0x8000000F});

  kyv::PropertyBag big = kyv::PropertyBag::fromJson(R"({"properties": [["Limit", 40000]]})");
  try {
    copy.ReadProperties(big);
    FAIL() << "no error";
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::Overflow);
  }
}

}  // namespace
