// Tests of the catalog statements: the SQL texts the writers build and the rows
// they produce on a real catalog.
#include "catalog/statements.h"

#include "catalog/catalog_fixture.h"

namespace tomeva::catalog {
namespace {

TEST(SqlValueTest, QuotesEverythingButNullAndOneWellFormedLiteral) {
  EXPECT_EQ(SqlValue(""), "null");
  EXPECT_EQ(SqlValue("null"), "null");
  EXPECT_EQ(SqlValue("NULL"), "\"NULL\"");
  EXPECT_EQ(SqlValue("42"), "\"42\"");
  EXPECT_EQ(SqlValue("007"), "\"007\"");
  EXPECT_EQ(SqlValue("  42"), "\"  42\"");
  EXPECT_EQ(SqlValue("-1"), "\"-1\"");
  EXPECT_EQ(SqlValue("3.14"), "\"3.14\"");
  EXPECT_EQ(SqlValue("12a"), "\"12a\"");
  EXPECT_EQ(SqlValue("a\"b"), "\"a\"\"b\"");
  EXPECT_EQ(SqlValue("\"Tales\""), "\"Tales\"");
  EXPECT_EQ(SqlValue("\"a\"\"b\""), "\"a\"\"b\"");
}

TEST(SqlValueTest, AValueStartingWithAQuoteCannotEscapeItsLiteral) {
  EXPECT_EQ(SqlValue("\"x\" or 1=1 --"), "\"\"\"x\"\" or 1=1 --\"");
  EXPECT_EQ(SqlValue("\"x"), "\"\"\"x\"");
  EXPECT_EQ(SqlValue("\"a\"b\""), "\"\"\"a\"\"b\"\"\"");
  // Blanks alone are no number: quoted, so the statement stays well-formed.
  EXPECT_EQ(SqlValue("   "), "\"   \"");
}

TEST(WhereTest, ConditionsQualifyColumnsAndDropTheLastAnd) {
  EXPECT_EQ(WhereEqual("Books", "Title=Tales"), "((Books.Title)=\"Tales\")");
  EXPECT_EQ(WhereEqual("", "Title=Tales"), "((Title)=\"Tales\")");
  EXPECT_EQ(WhereEqual("Books", "Title=Tales\r\nYear=1820\r\n"),
            "((Books.Title)=\"Tales\")AND((Books.Year)=\"1820\")");
  EXPECT_EQ(WhereNullable("Authors", "Last=Doe"),
            "((isnull(Authors.Last))or((Authors.Last)=\"Doe\"))");
  EXPECT_EQ(WhereEqual("Books", ""), "");
}

class StatementsTest : public CatalogTest {};

TEST_F(StatementsTest, InsertRowWritesColumnsInReverseOrder) {
  EXPECT_EQ(InsertRow(recorded(), "Books", "Title=Tales\r\nYear=1820"), WriteStatus::kRan);
  EXPECT_EQ(last_text(), "INSERT INTO Books ([Year], [Title]) VALUES (\"1820\", \"Tales\");");
  EXPECT_EQ(Rows("SELECT Title, Year FROM Books"), "Tales,1820");
  EXPECT_EQ(InsertRow(recorded(), "Books", ""), WriteStatus::kNothingToDo);
  EXPECT_EQ(InsertRow(recorded(), "NoSuchTable", "a=1"), WriteStatus::kFailed);
}

TEST_F(StatementsTest, UpdateRowsQualifiesColumnsAndNeedsBothParts) {
  Run("INSERT INTO Books (BookId, Title) VALUES (5, 'Old')");
  EXPECT_EQ(UpdateRows(recorded(), "Books", "Title=Tales", "BookId=5"), WriteStatus::kRan);
  EXPECT_EQ(last_text(), "UPDATE Books SET Books.Title=\"Tales\"  WHERE (Books.BookId)=(\"5\");");
  EXPECT_EQ(Rows("SELECT Title FROM Books"), "Tales");
  size_t before = recorded()->texts.size();
  EXPECT_EQ(UpdateRows(recorded(), "Books", "Title=x", ""), WriteStatus::kNothingToDo);
  EXPECT_EQ(UpdateRows(recorded(), "Books", "", "BookId=5"), WriteStatus::kNothingToDo);
  EXPECT_EQ(recorded()->texts.size(), before);
}

TEST_F(StatementsTest, DigitValuesKeepTheirTextAndNumericColumnsStillGetNumbers) {
  const std::string digits = "12345678901234567890";
  ASSERT_EQ(InsertRow(db(), "Books",
                      "Title=007\r\nISBN=0451524934\r\nKeywords=" + digits + "\r\nYear=1820"),
            WriteStatus::kRan);
  EXPECT_EQ(Rows("SELECT Title, ISBN, Keywords, Year, typeof(Year) FROM Books"),
            "007,0451524934," + digits + ",1820,integer");
  // Each is found again by the text it was written with, and only by that.
  EXPECT_EQ(QueryInt(db(), "SELECT BookId FROM Books WHERE " +
                               WhereEqual("Books", "Title=007\r\nISBN=0451524934\r\nYear=1820")),
            1);
  EXPECT_EQ(QueryInt(db(), "SELECT BookId FROM Books WHERE " + WhereEqual("Books", "Title=7")), -1);
  EXPECT_EQ(QueryInt(db(), "SELECT BookId FROM Books WHERE " +
                               WhereEqual("Books", "Keywords=" + digits)),
            1);
  // A series named by digits is made once and then found; "7" is another series.
  const int32_t series = FindOrInsertRow(db(), "Series", "SeriesId", "Name=007", FindMode::kFindOrInsert);
  ASSERT_GT(series, 0);
  EXPECT_EQ(FindOrInsertRow(db(), "Series", "SeriesId", "Name=007", FindMode::kFindOnly), series);
  EXPECT_EQ(FindOrInsertRow(db(), "Series", "SeriesId", "Name=7", FindMode::kFindOnly), -1);
  EXPECT_EQ(Rows("SELECT Name FROM Series"), "007");
  // Updates keep the text too.
  EXPECT_EQ(UpdateRows(db(), "Books", "Title=02 007", "BookId=1"), WriteStatus::kRan);
  EXPECT_EQ(Rows("SELECT Title FROM Books"), "02 007");
  EXPECT_EQ(UpdateRows(db(), "Books", "Title=0042", "BookId=1"), WriteStatus::kRan);
  EXPECT_EQ(Rows("SELECT Title FROM Books"), "0042");
}

TEST_F(StatementsTest, QueryReadersReportEmptyResultsAndFailures) {
  Run("INSERT INTO Series (SeriesId, Name) VALUES (1, 'A'), (2, 'B')");
  EXPECT_EQ(QueryText(db(), "SELECT Name FROM Series ORDER BY SeriesId"), "A");
  EXPECT_EQ(QueryInt(db(), "SELECT SeriesId FROM Series WHERE Name=\"B\""), 2);
  EXPECT_EQ(QueryInt(db(), "SELECT SeriesId FROM Series WHERE Name=\"C\""), -1);
  EXPECT_EQ(QueryInt(db(), "SELECT nonsense FROM"), -1);
  EXPECT_EQ(QueryColumn(db(), "SELECT Name FROM Series ORDER BY SeriesId"), "A\r\nB\r\n");
  EXPECT_EQ(QueryRowParams(db(), "SELECT SeriesId, Name FROM Series WHERE SeriesId=2"),
            "SeriesId=2\r\nName=B\r\n");
  EXPECT_EQ(QueryRowParams(db(), "SELECT SeriesId, Name FROM Series WHERE SeriesId=9"),
            "SeriesId=\r\nName=\r\n");
  EXPECT_EQ(SelectRowParams(db(), "Series", "SeriesId=1"), "SeriesId=1\r\nName=A\r\nNameKey=a\r\nFolderName=A\r\n");
  EXPECT_EQ(ExecSql(db(), ""), WriteStatus::kFailed);
  EXPECT_EQ(ExecSql(nullptr, "DELETE FROM Series"), WriteStatus::kFailed);
  EXPECT_EQ(OpenQuery(nullptr, "SELECT 1"), nullptr);
}

TEST_F(StatementsTest, InsertIfMissingInsertsOnce) {
  Run("INSERT INTO Books (BookId) VALUES (1)");
  Run("INSERT INTO Genres (GenreId, Code) VALUES (7, 'poetry')");
  EXPECT_EQ(InsertIfMissing(db(), "BookGenres", "GenreId=7\r\nBookId=1"),
            InsertIfMissingResult::kInserted);
  EXPECT_EQ(InsertIfMissing(db(), "BookGenres", "GenreId=7\r\nBookId=1"),
            InsertIfMissingResult::kExists);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM BookGenres"), "1");
  EXPECT_EQ(InsertIfMissing(db(), "NoSuchTable", "a=1"), InsertIfMissingResult::kLookupFailed);
}

TEST_F(StatementsTest, FindOrInsertRowBuildsTheNullableLookup) {
  EXPECT_GT(FindOrInsertRow(recorded(), "Authors", "AuthorId", "Last=Doe\r\nFirst=Jane",
                            FindMode::kFindOrInsert),
            0);
  EXPECT_EQ(recorded()->texts.front(),
            "SELECT Authors.AuthorId, Authors.Last, Authors.First  FROM Authors WHERE "
            "(((isnull(Authors.LastKey))or((Authors.LastKey)=LCase(\"Doe\")))AND((isnull("
            "Authors.FirstKey))or((Authors.FirstKey)=LCase(\"Jane\"))));");
}

TEST_F(StatementsTest, FindOrInsertRowFindsInsertsAndFillsEmptyColumns) {
  int32_t tolstoy =
      FindOrInsertRow(db(), "Authors", "AuthorId", "Last=Толстой\r\nFirst=Лев", FindMode::kFindOrInsert);
  ASSERT_GT(tolstoy, 0);
  // Found again ignoring the case of Cyrillic letters.
  EXPECT_EQ(FindOrInsertRow(db(), "Authors", "AuthorId", "Last=ТОЛСТОЙ\r\nFirst=ЛЕВ",
                            FindMode::kFindOrInsert),
            tolstoy);
  // A row with an empty column is completed, keeping its other values.
  Run("INSERT INTO Authors (AuthorId, Last) VALUES (50, 'Doe')");
  EXPECT_EQ(FindOrInsertRow(db(), "Authors", "AuthorId", "Last=Doe\r\nFirst=Jane",
                            FindMode::kFindOrInsert),
            50);
  EXPECT_EQ(Rows("SELECT Last, First FROM Authors WHERE AuthorId=50"), "Doe,Jane");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Authors"), "2");
}

TEST_F(StatementsTest, FindOrInsertRowFillsEmptyColumnsNamedInAnotherLetterCase) {
  Run("INSERT INTO Authors (AuthorId, Last) VALUES (50, 'Doe')");
  EXPECT_EQ(FindOrInsertRow(db(), "Authors", "AuthorId", "LAST=Doe\r\nfirst=Jane",
                            FindMode::kFindOrInsert),
            50);
  EXPECT_EQ(Rows("SELECT Last, First FROM Authors WHERE AuthorId=50"), "Doe,Jane");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Authors"), "1");
}

TEST_F(StatementsTest, FindOrInsertRowDoesNotReuseARowThatOnlyMatchedOnEmptiness) {
  Run("INSERT INTO Authors (AuthorId, Nick) VALUES (9, 'x')");
  int32_t key = FindOrInsertRow(db(), "Authors", "AuthorId", "Last=Doe\r\nFirst=Jane",
                                FindMode::kFindOrInsert);
  EXPECT_NE(key, 9);
  EXPECT_GT(key, 0);
  EXPECT_EQ(Rows("SELECT Last FROM Authors WHERE AuthorId=9"), "NULL");
}

TEST_F(StatementsTest, FindOrInsertRowModes) {
  EXPECT_EQ(FindOrInsertRow(db(), "Series", "SeriesId", "Name=S", FindMode::kFindOnly), -1);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Series"), "0");
  int32_t s = FindOrInsertRow(db(), "Series", "SeriesId", "Name=S", FindMode::kInsertOnly);
  EXPECT_GT(s, 0);
  EXPECT_EQ(FindOrInsertRow(db(), "Series", "SeriesId", "Name=S", FindMode::kInsertOnly), -1);
  EXPECT_EQ(FindOrInsertRow(db(), "Series", "SeriesId", "Name=S", FindMode::kFindOnly), s);
  EXPECT_EQ(FindOrInsertRow(db(), "Series", "SeriesId", "\r\n\r\n", FindMode::kFindOrInsert), -1);
}

TEST_F(StatementsTest, FindOrInsertRowWithAKeyUpdatesOnlyThatRow) {
  Run("INSERT INTO Books (BookId, Title) VALUES (5, 'Old')");
  EXPECT_EQ(FindOrInsertRow(db(), "Books", "BookId", "Title=New\r\nBookId=5",
                            FindMode::kFindOrInsert),
            5);
  EXPECT_EQ(Rows("SELECT Title FROM Books WHERE BookId=5"), "New");
  // No row with that key: nothing written.
  EXPECT_EQ(FindOrInsertRow(db(), "Books", "BookId", "Title=X\r\nBookId=6", FindMode::kFindOrInsert),
            -1);
  // "05" reads back as 5, which differs from the text given.
  EXPECT_EQ(FindOrInsertRow(db(), "Books", "BookId", "Title=Y\r\nBookId=05",
                            FindMode::kFindOrInsert),
            -1);
  EXPECT_EQ(Rows("SELECT BookId, Title FROM Books"), "5,New");
}

TEST_F(StatementsTest, FindOrInsertRowRefusesAKeyThatIsNotANumber) {
  Run("INSERT INTO Books (BookId, Title) VALUES (5, 'Old')");
  size_t before = recorded()->texts.size();
  EXPECT_EQ(FindOrInsertRow(recorded(), "Books", "BookId", "Title=X\r\nBookId=5) OR (1=1",
                            FindMode::kFindOrInsert),
            -1);
  EXPECT_EQ(recorded()->texts.size(), before);
  EXPECT_EQ(Rows("SELECT Title FROM Books"), "Old");
}

TEST_F(StatementsTest, FindOrInsertRowReportsAFailedInsertAsMinusOne) {
  Run("INSERT INTO Series (SeriesId, Name) VALUES (3, 'Earlier')");
  // The column does not exist: the lookup fails before anything is inserted.
  EXPECT_EQ(FindOrInsertRow(db(), "Series", "SeriesId", "Nope=1", FindMode::kFindOrInsert), -1);
  // A lookup that runs but an insert that violates a constraint.
  EXPECT_EQ(FindOrInsertRow(db(), "BookGenres", "BookId", "GenreId=999", FindMode::kFindOrInsert),
            -1);
}

}  // namespace
}  // namespace tomeva::catalog
