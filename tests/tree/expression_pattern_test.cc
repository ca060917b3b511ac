// Tests of the expression pattern matcher: the pattern language, captures and
// their suffixes, the state groups restore, and bounded work on hostile input.
#include "tree/expression_pattern.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tomeva {
namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

// Parameter text of the given name=value lines.
std::string Params(const Lines& lines) {
  std::string text;
  for (const auto& [name, value] : lines) text += name + "=" + value + "\r\n";
  return text;
}

TEST(MatchExpressionTest, EmptyAndQuotePatternsMatchEveryTextWithoutCaptures) {
  for (std::string_view pattern : {"", "'", "''"}) {
    EXPECT_EQ(MatchExpression(pattern, ""), "") << pattern;
    EXPECT_EQ(MatchExpression(pattern, "\\Genres\\"), "") << pattern;
  }
}

TEST(MatchExpressionTest, LiteralMatchIsACaseSensitivePrefixMatch) {
  EXPECT_EQ(MatchExpression("'ab'", "abc"), "");
  EXPECT_EQ(MatchExpression("'ab'", "ab"), "");
  EXPECT_EQ(MatchExpression("'ab'", "a"), std::nullopt);
  EXPECT_EQ(MatchExpression("'ab'", "xab"), std::nullopt);
  EXPECT_EQ(MatchExpression("'AB'", "abc"), std::nullopt);
}

TEST(MatchExpressionTest, EndMarkRequiresTextToRemainAndEndsThePattern) {
  EXPECT_EQ(MatchExpression("'ab'.", "abc"), "");
  EXPECT_EQ(MatchExpression("'ab'.", "ab"), std::nullopt);
  EXPECT_EQ(MatchExpression("'\\Genres\\'.", "\\Genres\\Poetry\\"), "");
  EXPECT_EQ(MatchExpression("'\\Genres\\'.", "\\Genres\\"), std::nullopt);
  EXPECT_EQ(MatchExpression("'a'.'zzz'", "ab"), "");
}

TEST(MatchExpressionTest, LiteralRunJoinsQuotedPartsAndCharacterCodes) {
  EXPECT_EQ(MatchExpression("#$41", "A"), "");
  EXPECT_EQ(MatchExpression("#65", "A"), "");
  EXPECT_EQ(MatchExpression("#$4a#$4A", "JJ"), "");
  EXPECT_EQ(MatchExpression("#321", "A"), "");  // the low byte of the code
  EXPECT_EQ(MatchExpression("'a'#13#10'b'", "a\r\nb"), "");
  EXPECT_EQ(MatchExpression("'it'#39's'", "it's"), "");
  EXPECT_EQ(MatchExpression("'it''s'", "its"), "");  // no doubled-quote escape
  EXPECT_EQ(MatchExpression("'a'#'b'#$'c'", "a#b#$c"), "");
  EXPECT_EQ(MatchExpression("'a(b'", "a(bc"), "");  // unterminated: to the end
  EXPECT_EQ(MatchExpression("N'['M']'", "x[y]"), Params({{"N", "x"}, {"M", "y"}}));
}

TEST(MatchExpressionTest, NamesCaptureTheTextUpToTheNextLiteral) {
  EXPECT_EQ(MatchExpression("A'-'B'-'", "--"), Params({{"A", ""}, {"B", ""}}));
  EXPECT_EQ(MatchExpression("Last Name#1'!'", "Doe!"), Params({{"Last Name#1", "Doe"}}));
  EXPECT_EQ(MatchExpression("'x'Name", "xyz"), "");  // no literal: dropped
  EXPECT_EQ(MatchExpression("'x'Name", "x"), std::nullopt);
  EXPECT_EQ(MatchExpression("Name'.fb2'", "Ode.txt"), std::nullopt);
  EXPECT_EQ(MatchExpression("*x'\\'Name'.fb2'", "T\\Ode.fb2"), Params({{"Name", "Ode"}}));
}

TEST(MatchExpressionTest, SpacesBetweenElementsAreIgnoredAndTabStartsAName) {
  EXPECT_EQ(MatchExpression(" 'a' \r\n 'b' ", "ab"), "");
  EXPECT_EQ(MatchExpression("'a'\tN'b'", "axb"), Params({{"\tN", "x"}}));
}

TEST(MatchExpressionTest, WorkedExampleCapturesGenreSeriesAndTitle) {
  constexpr std::string_view kPattern = "'\\'Genres.Name'\\'[Series.Name' - ']Books.Title'.fb2'";
  EXPECT_EQ(MatchExpression(kPattern, "\\Poetry\\Classics - Ode.fb2"),
            Params({{"Genres.Name", "Poetry"}, {"Series.Name", "Classics"}, {"Books.Title", "Ode"}}));
  EXPECT_EQ(MatchExpression(kPattern, "\\Poetry\\Ode.fb2"),
            Params({{"Genres.Name", "Poetry"}, {"Books.Title", "Ode"}}));
}

TEST(MatchExpressionTest, RussianPathsAreMatchedByteByByte) {
  EXPECT_EQ(MatchExpression("'\\По авторам\\'*letter'\\'Authors.Name'\\'Books.Title'.fb2'",
                            "\\По авторам\\Т\\Толстой Лев\\Война и мир.fb2"),
            Params({{"Authors.Name", "Толстой Лев"}, {"Books.Title", "Война и мир"}}));
  EXPECT_EQ(MatchExpression("'\\По жанрам\\'{Genres.Name'\\'}", "\\По жанрам\\Проза\\Классика\\"),
            Params({{"Genres.Name_0", "Проза"}, {"Genres.Name_1", "Классика"}}));
  EXPECT_EQ(MatchExpression("'\\По авторам\\'.", "\\По авторам\\"), std::nullopt);
}

TEST(MatchExpressionTest, AlternativesTakeTheFirstMatchAtTheirOwnLevel) {
  EXPECT_EQ(MatchExpression("'x'(' A'|' B')", "x A"), "");
  EXPECT_EQ(MatchExpression("'x'(' A'|' B')", "x B"), "");
  EXPECT_EQ(MatchExpression("'x'(' A'|' B')", "x C"), std::nullopt);
  EXPECT_EQ(MatchExpression("(N'-'|M'-')", "a-"), Params({{"N", "a"}}));
  // A failed alternative's captures and text position are undone.
  EXPECT_EQ(MatchExpression("(A'-' 'z'|B'-')", "a-b"), Params({{"B", "a"}}));
  for (std::string_view text : {"ax", "bx", "c"}) {
    EXPECT_EQ(MatchExpression("(('a'|'b')'x'|'c')", text), "") << text;
  }
  EXPECT_EQ(MatchExpression("(('a'|'b')'x'|'c')", "bc"), std::nullopt);
  EXPECT_EQ(MatchExpression("('('N'|)'|'x')", "(a|)"), Params({{"N", "a"}}));
}

TEST(MatchExpressionTest, FailedOptionalPartRestoresCursorCapturesAndPendingName) {
  EXPECT_EQ(MatchExpression("A['-'B'+']'.'", "x-y.z"), Params({{"A", "x-y"}}));
  EXPECT_EQ(MatchExpression("Books.Title'.fb2'['x']", "Ode.fb2"), Params({{"Books.Title", "Ode"}}));
  // Nested optional parts close at their own brackets.
  for (std::string_view text : {"d", "acd", "abcd"}) {
    EXPECT_EQ(MatchExpression("['a'['b']'c']'d'", text), "") << text;
  }
  EXPECT_EQ(MatchExpression("['a'['b']'c']'d'", "ad"), std::nullopt);
}

TEST(MatchExpressionTest, RepetitionSuffixesCapturesPerPassAndPerNestingLevel) {
  EXPECT_EQ(MatchExpression("{Tags.Name';'}", "x;y;z"),
            Params({{"Tags.Name_0", "x"}, {"Tags.Name_1", "y"}}));
  EXPECT_EQ(MatchExpression("{'('{N'+'}M')'}", "(a+b+c)(d)"),
            Params({{"N_0_0", "a"}, {"N_0_1", "b"}, {"M_0", "c"}, {"M_1", "d"}}));
  EXPECT_EQ(MatchExpression("'\\Authors\\'{Name'\\'}", "\\Authors\\"), "");  // zero times
  EXPECT_EQ(MatchExpression("'a'(|'b')", "a"), "");
}

TEST(MatchExpressionTest, NameLeftPendingByAFailedGroupIsEndedByTheNextLiteral) {
  EXPECT_EQ(MatchExpression("{N'#'}'-'", "ab-"), Params({{"N", "ab"}}));
  EXPECT_EQ(MatchExpression("(N'#'|'q')';'", "q;"), Params({{"N", ""}}));
}

TEST(MatchExpressionTest, StrayCloserEndsThePatternLikeItsEnd) {
  EXPECT_EQ(MatchExpression("'a')'zzz'", "a"), "");
  EXPECT_EQ(MatchExpression("'a'|'b'", "b"), std::nullopt);
  EXPECT_EQ(MatchExpression("['a'}'zzz']'b'", "ab"), "");
}

TEST(MatchExpressionTest, ZeroProgressRepetitionsEnd) {
  for (std::string_view pattern : {"{[]}", "{{}}", "{N}", "{['x']}", "{''}", "{{[{}]}}'a'"}) {
    EXPECT_EQ(MatchExpression(pattern, "abc"), "") << pattern;
  }
}

TEST(MatchExpressionTest, NestingIsLimitedTo64Groups) {
  const auto nested = [](int depth, char open, char close) {
    return std::string(depth, open) + "'a'" + std::string(depth, close);
  };
  EXPECT_EQ(MatchExpression(nested(64, '(', ')'), "a"), "");
  EXPECT_EQ(MatchExpression(nested(65, '(', ')'), "a"), std::nullopt);
  EXPECT_EQ(MatchExpression(nested(64, '{', '}'), "aaaa"), "");
  EXPECT_EQ(MatchExpression(std::string(100000, '{'), "abc"), std::nullopt);
  EXPECT_EQ(MatchExpression(std::string(100000, '['), "abc"), std::nullopt);
}

TEST(MatchExpressionTest, QuadraticSearchExhaustsTheWorkBudget) {
  // Every pass scans the rest of the text for a missing 'b' first.
  EXPECT_EQ(MatchExpression("{(N'b'|'a')}", std::string(200000, 'a')), std::nullopt);
  EXPECT_EQ(MatchExpression("{(N'b'|'a')}", "aaa"), Params({{"N_0", ""}, {"N_1", ""}, {"N_2", ""}}));
}

TEST(MatchExpressionTest, RandomPatternsAndPathsAlwaysReturnWellFormedParams) {
  const std::vector<std::string_view> pattern_parts = {
      "'", "'\\'", "'.fb2'", "(", ")", "[", "]", "{", "}", "|", ".", " ", "\t",
      "Books.Title", "*skip", "#39", "#$5C", "#", "'а'", "''", "'\\По'"};
  const std::vector<std::string_view> text_parts = {"\\", "a", "б", "'", ".", "fb2", ";", "По", " "};
  std::mt19937 random(20240601);
  for (int i = 0; i < 4000; ++i) {
    std::string pattern;
    std::string text;
    for (int n = random() % 24; n > 0; --n) pattern += pattern_parts[random() % pattern_parts.size()];
    for (int n = random() % 16; n > 0; --n) text += text_parts[random() % text_parts.size()];
    const std::optional<std::string> params = MatchExpression(pattern, text);
    if (!params) continue;
    size_t line_start = 0;
    while (line_start < params->size()) {
      const size_t line_end = params->find("\r\n", line_start);
      ASSERT_NE(line_end, std::string::npos) << pattern << " / " << text;
      ASSERT_NE(params->substr(line_start, line_end - line_start).find('='), std::string::npos);
      line_start = line_end + 2;
    }
  }
}

}  // namespace
}  // namespace tomeva
