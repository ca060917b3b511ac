// The genre listing of a real catalog: how it follows every change of a
// book's links and listed columns, a batch or bulk insert that lists its books
// at its end, the upgrade of an older catalog, and a read-only older catalog
// that lists its genres through a view.
#include "catalog/genre_listing.h"

#include <gtest/gtest.h>

#include <string>

#include "catalog/catalog_keys.h"
#include "catalog/sqlite_database.h"
#include "catalog_fixture.h"

namespace tomeva::catalog {
namespace {

class GenreListingTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    Run("INSERT INTO Genres (GenreId, Code, Name) VALUES (1, \"sf\", \"Фантастика\"), "
        "(2, \"poetry\", \"Поэзия\")");
    Run("INSERT INTO Books (BookId, Title, fSize, fDate) VALUES "
        "(10, \"Война миров\", 100, \"2020-01-02 03:04:05\"), (11, \"Машина времени\", 200, Null)");
    Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (10, 1), (11, 1), (11, 2)");
  }

  // The listing's rows: genre, book, listed name, size.
  std::string Listed() {
    return Rows("SELECT GenreId, BookId, FileName, fSize FROM GenreListing ORDER BY GenreId, BookId");
  }

  // Rows of the listing that differ from what the links and books give, both ways.
  std::string Drift() {
    const std::string links =
        "SELECT BookGenres.GenreId, Books.BookId, Books.FileName, Books.fSize, Books.fDate FROM "
        "BookGenres INNER JOIN Books ON Books.BookId = BookGenres.BookId";
    const std::string listed = "SELECT GenreId, BookId, FileName, fSize, fDate FROM GenreListing";
    Result<SqliteConnectionHandle> raw = OpenSqliteConnection(path_, SQLITE_OPEN_READONLY);
    if (!raw.ok()) return "cannot open: " + raw.message();
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = "SELECT count(*) FROM (" + listed + " EXCEPT " + links +
                            ") UNION ALL SELECT count(*) FROM (" + links + " EXCEPT " + listed + ")";
    if (sqlite3_prepare_v2(raw->get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      return sqlite3_errmsg(raw->get());
    }
    SqliteStatementHandle statement(stmt);
    std::string out;
    while (sqlite3_step(stmt) == SQLITE_ROW) out += std::to_string(sqlite3_column_int(stmt, 0));
    return out;  // "00" when none
  }
};

TEST_F(GenreListingTest, FollowsLinksAndTheListedColumnsOfBooks) {
  EXPECT_EQ(Listed(), "1,10,Война миров.fb2,100|1,11,Машина времени.fb2,200|2,11,Машина времени.fb2,200");
  // A second "Война миров" is listed under its key; renaming the first gives
  // it the plain name, in every genre it is linked to.
  Run("INSERT INTO Books (BookId, Title, fSize) VALUES (12, \"Война миров\", 300)");
  Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (12, 1), (12, 2)");
  EXPECT_EQ(Rows("SELECT FileName FROM GenreListing WHERE BookId = 12"),
            "Война миров [12].fb2|Война миров [12].fb2");
  Run("UPDATE Books SET Title = \"Первые люди на Луне\" WHERE BookId = 10");
  EXPECT_EQ(Rows("SELECT FileName FROM GenreListing WHERE BookId IN (10, 12) ORDER BY BookId"),
            "Первые люди на Луне.fb2|Война миров.fb2|Война миров.fb2");
  Run("UPDATE Books SET fSize = 150, fDate = \"2021-01-01 00:00:00\" WHERE BookId = 11");
  EXPECT_EQ(Rows("SELECT fSize, fDate FROM GenreListing WHERE BookId = 11"),
            "150,2021-01-01 00:00:00|150,2021-01-01 00:00:00");
  EXPECT_EQ(Drift(), "00");
  // Links removed, changed, and removed with their book or genre.
  Run("DELETE FROM BookGenres WHERE BookId = 11 AND GenreId = 2");
  Run("UPDATE BookGenres SET GenreId = 2 WHERE BookId = 10");
  EXPECT_EQ(Listed(),
            "1,11,Машина времени.fb2,150|1,12,Война миров.fb2,300|2,10,Первые люди на Луне.fb2,100|"
            "2,12,Война миров.fb2,300");
  Run("DELETE FROM Books WHERE BookId = 12");
  Run("DELETE FROM Genres WHERE GenreId = 1");
  EXPECT_EQ(Listed(), "2,10,Первые люди на Луне.fb2,100");
  EXPECT_EQ(Drift(), "00");
}

TEST_F(GenreListingTest, ABatchAndABulkInsertListTheirBooksAtTheirEnd) {
  // A batch of the plugin's import: new books' links are listed at its
  // commit, a link of an earlier book at once.
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->DeferSearchIndexing().ok());
  Run("INSERT INTO Books (BookId, Title, fSize) VALUES (20, \"Остров доктора Моро\", 400)");
  Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (20, 2), (10, 2)");
  EXPECT_EQ(Rows("SELECT BookId FROM GenreListing WHERE GenreId = 2 ORDER BY BookId"), "10|11");
  ASSERT_TRUE(db_->Commit().ok());
  EXPECT_EQ(Rows("SELECT BookId FROM GenreListing WHERE GenreId = 2 ORDER BY BookId"), "10|11|20");
  // A bulk insert: names are computed at its end, and listed as computed.
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->BeginBulkBookInsert().ok());
  Run("INSERT INTO Books (BookId, Title, fSize) VALUES (30, \"Война миров\", 10), (31, Null, 20)");
  Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (30, 1), (31, 1)");
  ASSERT_TRUE(db_->Commit().ok());
  EXPECT_EQ(Rows("SELECT FileName FROM GenreListing WHERE BookId >= 30 ORDER BY BookId"),
            "Война миров [30].fb2|Без названия [31].fb2");
  // A batch rolled back leaves no row.
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->DeferSearchIndexing().ok());
  Run("INSERT INTO Books (BookId, Title) VALUES (40, \"Детство\")");
  Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (40, 1)");
  ASSERT_TRUE(db_->Rollback().ok());
  EXPECT_EQ(Rows("SELECT count(*) FROM GenreListing WHERE BookId = 40"), "0");
  EXPECT_EQ(Drift(), "00");
}

// Makes the catalog at path one of the version before the genre listing.
void MakeVersionBefore(const std::string& path) {
  Result<SqliteConnectionHandle> raw = OpenSqliteConnection(path, SQLITE_OPEN_READWRITE);
  ASSERT_TRUE(raw.ok());
  const char* old_version =
      "DROP TRIGGER GenreListingOnLink; DROP TRIGGER GenreListingOnUnlink; "
      "DROP TRIGGER GenreListingOnRelink; DROP TRIGGER GenreListingOnBookChange; "
      "DROP TABLE GenreListing; PRAGMA user_version = 4;";
  ASSERT_EQ(sqlite3_exec(raw->get(), old_version, nullptr, nullptr, nullptr), SQLITE_OK);
}

TEST_F(GenreListingTest, ACatalogOfTheVersionBeforeGetsItFilledWhenOpened) {
  db_.reset();
  recording_.reset();
  MakeVersionBefore(path_);
  auto db = OpenCatalog("Provider=SQLite; Data Source=" + path_ + "; Persist Security Info=False");
  ASSERT_TRUE(db.ok()) << db.message();
  db_ = std::move(db).value();
  EXPECT_EQ(Rows("SELECT user_version FROM pragma_user_version"), std::to_string(kCatalogVersion));
  EXPECT_EQ(Listed(), "1,10,Война миров.fb2,100|1,11,Машина времени.fb2,200|2,11,Машина времени.fb2,200");
  Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (10, 2)");
  EXPECT_EQ(Drift(), "00");
}

TEST_F(GenreListingTest, AReadOnlyCatalogOfTheVersionBeforeListsThroughAView) {
  db_.reset();
  recording_.reset();
  MakeVersionBefore(path_);
  auto db = OpenSqliteDatabase(path_, /*read_only=*/true);
  ASSERT_TRUE(db.ok()) << db.message();
  db_ = std::move(db).value();
  EXPECT_EQ(Rows("SELECT user_version FROM pragma_user_version"), "4");
  EXPECT_EQ(Listed(), "1,10,Война миров.fb2,100|1,11,Машина времени.fb2,200|2,11,Машина времени.fb2,200");
}

}  // namespace
}  // namespace tomeva::catalog
