#include <gtest/gtest.h>

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
  EXPECT_TRUE(PropertyBag::fromJson(R"({"other": 1})").entries().empty());
}

TEST(PropertyBag, NonScalarValuesReadAsTextSoNumbersMismatch) {
  PropertyBag bag = PropertyBag::fromJson(R"({"properties": [["Maxlimit", [1]], ["Min", null]]})");
  EXPECT_THROW(bag.ReadProperty("Maxlimit").toInteger(), kyv::Error);
  EXPECT_TRUE(bag.ReadProperty("Min", int16_t{3}).isEmpty());
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
}

}  // namespace
