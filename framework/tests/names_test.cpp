#include <gtest/gtest.h>

#include "kyv/names.h"

namespace {

// Names fold ASCII capitals only: other bytes, UTF-8 letters among them, stay as they are.
TEST(Names, OnlyAsciiCapitalsFold) {
  EXPECT_TRUE(kyv::sameName("MaxLimit", "maxlimit"));
  EXPECT_FALSE(kyv::sameName("MaxLimit", "MaxLimits"));
  EXPECT_FALSE(kyv::sameName("\xC3\x84", "\xC3\xA4"));  // Ä and ä
  EXPECT_FALSE(kyv::sameName("@", "`"));                // the bytes just before A and after Z
  EXPECT_EQ(kyv::foldedName("KyvVStatus.Kyvvstat"), "kyvvstatus.kyvvstat");
  EXPECT_EQ(kyv::foldedName("[Z]_\xC3\x84"), "[z]_\xC3\x84");
}

}  // namespace
