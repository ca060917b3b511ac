// Tests of the default catalog schema (config/schema.sql): its tables, keys and
// indexes, its relationships as MSysRelationships shows them, and that the stock
// sqlite3 shell can read a catalog made from it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "catalog/catalog_file.h"
#include "catalog/database.h"
#include "catalog/sqlite_database.h"
#include "support/temp_dir.h"

namespace tomeva::catalog {
namespace {

constexpr char kStockShell[] = "/usr/bin/sqlite3";

class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string schema = testing::ReadFile(std::string(TOMEVA_SOURCE_DIR) + "/config/schema.sql");
    ASSERT_FALSE(schema.empty());
    path_ = dir_.Path("catalog.db");
    Status created = CreateCatalogFile(path_, schema);
    ASSERT_TRUE(created.ok()) << created.message();
    Reopen();
  }

  void Reopen() {
    db_.reset();
    Result<std::unique_ptr<Database>> opened =
        OpenCatalog("Provider=SQLite; Data Source=" + path_ + "; Persist Security Info=False");
    ASSERT_TRUE(opened.ok()) << opened.message();
    db_ = std::move(opened).value();
  }

  void Run(std::string_view jet_sql) {
    Status status = db_->Execute(jet_sql);
    ASSERT_TRUE(status.ok()) << status.message();
  }

  // Every row of jet_sql, its columns' texts joined with "|".
  std::vector<std::string> Rows(std::string_view jet_sql) {
    std::vector<std::string> rows;
    Result<std::unique_ptr<ResultSet>> set = db_->Query(jet_sql);
    EXPECT_TRUE(set.ok()) << set.message();
    if (!set.ok()) return rows;
    for (ResultSet& r = **set; !r.AtEnd();) {
      std::string row;
      for (int i = 0; i < r.ColumnCount(); ++i) row += (i ? "|" : "") + r.Text(i);
      rows.push_back(row);
      EXPECT_TRUE(r.Next().ok());
    }
    return rows;
  }

  testing::TempDir dir_;
  std::string path_;
  std::unique_ptr<Database> db_;
};

TEST_F(SchemaTest, CreatesTheBookTablesWithoutGenreRows) {
  for (const char* table : {"Authors", "Genres", "Series", "Books", "BookAuthors", "BookGenres"}) {
    EXPECT_EQ(Rows(std::string("SELECT count(*) FROM ") + table), std::vector<std::string>{"0"}) << table;
  }
  Result<std::unique_ptr<ResultSet>> books = db_->Query("SELECT * FROM Books");
  ASSERT_TRUE(books.ok()) << books.message();
  std::vector<std::string> columns;
  for (int i = 0; i < (*books)->ColumnCount(); ++i) columns.push_back((*books)->ColumnName(i));
  EXPECT_EQ(columns, (std::vector<std::string>{"BookId", "Title", "Link", "fSize", "fDate", "Lang",
                                               "SrcLang", "Year", "Annotation", "Keywords", "Publisher",
                                               "ISBN", "SeriesId", "SerNo", "Compressed", "Added",
                                               "TitleLetter", "CollectionId", "Archive", "Member",
                                               "LibId", "TitleKey", "FileName"}));
}

TEST_F(SchemaTest, AuthorNamesAndLettersAreComputedAsTheTreeShowsThem) {
  Run("INSERT INTO Authors (AuthorId, Last, First, Middle) VALUES (1, 'толстой', 'Лев', NULL), "
      "(2, NULL, 'Jane', ''), (3, 'ёлкин', '', 'Петрович'), (4, '', '', ''), (5, 'Çelik', 'Ada', NULL)");
  EXPECT_EQ(Rows("SELECT AuthorId, FullName, Letter FROM Authors ORDER BY AuthorId"),
            (std::vector<std::string>{"1|толстой Лев|Т", "2|Jane|J", "3|ёлкин Петрович|Ё", "4||",
                                      "5|Çelik Ada|Ç"}));
  Run("INSERT INTO Books (BookId, Title) VALUES (1, 'война'), (2, NULL), (3, ''), (4, 'abc')");
  EXPECT_EQ(Rows("SELECT BookId, TitleLetter FROM Books ORDER BY BookId"),
            (std::vector<std::string>{"1|В", "2|Б", "3|Б", "4|A"}));
  // A computed name is found by the index as written; its folded key finds it
  // whatever the letter case.
  EXPECT_EQ(Rows("SELECT AuthorId FROM Authors WHERE FullName='толстой Лев'"),
            std::vector<std::string>{"1"});
  EXPECT_EQ(Rows("SELECT AuthorId FROM Authors WHERE LastKey=tomeva_fold('ТОЛСТОЙ')"),
            std::vector<std::string>{"1"});
}

TEST_F(SchemaTest, ACatalogFilledByOtherMeansGetsPlannerStatisticsWhenOpened) {
  Run("INSERT INTO Authors (Last) VALUES ('A'), ('B'), ('C'), ('Д')");
  db_.reset();
  {
    Result<SqliteConnectionHandle> raw = OpenSqliteConnection(path_, SQLITE_OPEN_READWRITE);
    ASSERT_TRUE(raw.ok());
    sqlite3_exec(raw->get(), "DROP TABLE IF EXISTS sqlite_stat1", nullptr, nullptr, nullptr);
  }
  Reopen();
  EXPECT_EQ(Rows("SELECT count(*) FROM sqlite_stat1 WHERE tbl='Authors'"),
            std::vector<std::string>{"5"});  // one row per index of Authors
  Run("INSERT INTO Books (Title) VALUES ('x')");
  ASSERT_TRUE(db_->RefreshStatistics().ok());
  EXPECT_NE(Rows("SELECT count(*) FROM sqlite_stat1 WHERE tbl='Books'"),
            std::vector<std::string>{"0"});
}

TEST_F(SchemaTest, IndexesCoverLookupsAndListings) {
  Result<SqliteConnectionHandle> raw = OpenSqliteConnection(path_, SQLITE_OPEN_READONLY);
  ASSERT_TRUE(raw.ok()) << raw.message();
  sqlite3_stmt* statement = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(raw->get(),
                               "SELECT m.tbl_name || '(' || group_concat(i.name, ',') || ')'"
                               "  FROM sqlite_schema AS m, pragma_index_info(m.name) AS i"
                               " WHERE m.type = 'index' AND m.sql IS NOT NULL GROUP BY m.name",
                               -1, &statement, nullptr),
            SQLITE_OK);
  SqliteStatementHandle owned(statement);
  std::set<std::string> indexes;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    indexes.insert(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
  }
  for (const char* wanted : {"Authors(Last,First,Middle)", "Books(Title)", "Books(SeriesId)", "Books(Year)",
                             "BookAuthors(AuthorId)", "BookGenres(GenreId)", "Series(Name)",
                             "Authors(FullName)", "Authors(Letter,FullName)",
                             "Books(TitleLetter,FileName,fSize,fDate)"}) {
    EXPECT_TRUE(indexes.contains(wanted)) << wanted;
  }
}

TEST_F(SchemaTest, KeysCascadeRefuseOrphansAndAllowBooksWithoutSeries) {
  Run("INSERT INTO Series (SeriesId, Name) VALUES (1, 'Saga')");
  Run("INSERT INTO Books (BookId, Title, SeriesId) VALUES (10, 'In a series', 1)");
  Run("INSERT INTO Books (BookId, Title) VALUES (11, 'Alone')");
  Run("INSERT INTO Authors (AuthorId, Last) VALUES (5, 'Doe')");
  Run("INSERT INTO Genres (GenreId, Code, Name) VALUES (7, 'sf', 'Фантастика')");
  Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (10, 5); INSERT INTO BookAuthors (BookId, AuthorId) VALUES (11, 5)");
  Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (10, 7)");

  EXPECT_FALSE(db_->Execute("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (10, 99)").ok());
  EXPECT_FALSE(db_->Execute("INSERT INTO Books (Title, SeriesId) VALUES ('x', 42)").ok());
  EXPECT_FALSE(db_->Execute("INSERT INTO Genres (Code) VALUES ('SF')").ok()) << "codes are unique, any case";
  EXPECT_FALSE(db_->Execute("INSERT INTO Genres (Name) VALUES ('no code')").ok());

  EXPECT_EQ(Rows("SELECT Books.Title, Series.Name FROM Books LEFT JOIN Series ON Books.SeriesId = Series.SeriesId "
                 "ORDER BY Books.BookId"),
            (std::vector<std::string>{"In a series|Saga", "Alone|"}));

  Run("DELETE FROM Books WHERE BookId = 10");
  EXPECT_EQ(Rows("SELECT BookId FROM BookAuthors"), std::vector<std::string>{"11"});
  EXPECT_EQ(Rows("SELECT count(*) FROM BookGenres"), std::vector<std::string>{"0"});
  Run("DELETE FROM Authors WHERE AuthorId = 5");
  EXPECT_EQ(Rows("SELECT count(*) FROM BookAuthors"), std::vector<std::string>{"0"});
}

TEST_F(SchemaTest, SearchedTextIgnoresLetterCaseInCyrillicToo) {
  Run("INSERT INTO Authors (Last, First) VALUES ('Толстой', 'Лев')");
  Run("INSERT INTO Books (Title) VALUES ('Ёжик в тумане')");
  // Through the folded keys, which the catalog computes.
  EXPECT_EQ(Rows("SELECT First FROM Authors WHERE LastKey = tomeva_fold('ТОЛСТОЙ')"),
            std::vector<std::string>{"Лев"});
  EXPECT_EQ(Rows("SELECT count(*) FROM Books WHERE TitleKey = tomeva_fold('ёжик В ТУМАНЕ')"),
            std::vector<std::string>{"1"});
  // The text columns themselves compare as SQLite's NOCASE does: ASCII case only.
  EXPECT_EQ(Rows("SELECT count(*) FROM Books WHERE Title = 'ёжик в тумане'"),
            std::vector<std::string>{"0"});
}

TEST_F(SchemaTest, RelationshipsComeFromTheForeignKeys) {
  EXPECT_EQ(Rows("SELECT szObject, szColumn, szReferencedObject, szReferencedColumn, grbit "
                 "FROM MSysRelationships ORDER BY szObject, szColumn"),
            (std::vector<std::string>{
                "BookAuthors|AuthorId|Authors|AuthorId|0",
                "BookAuthors|BookId|Books|BookId|0",
                "BookGenres|BookId|Books|BookId|0",
                "BookGenres|GenreId|Genres|GenreId|0",
                "Books|CollectionId|Collections|CollectionId|2",
                "Books|SeriesId|Series|SeriesId|2",
            }));
}

// Runs the stock sqlite3 shell on the catalog and returns what it printed.
std::string RunStockShell(const std::string& path, const std::string& sql) {
  const std::string command = std::string(kStockShell) + " -batch '" + path + "' \"" + sql + "\" 2>&1";
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "cannot run " + command;
  char buffer[512];
  while (size_t read = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, read);
  pclose(pipe);
  return output;
}

TEST_F(SchemaTest, StockSqliteShellReadsTheCatalog) {
  if (!testing::PathExists(kStockShell)) GTEST_SKIP() << kStockShell << " is not installed";
  Run("INSERT INTO Series (SeriesId, Name) VALUES (1, 'Saga')");
  Run("INSERT INTO Books (Title, SeriesId, fDate) VALUES ('Война и мир', 1, '1869-01-01 00:00:00')");
  Run("INSERT INTO Books (Title) VALUES ('Tales')");
  db_.reset();
  EXPECT_EQ(RunStockShell(path_, "SELECT b.Title, s.Name FROM Books b LEFT JOIN Series s USING (SeriesId) "
                                 "ORDER BY b.BookId;"),
            "Война и мир|Saga\nTales|\n");
  EXPECT_EQ(RunStockShell(path_, "SELECT count(*) FROM Books WHERE Title = 'tales';"), "1\n");
  EXPECT_EQ(RunStockShell(path_, "PRAGMA journal_mode;"), "wal\n");
}

}  // namespace
}  // namespace tomeva::catalog
