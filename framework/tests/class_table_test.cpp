// Late-bound calls through a ClassTable: a by-reference argument reaches the caller
// even when the method fails after writing it.
#include <gtest/gtest.h>

#include "expect_error.h"
#include "kyv/class_table.h"

namespace {

struct Counter : kyv::Control {
  static const kyv::ClassInfo& classTable() {
    using T = kyv::ClassTable<Counter>;
    static const T table{"Test.Counter", 100, 100, {T::method<&Counter::step>("step", 0x60030001)}, {}, {}};
    return table;
  }
  Counter() : Control(classTable(), nullptr) {}
  bool fail = false;
  void step(int16_t& v) {
    v = static_cast<int16_t>(v + 1);
    if (fail) kyv::raise(kyv::ErrorKind::SubscriptOutOfRange, "Subscript out of range");
  }
};

TEST(ClassTable, ByReferenceArgumentReachesTheCallerEvenWhenTheMethodFails) {
  Counter c;
  kyv::Variant arg(int16_t(4));
  EXPECT_TRUE(c.call("STEP", arg).isEmpty());
  EXPECT_EQ(arg, kyv::Variant(int16_t(5)));
  c.fail = true;
  EXPECT_EQ(kindOf([&] { c.call("step", arg); }), kyv::ErrorKind::SubscriptOutOfRange);
  EXPECT_EQ(arg, kyv::Variant(int16_t(6)));
  kyv::Variant text("x");  // a conversion that fails leaves the argument as it was
  EXPECT_EQ(kindOf([&] { c.call("step", text); }), kyv::ErrorKind::TypeMismatch);
  EXPECT_EQ(text, kyv::Variant("x"));
}

}  // namespace
