// Tests of literal lifting: which literals become parameters, and that a
// statement means the same with its literals lifted, on a real catalog.
#include "catalog/sql_literal_lifting.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalog/catalog_file.h"
#include "catalog/database.h"
#include "support/temp_dir.h"

namespace tomeva::catalog {
namespace {

// The lifted text of sql, or "(as written)" when nothing is lifted.
std::string LiftedText(std::string_view sql) {
  std::optional<LiftedSql> lifted = LiftLiterals(sql);
  return lifted ? lifted->text : "(as written)";
}

TEST(SqlLiteralLiftingTest, LiftsTheValuesOfConditionsInsertsAndUpdates) {
  std::optional<LiftedSql> lifted =
      LiftLiterals("SELECT Id FROM Authors WHERE (Last = 'O''Brien') AND (Id > 12) LIMIT 1");
  ASSERT_TRUE(lifted);
  EXPECT_EQ(lifted->text, "SELECT Id FROM Authors WHERE (Last = ?1) AND (Id > ?2) LIMIT 1");
  ASSERT_EQ(lifted->values.size(), 2u);
  EXPECT_EQ(lifted->values[0].text, "O'Brien");
  EXPECT_FALSE(lifted->values[0].is_integer);
  EXPECT_TRUE(lifted->values[1].is_integer);
  EXPECT_EQ(lifted->values[1].integer, 12);

  EXPECT_EQ(LiftedText("INSERT INTO Books (Title, Year, Isbn) VALUES ('Война', 1869, '0451524934')"),
            "INSERT INTO Books (Title, Year, Isbn) VALUES (?1, ?2, ?3)");
  EXPECT_EQ(LiftedText("UPDATE Books SET Title='x' WHERE BookId=7;"),
            "UPDATE Books SET Title=?1 WHERE BookId=?2;");
  // Values inside function calls of a condition are lifted too.
  EXPECT_EQ(LiftedText("DELETE FROM Series WHERE NameKey=lower('Мир')"),
            "DELETE FROM Series WHERE NameKey=lower(?1)");
}

TEST(SqlLiteralLiftingTest, KeepsLiteralsWhoseTextOrPlaceMatters) {
  // A select list names unnamed columns by their text; ORDER BY and GROUP BY
  // read a number as a column; a number after an arithmetic operator or a
  // keyword is left, and so are reals, hex numbers and blobs.
  EXPECT_EQ(LiftedText("SELECT 'a', f('b') FROM t WHERE x='c' GROUP BY 1 ORDER BY 2, 'd'"),
            "SELECT 'a', f('b') FROM t WHERE x=?1 GROUP BY 1 ORDER BY 2, 'd'");
  EXPECT_EQ(LiftedText("SELECT a FROM t WHERE b BETWEEN 1 AND 2 OR c = d - 3 OR e = 1.5"),
            "(as written)");
  EXPECT_EQ(LiftedText("SELECT a FROM t WHERE b = 0x10 OR c = X'00' OR d = 99999999999999999999"),
            "(as written)");
  // An unnamed column is named by all of its text, a subquery's included; a
  // subquery of a condition takes parameters.
  EXPECT_EQ(LiftedText("SELECT (SELECT 'n' FROM t WHERE k='v') FROM u"), "(as written)");
  EXPECT_EQ(LiftedText("SELECT a FROM u WHERE b IN (SELECT c FROM t WHERE k='v')"),
            "SELECT a FROM u WHERE b IN (SELECT c FROM t WHERE k=?1)");
  // SQLite reads a text literal as a name where it expects one: tables and
  // aliases of FROM, the columns of INSERT and the left side of SET.
  EXPECT_EQ(LiftedText("SELECT b FROM t '30', 'u' JOIN v ON v.k = 'x' WHERE b = 'y'"),
            "SELECT b FROM t '30', 'u' JOIN v ON v.k = 'x' WHERE b = ?1");
  EXPECT_EQ(LiftedText("INSERT INTO t ('a', 'b') VALUES ('x', 1) RETURNING 'r'"),
            "INSERT INTO t ('a', 'b') VALUES (?1, ?2) RETURNING 'r'");
  EXPECT_EQ(LiftedText("UPDATE t SET 'a' = 'x', b = 2"), "UPDATE t SET 'a' = ?1, b = ?2");
  // Quoted names, comments and quotes inside them are not literals.
  EXPECT_EQ(LiftedText("SELECT \"it's\" FROM [a'b] WHERE `c` = 'd' -- 'e'\n/* 'f' */"),
            "SELECT \"it's\" FROM [a'b] WHERE `c` = ?1 -- 'e'\n/* 'f' */");
}

TEST(SqlLiteralLiftingTest, LeavesSchemaStatementsSeveralStatementsAndParametersAlone) {
  for (const char* sql : {
           "CREATE TABLE t (a TEXT DEFAULT 'x')",
           "CREATE TRIGGER g AFTER INSERT ON t BEGIN UPDATE t SET a='y' WHERE a='x'; END",
           "PRAGMA journal_mode='wal'",
           "UPDATE t SET a='x'; UPDATE t SET b='y'",
           "SELECT a FROM t WHERE b = ? AND c = 'x'",
           "SELECT a FROM t WHERE b = :name AND c = 'x'",
           "SELECT a FROM t WHERE b = 'unterminated",
           "SELECT a FROM t WHERE b = 1 /* unterminated",
           "",
       }) {
    EXPECT_EQ(LiftedText(sql), "(as written)") << sql;
  }
}

// Statements through a real catalog: values bound as parameters read and
// write exactly what the literals said, and errors show the values.
class LiftedStatementsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = dir_.Path("catalog.sqlite");
    ASSERT_TRUE(CreateCatalogFile(path,
                                  "CREATE TABLE Books (BookId INTEGER PRIMARY KEY, Title TEXT "
                                  "UNIQUE, Isbn TEXT, Year INTEGER);")
                    .ok());
    Result<std::unique_ptr<Database>> opened =
        OpenCatalog("Provider=SQLite; Data Source=" + path + "; Persist Security Info=False");
    ASSERT_TRUE(opened.ok()) << opened.message();
    db_ = std::move(opened).value();
  }

  std::string One(std::string_view sql) {
    Result<std::unique_ptr<ResultSet>> set = db_->Query(sql);
    EXPECT_TRUE(set.ok()) << set.message();
    if (!set.ok() || (*set)->AtEnd()) return "(none)";
    return (*set)->IsNull(0) ? "(null)" : (*set)->Text(0);
  }

  tomeva::testing::TempDir dir_;
  std::unique_ptr<Database> db_;
};

TEST_F(LiftedStatementsTest, EachOfManyStatementsOfOneShapeKeepsItsOwnValues) {
  for (int i = 0; i < 300; ++i) {
    const std::string n = std::to_string(i);
    ASSERT_TRUE(db_->Execute("INSERT INTO Books (Title, Isbn, Year) VALUES (\"Том " + n +
                             " \"\"Q\"\"\", \"00" + n + "\", " + n + ");")
                    .ok());
  }
  for (int i : {0, 7, 299}) {
    const std::string n = std::to_string(i);
    EXPECT_EQ(One("SELECT Isbn FROM Books WHERE Title = \"Том " + n + " \"\"Q\"\"\";"), "00" + n);
    EXPECT_EQ(One("SELECT Title FROM Books WHERE Year = " + n + ";"), "Том " + n + " \"Q\"");
  }
  // A text of digits stays text; a number compares with a number.
  EXPECT_EQ(One("SELECT typeof(Isbn) FROM Books WHERE Isbn = \"007\";"), "text");
  EXPECT_EQ(One("SELECT count(*) FROM Books WHERE Year > 289;"), "10");
  // An unnamed column keeps its text as its name.
  Result<std::unique_ptr<ResultSet>> set = db_->Query("SELECT \"x\", Title FROM Books ORDER BY 2;");
  ASSERT_TRUE(set.ok()) << set.message();
  EXPECT_EQ((*set)->ColumnName(0), "'x'");
  EXPECT_EQ((*set)->Text(1), "Том 0 \"Q\"");
}

TEST_F(LiftedStatementsTest, AFailedStatementNamesTheValuesItWasGiven) {
  ASSERT_TRUE(db_->Execute("INSERT INTO Books (Title) VALUES (\"Один\");").ok());
  Status again = db_->Execute("INSERT INTO Books (Title) VALUES (\"Один\");");
  ASSERT_FALSE(again.ok());
  EXPECT_NE(again.message().find("'Один'"), std::string::npos) << again.message();
}

}  // namespace
}  // namespace tomeva::catalog
