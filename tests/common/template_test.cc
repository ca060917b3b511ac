// Tests of the template language: literal runs, expansion and matching.
#include "common/template.h"

#include <gtest/gtest.h>

#include <string>

namespace tomeva {
namespace {

TEST(TemplateTest, ParseLiteralJoinsQuotedPartsAndCharacterCodes) {
  LiteralRun run = ParseLiteral("'ab'#13#10'cd'x", 0);
  EXPECT_EQ(run.value, "ab\r\ncd");
  EXPECT_EQ(run.next, 14u);

  run = ParseLiteral("#$41#66.", 0);
  EXPECT_EQ(run.value, "AB");
  EXPECT_EQ(run.next, 7u);

  EXPECT_EQ(ParseLiteral("#$4a#321'.", 0).value, "JA");  // only the low byte is kept
  EXPECT_EQ(ParseLiteral("'it''s'.", 0).value, "its");  // no doubled-quote escape
}

TEST(TemplateTest, ParseLiteralNeverReadsTheLastCharacter) {
  LiteralRun run = ParseLiteral("'abc", 0);
  EXPECT_EQ(run.value, "ab");
  EXPECT_EQ(run.next, 4u);
  EXPECT_EQ(ParseLiteral("'ab'", 0).next, 4u);
  EXPECT_EQ(ParseLiteral("'", 0).next, 0u);
}

TEST(TemplateTest, ParseLiteralSkipsLeadingBlanksButStopsAtBlanksBetweenParts) {
  LiteralRun run = ParseLiteral(" \t\r\n'a' 'b'.", 0);
  EXPECT_EQ(run.value, "a");
  EXPECT_EQ(run.next, 7u);
  run = ParseLiteral("x'a'.", 1);  // starts where it is told
  EXPECT_EQ(run.value, "a");
  EXPECT_EQ(run.next, 4u);
}

TEST(TemplateTest, ParseLiteralKeepsHashWithoutUsableDigitsAsText) {
  EXPECT_EQ(ParseLiteral("#'x'.", 0).value, "#x");
  EXPECT_EQ(ParseLiteral("#$'x'.", 0).value, "#$x");
  EXPECT_EQ(ParseLiteral("#99999999999'x'.", 0).value, "#99999999999x");
  EXPECT_EQ(ParseLiteral("#$100000000'x'.", 0).value, "#$100000000x");
}

TEST(TemplateTest, ExpandTemplateReplacesBareNamesFromParams) {
  EXPECT_EQ(ExpandTemplate("'SELECT * FROM 't';'", "t=Books"), "SELECT * FROM Books;");
  EXPECT_EQ(ExpandTemplate("'SELECT * FROM 't';'", "u=Books"), "SELECT * FROM ;");
  // A name runs up to the quote, spaces included.
  EXPECT_EQ(ExpandTemplate("'x=UCase(\"'first name'\")'", "first name=Leo"), "x=UCase(\"Leo\")");
  EXPECT_EQ(ExpandTemplate("'a'#13#10 #65'b'", ""), "a\r\nAb");
  EXPECT_EQ(ExpandTemplate("", "t=Books"), "");
}

TEST(TemplateTest, ExpandTemplateAsksLookupForEachBareName) {
  auto lookup = [](std::string_view name) { return "[" + std::string(name) + "]"; };
  // A character code counts only after a quoted part or a blank, so a
  // template that starts with one reads it as a name.
  EXPECT_EQ(ExpandTemplate("#13'-'b c'-'#13'.'", lookup), "[#13]-[b c]-\r.");
  EXPECT_EQ(ExpandTemplate("'('name.", lookup), "([name]");  // the last character is never read
}

TEST(TemplateTest, MatchTemplateCapturesValuesBetweenLiterals) {
  const std::string pattern = "Author' - 'Title'.fb2'.";
  EXPECT_EQ(MatchTemplate(pattern, "Doe - Tales.fb2"), "Author=Doe\r\nTitle=Tales\r\n");
  EXPECT_EQ(MatchTemplate(pattern, "Doe - Tales.fb2.bak"), "Author=Doe\r\nTitle=Tales\r\n");
  EXPECT_EQ(MatchTemplate(pattern, "Doe Tales.fb2"), std::nullopt);
  EXPECT_EQ(MatchTemplate(pattern, "Doe - "), std::nullopt);  // text used up too early
  EXPECT_EQ(MatchTemplate(pattern, " - Tales.fb2"), std::nullopt);  // empty value
}

TEST(TemplateTest, MatchTemplateOfEmptyPatternsMatchesAnything) {
  EXPECT_EQ(MatchTemplate("'", "anything"), "");
  EXPECT_EQ(MatchTemplate("''", "anything"), "");
  EXPECT_EQ(MatchTemplate("", "anything"), "");
}

TEST(TemplateTest, MatchTemplateNeedsFinalDotToAcceptLeftoverText) {
  EXPECT_EQ(MatchTemplate("Author'.fb2'", "Doe.fb2"), "Author=Doe\r\n");
  EXPECT_EQ(MatchTemplate("Author'.fb2'", "Doe.fb2x"), std::nullopt);
  EXPECT_EQ(MatchTemplate("Author'.fb2'.", "Doe.fb2x"), "Author=Doe\r\n");
  EXPECT_EQ(MatchTemplate("'['Name", "[Doe"), "Name=Doe\r\n");  // a name at the end takes the rest
  EXPECT_EQ(MatchTemplate("'[' Name", "[Doe"), " Name=Doe\r\n");  // blanks belong to the name
}

TEST(TemplateTest, MatchTemplateLiteralsMustMatchExactly) {
  EXPECT_EQ(MatchTemplate("'Doe'.", "Doe and more"), "");
  EXPECT_EQ(MatchTemplate("'Doe'.", "doe"), std::nullopt);
  // A "." before the end of the pattern ends the match early and fails it.
  EXPECT_EQ(MatchTemplate("'a'.'b'.", "ab"), std::nullopt);
}

TEST(TemplateTest, MatchTemplateStarSkipsUpToTheFollowingLiteral) {
  EXPECT_EQ(MatchTemplate("*'] 'Title'.fb2'.", "[01] Tales.fb2"), "Title=Tales\r\n");
  EXPECT_EQ(MatchTemplate("*'zz'.", "abc"), "");  // absent: all of the text is skipped
  EXPECT_EQ(MatchTemplate("*'zz'Title'.'.", "abc"), std::nullopt);
}

TEST(TemplateTest, MatchTemplateFailsOnLeftoverTextAfterClosingQuote) {
  // The last quote reads nothing; the leftover text must fail, not loop.
  EXPECT_EQ(MatchTemplate("'ab''", "abX"), std::nullopt);
  EXPECT_EQ(MatchTemplate("'ab''", "ab"), "");
}

}  // namespace
}  // namespace tomeva
