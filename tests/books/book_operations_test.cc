// Deletion, move, rename and retrieval of imported books with the default
// settings, a real catalog and real stored files.
#include <gtest/gtest.h>

#include "books/book_deletion.h"
#include "books/book_move.h"
#include "books/book_retrieval.h"
#include "books/books_test_support.h"
#include "common/node_path.h"

namespace tomeva::books {
namespace {

using testing::ReadFile;
using Files = std::vector<std::string>;

constexpr std::string_view kOde = "\\По названиям\\О\\Ода.fb2";

class BookOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestBook ode;
    ode.title = "Ода";
    ode.authors = {{"Пушкин", "Александр", ""}};
    ode.genres = {"poetry", "dramaturgy"};
    ode.series = "Стихи";
    ode.series_number = "1";
    ode.year = "1820";
    ASSERT_EQ(lib_.Import(lib_.WriteBook("ode.fb2", ode)), PutResult::kOk);
    testing::TestBook play;
    play.title = "Пьеса";
    play.authors = {{"Чехов", "Антон", ""}};
    play.genres = {"dramaturgy"};
    ASSERT_EQ(lib_.Import(lib_.WriteBook("play.fb2", play)), PutResult::kOk);
    lib_.progress_calls.clear();
  }
  std::string OdeGenres() const {
    return lib_.Text(
        "SELECT group_concat(Code) FROM (SELECT Code FROM Genres INNER JOIN BookGenres ON "
        "Genres.GenreId=BookGenres.GenreId WHERE BookId=1 ORDER BY Code);");
  }
  MoveResult Move(std::string_view from, std::string_view to, bool move = true) {
    return MoveOrCopyBook(lib_.ctx(), from, to, move).code;
  }
  testing::TestLibrary lib_;
  const std::string ode_file_ = lib_.lib() + "/Пушкин Александр/Ода.fb2";
};

TEST_F(BookOperationsTest, DeleteFromAGenreFolderUnlinksOnlyThatGenre) {
  lib_.Exec("UPDATE Genres SET Name='Драма' WHERE Code='dramaturgy';");
  EXPECT_TRUE(DeleteBook(lib_.ctx(), "\\По жанрам\\poetry\\Ода.fb2").code);
  EXPECT_EQ(OdeGenres(), "dramaturgy");
  EXPECT_EQ(lib_.List("\\По жанрам\\Драма"), (Files{"Ода.fb2", "Пьеса.fb2"}));
  EXPECT_TRUE(testing::PathExists(ode_file_));
  EXPECT_EQ(lib_.Count("Genres"), 1);  // the unnamed genre without books is cleaned up
  // A genre with a name belongs to the catalog's genre list and stays.
  EXPECT_TRUE(DeleteBook(lib_.ctx(), "\\По жанрам\\Драма\\Пьеса.fb2").code);
  EXPECT_TRUE(DeleteBook(lib_.ctx(), "\\По жанрам\\Драма\\Ода.fb2").code);
  EXPECT_EQ(lib_.Count("Genres WHERE Code='dramaturgy'"), 1);
}

TEST_F(BookOperationsTest, DeleteFromTitlesOrTheLastAuthorRemovesTheBookFileAndOrphans) {
  EXPECT_TRUE(DeleteBook(lib_.ctx(), kOde).code);
  EXPECT_EQ(lib_.Text("SELECT group_concat(Last) FROM Authors;"), "Чехов");
  EXPECT_EQ(lib_.Count("Series") + lib_.Count("BookGenres WHERE BookId=1"), 0);
  EXPECT_EQ(lib_.LibraryFiles(), Files{"Чехов Антон/Пьеса.fb2"});
  EXPECT_TRUE(DeleteBook(lib_.ctx(), "\\По авторам\\Ч\\Чехов Антон\\Пьеса.fb2").code);
  EXPECT_EQ(lib_.Count("Books") + lib_.Count("Authors"), 0);
  EXPECT_EQ(lib_.LibraryFiles(), Files{});
}

TEST_F(BookOperationsTest, DeleteThatNamesNoBookOrFailsChangesNothing) {
  for (std::string_view path :
       {"\\По названиям\\О\\Нет.fb2", "\\Нигде\\x.fb2", "\\По жанрам\\poetry\\"}) {
    EXPECT_FALSE(DeleteBook(lib_.ctx(), path).code) << path;
  }
  XmlNode clean_up = NodeByPath(lib_.settings(), "requests/onDelete/delete", false);
  clean_up.SetText("");
  clean_up.ChildOrCreate("unreadable");
  EXPECT_FALSE(DeleteBook(lib_.ctx(), kOde).code);
  EXPECT_EQ(lib_.Count("Books") * 10 + lib_.Count("BookGenres"), 23);
  EXPECT_EQ(lib_.LibraryFiles().size(), 2u);
}

TEST_F(BookOperationsTest, StoredFileOutsideTheLibraryIsNeverDeleted) {
  const std::string outside = lib_.WriteLocal("keep.fb2", "mine");
  lib_.Exec("UPDATE Books SET Link='" + outside + "' WHERE BookId=1;");
  EXPECT_TRUE(DeleteBook(lib_.ctx(), kOde).code);
  EXPECT_EQ(lib_.Count("Books"), 1);
  EXPECT_EQ(ReadFile(outside), "mine");
}

TEST_F(BookOperationsTest, MoveReLinksCopyAddsAndTheOldValueNeverStays) {
  // The ode is in dramaturgy already: a copy there adds nothing.
  EXPECT_EQ(Move("\\По жанрам\\poetry\\Ода.fb2", "\\По жанрам\\dramaturgy\\Ода.fb2", false),
            MoveResult::kExists);
  EXPECT_EQ(OdeGenres(), "dramaturgy,poetry");
  lib_.Exec("INSERT INTO Genres (Code) VALUES ('prose');");
  EXPECT_EQ(Move("\\По жанрам\\poetry\\Ода.fb2", "\\По жанрам\\prose\\Ода.fb2"), MoveResult::kOk);
  EXPECT_EQ(OdeGenres(), "dramaturgy,prose");
  EXPECT_EQ(lib_.progress_calls, (std::vector<int>{0, 0, 100}));
  // Into a folder whose value the book has already.
  EXPECT_EQ(Move("\\По жанрам\\prose\\Ода.fb2", "\\По жанрам\\dramaturgy\\Ода.fb2"),
            MoveResult::kOk);
  EXPECT_EQ(OdeGenres(), "dramaturgy");
  EXPECT_EQ(Move("\\По годам\\1820\\Ода.fb2", "\\По годам\\1830\\Ода.fb2"), MoveResult::kOk);
  EXPECT_EQ(lib_.Text("SELECT Year FROM Books WHERE BookId=1;"), "1830");
}

TEST_F(BookOperationsTest, MoveOfNoBookOrAnAbortChangesNothing) {
  EXPECT_EQ(Move("\\По жанрам\\poetry\\Нет.fb2", "\\По жанрам\\dramaturgy\\Нет.fb2"),
            MoveResult::kWriteError);
  lib_.abort_at = 0;
  EXPECT_EQ(Move("\\По жанрам\\poetry\\Ода.fb2", "\\По жанрам\\dramaturgy\\Ода.fb2"),
            MoveResult::kAborted);
  EXPECT_EQ(OdeGenres(), "dramaturgy,poetry");
  lib_.abort_at = 100;  // too late: the move is done
  EXPECT_EQ(Move("\\По жанрам\\poetry\\Ода.fb2", "\\По жанрам\\dramaturgy\\Ода.fb2"),
            MoveResult::kOk);
  EXPECT_EQ(OdeGenres(), "dramaturgy");
}

TEST_F(BookOperationsTest, RenameInsideASeriesChangesTheTitleAndChangeContTheFile) {
  // A file definition that captures the title itself from the file name.
  SetPathText(lib_.settings(), "files/series-book/namemask",
              "'\\По сериям\\'Series.Name'\\'Books.Title'.fb2'");
  lib_.SetFlag("changecont", true);
  ASSERT_EQ(Move("\\По сериям\\Стихи\\Ода.fb2", "\\По сериям\\Стихи\\Оды.fb2"), MoveResult::kOk);
  EXPECT_EQ(lib_.Text("SELECT Title FROM Books WHERE BookId=1;"), "Оды");
  ASSERT_EQ(Move("\\По жанрам\\poetry\\Оды.fb2", "\\По жанрам\\dramaturgy\\Оды.fb2"),
            MoveResult::kOk);
  EXPECT_EQ(lib_.ReadField("wdx_XML.Title", ode_file_), "Оды");
  EXPECT_EQ(lib_.ReadField("wdx_XML.Genre.[0]", ode_file_), "dramaturgy");
  EXPECT_NE(lib_.ReadField("wdx_XML.Genre.[1]", ode_file_), "poetry");
  EXPECT_EQ(lib_.ReadField("wdx_XML.Series", ode_file_), "Стихи");
}

TEST_F(BookOperationsTest, CopyOutGivesTheStoredBytesAndNeverAPartialTarget) {
  const std::string target = lib_.WriteLocal("out.fb2", "old");
  EXPECT_EQ(CopyBookOut(lib_.ctx(), kOde, target, {}), GetResult::kExists);
  EXPECT_TRUE(lib_.progress_calls.empty());
  EXPECT_EQ(CopyBookOut(lib_.ctx(), kOde, target, {.overwrite = true, .move = true}),
            GetResult::kOk);
  EXPECT_EQ(ReadFile(target), ReadFile(ode_file_));
  EXPECT_EQ(lib_.progress_calls, (std::vector<int>{0, 100}));
  EXPECT_TRUE(testing::PathExists(ode_file_));  // a move leaves the book in place
  const std::string fresh = lib_.Path("fresh.fb2");
  EXPECT_EQ(CopyBookOut(lib_.ctx(), "\\По названиям\\О\\Нет.fb2", fresh, {}), GetResult::kNotFound);
  EXPECT_EQ(CopyBookOut(lib_.ctx(), "\\По названиям\\О\\", fresh, {}), GetResult::kNotFound);
  lib_.abort_at = 0;
  EXPECT_EQ(CopyBookOut(lib_.ctx(), kOde, fresh, {}), GetResult::kAborted);
  lib_.abort_at.reset();
  EXPECT_EQ(PreviewFileOf(lib_.ctx(), kOde), ode_file_);
  ASSERT_EQ(std::remove(ode_file_.c_str()), 0);
  EXPECT_EQ(CopyBookOut(lib_.ctx(), kOde, fresh, {}), GetResult::kReadError);
  EXPECT_FALSE(testing::PathExists(fresh));
  EXPECT_EQ(PreviewFileOf(lib_.ctx(), kOde), std::nullopt);
  EXPECT_EQ(LocalFileOf(lib_.ctx(), kOde), ode_file_);
  EXPECT_EQ(LocalFileOf(lib_.ctx(), "\\По жанрам\\poetry\\"), "");
}

}  // namespace
}  // namespace tomeva::books
