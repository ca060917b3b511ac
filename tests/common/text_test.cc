// Tests of the small string operations in common/text.h.
#include "common/text.h"

#include <gtest/gtest.h>

#include <string>

namespace tomeva {
namespace {

TEST(TextTest, UpperCaseTextUpperCasesLatinAndCyrillicIncludingYo) {
  EXPECT_EQ(UpperCaseText("ёлка Толстой abc-xyz"), "ЁЛКА ТОЛСТОЙ ABC-XYZ");
}

TEST(TextTest, UpperCaseTextLeavesOtherCharactersUnchanged) {
  // 4-byte and 3-byte sequences, digits and a stray byte pass through as they are.
  const std::string other = "😀€ 12\xFF";
  EXPECT_EQ(UpperCaseText(other), other);
}

TEST(TextTest, DoubleQuotedDoublesQuotesInside) {
  EXPECT_EQ(DoubleQuoted("a\"b\"c"), "\"a\"\"b\"\"c\"");
  EXPECT_EQ(DoubleQuoted(""), "\"\"");
}

TEST(TextTest, ZeroPadPadsToWidthAndNeverCuts) {
  EXPECT_EQ(ZeroPad(5, 2), "05");
  EXPECT_EQ(ZeroPad(100, 2), "100");
  EXPECT_EQ(ZeroPad(7, 0), "7");
  EXPECT_EQ(ZeroPad(-5, 3), "-05");
}

TEST(TextTest, ReplaceAllReplacesWithoutOverlapOrRescanning) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("abc", "b", "bb"), "abbc");
  EXPECT_EQ(ReplaceAll("aXbXc", "X", ""), "abc");
  EXPECT_EQ(ReplaceAll("abc", "", "z"), "abc");
  EXPECT_EQ(ReplaceAll("abc", "B", "z"), "abc");
  EXPECT_EQ(ReplaceChar("a\\b\\c", '\\', '/'), "a/b/c");
}

TEST(TextTest, TextBeforeGivesAllOfTextWhenSeparatorIsMissing) {
  EXPECT_EQ(TextBeforeChar("name", '='), "name");
  EXPECT_EQ(TextBefore("a\r\nb", "\r\n"), "a");
  EXPECT_EQ(TextBefore("ab", ""), "ab");
}

TEST(TextTest, CutTokenRemovesTokenAndSeparatorUntilTextIsEmpty) {
  std::string s = "a\r\n\r\nb";
  EXPECT_EQ(CutToken(s, "\r\n"), "a");
  EXPECT_EQ(s, "\r\nb");
  EXPECT_EQ(CutToken(s, "\r\n"), "");
  EXPECT_EQ(CutToken(s, "\r\n"), "b");
  EXPECT_EQ(s, "");

  std::string t = "x=1=2";
  EXPECT_EQ(CutTokenChar(t, '='), "x");
  EXPECT_EQ(t, "1=2");
  EXPECT_EQ(CutTokenChar(t, ';'), "1=2");
  EXPECT_EQ(t, "");

  std::string u = "abc";  // an empty separator never occurs, so a loop ends
  EXPECT_EQ(CutToken(u, ""), "abc");
  EXPECT_EQ(u, "");
}

TEST(TextTest, TrimLeftCharsDropsOnlyLeadingMembers) {
  EXPECT_EQ(TrimLeftChars("\r\n\nx\r\n", "\r\n"), "x\r\n");
  EXPECT_EQ(TrimLeftChars("\r\n", "\r\n"), "");
}

}  // namespace
}  // namespace tomeva
