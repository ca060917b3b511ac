// Tests of field reference parsing: parts, index hints and unit parts.
#include "content/field_reference.h"

#include <gtest/gtest.h>

namespace tomeva::content {
namespace {

TEST(FieldReferenceTest, SplitCutsAtTheFirstTwoDots) {
  const FieldReference full = SplitFieldReference("wdx_tc.FullName.[2]");
  EXPECT_EQ(full.source, "wdx_tc");
  EXPECT_EQ(full.field, "FullName");
  EXPECT_EQ(full.unit, "[2]");
  const FieldReference bare = SplitFieldReference("wdx_tc");
  EXPECT_EQ(bare.source, "wdx_tc");
  EXPECT_EQ(bare.field, "");
  EXPECT_EQ(bare.unit, "");
}

TEST(FieldReferenceTest, ParseIndexReadsDecimalSignedAndHexadecimalForms) {
  EXPECT_EQ(ParseIndex("12"), 12);
  EXPECT_EQ(ParseIndex("  -3"), -3);
  EXPECT_EQ(ParseIndex("+4"), 4);
  EXPECT_EQ(ParseIndex("$1F"), 31);
  EXPECT_EQ(ParseIndex("0x10"), 16);
  EXPECT_EQ(ParseIndex("-2147483648"), -2147483648LL);
  for (const char* bad : {"", "x", "1 ", "0x", "$", "12a", "2147483648", "99999999999999999999"}) {
    EXPECT_EQ(ParseIndex(bad), std::nullopt) << bad;
  }
}

TEST(FieldReferenceTest, FindEntryTakesTheHintOnlyWhenItsNameMatches) {
  const std::vector<std::string> names = {"wdx_tc", "wdx_XML", "wdx_tc[x]"};
  EXPECT_EQ(FindEntry("wdx_tc[0]", names), 0);
  EXPECT_EQ(FindEntry("wdx_XML[0]", names), 1);  // hint names another entry: search
  EXPECT_EQ(FindEntry("wdx_tc[5]", names), 0);   // hint out of range: search
  EXPECT_EQ(FindEntry("[1]", names), 1);
  EXPECT_EQ(FindEntry("[7]", names), -1);
  EXPECT_EQ(FindEntry("wdx_tc[x]", names), 2);  // unreadable index: the whole name
  EXPECT_EQ(FindEntry("wdx_tc[x]", {"wdx_tc"}), -1);
  EXPECT_EQ(FindEntry("WDX_TC", names), -1);
  EXPECT_EQ(FindEntry("", {""}), -1);
}

TEST(FieldReferenceTest, ResolveUnitReadsNumbersAndUnitNames) {
  EXPECT_EQ(ResolveUnit("", "a|b"), -1);
  EXPECT_EQ(ResolveUnit("[3]", ""), 3);
  EXPECT_EQ(ResolveUnit("second", "first|second"), 1);
  EXPECT_EQ(ResolveUnit("second[1]", "first|second"), 1);
  EXPECT_EQ(ResolveUnit("third", "first|second"), std::nullopt);
  EXPECT_EQ(ResolveUnit("[x]", "first"), std::nullopt);
}

}  // namespace
}  // namespace tomeva::content
