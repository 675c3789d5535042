#include <gtest/gtest.h>

#include "expect_error.h"
#include "kyv/error.h"
#include "kyv/variant.h"

using kyv::Colour;
using kyv::ErrorKind;
using kyv::Variant;
using kyv::VarType;

namespace {

TEST(Variant, RoundsHalfToEvenIntoIntegerAndLong) {
  EXPECT_EQ(Variant(2.5).toInteger(), 2);
  EXPECT_EQ(Variant(3.5).toInteger(), 4);
  EXPECT_EQ(Variant(-2.5).toInteger(), -2);
  EXPECT_EQ(Variant(0.5f).toLong(), 0);
  EXPECT_EQ(Variant(1.5f).toLong(), 2);
  EXPECT_EQ(Variant(32767.4).toInteger(), 32767);
  EXPECT_EQ(Variant("12.5").toInteger(), 12);
}

TEST(Variant, OverflowOutsideTheTargetRange) {
  EXPECT_EQ(kindOf([] { Variant(int32_t{32768}).toInteger(); }), ErrorKind::Overflow);
  EXPECT_EQ(kindOf([] { Variant(-32768.5 - 0.1).toInteger(); }), ErrorKind::Overflow);
  EXPECT_EQ(kindOf([] { Variant(3e9).toLong(); }), ErrorKind::Overflow);
  EXPECT_EQ(kindOf([] { Variant(1e300).toSingle(); }), ErrorKind::Overflow);
  EXPECT_EQ(kindOf([] { Variant(Colour{0x8000000F}).toInteger(); }), ErrorKind::Overflow);
  EXPECT_EQ(Variant(int32_t{-32768}).toInteger(), -32768);
}

TEST(Variant, TextThatIsNotANumberIsATypeMismatch) {
  EXPECT_EQ(kindOf([] { Variant("abc").toInteger(); }), ErrorKind::TypeMismatch);
  EXPECT_EQ(kindOf([] { Variant("").toLong(); }), ErrorKind::TypeMismatch);
  EXPECT_EQ(kindOf([] { Variant("12abc").toDouble(); }), ErrorKind::TypeMismatch);
  EXPECT_EQ(Variant(" 42 ").toInteger(), 42);
  EXPECT_EQ(Variant("&HFF").toLong(), 255);
}

TEST(Variant, BooleansAreMinusOneAndZero) {
  EXPECT_EQ(Variant(true).toInteger(), -1);
  EXPECT_EQ(Variant(false).toLong(), 0);
  EXPECT_TRUE(Variant(int16_t{1}).toBoolean());
  EXPECT_TRUE(Variant(-0.5).toBoolean());
  EXPECT_FALSE(Variant(int16_t{0}).toBoolean());
  EXPECT_TRUE(Variant("True").toBoolean());
  EXPECT_FALSE(Variant("false").toBoolean());
  EXPECT_EQ(kindOf([] { Variant("maybe").toBoolean(); }), ErrorKind::TypeMismatch);
}

TEST(Variant, ColoursKeepTheirBitsThroughLong) {
  EXPECT_EQ(Variant(int32_t{-2147483633}).toColour(), Colour{0x8000000F});
  EXPECT_EQ(Variant(Colour{0x8000000F}).toLong(), -2147483633);
  EXPECT_EQ(Variant(2147483663.0).toColour(), Colour{0x8000000F});
  EXPECT_EQ(Variant(int16_t{255}).toColour(), Colour{0xFF});
  EXPECT_EQ(kindOf([] { Variant(5e9).toColour(); }), ErrorKind::Overflow);
}

TEST(Variant, DisplaysAsHostsPrintValues) {
  EXPECT_EQ(Variant(int16_t{-15}).display(), "-15");
  EXPECT_EQ(Variant(int32_t{100000}).display(), "100000");
  EXPECT_EQ(Variant(1290.5f).display(), "1290.5");
  EXPECT_EQ(Variant(0.1f).display(), "0.1");
  EXPECT_EQ(Variant(1e20).display(), "1e+20");
  EXPECT_EQ(Variant(true).display(), "True");
  EXPECT_EQ(Variant(Colour{0xFF00}).display(), "0x0000FF00");
  EXPECT_EQ(Variant("say \"hi\"").display(), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(Variant().display(), "Empty");
}

TEST(Variant, ConvertToGivesTheTargetType) {
  EXPECT_EQ(Variant(int16_t{7}).convertTo(VarType::Single).type(), VarType::Single);
  EXPECT_EQ(Variant(int16_t{1}).convertTo(VarType::Boolean), Variant(true));
  EXPECT_EQ(Variant(int32_t{65280}).convertTo(VarType::Colour), Variant(Colour{0xFF00}));
  EXPECT_EQ(Variant(int16_t{7}).convertTo(VarType::Variant), Variant(int16_t{7}));
}

TEST(Variant, EqualsDefaultConvertsTheDefaultToTheValuesType) {
  EXPECT_TRUE(kyv::equalsDefault(Variant(true), Variant(int16_t{1})));
  EXPECT_FALSE(kyv::equalsDefault(Variant(false), Variant(int16_t{1})));
  EXPECT_TRUE(kyv::equalsDefault(Variant(Colour{0x8000000F}), Variant(Colour{0x8000000F})));
  EXPECT_TRUE(kyv::equalsDefault(Variant(int32_t{100}), Variant(int16_t{100})));
  EXPECT_FALSE(kyv::equalsDefault(Variant(int16_t{5}), Variant("abc")));
}

}  // namespace
