// ClassTable persistence: rows load in their order and save in the write order the
// class gives, repeated and counted rows included.
#include <gtest/gtest.h>

#include <stdexcept>

#include "kyv/bag.h"
#include "kyv/class_table.h"

namespace {

using kyv::Variant;
using kyv::VarType;

// Loads Count, then one "Item" per item, then Limit; saves the items first.
class Stack : public kyv::Control {
 public:
  explicit Stack(const kyv::ClassInfo& info) : Control(info, nullptr) {}
  int16_t count = 2;
  int16_t limit = 100;
  int16_t items[4] = {0, 0, 0, 0};

  using T = kyv::ClassTable<Stack>;
  static std::vector<T::Persist> rows() {
    return {
        {"Count", int16_t(2), VarType::Integer, [](Stack& s, int, const Variant& v) { s.count = v.toInteger(); },
         [](Stack& s, int) { return Variant(s.count); }},
        {"Item", int16_t(0), VarType::Integer, [](Stack& s, int i, const Variant& v) { s.items[i] = v.toInteger(); },
         [](Stack& s, int i) { return Variant(s.items[i]); }, 1, 1, [](const Stack& s) { return int(s.count); }},
        {"Limit", int16_t(100), VarType::Integer, [](Stack& s, int, const Variant& v) { s.limit = v.toInteger(); },
         [](Stack& s, int) { return Variant(s.limit); }},
    };
  }
};

std::vector<std::string> keys(const kyv::PropertyBag& bag) {
  std::vector<std::string> out;
  for (const auto& e : bag.entries()) out.push_back(e.key + "=" + e.value.display());
  return out;
}

TEST(ClassTableTest, WithoutAWriteOrderRowsSaveInTheirOwnOrder) {
  static const Stack::T table{"Test.Stack", 100, 100, {}, {}, Stack::rows()};
  Stack s(table);
  s.count = 3;
  s.limit = 7;
  s.items[0] = 1;
  s.items[2] = 5;
  kyv::PropertyBag bag;
  s.WriteProperties(bag);
  EXPECT_EQ(keys(bag), (std::vector<std::string>{"Count=3", "Item=1", "Item=5", "Limit=7"}));
}

TEST(ClassTableTest, AWriteOrderChangesSavingOnlyAndRoundTrips) {
  static const Stack::T table{"Test.Stack", 100, 100, {}, {}, Stack::rows(), {"item", "Limit", "COUNT"}};
  Stack s(table);
  s.count = 3;
  s.limit = 7;
  s.items[0] = 1;
  s.items[1] = 2;
  s.items[2] = 5;
  kyv::PropertyBag bag;
  s.WriteProperties(bag);
  EXPECT_EQ(keys(bag), (std::vector<std::string>{"Item=1", "Item=2", "Item=5", "Limit=7", "Count=3"}));

  // Count is loaded first, so the three items are read back.
  Stack t(table);
  t.ReadProperties(bag);
  EXPECT_EQ(t.count, 3);
  EXPECT_EQ(t.limit, 7);
  EXPECT_EQ(t.items[2], 5);
  EXPECT_EQ(t.items[3], 0);
}

TEST(ClassTableTest, AWriteOrderMustNameEveryRowOnce) {
  using T = Stack::T;
  EXPECT_THROW(T("Test.Stack", 1, 1, {}, {}, Stack::rows(), {"Item", "Limit"}), std::invalid_argument);
  EXPECT_THROW(T("Test.Stack", 1, 1, {}, {}, Stack::rows(), {"Item", "Item", "Count"}), std::invalid_argument);
  EXPECT_THROW(T("Test.Stack", 1, 1, {}, {}, Stack::rows(), {"Item", "Limit", "Size"}), std::invalid_argument);
}

TEST(ClassTableTest, ALoadErrorNamesTheKeyAndKeepsWhatWasLoadedBefore) {
  static const Stack::T table{"Test.Stack", 100, 100, {}, {}, Stack::rows(), {"Item", "Limit", "Count"}};
  Stack s(table);
  kyv::PropertyBag bag;
  bag.WriteProperty("Count", Variant(int16_t(1)));
  bag.WriteProperty("Item", Variant("many"));
  bag.WriteProperty("Limit", Variant(int16_t(9)));
  try {
    s.ReadProperties(bag);
    FAIL() << "no error raised";
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::TypeMismatch);
    EXPECT_NE(std::string(e.what()).find("\"Item\""), std::string::npos) << e.what();
  }
  EXPECT_EQ(s.count, 1);
  EXPECT_EQ(s.limit, 100);
}

}  // namespace
