// The search index of a real catalog: what a search finds (word beginnings,
// letter case, "ё", any order of names), how the index follows every change of
// a book, its authors and its series, a bulk insert, the upgrade of an older
// catalog, and search text that tries to be a query of its own.
#include "catalog/search_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalog/catalog_keys.h"
#include "catalog/sqlite_database.h"
#include "catalog_fixture.h"

namespace tomeva::catalog {
namespace {

using Keys = std::vector<int64_t>;

class SearchIndexTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    Run("INSERT INTO Authors (AuthorId, Last, First, Middle) VALUES (1, \"Толстой\", \"Лев\", "
        "\"Николаевич\"), (2, \"Wells\", \"Herbert\", Null), (3, \"Ёлкин\", \"Пётр\", Null)");
    Run("INSERT INTO Series (SeriesId, Name) VALUES (1, \"Войны миров\")");
    Run("INSERT INTO Books (BookId, Title, SeriesId) VALUES (10, \"Война и мир\", Null), "
        "(11, \"The War of the Worlds\", 1), (12, \"Ёлочные игрушки\", Null), "
        "(13, \"Анна Каренина\", Null)");
    Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (10, 1), (11, 2), (12, 3), (13, 1)");
  }

  // The index's own check (its words are those of its rows) and SQLite's, on
  // a connection of the catalog file of its own.
  void ExpectIndexMatchesBooks() {
    Result<SqliteConnectionHandle> raw = OpenSqliteConnection(path_, SQLITE_OPEN_READWRITE);
    ASSERT_TRUE(raw.ok());
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(raw->get(),
                           "INSERT INTO BookSearch (BookSearch) VALUES ('integrity-check')",
                           nullptr, nullptr, &message),
              SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw->get(), "PRAGMA integrity_check", -1, &check, nullptr),
              SQLITE_OK);
    SqliteStatementHandle statement(check);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
  }

  Keys Search(std::string_view text) {
    Result<Keys> keys = db_->SearchBooks(text, 100, 0);
    EXPECT_TRUE(keys.ok()) << keys.message() << " searching " << text;
    if (!keys.ok()) return {};
    Keys sorted = *keys;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
  }
};

// The query of text, built on a connection of its own.
std::string Query(std::string_view text) {
  sqlite3* raw = nullptr;
  EXPECT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  SqliteConnectionHandle db(raw);
  Result<std::string> query = BuildSearchQuery(raw, text);
  EXPECT_TRUE(query.ok()) << query.message();
  return query.ok() ? *query : "";
}

TEST(BuildSearchQueryTest, EveryWordIsAQuotedPrefixWithoutOperatorsOfItsOwn) {
  EXPECT_EQ(Query("Толстой ЛЕВ"), "\"толстой\"* AND \"лев\"*");
  EXPECT_EQ(Query("Ёлка"), "\"елка\"*");
  EXPECT_EQ(Query("  "), "");
  EXPECT_EQ(Query("\"*-()^:+"), "");
  // Operators and syntax are words or separators, never operators.
  EXPECT_EQ(Query("a NEAR(b c) OR -d \"e\"*"),
            "\"a\"* AND \"near\"* AND \"b\"* AND \"c\"* AND \"or\"* AND \"d\"* AND \"e\"*");
  EXPECT_EQ(Query(std::string("war\0peace", 9)), "\"war\"* AND \"peace\"*");
  // Punctuation alone is no word (as a word it would match nothing at all).
  EXPECT_EQ(Query("« война — мир »"), "\"война\"* AND \"мир\"*");
  // Bounded whatever the length of the text.
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "word" + std::to_string(i) + " ";
  size_t words = 0;
  const std::string query = Query(many);
  for (size_t at = query.find("*"); at != std::string::npos; at = query.find("*", at + 1)) ++words;
  EXPECT_EQ(words, kMaxSearchWords);
  EXPECT_EQ(Query(std::string(10000, 'z')), "\"" + std::string(kMaxSearchWordBytes, 'z') + "\"*");
  // A long Cyrillic word is cut between letters, never inside one.
  std::string cyrillic;
  for (int i = 0; i < 100; ++i) cyrillic += "ж";
  EXPECT_EQ(Query(cyrillic).size(), 2 + kMaxSearchWordBytes + 1);
}

TEST_F(SearchIndexTest, FindsWordBeginningsIgnoringLetterCaseInCyrillicAndLatin) {
  EXPECT_EQ(Search("ВОЙН"), (Keys{10, 11}));  // a title, and a series name
  EXPECT_EQ(Search("war"), (Keys{11}));
  EXPECT_EQ(Search("WoRlDs wAr"), (Keys{11}));
  EXPECT_EQ(Search("каренина"), (Keys{13}));
  EXPECT_EQ(Search("аренина"), (Keys{}));  // inside a word is not a beginning
  EXPECT_EQ(Search("Wells war"), (Keys{11}));
  EXPECT_EQ(Search("Wells анна"), (Keys{}));  // every word must match
}

TEST_F(SearchIndexTest, YoAndYeAreTheSameLetter) {
  EXPECT_EQ(Search("елочные"), (Keys{12}));
  EXPECT_EQ(Search("ЁЛОЧН"), (Keys{12}));
  EXPECT_EQ(Search("петр елкин"), (Keys{12}));
  EXPECT_EQ(Search("пётр"), (Keys{12}));
}

TEST_F(SearchIndexTest, AuthorNamesMatchInAnyOrder) {
  EXPECT_EQ(Search("толстой лев"), (Keys{10, 13}));
  EXPECT_EQ(Search("Лев Толстой"), (Keys{10, 13}));
  EXPECT_EQ(Search("николаевич толстой анна"), (Keys{13}));
  EXPECT_EQ(Search("herbert wells"), (Keys{11}));
}

TEST_F(SearchIndexTest, ATitleMatchRanksBeforeAnAuthorMatch) {
  Run("INSERT INTO Authors (AuthorId, Last) VALUES (4, \"Мирон\")");
  Run("INSERT INTO Books (BookId, Title) VALUES (14, \"Сказки\")");
  Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (14, 4)");
  Result<Keys> keys = db_->SearchBooks("мир", 10, 0);
  ASSERT_TRUE(keys.ok()) << keys.message();
  // The title, the author's name, the series name ("Войны миров").
  EXPECT_EQ(*keys, (Keys{10, 14, 11}));
  // Pages of the ranked list.
  EXPECT_EQ(*db_->SearchBooks("мир", 1, 1), (Keys{14}));
  EXPECT_EQ(*db_->SearchBooks("мир", 10, 3), (Keys{}));
}

TEST_F(SearchIndexTest, IndexFollowsRetitlesAuthorsSeriesAndDeletions) {
  Run("UPDATE Books SET Title = \"Воскресение\" WHERE BookId = 10");
  EXPECT_EQ(Search("война"), (Keys{}));
  EXPECT_EQ(Search("воскрес"), (Keys{10}));
  // An author linked, unlinked, renamed.
  Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (12, 2)");
  EXPECT_EQ(Search("wells"), (Keys{11, 12}));
  Run("DELETE FROM BookAuthors WHERE BookId = 11 AND AuthorId = 2");
  EXPECT_EQ(Search("wells"), (Keys{12}));
  Run("UPDATE Authors SET Last = \"Уэллс\" WHERE AuthorId = 2");
  EXPECT_EQ(Search("wells"), (Keys{}));
  EXPECT_EQ(Search("уэллс герберт"), (Keys{}));  // First stays Herbert
  EXPECT_EQ(Search("уэллс herbert"), (Keys{12}));
  // A series renamed, a book moved out of its series.
  Run("UPDATE Series SET Name = \"Марсиане\" WHERE SeriesId = 1");
  EXPECT_EQ(Search("марсиане"), (Keys{11}));
  Run("UPDATE Books SET SeriesId = Null WHERE BookId = 11");
  EXPECT_EQ(Search("марсиане"), (Keys{}));
  // A deleted book is gone from the index, with its authors' links.
  Run("DELETE FROM Books WHERE BookId = 13");
  EXPECT_EQ(Search("каренина"), (Keys{}));
  EXPECT_EQ(Search("толстой"), (Keys{10}));
  EXPECT_EQ(Rows("SELECT count(*) FROM Books"), "3");
  EXPECT_EQ(Rows("SELECT count(*) FROM BookSearch"), "3");
  ExpectIndexMatchesBooks();
}

TEST_F(SearchIndexTest, ABulkInsertIndexesItsBooksOnceAtTheEnd) {
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->BeginBulkBookInsert().ok());
  Run("INSERT INTO Books (BookId, Title) VALUES (20, \"Хаджи-Мурат\"), (21, \"Детство\")");
  Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (20, 1), (21, 1), (12, 1)");
  // A new book changed after its insert is indexed once all the same.
  Run("UPDATE Books SET SeriesId = 1 WHERE BookId = 21");
  ASSERT_TRUE(db_->EndBulkBookInsert().ok());
  ASSERT_TRUE(db_->Commit().ok());
  EXPECT_EQ(Search("хаджи толстой"), (Keys{20}));
  EXPECT_EQ(Search("детство войны"), (Keys{21}));
  // An earlier book given an author during the batch is indexed at once.
  EXPECT_EQ(Search("ёлочные толстой"), (Keys{12}));
  EXPECT_EQ(Rows("SELECT count(*) FROM BookSearch"), "6");
  // The triggers are back: a later insert is indexed by itself.
  Run("INSERT INTO Books (BookId, Title) VALUES (22, \"Отрочество\")");
  EXPECT_EQ(Search("отрочество"), (Keys{22}));
}

TEST_F(SearchIndexTest, ARolledBackBulkInsertLeavesTheIndexAndTriggersAsTheyWere) {
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->BeginBulkBookInsert().ok());
  Run("INSERT INTO Books (BookId, Title) VALUES (20, \"Хаджи-Мурат\")");
  ASSERT_TRUE(db_->Rollback().ok());
  EXPECT_EQ(Search("хаджи"), (Keys{}));
  Run("INSERT INTO Books (BookId, Title) VALUES (20, \"Хаджи-Мурат\")");
  EXPECT_EQ(Search("хаджи"), (Keys{20}));
}

TEST_F(SearchIndexTest, DeferredIndexingIndexesOnceAtCommitAndNeverChangesTheSchema) {
  const std::string schema = Rows("SELECT schema_version FROM pragma_schema_version");
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->DeferSearchIndexing().ok());
  Run("INSERT INTO Books (BookId, Title) VALUES (20, \"Хаджи-Мурат\")");
  Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (20, 1), (12, 1)");
  // Not indexed yet: the new book waits for the commit; an earlier book given
  // an author is indexed at once.
  EXPECT_EQ(Search("хаджи"), (Keys{}));
  EXPECT_EQ(Search("ёлочные толстой"), (Keys{12}));
  ASSERT_TRUE(db_->Commit().ok());
  EXPECT_EQ(Search("хаджи толстой"), (Keys{20}));
  EXPECT_EQ(Rows("SELECT count(*) FROM BookSearchPause"), "0");
  // A deferral rolled back leaves nothing either.
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->DeferSearchIndexing().ok());
  Run("INSERT INTO Books (BookId, Title) VALUES (21, \"Детство\")");
  ASSERT_TRUE(db_->Rollback().ok());
  EXPECT_EQ(Rows("SELECT count(*) FROM BookSearchPause"), "0");
  EXPECT_EQ(Rows("SELECT schema_version FROM pragma_schema_version"), schema);
  Run("INSERT INTO Books (BookId, Title) VALUES (21, \"Детство\")");
  EXPECT_EQ(Search("детство"), (Keys{21}));
  ExpectIndexMatchesBooks();
}

TEST_F(SearchIndexTest, ACatalogWithTheIndexOfTheVersionBeforeGetsTheNewTriggersWhenOpened) {
  // The triggers of that version index every book at once and there is no
  // table for a pause.
  RewriteCatalog(
      "DROP TABLE BookSearchPause; DROP TRIGGER BookSearchOnBookInsert; "
      "CREATE TRIGGER BookSearchOnBookInsert AFTER INSERT ON Books BEGIN "
      "DELETE FROM BookSearch WHERE rowid IN (NEW.BookId); END; PRAGMA user_version = 3;");
  Reopen();
  EXPECT_EQ(Rows("SELECT user_version FROM pragma_user_version"),
            std::to_string(kCatalogVersion));
  EXPECT_EQ(Rows("SELECT count(*) FROM sqlite_master WHERE name = 'BookSearchPause'"), "1");
  EXPECT_EQ(Rows("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name LIKE "
                 "'BookSearch*' AND sql LIKE \"*BookSearchPause*\""),
            "2");
  EXPECT_EQ(Search("лев толстой"), (Keys{10, 13}));
  Run("INSERT INTO Books (BookId, Title) VALUES (30, \"Севастопольские рассказы\")");
  EXPECT_EQ(Search("севастоп"), (Keys{30}));
  ExpectIndexMatchesBooks();
}

TEST_F(SearchIndexTest, HostileSearchTextNeverFailsNorFindsByOperators) {
  const std::vector<std::string> texts = {
      "\"",           "\"\"",         "*",          "война*",      "NEAR(война мир)",
      "война NOT мир", "-война",      "война OR мир", "(война",     ")",
      "^война",       "Title:война",  "{Title}: мир", "'; DROP TABLE Books; --", "AND",
      std::string("вой\0на", 11),   std::string(100000, 'x'),    "\xff\xfe\xd0",  "«»—…",
      "\t\r\n",       "",             "%_[]",        "a\"b\"c",
      // Bytes that are no UTF-8 beside a modifier letter: split one way whole
      // and another way word by word, they made a phrase the index refused.
      "\xc2\xab\xd0\x92\xd0(\xd0\xbd\xd0\xb0\xca\xbb\xe2\x80\x94\xd0\xbc\xd0\xb8\x80\xbc\xb8\xd1\xa6",
      "\xd0\xbc\xd0\xb8\x80\xbc\xb8\xd1\xa6", "\xd0\xbd\xd0\xb0\xca\xbb\xd0\xbc"};
  for (const std::string& text : texts) {
    Result<Keys> keys = db_->SearchBooks(text, 10, 0);
    EXPECT_TRUE(keys.ok()) << keys.message() << " for " << text;
    // Through the Jet function the folder listings use, too.
    auto rows = db_->Query("SELECT Books.BookId FROM Books WHERE BookMatches(Books.BookId, \"" +
                           [&] {
                             std::string quoted;
                             for (char c : text) {
                               if (c == '"') quoted += '"';
                               if (c != '\0') quoted += c;
                             }
                             return quoted;
                           }() +
                           "\")");
    EXPECT_TRUE(rows.ok()) << rows.message() << " for " << text;
  }
  // Operators are words: "NOT мир" does not exclude, it requires a word "not".
  EXPECT_EQ(Search("война NOT мир"), (Keys{}));
  EXPECT_EQ(Search("война*"), (Keys{10}));
  EXPECT_EQ(Search("-война"), (Keys{10}));
  EXPECT_EQ(Search("«Война» — мир"), (Keys{10}));
  EXPECT_EQ(Rows("SELECT count(*) FROM Books"), "4");
}

TEST_F(SearchIndexTest, ACatalogWithoutTheIndexGetsItFilledWhenOpened) {
  db_.reset();
  recording_.reset();
  {
    Result<SqliteConnectionHandle> raw = OpenSqliteConnection(path_, SQLITE_OPEN_READWRITE);
    ASSERT_TRUE(raw.ok());
    std::string drop = "DROP TABLE BookSearch; PRAGMA user_version = 2;";
    for (const char* trigger :
         {"BookSearchOnBookInsert", "BookSearchOnBookUpdate", "BookSearchOnBookDelete",
          "BookSearchOnAuthorLink", "BookSearchOnAuthorUnlink", "BookSearchOnAuthorRelink",
          "BookSearchOnAuthorRename", "BookSearchOnSeriesRename"}) {
      drop += std::string("DROP TRIGGER ") + trigger + ";";
    }
    ASSERT_EQ(sqlite3_exec(raw->get(), drop.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  }
  {
    // Read-only, it cannot be given the index: a search says so.
    auto db = OpenCatalog("Provider=SQLite; Data Source=" + path_ + "; Persist Security Info=False",
                          CatalogAccess::kReadOnly);
    ASSERT_TRUE(db.ok()) << db.message();
    Result<Keys> keys = (*db)->SearchBooks("война", 10, 0);
    ASSERT_FALSE(keys.ok());
    EXPECT_NE(keys.message().find("tomeva upgrade"), std::string::npos) << keys.message();
  }
  auto db = OpenCatalog("Provider=SQLite; Data Source=" + path_ + "; Persist Security Info=False");
  ASSERT_TRUE(db.ok()) << db.message();
  db_ = std::move(db).value();
  EXPECT_EQ(Rows("SELECT user_version FROM pragma_user_version"),
            std::to_string(kCatalogVersion));
  EXPECT_EQ(Search("лев толстой"), (Keys{10, 13}));
  EXPECT_EQ(Search("войны"), (Keys{11}));
  Run("INSERT INTO Books (BookId, Title) VALUES (30, \"Севастопольские рассказы\")");
  EXPECT_EQ(Search("севастоп"), (Keys{30}));
  ExpectIndexMatchesBooks();
}

}  // namespace
}  // namespace tomeva::catalog
