// Captured values reach SQL only as literals of their own.
#include "tree/sql_template.h"

#include <gtest/gtest.h>

namespace tomeva::tree {
namespace {

TEST(TextLiteralTest, QuotesEveryValueDigitsIncluded) {
  EXPECT_EQ(TextLiteral(""), "null");
  // Digits keep their text: leading zeros and lengths past any integer survive.
  EXPECT_EQ(TextLiteral("1999"), "\"1999\"");
  EXPECT_EQ(TextLiteral("007"), "\"007\"");
  EXPECT_EQ(TextLiteral("  42"), "\"  42\"");
  EXPECT_EQ(TextLiteral("12345678901234567890"), "\"12345678901234567890\"");
  EXPECT_EQ(TextLiteral("-5"), "\"-5\"");
  EXPECT_EQ(TextLiteral("Poetry"), "\"Poetry\"");
  // Text that looks like a literal or a keyword stays the text it is.
  EXPECT_EQ(TextLiteral("\"Шинель\""), "\"\"\"Шинель\"\"\"");
  EXPECT_EQ(TextLiteral("null"), "\"null\"");
}

TEST(CaptureConditionTest, ColumnsAndExpressionsCompareWithTheCapturedText) {
  EXPECT_EQ(CaptureCondition("Books.Year", "1999"), "(Books.Year=\"1999\")");
  EXPECT_EQ(CaptureCondition("[Book List].[Year]", "1999"), "([Book List].[Year]=\"1999\")");
  EXPECT_EQ(CaptureCondition("Авторы.Фамилия", "007"), "(Авторы.Фамилия=\"007\")");
  EXPECT_EQ(CaptureCondition("UCase(Left(Books.Title,1))", "1"),
            "(UCase(Left(Books.Title,1))=\"1\")");
  EXPECT_EQ(CaptureCondition("Books.Title & \"x\"", "a\"b"), "(Books.Title & \"x\"=\"a\"\"b\")");
}

TEST(IsColumnReferenceTest, AcceptsDottedIdentifiersOnly) {
  EXPECT_TRUE(IsColumnReference("Title"));
  EXPECT_TRUE(IsColumnReference("Books.Title"));
  EXPECT_TRUE(IsColumnReference("[My Books].Title"));
  EXPECT_FALSE(IsColumnReference(""));
  EXPECT_FALSE(IsColumnReference("Books."));
  EXPECT_FALSE(IsColumnReference(".Title"));
  EXPECT_FALSE(IsColumnReference("Books.Title "));
  EXPECT_FALSE(IsColumnReference("Nz(Books.Title)"));
  EXPECT_FALSE(IsColumnReference("[]"));
}

TEST(ExpandSqlTemplateTest, QuotesEachValueForItsPlace) {
  const std::string params = "v=a\"b'c]d\r\nn=12\r\n";
  EXPECT_EQ(ExpandSqlTemplate("'x='v' AND y='n';'", params), "x=\"a\"\"b'c]d\" AND y=\"12\";");
  EXPECT_EQ(ExpandSqlTemplate("'x=\"'v'\"'", params), "x=\"a\"\"b'c]d\"");
  EXPECT_EQ(ExpandSqlTemplate("'x='#39v''#39''", params), "x='a\"b''c]d'");
  EXPECT_EQ(ExpandSqlTemplate("'x=['v']'", params), "x=[a\"b'cd]");
  // Quotes of the SQL before the value decide, doubled quotes included.
  EXPECT_EQ(ExpandSqlTemplate("'x=\"a\"\"'v'\"'", params), "x=\"a\"\"a\"\"b'c]d\"");
  EXPECT_EQ(ExpandSqlTemplate("'x=\"a\" + 'v''", params), "x=\"a\" + \"a\"\"b'c]d\"");
  // A missing value is empty: null in code, nothing inside a literal.
  EXPECT_EQ(ExpandSqlTemplate("'x='none' AND y=\"'none'\"'", params), "x=null AND y=\"\"");
}

TEST(ExpandSqlTemplateTest, KeepsTheTemplateGrammar) {
  EXPECT_EQ(ExpandSqlTemplate("'a'#13#10'b'", ""), "a\r\nb");
  EXPECT_EQ(ExpandSqlTemplate("", ""), "");
  EXPECT_EQ(ExpandSqlTemplate("'SELECT 1;'", ""), "SELECT 1;");
  EXPECT_EQ(ExpandSqlTemplate("'k='key'", "key=7\r\n"), "k=\"7\"");
  EXPECT_EQ(ExpandSqlTemplate("'k='key'",
                              [](std::string_view name) { return std::string(name) + "'s"; }),
            "k=\"key's\"");
}

TEST(TemplateQuotedTextTest, ExpandsBackToTheSameText) {
  const std::string text = "(A.B=\"O'Brien\") AND 'x'";
  EXPECT_EQ(ExpandSqlTemplate("'" + TemplateQuotedText(text) + "'", ""), text);
}

}  // namespace
}  // namespace tomeva::tree
