// Path to book resolution with small settings documents over a real catalog.
#include "tree/path_resolution.h"

#include <gtest/gtest.h>

#include "tree/tree_test_support.h"

namespace tomeva::tree {
namespace {

using tomeva::testing::ParseSettings;
using tomeva::testing::ViewOf;

constexpr std::string_view kSettings =
    "<settings><folders>"
    "<g><initial-path>'\\Genres\\'Genres.Name'\\'</initial-path></g>"
    "<y><initial-path>'\\Y\\'Books.Year'\\'</initial-path><ex>-1</ex></y>"
    "</folders><files>"
    "<f><namemask>'\\Genres\\'Genres.Name'\\'Books.Title'.fb2'</namemask></f>"
    // An expression pattern: the series part of the name is optional.
    "<f><namemask>'\\S\\'[Series.Name' - ']Books.Title'.fb2'</namemask><ex>-1</ex></f>"
    "<f><namemask>'\\T\\'Books.Title'.fb2'</namemask></f>"
    // Never reached for \T\ paths: the definition above matches first.
    "<f><namemask>'\\T\\'Books.Title'.'Books.Lang</namemask></f>"
    "<f><namemask>'\\All\\'*'.fb2'</namemask></f>"
    "<f><namemask>'\\Bad\\'NoSuch.Column'.fb2'</namemask></f>"
    "</files></settings>";

class PathResolutionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* rows[] = {
        "Genres (GenreId, Code, Name) VALUES (1, 'poetry', 'Poetry')",
        "Series (SeriesId, Name) VALUES (1, 'Classics')",
        "Books (BookId, Title, Link, Lang) VALUES (1, 'Ode', 'books\\a.fb2', 'ru')",
        "Books (BookId, Title, Link, SeriesId) VALUES (2, 'Ode', '/abs/x.fb2', 1)",
        "Books (BookId, Title, Link) VALUES (3, 'Да/Нет', 'c.fb2')",
        "Books (BookId, Title) VALUES (4, 'No file')",
        "BookGenres (BookId, GenreId) VALUES (1, 1)",
    };
    for (const char* row : rows) catalog_.Exec(std::string("INSERT INTO ") + row + ";");
  }

  tomeva::testing::TestCatalog catalog_;
  XmlDocument doc_ = ParseSettings(kSettings);
  CatalogView view_ = ViewOf(doc_, catalog_.db(), "/lib");
};

TEST_F(PathResolutionTest, FilePathsResolveWithTheirExtension) {
  EXPECT_EQ(ResolveVirtualPath(view_, "\\Genres\\Poetry\\Ode.fb2"),
            "Genres.Name=Poetry\r\nBooks.Title=Ode\r\n");
  EXPECT_EQ(BookIdOfPath(view_, "\\Genres\\Poetry\\Ode.fb2"), 1);
  EXPECT_EQ(ResolveVirtualPath(view_, "\\Genres\\Poetry\\Ode.txt"), std::nullopt);
  EXPECT_EQ(BookIdOfPath(view_, "\\Genres\\Poetry\\Ode.txt"), -1);
  EXPECT_EQ(ResolveVirtualPath(view_, ""), "");
}

TEST_F(PathResolutionTest, FolderPathsNeedTheirFinalBackslash) {
  EXPECT_EQ(ResolveVirtualPath(view_, "\\Genres\\Poetry\\"), "Genres.Name=Poetry\r\n");
  // Without it the path is read as a file and no file definition matches.
  EXPECT_EQ(ResolveVirtualPath(view_, "\\Genres\\Poetry"), std::nullopt);
  // ex -1 makes initial-path an expression pattern: a prefix match.
  EXPECT_EQ(ResolveVirtualPath(view_, "\\Y\\1999\\more\\"), "Books.Year=1999\r\n");
}

TEST_F(PathResolutionTest, ExpressionPatternsAndTheFirstMatchingDefinition) {
  EXPECT_EQ(ResolveVirtualPath(view_, "\\S\\Classics - Ode.fb2"),
            "Series.Name=Classics\r\nBooks.Title=Ode\r\n");
  EXPECT_EQ(BookIdOfPath(view_, "\\S\\Classics - Ode.fb2"), 2);
  EXPECT_EQ(ResolveVirtualPath(view_, "\\S\\Ode.fb2"), "Books.Title=Ode\r\n");
  // The later definition would capture the language too; the first one wins.
  EXPECT_EQ(ResolveVirtualPath(view_, "\\T\\Ode.fb2"), "Books.Title=Ode\r\n");
  EXPECT_EQ(ResolveVirtualPath(view_, "\\T\\Ode.ru"), "Books.Title=Ode\r\nBooks.Lang=ru\r\n");
  EXPECT_EQ(BookIdOfPath(view_, "\\T\\Ode.ru"), 1);
}

TEST_F(PathResolutionTest, ShownSlashResolvesToTheStoredSlash) {
  EXPECT_EQ(ResolveVirtualPath(view_, "\\T\\Да\u2215Нет.fb2"), "Books.Title=Да/Нет\r\n");
  EXPECT_EQ(BookIdOfPath(view_, "\\T\\Да\u2215Нет.fb2"), 3);
  EXPECT_EQ(BookFileOfPath(view_, "\\T\\Да\u2215Нет.fb2"), "/lib/c.fb2");
}

TEST_F(PathResolutionTest, HostileNamesNeverWidenTheSearch) {
  EXPECT_EQ(BookIdOfPath(view_, "\\T\\x\") OR (\"1\"=\"1.fb2"), -1);
  EXPECT_EQ(BookIdOfPath(view_, "\\T\\\"Ode\".fb2"), -1);
  // A line break would let a path add conditions of its own.
  EXPECT_EQ(ResolveVirtualPath(view_, "\\T\\x\r\n1)OR(1=1.fb2"), std::nullopt);
  EXPECT_EQ(BookIdOfPath(view_, "\\T\\x\r\n1)OR(1=1.fb2"), -1);
}

TEST_F(PathResolutionTest, PathsCapturingNothingOrFailingQueriesFindNoBook) {
  EXPECT_EQ(ResolveVirtualPath(view_, "\\All\\x.fb2"), "");
  EXPECT_EQ(BookIdOfPath(view_, "\\All\\x.fb2"), -1);
  EXPECT_EQ(BookFileOfPath(view_, "\\All\\x.fb2"), "");
  EXPECT_EQ(BookIdOfPath(view_, "\\Bad\\Ode.fb2"), -1);
  EXPECT_EQ(BookIdOfPath(view_, "\\Nowhere\\Ode.fb2"), -1);
  CatalogView no_catalog = view_;
  no_catalog.db = nullptr;
  EXPECT_EQ(BookIdOfPath(no_catalog, "\\Genres\\Poetry\\Ode.fb2"), -1);
  EXPECT_EQ(BookFileOfId(no_catalog, 1), "");
}

TEST_F(PathResolutionTest, StoredFilesResolveAgainstTheLibraryFolder) {
  EXPECT_EQ(LibraryFolder(view_), "/lib");
  EXPECT_EQ(BookFileOfPath(view_, "\\Genres\\Poetry\\Ode.fb2"), "/lib/books/a.fb2");
  EXPECT_EQ(BookFileOfId(view_, 1), "/lib/books/a.fb2");
  EXPECT_EQ(BookFileOfId(view_, 2), "/abs/x.fb2");
  EXPECT_EQ(BookFileOfId(view_, 4), "");   // no Link
  EXPECT_EQ(BookFileOfId(view_, 99), "");  // no such book
  EXPECT_EQ(BookFileOfId(view_, -1), "");
}

}  // namespace
}  // namespace tomeva::tree
