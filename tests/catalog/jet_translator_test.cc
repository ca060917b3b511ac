// Tests of the Jet SQL translator: the statements the system itself builds,
// typical user folder queries, each rewrite rule, and the texts it refuses.
#include "catalog/jet_translator.h"

#include <gtest/gtest.h>

#include <string>

namespace tomeva::catalog {
namespace {

std::string Translated(std::string_view jet) {
  Result<std::string> sql = TranslateJetSql(jet);
  EXPECT_TRUE(sql.ok()) << jet << "\n -> " << (sql.ok() ? "" : sql.message());
  return sql.ok() ? sql.value() : std::string();
}

// The error message, or "" when the text was (wrongly) translated.
std::string Refusal(std::string_view jet) {
  Result<std::string> sql = TranslateJetSql(jet);
  EXPECT_FALSE(sql.ok()) << jet << "\n -> " << (sql.ok() ? sql.value() : "");
  return sql.ok() ? std::string() : sql.message();
}

TEST(JetTranslatorTest, InsertRowQuotesBracketedColumnsAndTextLiterals) {
  EXPECT_EQ(Translated(R"(INSERT INTO Books ([Year], [Title]) VALUES (1820, "Tales");)"),
            R"(INSERT INTO Books ("Year", "Title") VALUES (1820, 'Tales');)");
  EXPECT_EQ(Translated("INSERT INTO BookGenres (BookId, GenreId) VALUES (42, 7 );"),
            "INSERT INTO BookGenres (BookId, GenreId) VALUES (42, 7);");
  EXPECT_EQ(Translated("INSERT INTO t VALUES (1, \"a\"), (2, Null)"),
            "INSERT INTO t VALUES (1, 'a'), (2, NULL);");
  EXPECT_EQ(Translated("INSERT INTO t (a) SELECT b FROM u"), "INSERT INTO t (a) SELECT b FROM u;");
}

TEST(JetTranslatorTest, UpdateRowsDropsTheTableQualifierOfSetColumns) {
  EXPECT_EQ(Translated(R"(UPDATE Books SET Books.Title="Tales"  WHERE (Books.Id)=(5);)"),
            "UPDATE Books SET Title = 'Tales' WHERE (Books.Id) = (5);");
  EXPECT_EQ(Translated(R"(UPDATE Books SET Link="Author\Title.fb2" WHERE (Books.BookId=42);)"),
            R"(UPDATE Books SET Link = 'Author\Title.fb2' WHERE (Books.BookId = 42);)");
  EXPECT_NE(Refusal("UPDATE Books SET Genres.Name=1"), "");
}

TEST(JetTranslatorTest, FindOrInsertLookupComparesTextLiteralsWithoutCase) {
  EXPECT_EQ(
      Translated(R"(SELECT Authors.Id, Authors.Last, Authors.First  FROM Authors WHERE )"
                 R"((((isnull(Authors.Last))or((Authors.Last)="Doe"))AND((isnull(Authors.First))or)"
                 R"(((Authors.First)="Jane")));)"),
      R"(SELECT Authors.Id, Authors."Last", Authors."First" FROM Authors WHERE )"
      R"(((((Authors."Last" IS NULL)) OR ((Authors."Last") COLLATE NOCASE = 'Doe')) AND )"
      R"((((Authors."First" IS NULL)) OR ((Authors."First") COLLATE NOCASE = 'Jane')));)");
}

TEST(JetTranslatorTest, EqualityWithATextWithoutLettersIsPlainSoKeysUseTheirIndex) {
  // A link row's keys are spliced as texts of digits; compared case-blind,
  // SQLite scanned the whole link table for each of them.
  Result<std::string> link = TranslateJetSql(
      "SELECT BookAuthors.AuthorId FROM BookAuthors WHERE ((BookAuthors.AuthorId)=\"20016\") AND "
      "((BookAuthors.BookId)<>\"7\");");
  ASSERT_TRUE(link.ok()) << link.message();
  EXPECT_EQ(link->find("NOCASE"), std::string::npos) << *link;
  // A text with a letter and an ordering still compare without regard to case.
  for (const char* jet : {"SELECT 1 FROM t WHERE (t.a)=\"1a\";", "SELECT 1 FROM t WHERE (t.a)<\"12\";"}) {
    Result<std::string> sql = TranslateJetSql(jet);
    ASSERT_TRUE(sql.ok()) << sql.message();
    EXPECT_NE(sql->find("NOCASE"), std::string::npos) << *sql;
  }
}

TEST(JetTranslatorTest, IdentityQueryReadsTheLastInsertedRowid) {
  EXPECT_EQ(Translated("SELECT @@IDENTITY AS ID;"), "SELECT last_insert_rowid() AS ID;");
  EXPECT_EQ(Translated("select @@identity"), "SELECT last_insert_rowid() AS ID;");
}

TEST(JetTranslatorTest, BookListingJoinsNameWithPlusIifAndLineBreaks) {
  EXPECT_EQ(
      Translated("SELECT Books.Title+\" \"+iif((isnull(Books.Subtitle)),\"\",Books.Subtitle ) "
                 "+\".fb2\" AS Name, 0 AS Dir, Books.FileSize AS fSize, Books.Added AS fDate\n"
                 "FROM Books INNER JOIN Genres ON Books.GenreId=Genres.Id\n"
                 "WHERE (Genres.Name=\"Poetry\") ;"),
      "SELECT jet_add(Books.Title || ' ', CASE WHEN ((Books.Subtitle IS NULL)) THEN '' ELSE "
      "Books.Subtitle END) || '.fb2' AS Name, 0 AS Dir, Books.FileSize AS fSize, Books.Added "
      "AS fDate FROM Books INNER JOIN Genres ON Books.GenreId = Genres.Id WHERE (Genres.Name "
      "COLLATE NOCASE = 'Poetry');");
}

TEST(JetTranslatorTest, ListingsJoinedByUnionStayOneCompoundQuery) {
  EXPECT_EQ(Translated("SELECT Genres.Name AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate\nFROM "
                       "Genres UNION SELECT Books.Title +\".fb2\" AS Name, 0 AS Dir, "
                       "Books.FileSize AS fSize, Books.Added AS fDate\nFROM Books;"),
            "SELECT Genres.Name AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate FROM Genres UNION "
            "SELECT Books.Title || '.fb2' AS Name, 0 AS Dir, Books.FileSize AS fSize, "
            "Books.Added AS fDate FROM Books;");
}

TEST(JetTranslatorTest, JoinPlannerTemplatesWithCrLfBreaks) {
  EXPECT_EQ(
      Translated("SELECT MSysRelationships.szObject\r\nFROM MSysRelationships\r\n"
                 "WHERE ((UCase(MSysRelationships.szReferencedObject)=UCase(\"BOOKS\")))\r\n"
                 "UNION SELECT MSysRelationships.szReferencedObject\r\nFROM MSysRelationships\r\n"
                 "WHERE ((UCase(MSysRelationships.szObject)=UCase(\"BOOKS\")));"),
      "SELECT MSysRelationships.szObject FROM MSysRelationships WHERE "
      "((jet_ucase(MSysRelationships.szReferencedObject) = jet_ucase('BOOKS'))) UNION SELECT "
      "MSysRelationships.szReferencedObject FROM MSysRelationships WHERE "
      "((jet_ucase(MSysRelationships.szObject) = jet_ucase('BOOKS')));");
  EXPECT_EQ(
      Translated(
          "SELECT MSysRelationships.szObject & \".\" & MSysRelationships.szColumn & \"=\" & "
          "MSysRelationships.szReferencedObject & \".\" & MSysRelationships.szReferencedColumn "
          "AS str,\r\niif((MSysRelationships.grbit=2),iif((MSysRelationships.szObject=\"BOOKS\"),"
          "\"LEFT\",\"RIGHT\"),\"INNER\") as l\r\nFROM MSysRelationships\r\n"
          "WHERE ((UCase(MSysRelationships.szObject)=UCase(\"BOOKS\")) AND "
          "(UCase(MSysRelationships.szReferencedObject)=UCase(\"GENRES\")));"),
      "SELECT IFNULL(MSysRelationships.szObject, '') || '.' || "
      "IFNULL(MSysRelationships.szColumn, '') || '=' || "
      "IFNULL(MSysRelationships.szReferencedObject, '') || '.' || "
      "IFNULL(MSysRelationships.szReferencedColumn, '') AS str, CASE WHEN "
      "(MSysRelationships.grbit = 2) THEN CASE WHEN (MSysRelationships.szObject COLLATE NOCASE = "
      "'BOOKS') THEN 'LEFT' ELSE 'RIGHT' END ELSE 'INNER' END AS l FROM MSysRelationships WHERE "
      "((jet_ucase(MSysRelationships.szObject) = jet_ucase('BOOKS')) AND "
      "(jet_ucase(MSysRelationships.szReferencedObject) = jet_ucase('GENRES')));");
}

TEST(JetTranslatorTest, NestedParenthesisedJoinsKeepTheirShape) {
  EXPECT_EQ(Translated("SELECT Books.Id FROM AUTHORS INNER JOIN (BOOKAUTHORS INNER JOIN (BOOKS) "
                       "ON BookAuthors.BookId=Books.Id) ON BookAuthors.AuthorId=Authors.Id "
                       "WHERE (Authors.Last=\"Doe\")AND(Books.Title=\"Ode\");"),
            "SELECT Books.Id FROM AUTHORS INNER JOIN (BOOKAUTHORS INNER JOIN (BOOKS) ON "
            "BookAuthors.BookId = Books.Id) ON BookAuthors.AuthorId = Authors.Id WHERE "
            "(Authors.\"Last\" COLLATE NOCASE = 'Doe') AND (Books.Title COLLATE NOCASE = 'Ode');");
  EXPECT_EQ(Translated("SELECT * FROM a LEFT OUTER JOIN (b RIGHT JOIN c ON b.x=c.x) ON a.y=b.y"),
            "SELECT * FROM a LEFT JOIN (b RIGHT JOIN c ON b.x = c.x) ON a.y = b.y;");
}

TEST(JetTranslatorTest, UserFolderQueries) {
  // The listing's literal columns are added around the distinct values, so
  // that SQLite can read those off an index.
  EXPECT_EQ(Translated("SELECT DISTINCT UCase(Left(Authors.Last,1)) AS Name, -1 AS Dir, 0 AS "
                       "fSize, 0 AS fDate FROM Authors WHERE Authors.Last<>\"\""),
            "SELECT Name, -1 AS Dir, 0 AS fSize, 0 AS fDate FROM (SELECT DISTINCT "
            "jet_ucase(jet_left(Authors.\"Last\", 1)) AS Name FROM Authors WHERE "
            "Authors.\"Last\" <> '');");
  // Not when a value has no name to be selected by, or the rows are grouped or sorted.
  EXPECT_EQ(Translated("SELECT DISTINCT Authors.Last, 0 AS Dir FROM Authors"),
            "SELECT DISTINCT Authors.\"Last\", 0 AS Dir FROM Authors;");
  EXPECT_EQ(Translated("SELECT DISTINCT Year AS Name, 0 AS Dir FROM Books ORDER BY Year"),
            "SELECT DISTINCT Year AS Name, 0 AS Dir FROM Books ORDER BY Year;");
  EXPECT_EQ(Translated("SELECT DISTINCT Year AS Name, 'x' AS Dir FROM Books GROUP BY Year"),
            "SELECT DISTINCT Year AS Name, 'x' AS Dir FROM Books GROUP BY Year;");
  EXPECT_EQ(Translated("SELECT DISTINCTROW Year(Books.Added) AS Name FROM Books"),
            "SELECT DISTINCT CAST(strftime('%Y', Books.Added) AS INTEGER) AS Name FROM Books;");
  EXPECT_EQ(
      Translated("SELECT format(Books.Added,\"yyyy-mm-dd\") & \".fb2\" AS Name FROM Books"),
      "SELECT IFNULL(jet_format(Books.Added, 'yyyy-mm-dd'), '') || '.fb2' AS Name FROM Books;");
}

TEST(JetTranslatorTest, LiteralsAreRequotedForSqlite) {
  EXPECT_EQ(Translated(R"(SELECT "O""Neil's", 'it''s', [a "b"] FROM t)"),
            R"(SELECT 'O"Neil''s', 'it''s', "a ""b""" FROM t;)");
  EXPECT_EQ(Translated("SELECT #2005-03-07#, #3/7/2005#, #3/7/2005 10:30 PM#, #13/7/05 1:02:03#"),
            "SELECT '2005-03-07 00:00:00', '2005-03-07 00:00:00', '2005-03-07 22:30:00', "
            "'2005-07-13 01:02:03';");
  EXPECT_EQ(Translated("SELECT True, False, Null FROM t WHERE x = tRUE"),
            "SELECT -1, 0, NULL FROM t WHERE x = -1;");
}

TEST(JetTranslatorTest, DateLiteralsAreCheckedAsCalendarDates) {
  EXPECT_EQ(Translated("SELECT #2/29/2004#, #3/7/99#, #3/7/29#, #12:00 AM#, #12:30:05PM#"),
            "SELECT '2004-02-29 00:00:00', '1999-03-07 00:00:00', '2029-03-07 00:00:00', "
            "'1899-12-30 00:00:00', '1899-12-30 12:30:05';");
  EXPECT_NE(Refusal("SELECT #2/29/2005#"), "");
  EXPECT_NE(Refusal("SELECT #2005-03-07 24:00#"), "");
  EXPECT_NE(Refusal("SELECT #13:00 PM#"), "");
  EXPECT_NE(Refusal("SELECT #2005-13-01#"), "");
}

TEST(JetTranslatorTest, NamesThatSqliteReservesAreQuoted) {
  EXPECT_EQ(Translated("SELECT g.Order, Key, t.* FROM [Group] g, Items AS t"),
            "SELECT g.\"Order\", \"Key\", t.* FROM \"Group\" AS g, Items AS t;");
}

TEST(JetTranslatorTest, SubqueriesGroupingAndUnionMemberOrder) {
  EXPECT_EQ(Translated("SELECT s.n FROM (SELECT Count(*) AS n FROM t GROUP BY t.a HAVING "
                       "Count(*) > 1) AS s WHERE s.n In (SELECT TOP 1 n FROM u ORDER BY n)"),
            "SELECT s.n FROM (SELECT Count(*) AS n FROM t GROUP BY t.a HAVING Count(*) > 1) AS "
            "s WHERE s.n IN (SELECT n FROM u ORDER BY n LIMIT 1);");
  EXPECT_EQ(Translated("SELECT a FROM t ORDER BY a UNION SELECT b FROM u ORDER BY 1"),
            "SELECT * FROM (SELECT a FROM t ORDER BY a) UNION SELECT b FROM u ORDER BY 1;");
}

TEST(JetTranslatorTest, AmpersandTakesNullAsEmptyAndPlusFollowsItsOperands) {
  EXPECT_EQ(Translated("SELECT a & b & \"x\" & 1 & Null FROM t"),
            "SELECT IFNULL(a, '') || IFNULL(b, '') || 'x' || 1 || '' FROM t;");
  EXPECT_EQ(Translated("SELECT a + \"x\", a + b, a + 1, Null + a, a - b FROM t"),
            "SELECT a || 'x', jet_add(a, b), a + 1, NULL + a, a - b FROM t;");
}

TEST(JetTranslatorTest, ArithmeticKeepsJetMeaningAndPrecedence) {
  EXPECT_EQ(Translated("SELECT 7/2, 7\\2, 7 Mod 2, 2^-1, - -1, (a + 1) * 2, a - (b - c) FROM t"),
            "SELECT CAST(7 AS REAL) / 2, jet_idiv(7, 2), 7 % 2, jet_pow(2, -1), -(-1), "
            "(a + 1) * 2, a - (b - c) FROM t;");
  // Jet binds "+" tighter than "&", and "&" tighter than "=".
  EXPECT_EQ(Translated("SELECT * FROM t WHERE a & \"x\" + b = \"1\""),
            "SELECT * FROM t WHERE IFNULL(a, '') || IFNULL('x' || b, '') = '1';");
  EXPECT_EQ(Translated("SELECT * FROM t WHERE \"x\" + a * 2 > 1"),
            "SELECT * FROM t WHERE 'x' || (a * 2) > 1;");
}

TEST(JetTranslatorTest, TopBecomesLimitAndStaysPerUnionMember) {
  EXPECT_EQ(Translated("SELECT TOP 5 a FROM t ORDER BY a DESC"),
            "SELECT a FROM t ORDER BY a DESC LIMIT 5;");
  EXPECT_EQ(Translated("SELECT TOP 3 a FROM t UNION ALL SELECT TOP 2 b FROM u ORDER BY 1"),
            "SELECT * FROM (SELECT a FROM t LIMIT 3) UNION ALL SELECT * FROM (SELECT b FROM u "
            "LIMIT 2) ORDER BY 1;");
  EXPECT_NE(Refusal("SELECT TOP 10 PERCENT a FROM t"), "");
}

TEST(JetTranslatorTest, PredicatesAndLikePatterns) {
  EXPECT_EQ(Translated("SELECT a FROM t WHERE x Is Not Null AND Not y Is Null AND z Not In "
                       "(1, \"c\") AND w Between 1 And 2 AND v In (SELECT v FROM u)"),
            "SELECT a FROM t WHERE x IS NOT NULL AND NOT y IS NULL AND z COLLATE NOCASE NOT IN "
            "(1, 'c') AND w BETWEEN 1 AND 2 AND v IN (SELECT v FROM u);");
  EXPECT_EQ(Translated("SELECT a FROM t WHERE a Like \"Д*\" AND b Like \"5?%_\\*\""),
            "SELECT a FROM t WHERE a LIKE 'Д%' AND b LIKE '5_\\%\\_\\\\%' ESCAPE '\\';");
  EXPECT_EQ(Translated("SELECT a FROM t WHERE a Like \"[a-c]#*\" OR a Not Like b"),
            "SELECT a FROM t WHERE jet_like(a, '[a-c]#*') OR NOT jet_like(a, b);");
}

TEST(JetTranslatorTest, FunctionsAreRewrittenWhateverTheirCase) {
  EXPECT_EQ(Translated("SELECT NZ(a), nz(a, 0), LCASE(a), Mid$(a, 2, 1), Right(a, 1), Len(a), "
                       "InStr(2, a, \"x\"), Trim(a), Str(a), Val(a), CStr(a), CInt(a), CLng(a), "
                       "Month(a), Now() FROM t"),
            "SELECT IFNULL(a, ''), IFNULL(a, 0), jet_lcase(a), jet_mid(a, 2, 1), jet_right(a, 1), "
            "jet_len(a), jet_instr(2, a, 'x'), trim(a), jet_str(a), jet_val(a), jet_cstr(a), "
            "jet_cint(a), jet_clng(a), CAST(strftime('%m', a) AS INTEGER), "
            "datetime('now', 'localtime') FROM t;");
  EXPECT_EQ(Translated("SELECT Count(*), Count(DISTINCT a), Abs(a), NoSuchFunction(a, 1) FROM t"),
            "SELECT Count(*), Count(DISTINCT a), Abs(a), NoSuchFunction(a, 1) FROM t;");
  EXPECT_NE(Refusal("SELECT iif(a, b) FROM t").find("iif"), std::string::npos);
}

TEST(JetTranslatorTest, UpdateOverJoinsComputesValuesInASubquery) {
  EXPECT_EQ(Translated("UPDATE Books INNER JOIN Genres ON Books.GenreId=Genres.Id SET "
                       "Books.Title = Books.Title & \"/\" & Genres.Name, Books.Year=1 WHERE "
                       "Genres.Name=\"Poetry\""),
            "UPDATE Books SET Title = jet_u.jet_v1, Year = jet_u.jet_v2 FROM (SELECT "
            "Books.rowid AS jet_rowid, IFNULL(Books.Title, '') || '/' || IFNULL(Genres.Name, '') "
            "AS jet_v1, 1 AS jet_v2 FROM Books INNER JOIN Genres ON Books.GenreId = Genres.Id "
            "WHERE Genres.Name COLLATE NOCASE = 'Poetry') AS jet_u WHERE Books.rowid = "
            "jet_u.jet_rowid;");
  EXPECT_NE(Refusal("UPDATE a INNER JOIN b ON a.x=b.x SET a.y=1, b.y=2"), "");
  EXPECT_NE(Refusal("UPDATE a INNER JOIN b ON a.x=b.x SET y=1"), "");
}

TEST(JetTranslatorTest, DeleteForms) {
  EXPECT_EQ(Translated("DELETE Books.* FROM Books WHERE (Books.BookId=42);"),
            "DELETE FROM Books WHERE (Books.BookId = 42);");
  EXPECT_EQ(Translated("DELETE * FROM Books"), "DELETE FROM Books;");
  EXPECT_EQ(Translated("DELETE DISTINCTROW Books.* FROM Books"), "DELETE FROM Books;");
  EXPECT_EQ(Translated("DELETE FROM Books WHERE Id=1"), "DELETE FROM Books WHERE Id = 1;");
  EXPECT_EQ(Translated("DELETE b.* FROM Books AS b LEFT JOIN BookAuthors ON b.Id = "
                       "BookAuthors.BookId WHERE BookAuthors.BookId Is Null"),
            "DELETE FROM Books WHERE rowid IN (SELECT b.rowid FROM Books AS b LEFT JOIN "
            "BookAuthors ON b.Id = BookAuthors.BookId WHERE BookAuthors.BookId IS NULL);");
  EXPECT_NE(Refusal("DELETE * FROM a INNER JOIN b ON a.x=b.x"), "");
  EXPECT_NE(Refusal("DELETE c.* FROM a INNER JOIN b ON a.x=b.x"), "");
}

TEST(JetTranslatorTest, DefinitionsPassThroughWithLiteralsRewritten) {
  EXPECT_EQ(Translated("ALTER TABLE Books ADD COLUMN Compressed SMALLINT"),
            "ALTER TABLE Books ADD COLUMN Compressed SMALLINT;");
  EXPECT_EQ(Translated("CREATE TABLE [My T] (Id COUNTER, Name TEXT(50) DEFAULT \"x\")"),
            "CREATE TABLE \"My T\"(Id COUNTER, Name TEXT(50) DEFAULT 'x');");
  EXPECT_NE(Refusal("CREATE TABLE t (a TEXT(50)"), "");
}

TEST(JetTranslatorTest, SeveralStatementsAndBlankSpace) {
  EXPECT_EQ(Translated("\r\n DELETE FROM a;\r\nDELETE FROM b ; ;\n"),
            "DELETE FROM a; DELETE FROM b;");
}

TEST(JetTranslatorTest, UntranslatableTextIsAnErrorNamingProblemAndPosition) {
  EXPECT_EQ(Refusal("SELECT (a FROM t"), "Jet SQL: expected \")\", found \"FROM\" at position 11");
  EXPECT_EQ(Refusal("SELECT a FROM t WHERE a = \"x"),
            "Jet SQL: unterminated text literal at position 27");
  EXPECT_EQ(Refusal("SELECT a b FROM t"), "Jet SQL: unexpected \"b\" at position 10");
  EXPECT_EQ(Refusal("SELECT a) FROM t"), "Jet SQL: unexpected \")\" at position 9");
  EXPECT_EQ(Refusal("TRANSFORM Count(x) SELECT a FROM t"),
            "Jet SQL: unsupported statement \"TRANSFORM\" at position 1");
  EXPECT_EQ(Refusal("SELECT #31/2/2005#"),
            "Jet SQL: invalid date literal #31/2/2005# at position 8");
  // Positions count characters, not bytes.
  EXPECT_EQ(Refusal("SELECT \"Ж\" ! 1"), "Jet SQL: unexpected character '!' at position 12");
  EXPECT_NE(Refusal("SELECT [a FROM t"), "");
  EXPECT_NE(Refusal("SELECT #2005-01-01 FROM t"), "");
  EXPECT_NE(Refusal("SELECT 12abc FROM t"), "");
  EXPECT_NE(Refusal("SELECT a FROM t WHERE"), "");
  EXPECT_NE(Refusal(" ; "), "");
  EXPECT_NE(Refusal(std::string(5000, '(') + "1" + std::string(5000, ')')), "");
}

}  // namespace
}  // namespace tomeva::catalog
