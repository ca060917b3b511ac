// Tests that run translated Jet statements on an in-memory SQLite database with
// the Jet functions and the Cyrillic-aware NOCASE registered, and check the rows.
#include "catalog/jet_functions.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalog/jet_translator.h"

namespace tomeva::catalog {
namespace {

using Row = std::vector<std::optional<std::string>>;

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

class JetFunctionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    db_.reset(db);
    // Translated text never relies on SQLite reading "x" as a text literal.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    Status status = RegisterJetFunctions(db);
    ASSERT_TRUE(status.ok()) << status.message();
  }

  // Translates and runs jet; the rows, or an Error (translation or engine).
  Result<std::vector<Row>> Run(std::string_view jet) {
    Result<std::string> sql = TranslateJetSql(jet);
    if (!sql.ok()) return sql.error();
    std::vector<Row> rows;
    const char* tail = sql->c_str();
    while (*tail != '\0') {
      sqlite3_stmt* raw = nullptr;
      if (sqlite3_prepare_v2(db_.get(), tail, -1, &raw, &tail) != SQLITE_OK) {
        return Error{std::string(sqlite3_errmsg(db_.get())) + " in " + *sql};
      }
      std::unique_ptr<sqlite3_stmt, FinalizeStatement> statement(raw);
      if (raw == nullptr) break;
      int rc;
      while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        Row row;
        for (int i = 0; i < sqlite3_column_count(raw); ++i) {
          const unsigned char* text = sqlite3_column_text(raw, i);
          if (text == nullptr) {
            row.push_back(std::nullopt);
          } else {
            row.push_back(std::string(reinterpret_cast<const char*>(text)));
          }
        }
        rows.push_back(std::move(row));
      }
      if (rc != SQLITE_DONE) return Error{std::string(sqlite3_errmsg(db_.get())) + " in " + *sql};
    }
    return rows;
  }

  void Exec(std::string_view jet) {
    Result<std::vector<Row>> rows = Run(jet);
    ASSERT_TRUE(rows.ok()) << jet << ": " << rows.message();
  }

  // The first column of the first row ("<no row>" when there is none).
  std::optional<std::string> Value(std::string_view jet) {
    Result<std::vector<Row>> rows = Run(jet);
    EXPECT_TRUE(rows.ok()) << jet << ": " << (rows.ok() ? "" : rows.message());
    if (!rows.ok()) return "<error>";
    if (rows->empty()) return "<no row>";
    return rows->front().front();
  }

  // The message of a statement that must fail when it runs.
  std::string Failure(std::string_view jet) {
    Result<std::vector<Row>> rows = Run(jet);
    EXPECT_FALSE(rows.ok()) << jet;
    return rows.ok() ? std::string() : rows.message();
  }

  void CreateCatalog() {
    Exec("CREATE TABLE Genres (Id INTEGER PRIMARY KEY, Name TEXT COLLATE NOCASE)");
    Exec(
        "CREATE TABLE Books (Id INTEGER PRIMARY KEY, Title TEXT COLLATE NOCASE, Subtitle TEXT, "
        "[Year] INTEGER, GenreId INTEGER, FileSize INTEGER, Added TEXT, Link TEXT)");
    Exec(
        "CREATE TABLE Authors (Id INTEGER PRIMARY KEY, [Last] TEXT COLLATE NOCASE, "
        "[First] TEXT COLLATE NOCASE)");
    Exec("CREATE TABLE BookAuthors (BookId INTEGER, AuthorId INTEGER)");
    Exec("CREATE TABLE BookGenres (BookId INTEGER, GenreId INTEGER)");
    Exec(
        "CREATE TABLE MSysRelationships (szObject TEXT, szColumn TEXT, szReferencedObject "
        "TEXT, szReferencedColumn TEXT, grbit INTEGER)");
    Exec("INSERT INTO MSysRelationships VALUES (\"Books\", \"GenreId\", \"Genres\", \"Id\", 2)");
    Exec(
        "INSERT INTO MSysRelationships VALUES (\"BookAuthors\", \"BookId\", \"Books\", \"Id\", 0)");
    Exec(
        "INSERT INTO MSysRelationships VALUES (\"BookAuthors\", \"AuthorId\", \"Authors\", "
        "\"Id\", 0)");
    Exec("INSERT INTO Genres (Id, Name) VALUES (1, \"Poetry\")");
    Exec("INSERT INTO Genres (Id, Name) VALUES (2, \"Prose\")");
    Exec(
        "INSERT INTO Books (Id, Title, Subtitle, GenreId, FileSize, Added) VALUES (5, \"Odes\", "
        "Null, 1, 100, #2005-03-07 10:30#)");
    Exec(
        "INSERT INTO Books (Id, Title, Subtitle, GenreId, FileSize, Added) VALUES (6, \"Tales\", "
        "\"Old\", 1, 200, #3/8/2005#)");
    Exec("INSERT INTO Books (Id, Title, GenreId) VALUES (7, \"Novel\", 2)");
    Exec("INSERT INTO Authors (Id, [Last], [First]) VALUES (1, \"Doe\", Null)");
    Exec("INSERT INTO Authors (Id, [Last], [First]) VALUES (2, \"Толстой\", \"Лев\")");
    Exec("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (5, 1)");
    Exec("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (6, 2)");
  }

  std::unique_ptr<sqlite3, CloseDatabase> db_;
};

TEST_F(JetFunctionsTest, CaseFunctionsFoldCyrillicLettersAndNocaseStaysSqlites) {
  EXPECT_EQ(Value("SELECT UCase(\"Толстой ёж abc\")"), "ТОЛСТОЙ ЁЖ ABC");
  EXPECT_EQ(Value("SELECT LCase(\"ТОЛСТОЙ Ё\")"), "толстой ё");
  EXPECT_EQ(Value("SELECT UCase(Null)"), std::nullopt);
  // Comparisons use SQLite's own NOCASE, so that indexes agree with every
  // SQLite: ASCII letters fold, others compare as written (case-blind lookups
  // of Cyrillic text go through folded keys, LCase on both sides).
  EXPECT_EQ(Value("SELECT iif(\"ё\" = \"Ё\", \"same\", \"differ\")"), "differ");
  EXPECT_EQ(Value("SELECT iif(LCase(\"ё\") = LCase(\"Ё\"), \"same\", \"differ\")"), "same");
  EXPECT_EQ(Value("SELECT iif(\"abc\" = \"ABC\", \"same\", \"differ\")"), "same");

  CreateCatalog();
  EXPECT_EQ(Value("SELECT Authors.Id FROM Authors WHERE Authors.Last = \"Толстой\""), "2");
  EXPECT_EQ(Value("SELECT Authors.Id FROM Authors WHERE LCase(Authors.Last) = LCase(\"ТОЛСТОЙ\")"),
            "2");
  EXPECT_EQ(Value("SELECT Authors.Id FROM Authors WHERE Authors.Last In (\"x\", \"Толстой\")"),
            "2");
  EXPECT_EQ(Value("SELECT Authors.Id FROM Authors WHERE Authors.Last = \"DOE\""), "1");
  // Books.Subtitle has no collation of its own: the comparison supplies it.
  EXPECT_EQ(Value("SELECT Books.Id FROM Books WHERE Books.Subtitle = \"OLD\""), "6");
  // ASCII text keeps the built-in NOCASE order, in which "_" sorts before letters.
  Exec("DELETE FROM Genres");
  Exec("INSERT INTO Genres (Name) VALUES (\"Banana\")");
  Exec("INSERT INTO Genres (Name) VALUES (\"_x\")");
  Exec("INSERT INTO Genres (Name) VALUES (\"apple\")");
  Result<std::vector<Row>> rows = Run("SELECT Name FROM Genres ORDER BY Name");
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), 3u);
  EXPECT_EQ((*rows)[0][0], "_x");
  EXPECT_EQ((*rows)[1][0], "apple");
  EXPECT_EQ((*rows)[2][0], "Banana");
}

TEST_F(JetFunctionsTest, NocaseOrdersUniqueIndexesAsEverySqliteDoes) {
  ASSERT_EQ(sqlite3_exec(db_.get(),
                         "CREATE TABLE Names (Name TEXT UNIQUE COLLATE NOCASE);"
                         "INSERT INTO Names VALUES ('ёж');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_NE(sqlite3_exec(db_.get(), "INSERT INTO Names VALUES ('ёж')", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_NE(sqlite3_exec(db_.get(), "INSERT INTO Names VALUES ('Ab'), ('AB')", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db_.get(), "INSERT INTO Names VALUES ('ЁЖ')", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(Value("SELECT Count(*) FROM Names WHERE Name = \"ЁЖ\""), "1");
  EXPECT_EQ(Value("SELECT Count(*) FROM Names WHERE Name > \"ЁЖ\""), "1");
  // An index Tomeva writes is one the stock SQLite library finds consistent.
  EXPECT_EQ(Value("SELECT integrity_check FROM pragma_integrity_check"), "ok");
}

TEST_F(JetFunctionsTest, LikeIgnoresCyrillicCaseAndKeepsLiteralWildcards) {
  CreateCatalog();
  EXPECT_EQ(Value("SELECT Count(*) FROM Authors WHERE Authors.Last Like \"тол*\""), "1");
  EXPECT_EQ(Value("SELECT Count(*) FROM Authors WHERE Authors.Last Like \"?ОЛСТО?\""), "1");
  EXPECT_EQ(Value("SELECT Count(*) FROM Authors WHERE Authors.Last Like \"[тd]*\""), "2");
  EXPECT_EQ(Value("SELECT Count(*) FROM Authors WHERE Authors.Last Not Like \"[!т]*\""), "1");
  EXPECT_EQ(Value("SELECT iif(\"a_b\" Like \"a_*\", 1, 0) + iif(\"axb\" Like \"a_*\", 10, 0)"),
            "1");
  EXPECT_EQ(Value("SELECT iif(\"50%\" Like \"5#%\", 1, 0) + iif(\"5x%\" Like \"5#%\", 10, 0)"),
            "1");
  EXPECT_EQ(Value("SELECT \"x\" Like Null"), std::nullopt);
}

TEST_F(JetFunctionsTest, AmpersandTakesNullAsEmptyWhilePlusPropagatesIt) {
  Exec("CREATE TABLE t (a TEXT, b TEXT, n INTEGER, d TEXT)");
  Exec("INSERT INTO t VALUES (\"x\", Null, 1, \"5\")");
  EXPECT_EQ(Value("SELECT \"a\" & Null"), "a");
  EXPECT_EQ(Value("SELECT Null & Null"), "");
  EXPECT_EQ(Value("SELECT t.a & t.b & t.n FROM t"), "x1");
  EXPECT_EQ(Value("SELECT \"a\" + Null"), std::nullopt);
  EXPECT_EQ(Value("SELECT t.a + t.b FROM t"), std::nullopt);
  EXPECT_EQ(Value("SELECT t.a + t.a FROM t"), "xx");
  EXPECT_EQ(Value("SELECT t.n + t.n FROM t"), "2");
  EXPECT_EQ(Value("SELECT t.d + t.n FROM t"), "6");  // a numeric text and a number add
  EXPECT_NE(Failure("SELECT t.a + t.n FROM t").find("type mismatch"), std::string::npos);
}

TEST_F(JetFunctionsTest, IifNzAndIsNull) {
  EXPECT_EQ(Value("SELECT iif(1 > 2, \"yes\", \"no\")"), "no");
  EXPECT_EQ(Value("SELECT iif(Null, \"yes\", \"no\")"), "no");
  EXPECT_EQ(Value("SELECT Nz(Null, \"d\") & Nz(Null) & Nz(\"v\")"), "dv");
  EXPECT_EQ(Value("SELECT iif(isnull(Null) AND Not isnull(1), True, False)"), "-1");
}

TEST_F(JetFunctionsTest, TextFunctionsCountCharactersNeverBytes) {
  EXPECT_EQ(Value("SELECT Left(\"Толстой\", 2)"), "То");
  EXPECT_EQ(Value("SELECT Mid(\"Толстой\", 3, 2)"), "лс");
  EXPECT_EQ(Value("SELECT Mid(\"Толстой\", 6)"), "ой");
  EXPECT_EQ(Value("SELECT Mid(\"Толстой\", 20)"), "");
  EXPECT_EQ(Value("SELECT Right(\"Толстой\", 3)"), "той");
  EXPECT_EQ(Value("SELECT Left(\"Ab\", 5) & Right(\"Ab\", 5)"), "AbAb");
  EXPECT_EQ(Value("SELECT Len(\"Толстой\")"), "7");
  EXPECT_EQ(Value("SELECT InStr(\"Толстой\", \"СТ\")"), "4");
  EXPECT_EQ(Value("SELECT InStr(4, \"ababab\", \"ab\") & InStr(\"abc\", \"z\")"), "50");
  EXPECT_EQ(Value("SELECT InStr(1, \"aA\", \"A\", 0)"), "2");
  EXPECT_EQ(Value("SELECT InStr(9, \"abc\", \"a\") & InStr(2, \"abc\", \"\") & InStr(\"\", \"\")"),
            "020");
  EXPECT_EQ(Value("SELECT Trim(\"  a b  \") & \"|\""), "a b|");
  EXPECT_EQ(Value("SELECT Left(Null, 1)"), std::nullopt);
  EXPECT_NE(Failure("SELECT Left(\"a\", -1)"), "");
  EXPECT_NE(Failure("SELECT Mid(\"a\", 0)"), "");
}

TEST_F(JetFunctionsTest, ConversionsFollowJet) {
  EXPECT_EQ(Value("SELECT Str(5) & \"|\" & Str(-5) & \"|\" & Str(0.5) & \"|\" & Str(2.5)"),
            " 5|-5| .5| 2.5");
  EXPECT_EQ(Value("SELECT Str(Null)"), std::nullopt);
  EXPECT_EQ(Value("SELECT Val(\"12abc\") & \"|\" & Val(\" 1 2 3\") & \"|\" & Val(\"abc\") & "
                  "\"|\" & Val(\"-1.5e1x\")"),
            "12|123|0|-15");
  EXPECT_EQ(Value("SELECT CStr(2.5) & \"|\" & CStr(3) & \"|\" & CStr(1e20)"), "2.5|3|1E+20");
  // Halves round to the even side.
  EXPECT_EQ(Value("SELECT CInt(2.5) & CInt(3.5) & CInt(-2.5) & CInt(\" 12 \") & CLng(2.5)"),
            "24-2122");
  EXPECT_EQ(Value("SELECT Round(2.5) & \"|\" & Round(3.14159, 2)"), "2|3.14");
  EXPECT_NE(Failure("SELECT CInt(40000)").find("overflow"), std::string::npos);
  EXPECT_NE(Failure("SELECT CLng(\"abc\")").find("type mismatch"), std::string::npos);
}

TEST_F(JetFunctionsTest, FormatDatesAndNumbers) {
  const std::string date = "#2005-03-07 09:05:03#";
  EXPECT_EQ(Value("SELECT Format(" + date + ", \"yyyy\")"), "2005");
  EXPECT_EQ(Value("SELECT Format(" + date + ", \"yyyy-mm-dd\")"), "2005-03-07");
  EXPECT_EQ(Value("SELECT Format(" + date + ", \"dd.mm.yyyy\")"), "07.03.2005");
  EXPECT_EQ(Value("SELECT Format(" + date + ", \"hh:nn:ss\")"), "09:05:03");
  EXPECT_EQ(Value("SELECT Format(" + date + ", \"hh:mm\")"), "09:05");
  EXPECT_EQ(Value("SELECT Format(" + date + ", \"d mmm yy, dddd\")"), "7 Mar 05, Monday");
  EXPECT_EQ(Value("SELECT Format(\"not a date\", \"yyyy\")"), "not a date");
  EXPECT_EQ(Value("SELECT Format(2.5, \"0\") & \"|\" & Format(5, \"00\") & \"|\" & "
                  "Format(3.14159, \"0.00\") & \"|\" & Format(-5, \"00\") & \"|\" & "
                  "Format(1234.5, \"#,##0.00\") & \"|\" & Format(0.256, \"0.0%\") & \"|\" & "
                  "Format(7, \"\"\"No.\"\" 0 kg.\")"),
            "3|05|3.14|-05|1,234.50|25.6%|No. 7 kg.");
  EXPECT_EQ(Value("SELECT Format(Null, \"0\")"), std::nullopt);
  EXPECT_EQ(
      Value("SELECT Year(" + date + ") & \"|\" & Month(" + date + ") & \"|\" & Day(" + date + ")"),
      "2005|3|7");
}

TEST_F(JetFunctionsTest, TruthValuesCompareWithTrueAsMinusOne) {
  Exec("CREATE TABLE t (a INTEGER, b INTEGER, s TEXT)");
  Exec("INSERT INTO t VALUES (2, 1, Null)");
  EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE IsNull(t.s)=True"), "1");
  EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE IsNull(t.a)=True"), "0");
  EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE IsNull(t.a)=False"), "1");
  EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE (t.a>t.b)=True"), "1");
  EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE (t.a<t.b)=True"), "0");
  EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE (t.a>t.b)=-1 AND True=(t.b<t.a)"), "1");
  EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE (t.a>t.b)<>True"), "0");
  EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE (t.s Is Null)=(t.a>t.b)"), "1");
  EXPECT_EQ(Value("SELECT Count(*) FROM t WHERE (Not (t.a=2) OR t.b=1)=True"), "1");
  EXPECT_EQ(Value("SELECT iif((t.a>t.b)=True, \"yes\", \"no\") FROM t"), "yes");
}

TEST_F(JetFunctionsTest, AmpersandWritesWholeQuotientsWithoutAFraction) {
  EXPECT_EQ(Value("SELECT \"x\" & (4/2)"), "x2");
  EXPECT_EQ(Value("SELECT \"x\" & 4/2 & \"|\" & 7/2 & \"|\" & -(6/3) & \"|\" & (1/4)*4"),
            "x2|3.5|-2|1");
  EXPECT_EQ(Value("SELECT (4/2) & \"|\" & 2^3 & \"|\" & (4/2 + 1)"), "2|8|3");
  EXPECT_EQ(Value("SELECT \"x\" & (Null/2)"), "x");
  // The quotient itself stays a number.
  EXPECT_EQ(Value("SELECT 4/2 + 0.5"), "2.5");
}

TEST_F(JetFunctionsTest, ArithmeticKeepsJetResults) {
  EXPECT_EQ(Value("SELECT 7/2"), "3.5");
  EXPECT_EQ(Value("SELECT 7\\2 & \"|\" & 7.5\\2 & \"|\" & 7 Mod 2 & \"|\" & 2^10"), "3|4|1|1024");
  EXPECT_NE(Failure("SELECT 7\\0").find("division by zero"), std::string::npos);
}

TEST_F(JetFunctionsTest, WholeNumbersPastTheIntegerRangeOverflowInsteadOfWrapping) {
  // 2^63 is just past the largest integer; the largest double below it and
  // -2^63 still fit.
  EXPECT_NE(Failure("SELECT 9223372036854775808.0 \\ 1").find("overflow"), std::string::npos);
  EXPECT_NE(Failure("SELECT 1 \\ 1e19").find("overflow"), std::string::npos);
  EXPECT_EQ(Value("SELECT 9223372036854774784.0 \\ 1"), "9223372036854774784");
  EXPECT_EQ(Value("SELECT -9223372036854775808.0 \\ 1"), "-9223372036854775808");
  EXPECT_NE(Failure("SELECT CLng(2147483648.0)").find("overflow"), std::string::npos);
  EXPECT_EQ(Value("SELECT CLng(-2147483648.0)"), "-2147483648");
}

TEST_F(JetFunctionsTest, SystemStatementsRunOnACatalog) {
  CreateCatalog();
  // Row writers and the identity query.
  Exec("INSERT INTO Books ([Year], [Title]) VALUES (1820, \"Tales\");");
  EXPECT_EQ(Value("SELECT @@IDENTITY AS ID;"), "8");
  Exec("UPDATE Books SET Books.Title=\"Tales 2\"  WHERE (Books.Id)=(8);");
  EXPECT_EQ(Value("SELECT Title FROM Books WHERE Id = 8"), "Tales 2");
  Exec("UPDATE Books SET Link=\"Author\\Title.fb2\" WHERE (Books.Id=8);");
  EXPECT_EQ(Value("SELECT Link FROM Books WHERE Id = 8"), "Author\\Title.fb2");
  Exec("INSERT INTO BookGenres (BookId, GenreId) VALUES (42, 7 );");
  EXPECT_EQ(Value("SELECT Authors.Id, Authors.Last, Authors.First  FROM Authors WHERE "
                  "(((isnull(Authors.Last))or((Authors.Last)=\"DOE\"))AND((isnull(Authors."
                  "First))or((Authors.First)=\"Jane\")));"),
            "1");

  // The book listing of a genre folder, and two listings in one union.
  Result<std::vector<Row>> rows = Run(
      "SELECT Books.Title+\" \"+iif((isnull(Books.Subtitle)),\"\",Books.Subtitle ) +\".fb2\" AS "
      "Name, 0 AS Dir, Books.FileSize AS fSize, Books.Added AS fDate\nFROM Books INNER JOIN "
      "Genres ON Books.GenreId=Genres.Id\nWHERE (Genres.Name=\"poetry\") ;");
  ASSERT_TRUE(rows.ok()) << rows.message();
  ASSERT_EQ(rows->size(), 2u);
  std::sort(rows->begin(), rows->end());
  EXPECT_EQ((*rows)[0], (Row{"Odes .fb2", "0", "100", "2005-03-07 10:30:00"}));
  EXPECT_EQ((*rows)[1], (Row{"Tales Old.fb2", "0", "200", "2005-03-08 00:00:00"}));
  rows =
      Run("SELECT Genres.Name AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate\nFROM Genres "
          "UNION SELECT DISTINCT UCase(Left(Authors.Last,1)) AS Name, -1 AS Dir, 0 AS fSize, "
          "0 AS fDate\nFROM Authors;");
  ASSERT_TRUE(rows.ok()) << rows.message();
  std::sort(rows->begin(), rows->end());
  EXPECT_EQ(*rows, (std::vector<Row>{{"D", "-1", "0", "0"},
                                     {"Poetry", "-1", "0", "0"},
                                     {"Prose", "-1", "0", "0"},
                                     {"Т", "-1", "0", "0"}}));

  // Nested joins as the join planner writes them, and its two templates.
  EXPECT_EQ(Value("SELECT Books.Id FROM AUTHORS INNER JOIN (BOOKAUTHORS INNER JOIN (BOOKS) ON "
                  "BookAuthors.BookId=Books.Id) ON BookAuthors.AuthorId=Authors.Id WHERE "
                  "(Authors.Last=\"Толстой\");"),
            "6");
  rows =
      Run("SELECT MSysRelationships.szObject\r\nFROM MSysRelationships\r\nWHERE "
          "((UCase(MSysRelationships.szReferencedObject)=UCase(\"BOOKS\")))\r\nUNION SELECT "
          "MSysRelationships.szReferencedObject\r\nFROM MSysRelationships\r\nWHERE "
          "((UCase(MSysRelationships.szObject)=UCase(\"BOOKS\")));");
  ASSERT_TRUE(rows.ok()) << rows.message();
  std::sort(rows->begin(), rows->end());
  EXPECT_EQ(*rows, (std::vector<Row>{{"BookAuthors"}, {"Genres"}}));
  rows =
      Run("SELECT MSysRelationships.szObject & \".\" & MSysRelationships.szColumn & \"=\" & "
          "MSysRelationships.szReferencedObject & \".\" & "
          "MSysRelationships.szReferencedColumn AS str,\r\n"
          "iif((MSysRelationships.grbit=2),iif((MSysRelationships.szObject=\"BOOKS\"),"
          "\"LEFT\",\"RIGHT\"),\"INNER\") as l\r\nFROM MSysRelationships\r\nWHERE "
          "((UCase(MSysRelationships.szObject)=UCase(\"BOOKS\")) AND "
          "(UCase(MSysRelationships.szReferencedObject)=UCase(\"GENRES\"))) OR "
          "((UCase(MSysRelationships.szObject)=UCase(\"GENRES\")) AND "
          "(UCase(MSysRelationships.szReferencedObject)=UCase(\"BOOKS\")));");
  ASSERT_TRUE(rows.ok()) << rows.message();
  EXPECT_EQ(*rows, (std::vector<Row>{{"Books.GenreId=Genres.Id", "LEFT"}}));

  // Writes over joins, and the clean-up forms of DELETE.
  Exec(
      "UPDATE Books INNER JOIN Genres ON Books.GenreId=Genres.Id SET Books.Subtitle = "
      "Genres.Name WHERE Genres.Name=\"PROSE\"");
  EXPECT_EQ(Value("SELECT Subtitle FROM Books WHERE Id = 7"), "Prose");
  EXPECT_EQ(Value("SELECT Subtitle FROM Books WHERE Id = 6"), "Old");
  Exec(
      "DELETE Books.* FROM Books LEFT JOIN BookAuthors ON Books.Id = BookAuthors.BookId WHERE "
      "BookAuthors.BookId Is Null");
  EXPECT_EQ(Value("SELECT Count(*) FROM Books"), "2");
  Exec("DELETE Books.* FROM Books WHERE (Books.Id=5);");
  EXPECT_EQ(Value("SELECT Count(*) FROM Books"), "1");
  Exec("ALTER TABLE Books ADD COLUMN Compressed SMALLINT");
  EXPECT_EQ(Value("select Compressed from books"), std::nullopt);
}

TEST(JetFunctionsRegistrationTest, RefusesAMissingDatabase) {
  EXPECT_FALSE(RegisterJetFunctions(nullptr).ok());
}

}  // namespace
}  // namespace tomeva::catalog
