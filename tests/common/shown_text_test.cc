// The reversible mapping between catalog text and shown names, both ways.
#include "common/shown_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tomeva {
namespace {

TEST(ShownTextTest, SubstitutesSeparatorsAndEscapesRealSubstitutes) {
  EXPECT_EQ(ShownText("a/b\\c"), "a\u2215b\u29F5c");
  EXPECT_EQ(ShownText("a\u2215b"), "a\u00A6\u2215b");
  EXPECT_EQ(ShownText("c\u29F5d"), "c\u00A6\u29F5d");
  EXPECT_EQ(ShownText("\u00A6"), "\u00A6\u00A6");
  EXPECT_EQ(ShownText("x\u240Ay"), "x\u00A6\u240Ay");
  EXPECT_EQ(ShownText("x\ny\x7F"), "x\u240Ay\u2421");
  EXPECT_EQ(ShownText(std::string("a\0b", 3)), "ab");
  EXPECT_EQ(ShownText("Война и мир"), "Война и мир");
}

TEST(ShownTextTest, EveryShownTextMapsBackToItsText) {
  const std::vector<std::string> texts = {
      "a/b",           "a\u2215b",      "/\u2215",       "\u2215/",        "\u00A6\u2215",
      "\u00A6/",       "\u00A6",        "x\u00A6",       "\\\u29F5\\",     "line\nbreak\tx\x7F",
      "\u240A\n",      "\u2421\x7F",    "\u2400",        "plain",          "\xFF\xFE/",
      "\u00A6\u00A6/", "end\u00A6\u29F5"};
  for (const std::string& text : texts) {
    const std::string shown = ShownText(text);
    EXPECT_EQ(StoredText(shown), text) << text;
    EXPECT_EQ(ShownByteLength(text), shown.size()) << text;
    EXPECT_EQ(shown.find_first_of(std::string("/\\\n\t\x7F\0", 6)), std::string::npos) << text;
  }
}

TEST(ShownTextTest, OneChangedCharacterAnywhereInPlainTextIsShownChanged) {
  const std::string before = "Толстой Лев Николаевич «Война» — ";
  const std::string after = " и мир, 1869";
  // Characters sharing their first byte with a substitute but shown as they are.
  EXPECT_EQ(ShownText(before + after), before + after);
  EXPECT_EQ(ShownByteLength(before + after), (before + after).size());
  const std::vector<std::pair<std::string, std::string>> changed = {
      {"/", "\u2215"},        {"\\", "\u29F5"},           {"\n", "\u240A"},
      {"\x7F", "\u2421"},    {std::string(1, '\0'), ""},  {"\u2215", "\u00A6\u2215"},
      {"\u29F5", "\u00A6\u29F5"}, {"\u00A6", "\u00A6\u00A6"}, {"\u2401", "\u00A6\u2401"}};
  for (const auto& [character, shown] : changed) {
    EXPECT_EQ(ShownText(before + character + after), before + shown + after) << shown;
    EXPECT_EQ(ShownByteLength(before + character + after), (before + shown + after).size());
  }
}

TEST(ShownTextTest, StoredTextReadsPlainSubstitutesAndKeepsTheCrPicture) {
  EXPECT_EQ(StoredText("a\u2215b"), "a/b");
  EXPECT_EQ(StoredText("\u240D"), "\u240D");  // parameter text cannot carry a CR
  EXPECT_EQ(StoredText("x\u00A6"), "x\u00A6");  // a mark at the very end is itself
}

}  // namespace
}  // namespace tomeva
