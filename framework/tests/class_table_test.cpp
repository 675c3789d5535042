// ClassTable dispatch: getters that are not const run on every read, with their effects;
// a by-reference argument reaches the caller even when the method fails after writing it.
#include <gtest/gtest.h>

#include "expect_error.h"

#include "kyv/class_table.h"

namespace {

class Counter : public kyv::Control {
 public:
  Counter() : Control(classTable(), nullptr) {}
  static const kyv::ClassInfo& classTable() {
    using T = kyv::ClassTable<Counter>;
    static const T table{"Test.Counter",
                         100,
                         100,
                         {T::property<&Counter::Reads, &Counter::setReads>("Reads", 0x68030001),
                          T::property<&Counter::Limit, &Counter::setLimit>("Limit", 0x68030000)},
                         {},
                         {}};
    return table;
  }
  // Each read counts itself.
  int32_t Reads() { return ++reads_; }
  void setReads(int32_t v) { reads_ = v; }
  int16_t Limit() const { return limit_; }
  void setLimit(int16_t v) { limit_ = v; }

 private:
  int32_t reads_ = 0;
  int16_t limit_ = 0;
};

TEST(ClassTable, NonConstGetterRunsOnEveryRead) {
  Counter c;
  EXPECT_EQ(c.classInfo().members()[0].type, kyv::VarType::Long);
  EXPECT_EQ(c.get("Reads"), kyv::Variant(int32_t{1}));
  EXPECT_EQ(c.get("reads"), kyv::Variant(int32_t{2}));
  c.put("Reads", int16_t{40});
  EXPECT_EQ(c.invoke(0, kyv::Invoke::Get, nullptr), kyv::Variant(int32_t{41}));
}

TEST(ClassTable, ConstAndNonConstGettersSitSideBySide) {
  Counter c;
  c.put("Limit", int32_t{12});
  EXPECT_EQ(c.get("Limit"), kyv::Variant(int16_t{12}));
  EXPECT_THROW(c.put("Limit", int32_t{40000}), kyv::Error);
  EXPECT_EQ(c.get("Limit"), kyv::Variant(int16_t{12}));
}

struct Stepper : kyv::Control {
  static const kyv::ClassInfo& classTable() {
    using T = kyv::ClassTable<Stepper>;
    static const T table{"Test.Stepper", 100, 100, {T::method<&Stepper::step>("step", 0x60030001)}, {}, {}};
    return table;
  }
  Stepper() : Control(classTable(), nullptr) {}
  bool fail = false;
  void step(int16_t& v) {
    v = static_cast<int16_t>(v + 1);
    if (fail) kyv::raise(kyv::ErrorKind::SubscriptOutOfRange, "Subscript out of range");
  }
};

TEST(ClassTable, ByReferenceArgumentReachesTheCallerEvenWhenTheMethodFails) {
  Stepper c;
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
