// Books imported in batches of one transaction: each result is given once it is
// durable, a failed book undoes only itself, and the batch's books behave as
// if imported one by one.
#include "books/import_batch.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "books/books_test_support.h"

namespace tomeva::books {
namespace {

using testing::ReadFile;
using testing::TestBook;

// The number of books in the catalog file as another connection sees it (what
// is durable), or -1 when it cannot be read.
int DurableBookCount(const std::string& catalog) {
  sqlite3* db = nullptr;
  int count = -1;
  if (sqlite3_open_v2(catalog.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM Books", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      count = sqlite3_column_int(statement, 0);
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return count;
}

class ImportBatchTest : public ::testing::Test {
 protected:
  std::string Book(const std::string& name, const std::string& title,
                   const std::string& author = "Толстой") {
    TestBook book;
    book.title = title;
    book.authors = {{author, "Лев", ""}};
    return lib_.WriteBook(name, book);
  }

  // Imports files in batches of max_books; the results in the order given,
  // each with the durable book count seen when it was given.
  struct Given {
    size_t index;
    PutResult code;
    std::string reason;
    int durable_books;
  };
  std::vector<Given> ImportAll(const std::vector<std::string>& files, size_t max_books,
                               CopyFlags flags = {}, std::optional<size_t> abort_book = {}) {
    std::vector<Given> given;
    ImportBooks(
        lib_.ctx(), files, flags,
        [&](size_t index, int percent) { return abort_book == index && percent == 5; },
        [&](size_t index, const Outcome<PutResult>& outcome) {
          given.push_back({index, outcome.code, outcome.reason,
                           DurableBookCount(lib_.Path("catalog.sqlite"))});
        },
        BatchLimits{.max_books = max_books, .max_time = std::chrono::hours(1)});
    return given;
  }

  testing::TestLibrary lib_;
};

TEST_F(ImportBatchTest, EachResultIsGivenInOrderOnlyOnceItsBookIsDurable) {
  std::vector<std::string> files;
  for (int i = 0; i < 7; ++i) files.push_back(Book(std::to_string(i) + ".fb2", "Книга " + std::to_string(i)));
  const std::vector<Given> given = ImportAll(files, 3);
  ASSERT_EQ(given.size(), 7u);
  for (size_t i = 0; i < given.size(); ++i) {
    EXPECT_EQ(given[i].index, i);
    EXPECT_EQ(given[i].code, PutResult::kOk) << given[i].reason;
    // Batches of three: the whole batch is committed before its first result.
    EXPECT_EQ(given[i].durable_books, static_cast<int>(std::min<size_t>(7, (i / 3 + 1) * 3)))
        << "book " << i;
  }
  EXPECT_EQ(lib_.Count("Books"), 7);
  EXPECT_EQ(lib_.LibraryFiles().size(), 7u);  // no working copy left
}

TEST_F(ImportBatchTest, AFailedBookUndoesOnlyItselfAndTheOthersAreKept) {
  const std::vector<std::string> files = {
      Book("a.fb2", "Первая"), lib_.WriteLocal("broken.fb2", "<FictionBook><desc"),
      Book("b.fb2", "Вторая", "Пушкин"), lib_.WriteLocal("notes.txt", "not a book"),
      Book("c.fb2", "Третья", "Гоголь")};
  const std::vector<Given> given = ImportAll(files, 10);
  ASSERT_EQ(given.size(), 5u);
  EXPECT_EQ(given[0].code, PutResult::kOk);
  EXPECT_EQ(given[1].code, PutResult::kWriteError);
  EXPECT_NE(given[1].reason.find("not a readable FB2 book"), std::string::npos) << given[1].reason;
  EXPECT_EQ(given[2].code, PutResult::kOk);
  EXPECT_EQ(given[3].code, PutResult::kNotSupported);
  EXPECT_EQ(given[4].code, PutResult::kOk);
  EXPECT_EQ(lib_.Column("SELECT Title FROM Books ORDER BY Title;"),
            (std::vector<std::string>{"Вторая", "Первая", "Третья"}));
  EXPECT_EQ(lib_.Count("Authors"), 3);
  EXPECT_EQ(lib_.LibraryFiles(), (std::vector<std::string>{"Гоголь Лев/Третья.fb2",
                                                           "Пушкин Лев/Вторая.fb2",
                                                           "Толстой Лев/Первая.fb2"}));
}

TEST_F(ImportBatchTest, TheSameBookTwiceInABatchIsStoredOnce) {
  const std::string first = Book("a.fb2", "Книга");
  const std::string again = lib_.WriteLocal("again.fb2", ReadFile(first));
  std::vector<Given> given = ImportAll({first, again}, 10);
  ASSERT_EQ(given.size(), 2u);
  EXPECT_EQ(given[0].code, PutResult::kOk);
  EXPECT_EQ(given[1].code, PutResult::kExists);
  // Replacing: the second copy replaces the first one stored by the same batch.
  const std::string third = lib_.WriteLocal("third.fb2", ReadFile(first));
  given = ImportAll({again, third}, 10, CopyFlags{.overwrite = true});
  ASSERT_EQ(given.size(), 2u);
  EXPECT_EQ(given[0].code, PutResult::kOk) << given[0].reason;
  EXPECT_EQ(given[1].code, PutResult::kOk) << given[1].reason;
  EXPECT_EQ(lib_.Count("Books"), 1);
  EXPECT_EQ(lib_.LibraryFiles(), std::vector<std::string>{"Толстой Лев/Книга.fb2"});
}

TEST_F(ImportBatchTest, AnAbortKeepsTheBooksBeforeItAndOffersNoMore) {
  std::vector<std::string> files;
  for (int i = 0; i < 5; ++i) files.push_back(Book(std::to_string(i) + ".fb2", "Книга " + std::to_string(i)));
  const std::vector<Given> given = ImportAll(files, 10, {}, 2);
  ASSERT_EQ(given.size(), 3u);
  EXPECT_EQ(given[0].code, PutResult::kOk);
  EXPECT_EQ(given[1].code, PutResult::kOk);
  EXPECT_EQ(given[2].code, PutResult::kAborted);
  EXPECT_EQ(given[2].durable_books, 2);
  EXPECT_EQ(lib_.Count("Books"), 2);
  EXPECT_EQ(lib_.LibraryFiles().size(), 2u);
}

TEST_F(ImportBatchTest, BooksOfABatchAreFoundBySearchAndLaterImportsStillIndexTheirs) {
  std::vector<std::string> files = {Book("a.fb2", "Красное сердце", "Соколов"),
                                    lib_.WriteLocal("broken.fb2", "<FictionBook><desc"),
                                    Book("b.fb2", "Белая река", "Журавлёв")};
  ASSERT_EQ(ImportAll(files, 10).size(), 3u);
  auto found = [&](std::string_view words) {
    Result<std::vector<int64_t>> keys = lib_.ctx().view.db->SearchBooks(words, 10, 0);
    EXPECT_TRUE(keys.ok()) << keys.message();
    std::vector<std::string> titles;
    for (int64_t key : keys.ok() ? *keys : std::vector<int64_t>{}) {
      titles.push_back(lib_.Text("SELECT Title FROM Books WHERE BookId = " + std::to_string(key) + ";"));
    }
    return titles;
  };
  EXPECT_EQ(found("соколов сердце"), std::vector<std::string>{"Красное сердце"});
  EXPECT_EQ(found("журавлев"), std::vector<std::string>{"Белая река"});
  // One by one after the batch: the usual triggers index the book again.
  ASSERT_EQ(lib_.Import(Book("c.fb2", "Синий лес", "Орлов")), PutResult::kOk);
  EXPECT_EQ(found("орлов лес"), std::vector<std::string>{"Синий лес"});
  // And so does a later batch that replaces a book of the first one.
  TestBook renamed;
  renamed.title = "Красное сердце";
  renamed.authors = {{"Соколов", "Лев", ""}, {"Белов", "Иван", ""}};
  ASSERT_EQ(ImportAll({lib_.WriteBook("a2.fb2", renamed)}, 10, CopyFlags{.overwrite = true})
                .at(0)
                .code,
            PutResult::kOk);
  EXPECT_EQ(found("белов"), std::vector<std::string>{"Красное сердце"});
  EXPECT_EQ(lib_.Text("SELECT count(*) FROM BookSearch;"), "3");
}

TEST_F(ImportBatchTest, WithChangecontEachStoredCopyIsRewrittenAndTheUsersFilesAreNot) {
  // The working copies are made ahead of time on another thread; the values
  // the catalog keeps are still written back into each one.
  lib_.SetFlag("changecont", true);
  std::vector<std::string> files;
  std::vector<std::string> bytes;
  for (int i = 0; i < 6; ++i) {
    TestBook book;
    book.title = "Том " + std::to_string(i);
    book.authors = {{"Ильф", "Илья", ""}, {"Ильф", "Илья", ""}, {"Петров", "Евгений", ""}};
    files.push_back(lib_.WriteBook(std::to_string(i) + ".fb2", book));
    bytes.push_back(ReadFile(files.back()));
  }
  for (const Given& given : ImportAll(files, 4)) {
    EXPECT_EQ(given.code, PutResult::kOk) << given.reason;
  }
  EXPECT_EQ(lib_.Count("BookAuthors"), 12);
  for (const std::string& link : lib_.Column("SELECT Link FROM Books;")) {
    EXPECT_EQ(lib_.ReadField("wdx_XML.Authors", lib_.lib() + "/" + link),
              "Ильф Илья, Петров Евгений")
        << link;
  }
  for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(ReadFile(files[i]), bytes[i]);
  EXPECT_EQ(lib_.LibraryFiles().size(), 6u);
}

}  // namespace
}  // namespace tomeva::books
