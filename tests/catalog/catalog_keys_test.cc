// The computed columns of the default catalog on a real catalog: shown names
// stay unique and follow every insert, retitle and deletion; folded keys find
// rows ignoring Cyrillic letter case; a read-only catalog of an earlier version
// is still read correctly.
#include "catalog/catalog_keys.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "catalog/jet_functions.h"
#include "catalog/sqlite_database.h"
#include "catalog/statements.h"
#include "catalog_fixture.h"
#include "common/shown_text.h"

namespace tomeva::catalog {
namespace {

using CatalogKeysTest = CatalogTest;

TEST(ShownNameWithKeyTest, KeysNamesThatAreForcedCutOrLookKeyed) {
  EXPECT_EQ(ShownNameWithKey("Title", "5", false, 80, ".fb2", 240), "Title.fb2");
  EXPECT_EQ(ShownNameWithKey("Title", "5", true, 80, ".fb2", 240), "Title [5].fb2");
  EXPECT_EQ(ShownNameWithKey("Dup [12]", "5", false, 80, ".fb2", 240), "Dup [12] [5].fb2");
  EXPECT_EQ(ShownNameWithKey("Dup [x]", "5", false, 80, ".fb2", 240), "Dup [x].fb2");
  EXPECT_EQ(ShownNameWithKey("[12]", "5", false, 80, "", 240), "[12]");
  const std::string long_title(100, 'a');
  EXPECT_EQ(ShownNameWithKey(long_title, "7", false, 80, ".fb2", 240),
            std::string(80, 'a') + " [7].fb2");
  // Characters of four bytes: cut further until the shown name fits the bytes.
  std::string emoji;
  for (int i = 0; i < 80; ++i) emoji += "\U0001F600";
  const std::string shown = ShownNameWithKey(emoji, "123", false, 80, ".fb2", 240);
  EXPECT_LE(shown.size(), 240u);
  EXPECT_EQ(shown.substr(shown.size() - 10), " [123].fb2");
  EXPECT_EQ((shown.size() - 10) % 4, 0u);
  // Slashes are shown three bytes long.
  const std::string slashes = ShownNameWithKey(std::string(200, '/'), "1", false, 255, "", 259);
  EXPECT_LE(ShownByteLength(slashes), 259u);
}

TEST_F(CatalogKeysTest, BookNamesFollowInsertsRetitlesAndDeletions) {
  Run("INSERT INTO Books (BookId, Title) VALUES (1, \"Ёлка\")");
  Run("INSERT INTO Books (BookId, Title, Compressed) VALUES (2, \"ёлка\", 1)");
  Run("INSERT INTO Books (BookId, Title) VALUES (3, Null)");
  EXPECT_EQ(Rows("SELECT FileName FROM Books ORDER BY BookId"),
            "Ёлка.fb2|ёлка [2].fb2.zip|Без названия [3].fb2");
  // A book inserted before the first of its title takes the plain name.
  Run("INSERT INTO Books (BookId, Title) VALUES (0, \"ЁЛКА\")");
  EXPECT_EQ(Rows("SELECT FileName FROM Books WHERE TitleKey = \"ёлка\" ORDER BY BookId"),
            "ЁЛКА.fb2|Ёлка [1].fb2|ёлка [2].fb2.zip");
  // Retitled away: the next book of the old title is plain again.
  Run("UPDATE Books SET Title = \"Ель\" WHERE BookId = 0");
  EXPECT_EQ(Rows("SELECT FileName FROM Books ORDER BY BookId"),
            "Ель.fb2|Ёлка.fb2|ёлка [2].fb2.zip|Без названия [3].fb2");
  // Retitled onto a later book's title: that book gets its key.
  Run("UPDATE Books SET Title = \"ель\" WHERE BookId = 1");
  Run("UPDATE Books SET Title = \"ЕЛЬ\", Compressed = 0 WHERE BookId = 2");
  EXPECT_EQ(Rows("SELECT FileName FROM Books ORDER BY BookId"),
            "Ель.fb2|ель [1].fb2|ЕЛЬ [2].fb2|Без названия [3].fb2");
  Run("DELETE FROM Books WHERE BookId = 0");
  EXPECT_EQ(Rows("SELECT FileName FROM Books ORDER BY BookId"),
            "ель.fb2|ЕЛЬ [2].fb2|Без названия [3].fb2");
  EXPECT_EQ(Rows("SELECT integrity_check FROM pragma_integrity_check"), "ok");
}

TEST_F(CatalogKeysTest, FoldedKeysFollowTheirColumnsAndFindRowsIgnoringCase) {
  Run("INSERT INTO Authors (AuthorId, Last, First) VALUES (1, \"Ёлкин\", \"Иван\")");
  Run("INSERT INTO Series (SeriesId, Name) VALUES (1, \"Ёлки\")");
  Run("INSERT INTO Genres (GenreId, Code) VALUES (1, \"Ёлочные\")");
  EXPECT_EQ(Rows("SELECT LastKey, FirstKey, FolderName FROM Authors"), "ёлкин,иван,Ёлкин Иван");
  EXPECT_EQ(Rows("SELECT NameKey, FolderName FROM Series"), "ёлки,Ёлки");
  EXPECT_EQ(Rows("SELECT CodeKey FROM Genres"), "ёлочные");
  Run("UPDATE Authors SET Last = \"Ершов\" WHERE AuthorId = 1");
  EXPECT_EQ(Rows("SELECT LastKey, FolderName FROM Authors"), "ершов,Ершов Иван");
  EXPECT_EQ(FindOrInsertRow(db(), "Series", "SeriesId", "Name=\"ЁЛКИ\"", FindMode::kFindOnly), 1);
  EXPECT_EQ(FindOrInsertRow(db(), "Genres", "GenreId", "Code=\"ёлочные\"", FindMode::kFindOnly), 1);
  EXPECT_EQ(FoldedKeyColumn("authors", "LAST"), "LastKey");
  EXPECT_EQ(FoldedKeyColumn("Authors", "FullName"), std::nullopt);
  EXPECT_TRUE(IsComputedColumn("Books", "FileName"));
  EXPECT_FALSE(IsComputedColumn("Books", "Title"));
}

TEST_F(CatalogKeysTest, AReadOnlyCatalogOfAnEarlierVersionIsReadInItsOwnOrder) {
  db_.reset();
  recording_.reset();
  {
    // An earlier version's catalog: no computed columns' version, an index
    // ordered with Cyrillic letters folded.
    Result<SqliteConnectionHandle> raw = OpenSqliteConnection(path_, SQLITE_OPEN_READWRITE);
    ASSERT_TRUE(raw.ok());
    ASSERT_TRUE(UseLegacyNoCase(raw->get()).ok());
    ASSERT_EQ(sqlite3_exec(raw->get(),
                           "CREATE TABLE Old (Name TEXT COLLATE NOCASE);"
                           "CREATE INDEX OldByName ON Old (Name);"
                           "INSERT INTO Old VALUES ('ёж'), ('Ёлка'), ('Ель'), ('абв'), ('Ёрш');"
                           "PRAGMA user_version = 0;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
  }
  Result<SqliteConnectionHandle> read_only = OpenSqliteConnection(path_, SQLITE_OPEN_READONLY);
  ASSERT_TRUE(read_only.ok());
  sqlite3* db = read_only->get();
  ASSERT_TRUE(RegisterJetFunctions(db).ok());
  ASSERT_TRUE(PrepareCatalogKeys(db).ok());
  EXPECT_EQ(CatalogVersion(db), 0);
  // Found through the index written in the old order, whatever the case.
  for (const char* name : {"Ёлка", "ёЖ", "ЁРШ", "Ель"}) {
    sqlite3_stmt* raw = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM Old INDEXED BY OldByName WHERE Name = ?",
                                 -1, &raw, nullptr),
              SQLITE_OK);
    SqliteStatementHandle statement(raw);
    sqlite3_bind_text(raw, 1, name, -1, SQLITE_STATIC);
    ASSERT_EQ(sqlite3_step(raw), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(raw, 0), 1) << name;
  }
  EXPECT_EQ(sqlite3_exec(db, "PRAGMA integrity_check", nullptr, nullptr, nullptr), SQLITE_OK);
}

TEST_F(CatalogKeysTest, AWritableCatalogOfAnEarlierVersionIsUpgradedOnceWhenOpened) {
  db_.reset();
  recording_.reset();
  {
    Result<SqliteConnectionHandle> raw = OpenSqliteConnection(path_, SQLITE_OPEN_READWRITE);
    ASSERT_TRUE(raw.ok());
    ASSERT_EQ(sqlite3_exec(raw->get(),
                           "DROP INDEX BooksByFileName; DROP TRIGGER BooksComputedOnInsert;"
                           "PRAGMA user_version = 0;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
  }
  auto db = OpenCatalog("Provider=SQLite; Data Source=" + path_ + "; Persist Security Info=False");
  ASSERT_TRUE(db.ok()) << db.message();
  db_ = std::move(db).value();
  EXPECT_EQ(Rows("SELECT user_version FROM pragma_user_version"), std::to_string(kCatalogVersion));
  EXPECT_EQ(Rows("SELECT count(*) FROM sqlite_master WHERE name IN (\"BooksByFileName\", "
                 "\"BooksComputedOnInsert\")"),
            "2");
  Run("INSERT INTO Books (BookId, Title) VALUES (1, \"Ёж\")");
  EXPECT_EQ(Rows("SELECT FileName FROM Books"), "Ёж.fb2");
}

TEST(CatalogKeysUpgradeTest, TheOldestBookTableGetsCompressedAndItsShownNames) {
  testing::TempDir dir;
  const std::string path = dir.Path("old.sqlite");
  ASSERT_TRUE(CreateCatalogFile(path, "CREATE TABLE Books (BookId INTEGER PRIMARY KEY, Title TEXT);")
                  .ok());
  auto db = OpenCatalog("Provider=SQLite; Data Source=" + path + "; Persist Security Info=False");
  ASSERT_TRUE(db.ok()) << db.message();
  ASSERT_TRUE((*db)->Execute("INSERT INTO Books (Title, Compressed) VALUES (\"Ода\", 1)").ok());
  auto set = (*db)->Query("SELECT FileName FROM Books");
  ASSERT_TRUE(set.ok()) << set.message();
  EXPECT_EQ((*set)->Text(0), "Ода.fb2.zip");
}

}  // namespace
}  // namespace tomeva::catalog
