// Name rules compiled to SQL, and the mapping of catalog text to shown names.
#include "tree/name_expression.h"

#include <gtest/gtest.h>

namespace tomeva::tree {
namespace {

TEST(BuildNameExprTest, CompilesFieldsLiteralsAndOptionalGroups) {
  EXPECT_EQ(BuildNameExpr("(Books.Title)' '[(Books.Subtitle)]"),
            "Books.Title+\" \"+iif((isnull(Books.Subtitle)),\"\",Books.Subtitle ) ");
  EXPECT_EQ(BuildNameExpr("[(Series.Name)' #'(!Books.SerNo)]"),
            "iif((isnull(Series.Name))AND(((Books.SerNo)=0)OR(isnull(Books.SerNo))),\"\","
            "Series.Name+\" #\"+str(Books.SerNo) ) ");
  EXPECT_EQ(BuildNameExpr("(Books.Title)"), "Books.Title ");
  EXPECT_EQ(BuildNameExpr("(!Books.Year)"), "str(Books.Year) ");
  EXPECT_EQ(BuildNameExpr(""), "");
  // Characters outside the rule's elements are skipped.
  EXPECT_EQ(BuildNameExpr("  x (A.B) y"), "A.B ");
}

TEST(BuildNameExprTest, NestedGroupsTestOnlyTheirOwnFields) {
  EXPECT_EQ(BuildNameExpr("[(A.X)[(A.Y)]]"),
            "iif((isnull(A.X)),\"\",A.X+iif((isnull(A.Y)),\"\",A.Y ) ) ");
}

TEST(BuildNameExprTest, LiteralTextStaysTextInsideTheExpression) {
  // A double quote in a literal is doubled; brackets in a literal do not end a group.
  EXPECT_EQ(BuildNameExpr("'say \"hi\"'"), "\"say \"\"hi\"\"\" ");
  EXPECT_EQ(BuildNameExpr("[' ['(!B.N)']']"),
            "iif((((B.N)=0)OR(isnull(B.N))),\"\",\" [\"+str(B.N)+\"]\" ) ");
}

TEST(BuildNameExprTest, GroupWithoutFieldOfItsOwnIsAlwaysShown) {
  EXPECT_EQ(BuildNameExpr("(A.X)['-']"), "A.X+(\"-\" ) ");
  EXPECT_EQ(BuildNameExpr("(A.X)[]"), "A.X ");
}

TEST(BuildNameExprTest, UnclosedPartsEndAtTheEndOfTheRule) {
  EXPECT_EQ(BuildNameExpr("(A.X"), "A.X ");
  EXPECT_EQ(BuildNameExpr("[(A.X)"), "iif((isnull(A.X)),\"\",A.X ) ");
  EXPECT_EQ(BuildNameExpr("(A.X)'"), "A.X ");  // a lone final quote reads nothing
}

TEST(BuildNameExprTest, GroupsNestedTooDeeplyCompileToNothing) {
  auto nested = [](size_t depth) {
    return std::string(depth, '[') + "(A.X)" + std::string(depth, ']');
  };
  EXPECT_NE(BuildNameExpr(nested(64)).find("A.X"), std::string::npos);
  EXPECT_EQ(BuildNameExpr(nested(65)), "");
  // A hostile rule from a settings file neither exhausts the stack nor the clock.
  EXPECT_EQ(BuildNameExpr(nested(200000)), "");
  EXPECT_EQ(BuildNameExpr("(A.B)" + nested(100) + "'x'"), "");
}

TEST(DisplayNameTest, MapsSeparatorsAndControlCharacters) {
  EXPECT_EQ(DisplayName("Да/Нет"), "Да\u2215Нет");
  EXPECT_EQ(DisplayName("a\\b"), "a\u29F5b");
  EXPECT_EQ(DisplayName(std::string("a\0b", 3)), "ab");
  EXPECT_EQ(DisplayName("line\r\nbreak\tx\x7F"), "line\u240D\u240Abreak\u2409x\u2421");
  EXPECT_EQ(DisplayName("Война и мир.fb2"), "Война и мир.fb2");
}

TEST(DisplayNameTest, CutsToCharactersAndBytesWithoutSplittingCharacters) {
  EXPECT_EQ(DisplayName(std::string(300, 'a')), std::string(255, 'a'));
  EXPECT_EQ(DisplayName(std::string(255, 'a')), std::string(255, 'a'));
  // 200 two-byte letters: 129 of them fit into 259 bytes.
  std::string cyrillic;
  for (int i = 0; i < 200; ++i) cyrillic += "ж";
  const std::string shown = DisplayName(cyrillic);
  EXPECT_EQ(shown.size(), 258u);
  EXPECT_EQ(shown, cyrillic.substr(0, 258));
  // A mapped "/" takes three bytes and is never split either.
  const std::string slashes = DisplayName(std::string(100, '/'));
  EXPECT_EQ(slashes.size(), 258u);
  EXPECT_EQ(StoredText(slashes), std::string(86, '/'));
}

TEST(StoredTextTest, UndoesTheSeparatorAndControlCharacterMapping) {
  EXPECT_EQ(StoredText(DisplayName("a/b\\c")), "a/b\\c");
  EXPECT_EQ(StoredText(DisplayName("A\tB\nC\x1F\x7F")), "A\tB\nC\x1F\x7F");
  // CR stays a picture: it would end the entry of the parameter text.
  EXPECT_EQ(StoredText(DisplayName("a\rb")), "a\u240Db");
  EXPECT_EQ(StoredText("\u2400 \u2422 \u2420"), "\u2400 \u2422 \u2420");
  EXPECT_EQ(StoredCaptures("Books.Title=a\u2215b\r\nSeries.Name=x\u29F5y"),
            "Books.Title=a/b\r\nSeries.Name=x\\y\r\n");
}

}  // namespace
}  // namespace tomeva::tree
