// ClassTable dispatch for getters that are not const: reading through the table runs the
// getter itself, with its effects, and converts its value like any other property.
#include <gtest/gtest.h>

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

}  // namespace
