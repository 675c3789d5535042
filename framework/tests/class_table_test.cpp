// ClassTable dispatch: getters that are not const run on every read, with their effects;
// a by-reference argument reaches the caller even when the method fails after writing it;
// stored rows load in their order and save in the order the class gives.
#include <gtest/gtest.h>

#include <stdexcept>

#include "expect_error.h"
#include "kyv/bag.h"
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

// Persistence: rows load in their order and save in the write order the class gives,
// repeated and counted rows included.

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

TEST(ClassTable, WithoutAWriteOrderRowsSaveInTheirOwnOrder) {
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

TEST(ClassTable, AWriteOrderChangesSavingOnlyAndRoundTrips) {
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

TEST(ClassTable, AWriteOrderMustNameEveryRowOnce) {
  using T = Stack::T;
  EXPECT_THROW(T("Test.Stack", 1, 1, {}, {}, Stack::rows(), {"Item", "Limit"}), std::invalid_argument);
  EXPECT_THROW(T("Test.Stack", 1, 1, {}, {}, Stack::rows(), {"Item", "Item", "Count"}), std::invalid_argument);
  EXPECT_THROW(T("Test.Stack", 1, 1, {}, {}, Stack::rows(), {"Item", "Limit", "Size"}), std::invalid_argument);
}

TEST(ClassTable, ALoadErrorNamesTheKeyAndKeepsWhatWasLoadedBefore) {
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

// A stored row made from a getter: saved through the getter, of the getter's type, and
// loaded through its own function, which notifies nothing.
class Lamp : public kyv::Control {
 public:
  explicit Lamp(const kyv::ClassInfo& info) : Control(info, nullptr) {}
  int16_t Level() const { return level; }
  kyv::Colour Tint() const { return tints[1]; }
  int16_t level = 5;
  kyv::Colour tints[2] = {kyv::Colour{0xFF}, kyv::Colour{0xFF}};

  using T = kyv::ClassTable<Lamp>;
  static std::vector<T::Persist> rows() {
    return {
        T::stored<&Lamp::Level>("Level", int16_t(5), [](Lamp& l, int16_t v) { l.level = v; }),
        // Read into both tints, written once from the second.
        T::stored<&Lamp::Tint>("Tint", kyv::Colour{0xFF}, 2, [](Lamp& l, int i, kyv::Colour c) { l.tints[i] = c; })};
  }
};

TEST(ClassTable, AStoredRowSavesThroughItsGetterAndReadsAsItsType) {
  static const Lamp::T table{"Test.Lamp", 100, 100, {}, {}, Lamp::rows()};
  const std::vector<kyv::StoredInfo> stored = table.storedReadOrder();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].type, VarType::Integer);
  EXPECT_EQ(stored[1].type, VarType::Colour);
  EXPECT_EQ(stored[1].reads, 2);
  EXPECT_EQ(stored[1].writes, 1);

  Lamp lamp(table);
  kyv::PropertyBag defaults;
  lamp.WriteProperties(defaults);
  EXPECT_TRUE(defaults.entries().empty());  // both at their defaults
  lamp.level = 7;
  lamp.tints[0] = kyv::Colour{0x10};
  lamp.tints[1] = kyv::Colour{0x20};
  kyv::PropertyBag bag;
  lamp.WriteProperties(bag);
  EXPECT_EQ(keys(bag), (std::vector<std::string>{"Level=7", "Tint=0x00000020"}));

  kyv::PropertyBag in;
  in.WriteProperty("Level", Variant("12"));  // a string holding a number reads as the Integer
  in.WriteProperty("Tint", Variant(int32_t{0x30}));
  in.WriteProperty("Tint", Variant(int32_t{0x40}));
  Lamp read(table);
  read.ReadProperties(in);
  EXPECT_EQ(read.level, 12);
  EXPECT_EQ(read.tints[0].value, 0x30u);
  EXPECT_EQ(read.tints[1].value, 0x40u);
}

}  // namespace

// Two members of one dispatch id would bind only the first: the class is refused when it
// is described, naming both.
TEST(ClassTable, ARepeatedDispatchIdIsRefused) {
  using T = kyv::ClassTable<Counter>;
  try {
    T("Test.Twice", 1, 1,
      {T::property<&Counter::Reads, &Counter::setReads>("Reads", 0x68030001),
       T::property<&Counter::Limit, &Counter::setLimit>("Limit", 0x68030001)},
      {}, {});
    FAIL() << "a repeated dispatch id was taken";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "Test.Twice: Reads and Limit have the same dispatch id 0x68030001");
  }
  EXPECT_NO_THROW(T("Test.Apart", 1, 1,
                    {T::property<&Counter::Reads, &Counter::setReads>("Reads", 0x68030001),
                     T::property<&Counter::Limit, &Counter::setLimit>("Limit", 0x68030101)},
                    {}, {}));
}

// A table states the smallest extent its class lays out next to the default one; a table
// given only the default accepts any extent.
TEST(ClassTable, TheSmallestExtentSitsBesideTheDefault) {
  using T = kyv::ClassTable<Counter>;
  const T sized{"Test.Sized", {1500, 600, 300, 120}, {}, {}, {}};
  EXPECT_EQ(sized.defaultWidth(), 1500);
  EXPECT_EQ(sized.defaultHeight(), 600);
  EXPECT_EQ(sized.minimumWidth(), 300);
  EXPECT_EQ(sized.minimumHeight(), 120);
  const kyv::ClassInfo& any = Counter::classTable();
  EXPECT_EQ(any.defaultWidth(), 100);
  EXPECT_EQ(any.minimumWidth(), 0);
  EXPECT_EQ(any.minimumHeight(), 0);
}
