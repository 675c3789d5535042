#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "expect_error.h"
#include "kyv/bag.h"
#include "kyv/error.h"

using kyv::Colour;
using kyv::PropertyBag;
using kyv::Variant;

namespace {

TEST(PropertyBag, MissingKeysReadTheirDefault) {
  PropertyBag bag;
  EXPECT_EQ(bag.ReadProperty("Maxlimit", int16_t{100}), Variant(int16_t{100}));
}

TEST(PropertyBag, KeysMatchWithoutRegardToCase) {
  PropertyBag bag;
  bag.WriteProperty("captionvisible", false);
  EXPECT_EQ(bag.ReadProperty("CaptionVisible", true), Variant(false));
}

TEST(PropertyBag, RepeatedKeysReadBackInWriteOrderThenFromTheFirst) {
  PropertyBag bag;
  bag.WriteProperty("DisplayColor", Colour{1});
  bag.WriteProperty("Other", int16_t{9});
  bag.WriteProperty("displaycolor", Colour{2});
  bag.WriteProperty("DISPLAYCOLOR", Colour{3});
  std::vector<Variant> read;
  for (int i = 0; i < 5; ++i) read.push_back(bag.ReadProperty("DisplayColor", Colour{0}));
  EXPECT_EQ(read, (std::vector<Variant>{Colour{1}, Colour{2}, Colour{3}, Colour{1}, Colour{2}}));
  EXPECT_EQ(bag.ReadProperty("Other"), Variant(int16_t{9}));
}

TEST(PropertyBag, ValuesEqualToTheirDefaultAreOmitted) {
  PropertyBag bag;
  bag.WriteProperty("Maxlimit", int16_t{100}, int16_t{100});
  bag.WriteProperty("GridVisible", true, int16_t{1});
  bag.WriteProperty("CaptionVisible", true, true);
  bag.WriteProperty("BackColor", Colour{0x8000000F}, Colour{0x8000000F});
  EXPECT_TRUE(bag.entries().empty());
  bag.WriteProperty("GridVisible", false, int16_t{1});
  bag.WriteProperty("BackColor", Colour{0}, Colour{0x80000007});
  bag.WriteProperty("Maxlimit", int16_t{0}, int16_t{100});
  ASSERT_EQ(bag.entries().size(), 3u);
  EXPECT_EQ(bag.entries()[0].value, Variant(false));
}

TEST(PropertyBag, JsonRoundTripKeepsOrderKeysAndValues) {
  PropertyBag bag;
  bag.WriteProperty("Bar3D", int16_t{1});
  bag.WriteProperty("Bar3D", int16_t{1});
  bag.WriteProperty("CaptionVisible", false);
  bag.WriteProperty("BackColor", Colour{0x80000005});
  bag.WriteProperty("Big", int32_t{100000});
  bag.WriteProperty("Text", "a \"b\"");
  const std::string json = bag.toJson();
  EXPECT_NE(json.find(R"(["Bar3D",1],["Bar3D",1],["CaptionVisible",false])"), std::string::npos) << json;
  PropertyBag back = PropertyBag::fromJson(json);
  ASSERT_EQ(back.entries().size(), 6u);
  EXPECT_EQ(back.ReadProperty("backcolor").toColour(), Colour{0x80000005});
  EXPECT_EQ(back.ReadProperty("Big"), Variant(int32_t{100000}));
  EXPECT_EQ(back.ReadProperty("Text"), Variant("a \"b\""));
}

TEST(PropertyBag, TextThatIsNotABagIsRefused) {
  for (const char* text : {"", "not json", "[1,2]", R"({"properties": 5})", R"({"properties": [[1, 2]]})",
                           R"({"properties": [["a"]]})", R"({"properties": [["a", 1, 2]]})"}) {
    try {
      PropertyBag::fromJson(text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const kyv::Error& e) {
      EXPECT_EQ(e.kind(), kyv::ErrorKind::InvalidPropertyValue) << text;
    }
  }
  EXPECT_TRUE(PropertyBag::fromJson(R"({"other": 1, "properties": []})").entries().empty());
}

// A document without "properties" (a form document, the registration file) is not a bag,
// and neither is text holding a NUL byte, whatever follows it.
TEST(PropertyBag, ObjectsWithoutPropertiesAndTextWithNulAreNotBags) {
  using namespace std::string_literals;
  const std::string withNul = "{\"properties\": []}\0{\"properties\": [[\"Maxlimit\", 1]]}"s;
  for (const std::string& text :
       {std::string(R"({"other": 1})"), std::string(R"({"controls": []})"),
        std::string(R"({"classes": {"KyvVStatus.Kyvvstat": "/lib/libKyvVStatus.so"}})"), withNul}) {
    try {
      PropertyBag::fromJson(text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const kyv::Error& e) {
      EXPECT_EQ(e.kind(), kyv::ErrorKind::InvalidPropertyValue) << text;
      EXPECT_NE(std::string(e.what()).find("not a property bag"), std::string::npos) << e.what();
    }
  }
}

TEST(PropertyBag, NonScalarValuesReadAsTextSoNumbersMismatch) {
  PropertyBag bag = PropertyBag::fromJson(R"({"properties": [["Maxlimit", [1]], ["Title", {"a": [2]}]]})");
  EXPECT_EQ(kindOf([&] { bag.ReadProperty("Maxlimit").toInteger(); }), kyv::ErrorKind::TypeMismatch);
  EXPECT_EQ(bag.ReadProperty("Title"), Variant(R"({"a":[2]})"));
}

// null is no value of any property: reading it is a type mismatch, never 0 or False.
TEST(PropertyBag, NullValuesAreATypeMismatchWhenRead) {
  PropertyBag bag = PropertyBag::fromJson(R"({"properties": [["Min", 5], ["Maxlimit", null], ["Min", null]]})");
  EXPECT_EQ(kindOf([&] { bag.ReadProperty("Maxlimit", int16_t{100}); }), kyv::ErrorKind::TypeMismatch);
  EXPECT_EQ(bag.ReadProperty("Min", int16_t{3}), Variant(int16_t{5}));
  EXPECT_EQ(kindOf([&] { bag.ReadProperty("Min", int16_t{3}); }), kyv::ErrorKind::TypeMismatch);
}

std::string nested(size_t depth, std::string_view inner) {
  return std::string(depth, '[') + std::string(inner) + std::string(depth, ']');
}

std::string notABagMessage(const std::function<void()>& read) {
  try {
    read();
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::InvalidPropertyValue);
    return e.what();
  }
  ADD_FAILURE() << "accepted";
  return {};
}

// Nesting that no document of ours has is refused before anything reads it: 100,000
// levels (a 200 KB file) once overflowed the stack.
TEST(PropertyBag, DeepNestingIsRefusedBeforeItIsRead) {
  const std::string deep = R"({"properties": [["Maxlimit", )" + nested(100000, "1") + "]]}";
  EXPECT_NE(notABagMessage([&] { PropertyBag::fromJson(deep); }).find("nest deeper than 16 levels"), std::string::npos);
  const std::string form =
      R"({"controls": [{"name": "a", "class": "A.b", "properties": [["k", )" + nested(100000, "") + "]]}]}";
  EXPECT_NE(notABagMessage([&] { kyv::FormDocument::fromJson(form); }).find("nest deeper"), std::string::npos);
  // 16 levels in all read as ever; brackets inside strings do not count.
  const PropertyBag fits =
      PropertyBag::fromJson(R"({"properties": [["k", )" + nested(13, "") + R"(], ["s", "[[[[[[[[[[[[[[[[[[[[\"[["]]})");
  EXPECT_EQ(fits.entries().size(), 2u);
  EXPECT_NE(notABagMessage([&] { PropertyBag::fromJson(R"({"properties": [["k", )" + nested(14, "") + "]]}"); }), "");
}

// Sizes no real document reaches are refused with the limit named, before parsing.
TEST(PropertyBag, DocumentsBeyondTheSizeLimitsAreRefused) {
  const std::string padding(kyv::kMaxBagBytes, ' ');
  EXPECT_NE(notABagMessage([&] {
              PropertyBag::fromJson(R"({"properties": []})" + padding);
            }).find("larger than 1048576 bytes"),
            std::string::npos);
  EXPECT_TRUE(PropertyBag::fromJson(R"({"properties": []})" + padding.substr(20)).entries().empty());
  EXPECT_EQ(kyv::FormDocument::fromJson(R"({"controls": []})" + padding).controls.size(), 0u);
  EXPECT_NE(notABagMessage([&] {
              kyv::FormDocument::fromJson(R"({"controls": []})" + std::string(kyv::kMaxFormBytes, ' '));
            }).find("larger than 4194304 bytes"),
            std::string::npos);
}

// Messages quote a short prefix of what they name, control bytes escaped, so that a huge
// or binary value neither floods a log nor cuts the message short.
TEST(PropertyBag, MessagesQuoteAShortEscapedPrefixOfAValue) {
  PropertyBag bag =
      PropertyBag::fromJson(R"({"properties": [["Maxlimit", "a\u0000b\n)" + std::string(100000, 'x') + R"("]]})");
  try {
    bag.ReadProperty("Maxlimit").toInteger();
    ADD_FAILURE() << "read as a number";
  } catch (const kyv::Error& e) {
    const std::string message = e.what();
    EXPECT_EQ(message, "Type mismatch: \"a\\x00b\\x0A" + std::string(60, 'x') + "\"... (100004 bytes) is not a number");
  }
  EXPECT_EQ(kyv::quoteForMessage("say \"hi\"\x7F"), R"("say ""hi""\x7F")");
  EXPECT_EQ(kyv::quoteForMessage(std::string(63, 'a') + "\xC3\xA9z"), "\"" + std::string(63, 'a') + "\"... (66 bytes)");
}

TEST(FormDocument, HoldsNamedControlsWithClassExtentAndBag) {
  const char* text = R"({"controls": [
      {"name": "fourseg1", "class": "Kyv4Digit.fourseg", "extent": [1785, 585],
       "properties": [["displaycolor", 16711680], ["displaycolor", 16711680]]},
      {"name": "KyvMovingBar1", "class": "KyvMovingBars.KyvMovingBar", "extent": [3780, 2250]}]})";
  kyv::FormDocument form = kyv::FormDocument::fromJson(text);
  ASSERT_EQ(form.controls.size(), 2u);
  const kyv::FormControl* four = form.find("FOURSEG1");
  ASSERT_NE(four, nullptr);
  EXPECT_EQ(four->className, "Kyv4Digit.fourseg");
  EXPECT_EQ(four->width, 1785);
  EXPECT_EQ(four->properties.entries().size(), 2u);
  kyv::FormDocument again = kyv::FormDocument::fromJson(form.toJson());
  EXPECT_EQ(again.controls[1].height, 2250);
  EXPECT_THROW(kyv::FormDocument::fromJson(R"({"controls": [{"name": "x"}]})"), kyv::Error);
  EXPECT_THROW(kyv::FormDocument::fromJson(R"({"controls": [{"name": "x", "class": "a.b", "extent": [-1, 5]}]})"),
               kyv::Error);
  EXPECT_THROW(kyv::FormDocument::fromJson(R"({"properties": []})"), kyv::Error);
}

// A number beyond a Double's range is valid JSON: it reads as a number out of every range,
// so the entry that holds it overflows on its own and the rest of the document stays.
TEST(PropertyBag, NumbersBeyondTheDoubleRangeOverflowTheirOwnEntry) {
  const std::string wide(401, '9');  // an integer far beyond 64 bits and a Double's range
  PropertyBag bag = PropertyBag::fromJson(R"({"properties": [["MinThreshold", 9], ["Maxlimit", 1e400], ["Low", -2E+999],
                                          ["Small", 1e-400], ["Wide", )" +
                                          wide + R"(], ["Exact", 0.1], ["Text", "1e400"]]})");
  ASSERT_EQ(bag.entries().size(), 7u);
  EXPECT_EQ(bag.ReadProperty("MinThreshold"), Variant(int16_t{9}));
  EXPECT_EQ(kindOf([&] { bag.ReadProperty("Maxlimit").toInteger(); }), kyv::ErrorKind::Overflow);
  EXPECT_EQ(kindOf([&] { bag.ReadProperty("Low").toLong(); }), kyv::ErrorKind::Overflow);
  EXPECT_EQ(kindOf([&] { bag.ReadProperty("Wide").toColour(); }), kyv::ErrorKind::Overflow);
  EXPECT_EQ(kindOf([&] { bag.ReadProperty("Wide").toSingle(); }), kyv::ErrorKind::Overflow);
  EXPECT_EQ(bag.ReadProperty("Small").toDouble(), 0.0);
  EXPECT_EQ(bag.ReadProperty("Exact"), Variant(0.1));
  EXPECT_EQ(bag.ReadProperty("Text"), Variant("1e400"));

  kyv::FormDocument form = kyv::FormDocument::fromJson(
      R"({"controls": [{"name": "a", "class": "a.b", "extent": [300, 200], "properties": [["Maxlimit", 1e400]]}]})");
  ASSERT_EQ(form.controls.size(), 1u);
  EXPECT_EQ(form.controls[0].width, 300);
  EXPECT_EQ(kindOf([&] { form.controls[0].properties.ReadProperty("Maxlimit").toInteger(); }),
            kyv::ErrorKind::Overflow);
  EXPECT_THROW(kyv::FormDocument::fromJson(R"({"controls": [{"name": "a", "class": "a.b", "extent": [1e400, 5]}]})"),
               kyv::Error);
  EXPECT_THROW(PropertyBag::fromJson(R"({"properties": [["Maxlimit", 1e400,]]})"), kyv::Error);
}

}  // namespace
