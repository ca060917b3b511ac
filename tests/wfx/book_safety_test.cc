// No book operation may lose, mix up or silently skip a book: deletions and
// moves never remove other books, refused moves and renames change nothing,
// every imported file is read as itself, listing statements cannot write, and
// with changecont on the stored file says what the catalog says.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/xml_document.h"
#include "support/fb2_book_text.h"
#include "wfx/library_fixture.h"

namespace tomeva::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kOdeFile = "Пушкин Александр/Ода.fb2";

class BookSafetyTest : public LibraryTest {
 protected:
  static TestBook Ode() {
    TestBook ode;
    ode.title = "Ода";
    ode.authors = {{"Пушкин", "Александр", ""}};
    ode.genres = {"poetry", "dramaturgy"};
    ode.series = "Стихи";
    ode.series_number = "1";
    ode.year = "1820";
    return ode;
  }
  static TestBook Play() {
    TestBook play;
    play.title = "Пьеса";
    play.authors = {{"Чехов", "Антон", ""}};
    play.genres = {"dramaturgy"};
    play.year = "1896";
    return play;
  }
  // Imports the ode and the play (and whatever else is given); changecont as asked.
  void ImportBooks(bool changecont, const std::vector<TestBook>& more = {}) {
    if (changecont) SetSetting("changecont", "-1");
    std::vector<TestBook> books = {Ode(), Play()};
    books.insert(books.end(), more.begin(), more.end());
    Sql("INSERT INTO Genres (Code) VALUES ('prose_classic')");
    Start();
    for (size_t i = 0; i < books.size(); ++i) {
      const std::string file = dir_.Path("in/" + std::to_string(i) + ".fb2");
      WriteFile(file, Fb2Text(books[i]));
      ASSERT_EQ(Put(file, "/" + std::to_string(i) + ".fb2"), FS_FILE_OK) << books[i].title;
    }
  }
  Strings Listed(const std::string& folder) {
    auto entries = plugin_->List(folder);
    return entries ? Names(*entries) : Strings{};
  }
  // Everything a user could notice of the catalog: every book with its title,
  // series, number, year, authors and genres, one line each.
  std::string CatalogState() {
    return Query(
        "SELECT group_concat(Line, ' | ') FROM (SELECT Books.BookId || ':' || Nz(Title,'') || "
        "':' || Nz(SeriesId,'') || ':' || Nz(SerNo,'') || ':' || Nz(Year,'') || ':' || "
        "Nz(Link,'') || ':' || (SELECT group_concat(AuthorId) FROM BookAuthors WHERE "
        "BookAuthors.BookId=Books.BookId) || ':' || (SELECT group_concat(GenreId) FROM "
        "BookGenres WHERE BookGenres.BookId=Books.BookId) AS Line FROM Books ORDER BY "
        "Books.BookId)");
  }
  // Authors ("Last First") and genres of a stored book, parsed again from disk.
  std::string StoredHeader(const std::string& relative) {
    auto doc = XmlDocument::LoadFile(LibraryFolder() + "/" + relative);
    EXPECT_TRUE(doc.ok()) << doc.message();
    if (!doc.ok()) return {};
    XmlNode info =
        doc->RootElement().FirstChildElement("description").FirstChildElement("title-info");
    std::string authors, genres;
    for (XmlNode child : info.ChildElements()) {
      if (child.HasName("author")) {
        authors += " [" + child.FirstChildElement("last-name").Text() + " " +
                   child.FirstChildElement("first-name").Text() + "]";
      }
      if (child.HasName("genre")) genres += " " + child.Text();
    }
    return info.FirstChildElement("book-title").Text() + authors + genres;
  }
};

TEST_F(BookSafetyTest, DeletingOrMovingABookNeverRemovesABookWithoutAuthors) {
  TestBook anonymous;
  anonymous.title = "Аноним";
  anonymous.authors = {};
  anonymous.genres = {"poetry"};
  ImportBooks(/*changecont=*/false, {anonymous});
  ASSERT_EQ(Query("SELECT Count(*) FROM Books"), "3");
  const std::string anonymous_link = Query("SELECT Link FROM Books WHERE Title='Аноним'");
  ASSERT_FALSE(anonymous_link.empty());

  EXPECT_EQ(RenMov("/По жанрам/dramaturgy/Пьеса.fb2", "/По жанрам/prose_classic/Пьеса.fb2", true),
            FS_FILE_OK);
  EXPECT_TRUE(Delete("/По названиям/П/Пьеса.fb2"));
  EXPECT_EQ(Query("SELECT Count(*) FROM Books"), "2");
  EXPECT_EQ(Query("SELECT Link FROM Books WHERE Title='Аноним'"), anonymous_link);
  EXPECT_TRUE(PathExists(LibraryFolder() + "/" + anonymous_link));
  // Deleting a single-author book from its author's folder still deletes it.
  EXPECT_TRUE(Delete("/По авторам/П/Пушкин Александр/Ода.fb2"));
  EXPECT_EQ(Query("SELECT group_concat(Title) FROM Books"), "Аноним");
  EXPECT_EQ(LibraryFiles(), Strings{anonymous_link});
}

TEST_F(BookSafetyTest, MoveToAPathThatNamesNoFolderIsRefusedAndChangesNothing) {
  ImportBooks(/*changecont=*/false);
  const std::string before = CatalogState();
  EXPECT_EQ(RenMov("/По жанрам/poetry/Ода.fb2", "/По названиям/Ода.fb2", true),
            FS_FILE_WRITEERROR);
  EXPECT_EQ(RenMov("/По жанрам/poetry/Ода.fb2", "/По жанрам/Ода.fb2", true), FS_FILE_WRITEERROR);
  EXPECT_EQ(RenMov("/По жанрам/poetry/Ода.fb2", "/Нет такой/Ода.fb2", false), FS_FILE_WRITEERROR);
  EXPECT_EQ(CatalogState(), before);
  EXPECT_EQ(LibraryFiles(), (Strings{kOdeFile, "Чехов Антон/Пьеса.fb2"}));
}

TEST_F(BookSafetyTest, RenameThatTheNamesReadDifferentlyIsRefusedAndChangesNothing) {
  ImportBooks(/*changecont=*/false);
  ASSERT_EQ(Listed("/По сериям/Стихи"), Strings{"01 Ода.fb2"});
  const std::string before = CatalogState();
  // " [черновик]" reads as a key that names no book; without the number the
  // name is not a series book's name at all.
  EXPECT_EQ(RenMov("/По сериям/Стихи/01 Ода.fb2", "/По сериям/Стихи/01 Ода [черновик].fb2", true),
            FS_FILE_WRITEERROR);
  EXPECT_EQ(RenMov("/По сериям/Стихи/01 Ода.fb2", "/По сериям/Стихи/Ода.fb2", true),
            FS_FILE_WRITEERROR);
  EXPECT_EQ(CatalogState(), before);
  EXPECT_EQ(Listed("/По сериям"), Strings{"Стихи"});
}

TEST_F(BookSafetyTest, RenamesAndMovesThatWouldChangeNothingAreRefused) {
  ImportBooks(/*changecont=*/false);
  const std::string before = CatalogState();
  EXPECT_EQ(RenMov("/По названиям/О/Ода.fb2", "/По названиям/О/Оды.fb2", true),
            FS_FILE_WRITEERROR);
  EXPECT_EQ(RenMov("/По названиям/О/Ода.fb2", "/По названиям/П/Ода.fb2", true),
            FS_FILE_WRITEERROR);
  EXPECT_EQ(RenMov("/По годам/1820/Ода.fb2", "/По годам/1820/Оды.fb2", true), FS_FILE_WRITEERROR);
  EXPECT_EQ(RenMov("/По авторам/П/Пушкин Александр/Ода.fb2",
                   "/По авторам/П/Пушкин Александр/Оды.fb2", true),
            FS_FILE_WRITEERROR);
  EXPECT_EQ(RenMov("/По сериям/Стихи/01 Ода.fb2", "/По сериям/Стихи/05 Ода.fb2", true),
            FS_FILE_WRITEERROR);
  // A copy into a folder the book is already in adds nothing: it is there.
  EXPECT_EQ(RenMov("/По жанрам/poetry/Ода.fb2", "/По жанрам/dramaturgy/Ода.fb2", false),
            FS_FILE_EXISTS);
  EXPECT_EQ(CatalogState(), before);
  // A rename the name does carry still works.
  EXPECT_EQ(RenMov("/По сериям/Стихи/01 Ода.fb2", "/По сериям/Стихи/01 Оды.fb2", true), FS_FILE_OK);
  EXPECT_EQ(Listed("/По сериям/Стихи"), Strings{"01 Оды.fb2"});
}

TEST_F(BookSafetyTest, MovingASeriesBookToAGenreKeepsItsTitle) {
  ImportBooks(/*changecont=*/false);
  EXPECT_EQ(RenMov("/По сериям/Стихи/01 Ода.fb2", "/По жанрам/prose_classic/Ода.fb2", true),
            FS_FILE_OK);
  EXPECT_EQ(Query("SELECT Count(*) FROM Books WHERE Title='Ода'"), "1");
  EXPECT_EQ(Listed("/По жанрам/prose_classic"), Strings{"Ода.fb2"});
  // Moved out of the series folder: the book left the series.
  EXPECT_EQ(Query("SELECT Nz(SeriesId,0) FROM Books WHERE Title='Ода'"), "0");
}

TEST_F(BookSafetyTest, EachImportedFileIsReadAsItselfWhateverItsSizeAndTime) {
  ImportBooks(/*changecont=*/false);
  // A duplicate of the play and a new book of exactly the same size and time:
  // the working copies of both are alike in name, size and time.
  TestBook first = Play();
  first.title = "Книга А";
  TestBook second = Play();
  second.title = "Книга Б";
  const std::string a = dir_.Path("in/a.fb2");
  const std::string b = dir_.Path("in/b.fb2");
  WriteFile(a, Fb2Text(first));
  WriteFile(b, Fb2Text(second));
  ASSERT_EQ(std::filesystem::file_size(a), std::filesystem::file_size(b));
  const auto when = std::filesystem::last_write_time(a);
  std::filesystem::last_write_time(b, when);
  ASSERT_EQ(Put(a, "/a.fb2"), FS_FILE_OK);
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(Put(a, "/a.fb2"), FS_FILE_EXISTS);
  }
  EXPECT_EQ(Put(b, "/b.fb2"), FS_FILE_OK);
  const std::string b_link = Query("SELECT Link FROM Books WHERE Title='Книга Б'");
  ASSERT_FALSE(b_link.empty());
  EXPECT_EQ(ReadFile(LibraryFolder() + "/" + b_link), ReadFile(b));
  // Replacing a book with overwrite stores the new bytes, never the cached ones.
  std::filesystem::last_write_time(a, when);
  EXPECT_EQ(Put(a, "/a.fb2", FS_COPYFLAGS_OVERWRITE), FS_FILE_OK);
  const std::string a_link = Query("SELECT Link FROM Books WHERE Title='Книга А'");
  EXPECT_EQ(ReadFile(LibraryFolder() + "/" + a_link), ReadFile(a));
}

TEST_F(BookSafetyTest, ListingStatementsThatWouldWriteAreRefused) {
  ImportBooks(/*changecont=*/false);
  SetSetting("folders/root/content-query", "'DROP TABLE Books'");
  Start();
  EXPECT_FALSE(plugin_->List("/").has_value());
  EXPECT_EQ(Query("SELECT Count(*) FROM Books"), "2");
  EXPECT_EQ(Query("SELECT Count(*) FROM BookAuthors"), "2");
}

TEST_F(BookSafetyTest, ReimportWithOverwriteKeepsEveryAuthorAndGenreInTheStoredFile) {
  TestBook duo = Ode();
  duo.title = "Дуэт";
  duo.series = "";
  duo.authors = {{"Ильф", "Илья", ""}, {"Петров", "Евгений", ""}};
  ImportBooks(/*changecont=*/true, {duo});
  const std::string link = Query("SELECT Link FROM Books WHERE Title='Дуэт'");
  const std::string expected = "Дуэт [Ильф Илья] [Петров Евгений] poetry dramaturgy";
  ASSERT_EQ(StoredHeader(link), expected);
  EXPECT_EQ(Put(dir_.Path("in/2.fb2"), "/2.fb2", FS_COPYFLAGS_OVERWRITE), FS_FILE_OK);
  const std::string again = Query("SELECT Link FROM Books WHERE Title='Дуэт'");
  EXPECT_EQ(StoredHeader(again), expected);
  EXPECT_EQ(Query("SELECT Count(*) FROM BookAuthors INNER JOIN Books ON "
                  "Books.BookId=BookAuthors.BookId WHERE Title='Дуэт'"),
            "2");
}

TEST_F(BookSafetyTest, CopyIntoAFolderTheBookIsInAddsNothingToTheStoredFile) {
  ImportBooks(/*changecont=*/true);
  EXPECT_EQ(RenMov("/По жанрам/poetry/Ода.fb2", "/По жанрам/dramaturgy/Ода.fb2", false),
            FS_FILE_EXISTS);
  EXPECT_EQ(RenMov("/По авторам/Ч/Чехов Антон/Пьеса.fb2", "/По авторам/Ч/Чехов Антон/Пьеса.fb2",
                   false),
            FS_FILE_EXISTS);
  EXPECT_EQ(StoredHeader(kOdeFile), "Ода [Пушкин Александр] poetry dramaturgy");
  EXPECT_EQ(StoredHeader("Чехов Антон/Пьеса.fb2"), "Пьеса [Чехов Антон] dramaturgy");
}

TEST_F(BookSafetyTest, AddingAnAuthorWithoutLastNameKeepsTheOtherAuthorsInTheFile) {
  TestBook homer = Play();
  homer.title = "Илиада";
  homer.authors = {{"", "Гомер", ""}};
  ImportBooks(/*changecont=*/true, {homer});
  ASSERT_EQ(Listed("/По авторам/Г"), Strings{"Гомер"});
  EXPECT_EQ(RenMov("/По авторам/П/Пушкин Александр/Ода.fb2", "/По авторам/Г/Гомер/Ода.fb2", false),
            FS_FILE_OK);
  // A new author goes in front of the others.
  EXPECT_EQ(StoredHeader(kOdeFile), "Ода [ Гомер] [Пушкин Александр] poetry dramaturgy");
  EXPECT_EQ(Listed("/По авторам/Г/Гомер"), (Strings{"Илиада.fb2", "Ода.fb2"}));
}

TEST_F(BookSafetyTest, BookWithADamagedBodyImportsEveryAuthorAndGenreOfItsHeader) {
  TestBook duo = Play();
  duo.title = "Дуэт";
  // The repeated author cannot be removed from a file that cannot be parsed
  // whole; the authors after it must still be read.
  duo.authors = {{"Ильф", "Илья", ""}, {"Ильф", "Илья", ""}, {"Петров", "Евгений", ""}};
  duo.genres = {"poetry", "dramaturgy", "prose_classic"};
  SetSetting("changecont", "-1");
  Start();
  std::string text = Fb2Text(duo);
  const size_t body = text.find("<body>");
  ASSERT_NE(body, std::string::npos);
  text.insert(body + 6, "<p>broken <b>markup</p>");  // not well-formed past the header
  WriteFile(dir_.Path("in/duo.fb2"), text);
  ASSERT_EQ(Put(dir_.Path("in/duo.fb2"), "/duo.fb2"), FS_FILE_OK);
  EXPECT_EQ(Listed("/По авторам"), (Strings{"И", "П"}));
  EXPECT_EQ(Query("SELECT Count(*) FROM BookGenres"), "3");
  // The stored file is the book as it came: nothing could be written into it.
  EXPECT_EQ(ReadFile(LibraryFolder() + "/" + Query("SELECT Link FROM Books")), text);
}

TEST_F(BookSafetyTest, MoveWithChangecontRewritesTheStoredFileOnlyWithTheCatalog) {
  ImportBooks(/*changecont=*/true);
  const std::string before = ReadFile(LibraryFolder() + "/" + kOdeFile);
  // Refused: neither the catalog nor the file change.
  EXPECT_EQ(RenMov("/По жанрам/poetry/Ода.fb2", "/По жанрам/нет/Ода.fb2", true),
            FS_FILE_WRITEERROR);
  EXPECT_EQ(ReadFile(LibraryFolder() + "/" + kOdeFile), before);
  EXPECT_EQ(RenMov("/По жанрам/poetry/Ода.fb2", "/По жанрам/prose_classic/Ода.fb2", true),
            FS_FILE_OK);
  EXPECT_EQ(StoredHeader(kOdeFile), "Ода [Пушкин Александр] prose_classic dramaturgy");
  EXPECT_EQ(LibraryFiles(), (Strings{kOdeFile, "Чехов Антон/Пьеса.fb2"}));
}

}  // namespace
}  // namespace tomeva::testing
