// Tests of lifted shapes: a statement made from its shape's lifted
// translation is the statement its own translation lifts to, and a shape
// that cannot stand for its texts so is refused.
#include "catalog/lifted_shape.h"

#include <gtest/gtest.h>

#include <string>

#include "catalog/jet_text_shape.h"
#include "catalog/jet_translator.h"

namespace tomeva::catalog {
namespace {

std::string Describe(const std::optional<LiftedSql>& lifted) {
  if (!lifted) return "(nothing lifted)";
  std::string out = lifted->text;
  for (const LiftedValue& value : lifted->values) {
    out += " | " + (value.is_integer ? std::to_string(value.integer) : "'" + value.text + "'");
  }
  return out;
}

// The statement jet_sql lifts to through its shape, or why not.
std::string ThroughLiftedShape(std::string_view jet_sql) {
  std::optional<JetTextShape> shape = ShapeOfJetText(jet_sql);
  if (!shape) return "(not shaped)";
  Result<std::string> translated = TranslateJetSql(shape->text);
  if (!translated.ok()) return "(no translation)";
  std::optional<LiftedShape> lifted = LiftShape(*translated, shape->values.size());
  if (!lifted) return "(shape not lifted)";
  return Describe(FillLiftedShape(*lifted, shape->values));
}

// The statement jet_sql lifts to through its own translation.
std::string ThroughOwnText(std::string_view jet_sql) {
  Result<std::string> translated = TranslateJetSql(jet_sql);
  if (!translated.ok()) return "(no translation)";
  return Describe(LiftLiterals(*translated));
}

TEST(LiftedShapeTest, AnImportsStatementsLiftThroughTheirShapeAsThroughTheirText) {
  const std::string_view texts[] = {
      "SELECT Authors.AuthorId, Authors.Last FROM Authors WHERE ((isnull(Authors.LastKey))or"
      "((Authors.LastKey)=LCase(\"O'Brien \"\"Jr\"\"\")))AND((Authors.First)=\"Лев\");",
      "INSERT INTO Books (Title, Isbn, Lang, Year) VALUES (\"Война и мир\", \"0451524934\", 'ru', "
      "1869);",
      "UPDATE Books SET Books.Title=\"x\" WHERE Books.BookId=7 AND Books.Lang=\"ru\";",
      "SELECT 1 FROM BookAuthors WHERE ((BookAuthors.AuthorId)=\"20016\") AND "
      "((BookAuthors.BookId)=\"7\") AND (BookAuthors.Role=\"author\");",
      // The same value twice.
      "SELECT Books.BookId FROM Books WHERE Books.Title=\"a\" OR Books.Lang=\"a\";",
  };
  for (std::string_view text : texts) {
    const std::string own = ThroughOwnText(text);
    EXPECT_NE(own, "(nothing lifted)") << text;
    EXPECT_EQ(ThroughLiftedShape(text), own) << text;
  }
}

TEST(LiftedShapeTest, ShapesWhoseValuesStayInTheTextAreNotLifted) {
  // A value in a select list names its column: it stays in the text, so the
  // shape cannot stand for the texts.
  EXPECT_EQ(ThroughLiftedShape("SELECT \"По авторам\" AS Name FROM Books WHERE Books.Lang=\"ru\";"),
            "(shape not lifted)");
  // A statement that lifts nothing.
  EXPECT_EQ(ThroughLiftedShape("SELECT \"a\" AS Name;"), "(shape not lifted)");
  // A value with a NUL byte is never lifted: the text is then run as it is.
  std::optional<JetTextShape> shape = ShapeOfJetText("SELECT 1 FROM Books WHERE Title=\"a\";");
  ASSERT_TRUE(shape);
  Result<std::string> translated = TranslateJetSql(shape->text);
  ASSERT_TRUE(translated.ok());
  std::optional<LiftedShape> lifted = LiftShape(*translated, 1);
  ASSERT_TRUE(lifted);
  EXPECT_FALSE(FillLiftedShape(*lifted, {std::string("a\0b", 3)}));
  // A value that does not fit its marker (a letter where the shape had none).
  EXPECT_FALSE(FillLiftedShape(*lifted, {"123"}));
  EXPECT_TRUE(FillLiftedShape(*lifted, {"b"}));
}

}  // namespace
}  // namespace tomeva::catalog
