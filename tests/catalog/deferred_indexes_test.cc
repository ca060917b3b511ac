// A bulk insert of books into a catalog without books sets the indexes of the
// book and link tables aside and builds them at its commit: every index comes
// back exactly as it was, names and keys are computed as row by row, another
// connection never sees an index missing, and a rollback puts everything back.
#include "catalog/deferred_indexes.h"

#include <gtest/gtest.h>

#include <string>

#include "catalog/sqlite_database.h"
#include "catalog_fixture.h"

namespace tomeva::catalog {
namespace {

class DeferredIndexesTest : public CatalogTest {
 protected:
  // Every index of the book and link tables with the statement that made it.
  std::string BookIndexes() {
    return Rows("SELECT name & \": \" & Nz(sql, \"\") FROM sqlite_schema WHERE type = \"index\" "
                "AND tbl_name IN (\"Books\", \"BookAuthors\", \"BookGenres\") ORDER BY name");
  }

  // Column 0 of the first row of sql through a connection of its own.
  std::string OtherConnectionSays(const char* sql) {
    Result<SqliteConnectionHandle> other = OpenSqliteConnection(path_, SQLITE_OPEN_READONLY);
    if (!other.ok()) return other.message();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(other->get(), sql, -1, &raw, nullptr) != SQLITE_OK) {
      sqlite3_finalize(raw);
      return sqlite3_errmsg(other->get());
    }
    SqliteStatementHandle statement(raw);
    if (sqlite3_step(raw) != SQLITE_ROW) return "no row";
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    return text != nullptr ? text : "NULL";
  }

  // A few books, two of them with one title, with authors and genres.
  void InsertBooks() {
    Run("INSERT INTO Genres (GenreId, Code) VALUES (1, \"sf\")");
    Run("INSERT INTO Authors (AuthorId, Last, First) VALUES (1, \"Уэллс\", \"Герберт\")");
    Run("INSERT INTO Books (BookId, Title, fSize, Year) VALUES (1, \"Война миров\", 10, 1898), "
        "(2, \"ВОЙНА МИРОВ\", 20, 1898), (3, \"Машина времени\", 30, 1895)");
    Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (1, 1), (2, 1), (3, 1)");
    Run("INSERT INTO BookGenres (BookId, GenreId) VALUES (1, 1), (2, 1), (3, 1)");
  }
};

TEST_F(DeferredIndexesTest, ABulkInsertIntoAnEmptyCatalogBuildsItsIndexesAtTheCommit) {
  const std::string before = BookIndexes();
  ASSERT_NE(before.find("BooksByTitleKey"), std::string::npos);
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->BeginBulkBookInsert().ok());
  // Set aside inside the transaction; the unique ones stay.
  const std::string during = BookIndexes();
  EXPECT_EQ(during.find("BooksByTitleKey"), std::string::npos) << during;
  EXPECT_EQ(during.find("BookAuthorsByAuthor"), std::string::npos) << during;
  EXPECT_NE(during.find("BooksByCollectionLibId"), std::string::npos) << during;
  EXPECT_NE(during.find("sqlite_autoindex_BookAuthors_1"), std::string::npos) << during;
  // Another connection reads the catalog as it was before the transaction.
  EXPECT_EQ(OtherConnectionSays("SELECT count(*) FROM sqlite_schema WHERE name = 'BooksByTitleKey'"),
            "1");
  InsertBooks();
  ASSERT_TRUE(db_->Commit().ok());
  EXPECT_EQ(BookIndexes(), before);
  EXPECT_EQ(OtherConnectionSays("PRAGMA integrity_check"), "ok");
  // Keys and names as the insert trigger gives them: the second book of a
  // title is told apart by its key.
  EXPECT_EQ(Rows("SELECT FileName FROM Books ORDER BY BookId"),
            "Война миров.fb2|ВОЙНА МИРОВ [2].fb2|Машина времени.fb2");
  EXPECT_EQ(Rows("SELECT count(*) FROM GenreListing"), "3");
  // The next insert goes through the trigger and the indexes again.
  Run("INSERT INTO Books (BookId, Title) VALUES (4, \"Война миров\")");
  EXPECT_EQ(Rows("SELECT FileName FROM Books WHERE BookId = 4"), "Война миров [4].fb2");
  EXPECT_EQ(OtherConnectionSays("SELECT group_concat(BookId) FROM Books INDEXED BY "
                                "BooksByTitleKey WHERE TitleKey = 'война миров'"),
            "1,2,4");
}

TEST_F(DeferredIndexesTest, ARolledBackBulkInsertPutsEveryIndexBack) {
  const std::string before = BookIndexes();
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->BeginBulkBookInsert().ok());
  InsertBooks();
  ASSERT_TRUE(db_->Rollback().ok());
  EXPECT_EQ(BookIndexes(), before);
  EXPECT_EQ(Rows("SELECT count(*) FROM Books"), "0");
  EXPECT_EQ(OtherConnectionSays("PRAGMA integrity_check"), "ok");
}

TEST_F(DeferredIndexesTest, ABulkInsertIntoACatalogWithBooksKeepsItsIndexes) {
  Run("INSERT INTO Books (BookId, Title) VALUES (1, \"Детство\")");
  const std::string before = BookIndexes();
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->BeginBulkBookInsert().ok());
  EXPECT_EQ(BookIndexes(), before);
  Run("INSERT INTO Books (BookId, Title) VALUES (2, \"детство\")");
  ASSERT_TRUE(db_->Commit().ok());
  EXPECT_EQ(BookIndexes(), before);
  EXPECT_EQ(Rows("SELECT FileName FROM Books WHERE BookId = 2"), "детство [2].fb2");
}

}  // namespace
}  // namespace tomeva::catalog
