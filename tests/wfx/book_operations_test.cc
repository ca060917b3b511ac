// End-to-end deletion, move and rename through the real Tomeva.wfx on books
// imported with FsPutFile and the default settings.
#include <gtest/gtest.h>

#include "common/xml_document.h"
#include "support/fb2_book_text.h"
#include "wfx/library_fixture.h"

namespace tomeva::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kOdeFile = "Пушкин Александр/Ода.fb2";

class BookOperationsTest : public LibraryTest {
 protected:
  // Imports the two books every test starts from; changecont as asked.
  void ImportBooks(bool changecont = false) {
    if (changecont) SetSetting("changecont", "-1");
    TestBook ode;
    ode.title = "Ода";
    ode.authors = {{"Пушкин", "Александр", ""}};
    ode.genres = {"poetry", "dramaturgy"};
    ode.series = "Стихи";
    ode.series_number = "1";
    ode.year = "1820";
    ode.encoding = "windows-1251";
    TestBook play;
    play.title = "Пьеса";
    play.authors = {{"Чехов", "Антон", ""}};
    play.genres = {"dramaturgy"};
    play.series = "Театр";
    play.series_number = "2";
    WriteFile(dir_.Path("in/ode.fb2"), Fb2Text(ode));
    WriteFile(dir_.Path("in/play.fb2"), Fb2Text(play));
    // The genre a book is moved to exists before any book has it, as the
    // genre list of a new library does.
    Sql("INSERT INTO Genres (Code) VALUES ('prose_classic')");
    Start();
    ASSERT_EQ(Put(dir_.Path("in/ode.fb2"), "/ode.fb2"), FS_FILE_OK);
    ASSERT_EQ(Put(dir_.Path("in/play.fb2"), "/play.fb2"), FS_FILE_OK);
  }
  std::string OdeGenres() {
    return Query(
        "SELECT group_concat(Code) FROM (SELECT Code FROM Genres INNER JOIN BookGenres ON "
        "Genres.GenreId=BookGenres.GenreId INNER JOIN Books ON Books.BookId=BookGenres.BookId "
        "WHERE Left(Books.Title, 2)='Од' ORDER BY Code)");
  }
  Strings Listed(const std::string& folder) {
    auto entries = plugin_->List(folder);
    return entries ? Names(*entries) : Strings{};
  }
  // The title and genres of a stored book, parsed again from disk; the file
  // must keep its declared single-byte encoding.
  std::string StoredHeader(const std::string& relative) {
    const std::string file = LibraryFolder() + "/" + relative;
    EXPECT_NE(ReadFile(file).find("encoding=\"windows-1251\""), std::string::npos);
    auto doc = XmlDocument::LoadFile(file);
    EXPECT_TRUE(doc.ok()) << doc.message();
    if (!doc.ok()) return {};
    XmlNode info = doc->RootElement().FirstChildElement("description").FirstChildElement(
        "title-info");
    std::string header = info.FirstChildElement("book-title").Text();
    for (XmlNode child : info.ChildElements()) {
      if (child.HasName("genre")) header += " " + child.Text();
    }
    return header;
  }
};

TEST_F(BookOperationsTest, DeleteFromAGenreUnlinksOnlyThatGenre) {
  ImportBooks();
  EXPECT_TRUE(Delete("/По жанрам/poetry/Ода.fb2"));
  EXPECT_EQ(OdeGenres(), "dramaturgy");
  EXPECT_EQ(Listed("/По жанрам/dramaturgy").size(), 2u);
  EXPECT_EQ(Query("SELECT Count(*) FROM Books"), "2");
  EXPECT_EQ(LibraryFiles(), (Strings{kOdeFile, "Чехов Антон/Пьеса.fb2"}));
}

TEST_F(BookOperationsTest, DeleteFromTitlesRemovesTheBookItsFileAndItsOrphans) {
  ImportBooks();
  EXPECT_TRUE(Delete("/По названиям/П/Пьеса.fb2"));
  EXPECT_EQ(Query("SELECT Count(*) FROM Books"), "1");
  EXPECT_EQ(LibraryFiles(), Strings{kOdeFile});
  // The clean-up leaves no author or series without books.
  EXPECT_EQ(Query("SELECT group_concat(Last) FROM Authors"), "Пушкин");
  EXPECT_EQ(Query("SELECT group_concat(Name) FROM Series"), "Стихи");
  EXPECT_EQ(Listed("/По сериям"), Strings{"Стихи"});
  EXPECT_EQ(Listed("/По авторам"), Strings{"П"});
}

TEST_F(BookOperationsTest, DeleteOfAPathThatNamesNoBookFailsAndChangesNothing) {
  ImportBooks();
  EXPECT_FALSE(Delete("/По названиям/П/Нет такой.fb2"));
  EXPECT_FALSE(Delete("/Нет такой папки/Ода.fb2"));
  EXPECT_EQ(Query("SELECT Count(*) FROM Books"), "2");
  EXPECT_EQ(Query("SELECT Count(*) FROM BookGenres"), "3");
  EXPECT_EQ(LibraryFiles().size(), 2u);
}

TEST_F(BookOperationsTest, MoveBetweenGenresReLinksAndCopyAddsALink) {
  ImportBooks();
  EXPECT_EQ(RenMov("/По жанрам/poetry/Ода.fb2", "/По жанрам/prose_classic/Ода.fb2", true),
            FS_FILE_OK);
  EXPECT_EQ(OdeGenres(), "dramaturgy,prose_classic");
  EXPECT_EQ(Listed("/По жанрам/prose_classic"), Strings{"Ода.fb2"});
  EXPECT_FALSE(plugin_->List("/По жанрам/poetry").has_value());
  EXPECT_EQ(RenMov("/По жанрам/dramaturgy/Пьеса.fb2", "/По жанрам/prose_classic/Пьеса.fb2", false),
            FS_FILE_OK);
  EXPECT_EQ(Listed("/По жанрам/prose_classic").size(), 2u);
  EXPECT_EQ(Listed("/По жанрам/dramaturgy").size(), 2u);
  // The clean-up removed the genre poetry with its last book: a move or copy
  // into it names no genre, fails, and leaves the book's genres as they were.
  EXPECT_EQ(RenMov("/По жанрам/dramaturgy/Пьеса.fb2", "/По жанрам/poetry/Пьеса.fb2", true),
            FS_FILE_WRITEERROR);
  EXPECT_EQ(RenMov("/По жанрам/dramaturgy/Пьеса.fb2", "/По жанрам/poetry/Пьеса.fb2", false),
            FS_FILE_WRITEERROR);
  EXPECT_EQ(Listed("/По жанрам/dramaturgy").size(), 2u);
  EXPECT_EQ(RenMov("/По жанрам/poetry/Нет.fb2", "/По жанрам/prose/Нет.fb2", true),
            FS_FILE_WRITEERROR);
}

TEST_F(BookOperationsTest, RenameInsideASeriesChangesTheTitleAndTheFileFollows) {
  ImportBooks(/*changecont=*/true);
  EXPECT_EQ(RenMov("/По жанрам/poetry/Ода.fb2", "/По жанрам/prose_classic/Ода.fb2", true),
            FS_FILE_OK);
  ASSERT_EQ(Listed("/По сериям/Стихи"), Strings{"01 Ода.fb2"});
  EXPECT_EQ(RenMov("/По сериям/Стихи/01 Ода.fb2", "/По сериям/Стихи/01 Оды.fb2", true),
            FS_FILE_OK);
  EXPECT_EQ(Query("SELECT Title FROM Books WHERE Left(Title, 2)='Од'"), "Оды");
  EXPECT_EQ(Listed("/По сериям/Стихи"), Strings{"01 Оды.fb2"});
  const std::string stored = Query("SELECT Link FROM Books WHERE Title='Оды'");
  EXPECT_EQ(StoredHeader(stored), "Оды prose_classic dramaturgy");
  // The header change re-reads through the plugin: a copy imported elsewhere
  // would be found as this very book.
  WriteFile(dir_.Path("in/again.fb2"), ReadFile(LibraryFolder() + "/" + stored));
  EXPECT_EQ(Put(dir_.Path("in/again.fb2"), "/again.fb2"), FS_FILE_EXISTS);
}

}  // namespace
}  // namespace tomeva::testing
