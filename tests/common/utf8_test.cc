// The case-blind text order the catalog sorts and looks up by: it must agree
// with comparing the lower-cased texts, for every kind of character and for
// damaged UTF-8, or indexes built with it would be out of order.
#include "common/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tomeva {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

int Reference(std::string_view a, std::string_view b) {
  return Sign(Utf8Lower(a).compare(Utf8Lower(b)));
}

TEST(Utf8CompareIgnoringCaseTest, AgreesWithComparingLowerCasedTexts) {
  const std::vector<std::string> texts = {
      "", "a", "A", "b", "Z", "ё", "Ё", "е", "Е", "ж", "Ж", "Толстой", "толстой", "ТОЛСТОЙ",
      "Толстая", "Ѐ", "ѐ", "Ѣ", "ѣ", "À", "à", "Ü", "ü", "÷", "×", "日本", "日", "\xD0", "\xD0\xB0",
      "\xFF", "a\xD0", "\xD0z", "abc", "abcd", "ab", "Война и мир", "война и МИР", "Война и мир 2",
      "x\xD0", "x\xD0\x80", "x\xD0\x90", "x\x80\x80", "x\x80", "ветер мир 23", "ветер мир 2",
      "ветер Мир 23", "ветер мирЁ", "ветер мирё"};
  for (const std::string& a : texts) {
    for (const std::string& b : texts) {
      EXPECT_EQ(Sign(Utf8CompareIgnoringCase(a, b)), Reference(a, b))
          << ::testing::PrintToString(a) << " vs " << ::testing::PrintToString(b);
    }
  }
}

TEST(Utf8CompareIgnoringCaseTest, EqualIgnoringCaseIsZero) {
  EXPECT_EQ(Utf8CompareIgnoringCase("Ёлка ЗИМОЙ", "ёлка зимой"), 0);
  EXPECT_LT(Utf8CompareIgnoringCase("Ёлка", "Ёлки"), 0);
  EXPECT_GT(Utf8CompareIgnoringCase("ёлка", "Ёлк"), 0);
}

}  // namespace
}  // namespace tomeva
