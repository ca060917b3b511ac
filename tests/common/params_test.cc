// Tests of parameter text: lookup, removal, normalisation and splitting.
#include "common/params.h"

#include <gtest/gtest.h>

#include <string>

namespace tomeva {
namespace {

TEST(ParamsTest, GetParamReturnsFirstNonEmptyValueOfExactName) {
  EXPECT_EQ(GetParam("a=\r\na=5", "a"), "5");
  EXPECT_EQ(GetParam("ab=1", "a"), "");
  EXPECT_EQ(GetParam("A=1", "a"), "");
  EXPECT_EQ(GetParam("x=1\r\na=2=3\r\n", "a"), "2=3");
  EXPECT_EQ(GetParam("a\r\nb=1", "a"), "");  // an entry without "=" has no value
  EXPECT_EQ(GetParam("", "a"), "");
}

TEST(ParamsTest, TakeParamRemovesFoundEntryAndEndsOthersWithCrLf) {
  std::string params = "x=1\r\ny=2\r\nz=3";
  EXPECT_EQ(TakeParam(params, "y"), "2");
  EXPECT_EQ(params, "x=1\r\nz=3\r\n");
}

TEST(ParamsTest, TakeParamDropsEmptyEntriesOfNameBeforeTheFoundOne) {
  std::string params = "y=\r\nx=1\r\ny=2\r\ny=\r\ny=3";
  EXPECT_EQ(TakeParam(params, "y"), "2");
  EXPECT_EQ(params, "x=1\r\ny=\r\ny=3\r\n");
  EXPECT_EQ(TakeParam(params, "y"), "3");
  EXPECT_EQ(params, "x=1\r\n");
}

TEST(ParamsTest, TakeParamOfMissingNameKeepsOtherEntries) {
  std::string params = "x=1\r\nw=\r\nz=3";
  EXPECT_EQ(TakeParam(params, "w"), "");
  EXPECT_EQ(params, "x=1\r\nz=3\r\n");
}

TEST(ParamsTest, JoinParamsDropsBlankLinesAndAppendsSeparatorToEachEntry) {
  EXPECT_EQ(JoinParams("\r\na=1\r\n\r\n\r\nb=2", ", "), "a=1, b=2, ");
  EXPECT_EQ(JoinParams("a=1\r\nb=\r\n", std::string(kCrLf)), "a=1\r\nb=\r\n");
  EXPECT_EQ(JoinParams("=skipped\r\nc=3", ";"), "c=3;");
  EXPECT_EQ(JoinParams("", ";"), "");
}

TEST(ParamsTest, JoinParamsTakesNameOfEntryWithoutEqualsUpToNextEquals) {
  EXPECT_EQ(JoinParams("x\r\na=1\r\n", "|"), "x\r\na=1|");
}

TEST(ParamsTest, SplitParamsCutsEntriesAtFirstEqualsAndSkipsEmptyNames) {
  std::vector<Param> params = SplitParams("a=1\r\n=2\r\n\r\nb\r\nc=x=y\r\n");
  ASSERT_EQ(params.size(), 3u);
  EXPECT_EQ(params[0].name, "a");
  EXPECT_EQ(params[0].value, "1");
  EXPECT_EQ(params[1].name, "b");
  EXPECT_EQ(params[1].value, "");
  EXPECT_EQ(params[2].name, "c");
  EXPECT_EQ(params[2].value, "x=y");
}

}  // namespace
}  // namespace tomeva
