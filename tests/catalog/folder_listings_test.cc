// The listing tables of a real catalog: how they follow every change of a
// book's links and listed columns and of an author's name, a batch or bulk
// insert that lists its books at its end, the upgrade of an older catalog,
// and a read-only older catalog that lists through views.
#include "catalog/folder_listings.h"

#include <gtest/gtest.h>

#include <string>

#include "catalog/catalog_keys.h"
#include "catalog/sqlite_database.h"
#include "catalog_fixture.h"

namespace tomeva::catalog {
namespace {

class FolderListingsTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    Run("INSERT INTO Genres (GenreId, Code, Name) VALUES (1, \"sf\", \"Фантастика\"), "
        "(2, \"poetry\", \"Поэзия\")");
    Run("INSERT INTO Books (BookId, Title, fSize, fDate) VALUES "
        "(10, \"Война миров\", 100, \"2020-01-02 03:04:05\"), (11, \"Машина времени\", 200, Null)");
    Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (10, 1), (11, 1), (11, 2)");
    Run("INSERT INTO Authors (AuthorId, Last, First) VALUES (1, \"Уэллс\", \"Герберт\"), "
        "(2, \"Толстой\", \"Лев\"), (3, \"Wells\", \"Herbert\")");
    Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (10, 1), (11, 1), (11, 3)");
  }

  // The author listing's rows: letter, shown name, key.
  std::string Authors() {
    return Rows("SELECT Letter, FolderName, AuthorId FROM AuthorListing ORDER BY Letter, FolderName");
  }

  // The listing's rows: genre, book, listed name, size.
  std::string Listed() {
    return Rows("SELECT GenreId, BookId, FileName, fSize FROM GenreListing ORDER BY GenreId, BookId");
  }

  // Rows of the listings that differ from what the links, books and authors
  // give, both ways: "0000" when none.
  std::string Drift() {
    const std::string genre_links =
        "SELECT BookGenres.GenreId, Books.BookId, Books.FileName, Books.fSize, Books.fDate FROM "
        "BookGenres INNER JOIN Books ON Books.BookId = BookGenres.BookId";
    const std::string genres_listed =
        "SELECT GenreId, BookId, FileName, fSize, fDate FROM GenreListing";
    const std::string authors_with_books =
        "SELECT Letter, FolderName, AuthorId FROM Authors WHERE Letter IS NOT NULL AND "
        "FolderName IS NOT NULL AND EXISTS (SELECT 1 FROM BookAuthors WHERE "
        "BookAuthors.AuthorId = Authors.AuthorId)";
    const std::string authors_listed = "SELECT Letter, FolderName, AuthorId FROM AuthorListing";
    Result<SqliteConnectionHandle> raw = OpenSqliteConnection(path_, SQLITE_OPEN_READONLY);
    if (!raw.ok()) return "cannot open: " + raw.message();
    std::string out;
    for (const auto& [a, b] : {std::pair{genres_listed, genre_links}, {genre_links, genres_listed},
                               {authors_listed, authors_with_books},
                               {authors_with_books, authors_listed}}) {
      sqlite3_stmt* stmt = nullptr;
      const std::string sql = "SELECT count(*) FROM (" + a + " EXCEPT " + b + ")";
      if (sqlite3_prepare_v2(raw->get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        return sqlite3_errmsg(raw->get());
      }
      SqliteStatementHandle statement(stmt);
      if (sqlite3_step(stmt) == SQLITE_ROW) out += std::to_string(sqlite3_column_int(stmt, 0));
    }
    return out;
  }
};

TEST_F(FolderListingsTest, FollowsLinksAndTheListedColumnsOfBooks) {
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
  EXPECT_EQ(Drift(), "0000");
  // Links removed, changed, and removed with their book or genre.
  Run("DELETE FROM BookGenres WHERE BookId = 11 AND GenreId = 2");
  Run("UPDATE BookGenres SET GenreId = 2 WHERE BookId = 10");
  EXPECT_EQ(Listed(),
            "1,11,Машина времени.fb2,150|1,12,Война миров.fb2,300|2,10,Первые люди на Луне.fb2,100|"
            "2,12,Война миров.fb2,300");
  Run("DELETE FROM Books WHERE BookId = 12");
  Run("DELETE FROM Genres WHERE GenreId = 1");
  EXPECT_EQ(Listed(), "2,10,Первые люди на Луне.fb2,100");
  EXPECT_EQ(Drift(), "0000");
}

TEST_F(FolderListingsTest, ListsTheAuthorsThatHaveBooksAsTheirNamesChange) {
  EXPECT_EQ(Authors(), "W,Wells Herbert,3|У,Уэллс Герберт,1");
  // Толстой has no book yet; his first link lists him.
  Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (10, 2)");
  EXPECT_EQ(Authors(), "W,Wells Herbert,3|Т,Толстой Лев,2|У,Уэллс Герберт,1");
  // A new name moves him to another letter; a new first name keeps the letter.
  Run("UPDATE Authors SET Last = \"Алексеев\" WHERE AuthorId = 2");
  Run("UPDATE Authors SET First = \"H. G.\" WHERE AuthorId = 3");
  EXPECT_EQ(Authors(), "W,Wells H. G.,3|А,Алексеев Лев,2|У,Уэллс Герберт,1");
  EXPECT_EQ(Drift(), "0000");
  // An author stays while a book of his is left, and goes with his last link,
  // his last book or himself.
  Run("DELETE FROM BookAuthors WHERE BookId = 10 AND AuthorId = 1");
  EXPECT_EQ(Authors(), "W,Wells H. G.,3|А,Алексеев Лев,2|У,Уэллс Герберт,1");
  Run("UPDATE BookAuthors SET AuthorId = 2 WHERE BookId = 11 AND AuthorId = 1");
  EXPECT_EQ(Authors(), "W,Wells H. G.,3|А,Алексеев Лев,2");
  Run("DELETE FROM Books WHERE BookId = 10");
  Run("DELETE FROM Authors WHERE AuthorId = 3");
  EXPECT_EQ(Authors(), "А,Алексеев Лев,2");
  Run("DELETE FROM Books WHERE BookId = 11");
  EXPECT_EQ(Authors(), "");
  EXPECT_EQ(Drift(), "0000");
}

TEST_F(FolderListingsTest, ABatchAndABulkInsertListTheirBooksAtTheirEnd) {
  // A batch of the plugin's import: new books' links are listed at its
  // commit, a link of an earlier book at once.
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->DeferSearchIndexing().ok());
  Run("INSERT INTO Books (BookId, Title, fSize) VALUES (20, \"Остров доктора Моро\", 400)");
  Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (20, 2), (10, 2)");
  Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (20, 2)");
  EXPECT_EQ(Rows("SELECT BookId FROM GenreListing WHERE GenreId = 2 ORDER BY BookId"), "10|11");
  ASSERT_TRUE(db_->Commit().ok());
  EXPECT_EQ(Rows("SELECT BookId FROM GenreListing WHERE GenreId = 2 ORDER BY BookId"), "10|11|20");
  EXPECT_EQ(Rows("SELECT count(*) FROM AuthorListing WHERE AuthorId = 2"), "1");
  // A bulk insert: names are computed at its end, and listed as computed.
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->BeginBulkBookInsert().ok());
  Run("INSERT INTO Books (BookId, Title, fSize) VALUES (30, \"Война миров\", 10), (31, Null, 20)");
  Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (30, 1), (31, 1)");
  Run("INSERT INTO Authors (AuthorId, Last) VALUES (4, \"Беляев\")");
  Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (30, 4)");
  ASSERT_TRUE(db_->Commit().ok());
  EXPECT_EQ(Rows("SELECT FolderName FROM AuthorListing WHERE AuthorId = 4"), "Беляев");
  EXPECT_EQ(Rows("SELECT FileName FROM GenreListing WHERE BookId >= 30 ORDER BY BookId"),
            "Война миров [30].fb2|Без названия [31].fb2");
  // A batch rolled back leaves no row.
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->DeferSearchIndexing().ok());
  Run("INSERT INTO Books (BookId, Title) VALUES (40, \"Детство\")");
  Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (40, 1)");
  ASSERT_TRUE(db_->Rollback().ok());
  EXPECT_EQ(Rows("SELECT count(*) FROM GenreListing WHERE BookId = 40"), "0");
  EXPECT_EQ(Drift(), "0000");
}

// What makes a catalog one of the version before the listing tables.
constexpr char kVersionBefore[] =
    "DROP TRIGGER GenreListingOnLink; DROP TRIGGER GenreListingOnUnlink; "
    "DROP TRIGGER GenreListingOnRelink; DROP TRIGGER GenreListingOnBookChange; "
    "DROP TRIGGER AuthorListingOnLink; DROP TRIGGER AuthorListingOnUnlink; "
    "DROP TRIGGER AuthorListingOnRelink; DROP TRIGGER AuthorListingOnRename; "
    "DROP TRIGGER AuthorListingOnAuthorDelete; "
    "DROP TABLE GenreListing; DROP TABLE AuthorListing; PRAGMA user_version = 4;";

TEST_F(FolderListingsTest, ACatalogOfTheVersionBeforeGetsItFilledWhenOpened) {
  RewriteCatalog(kVersionBefore);
  Reopen();
  EXPECT_EQ(Rows("SELECT user_version FROM pragma_user_version"), std::to_string(kCatalogVersion));
  EXPECT_EQ(Listed(), "1,10,Война миров.fb2,100|1,11,Машина времени.fb2,200|2,11,Машина времени.fb2,200");
  EXPECT_EQ(Authors(), "W,Wells Herbert,3|У,Уэллс Герберт,1");
  Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (10, 2)");
  Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (10, 2)");
  EXPECT_EQ(Drift(), "0000");
}

TEST_F(FolderListingsTest, ACatalogWithTheGenreListingOnlyGetsTheAuthorListingAndTitleIndex) {
  RewriteCatalog(
      "DROP TRIGGER AuthorListingOnLink; DROP TRIGGER AuthorListingOnUnlink; "
      "DROP TRIGGER AuthorListingOnRelink; DROP TRIGGER AuthorListingOnRename; "
      "DROP TRIGGER AuthorListingOnAuthorDelete; DROP TABLE AuthorListing; "
      "DROP INDEX BooksByTitleLetterListed; CREATE INDEX BooksByTitleLetter ON Books "
      "(TitleLetter); DELETE FROM GenreListing WHERE BookId = 10; PRAGMA user_version = 5;");
  Reopen();
  EXPECT_EQ(Rows("SELECT user_version FROM pragma_user_version"), std::to_string(kCatalogVersion));
  EXPECT_EQ(Authors(), "W,Wells Herbert,3|У,Уэллс Герберт,1");
  EXPECT_EQ(Rows("SELECT name FROM sqlite_master WHERE name LIKE \"BooksByTitleLetter*\""),
            "BooksByTitleLetterListed");
  // The genre listing was not filled again (the row taken out stays out).
  EXPECT_EQ(Rows("SELECT count(*) FROM GenreListing WHERE BookId = 10"), "0");
}

TEST_F(FolderListingsTest, AReadOnlyCatalogOfTheVersionBeforeListsThroughAView) {
  RewriteCatalog(kVersionBefore);
  auto db = OpenSqliteDatabase(path_, /*read_only=*/true);
  ASSERT_TRUE(db.ok()) << db.message();
  db_ = std::move(db).value();
  EXPECT_EQ(Rows("SELECT user_version FROM pragma_user_version"), "4");
  EXPECT_EQ(Listed(), "1,10,Война миров.fb2,100|1,11,Машина времени.fb2,200|2,11,Машина времени.fb2,200");
  EXPECT_EQ(Authors(), "W,Wells Herbert,3|У,Уэллс Герберт,1");
}

}  // namespace
}  // namespace tomeva::catalog
