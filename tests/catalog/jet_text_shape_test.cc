// Tests of Jet text shapes: a text translated through its shape gives the
// text's own translation, and texts whose translation depends on a value are
// not shaped.
#include "catalog/jet_text_shape.h"

#include <gtest/gtest.h>

#include <string>

#include "catalog/jet_translator.h"

namespace tomeva::catalog {
namespace {

// The translation of jet_sql through its shape; "(not shaped)" when it has
// none, "(no fill)" when the values cannot be put back.
std::string ThroughShape(std::string_view jet_sql) {
  std::optional<JetTextShape> shape = ShapeOfJetText(jet_sql);
  if (!shape) return "(not shaped)";
  Result<std::string> translated = TranslateJetSql(shape->text);
  EXPECT_TRUE(translated.ok()) << translated.message();
  if (!translated.ok()) return "(no translation)";
  return FillShape(*translated, shape->values).value_or("(no fill)");
}

TEST(JetTextShapeTest, TextsDifferingInValuesShareAShapeAndTranslateAsThemselves) {
  const std::string_view texts[] = {
      "SELECT Authors.AuthorId FROM Authors WHERE ((isnull(Authors.LastKey))or((Authors.LastKey)"
      "=LCase(\"O'Brien \"\"Jr\"\"\")))AND((Authors.First)=\"Лев\");",
      "INSERT INTO Books (Title, Isbn, Lang) VALUES (\"Война и мир\", \"0451524934\", 'ru');",
      "UPDATE Books SET Books.Title=\"x\" & Nz(Books.Title,\"\") WHERE Books.BookId=7;",
      "SELECT DISTINCT Genres.Name & iif(Nz(Genres.Name,\"\")<>\"\",\"\",Genres.Code) AS Name, "
      "-1 AS Dir, \"x\" AS Tag FROM Genres WHERE Genres.Code IN (\"a\", \"b\");",
      "SELECT \"По авторам\" AS Name, -1 AS Dir UNION SELECT \"По жанрам\", -1;",
      // Values without letters are compared as they are, with letters case-blind.
      "SELECT 1 FROM BookAuthors WHERE ((BookAuthors.AuthorId)=\"20016\") AND "
      "((BookAuthors.BookId)=\"7\") AND (BookAuthors.Role=\"author\");",
  };
  for (std::string_view text : texts) {
    Result<std::string> own = TranslateJetSql(text);
    ASSERT_TRUE(own.ok()) << own.message();
    EXPECT_EQ(ThroughShape(text), *own) << text;
  }
  // A value with a letter and one without make other shapes.
  EXPECT_NE(ShapeOfJetText("SELECT 1 FROM Books WHERE Title=\"a\";")->text,
            ShapeOfJetText("SELECT 1 FROM Books WHERE Title=\"1\";")->text);
  // Two texts with other values have one shape.
  EXPECT_EQ(ShapeOfJetText("SELECT 1 FROM Books WHERE Title=\"a\";")->text,
            ShapeOfJetText("SELECT 1 FROM Books WHERE Title='b''c';")->text);
}

TEST(JetTextShapeTest, TextsWhoseTranslationReadsAValueAreNotShaped) {
  // A LIKE pattern is translated by its value; a text without text values has
  // nothing to share; one holding the marker character cannot be shaped.
  EXPECT_EQ(ThroughShape("SELECT 1 FROM Books WHERE Title LIKE \"Вой*\";"), "(not shaped)");
  EXPECT_EQ(ThroughShape("SELECT 1 FROM Books WHERE Title like 'a?';"), "(not shaped)");
  EXPECT_EQ(ThroughShape("SELECT 1 FROM Books WHERE BookId=5;"), "(not shaped)");
  EXPECT_EQ(ThroughShape("SELECT 1 FROM Books WHERE Title=\"\x01" "0\x01\";"), "(not shaped)");
  // A translation that lost a marker cannot be filled.
  EXPECT_FALSE(FillShape("SELECT 1", {"a"}));
  EXPECT_FALSE(FillShape("SELECT '\x01" "0\x01" "x'", {"a"}));
}

}  // namespace
}  // namespace tomeva::catalog
