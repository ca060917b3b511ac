// Book import with the default settings, a real catalog and real book files.
#include "books/book_import.h"

#include <gtest/gtest.h>

#include "books/book_retrieval.h"
#include "books/books_test_support.h"
#include "books/stored_names.h"
#include "common/node_path.h"
#include "common/text.h"
#include "support/zip_test_util.h"

namespace tomeva::books {
namespace {

using testing::ReadFile;
using testing::TestBook;
using Files = std::vector<std::string>;

constexpr std::string_view kStored = "Толстой Лев/Война и мир.fb2";
constexpr std::string_view kTitlePath = "\\По названиям\\В\\Война и мир.fb2";

class BookImportTest : public ::testing::Test {
 protected:
  std::string Link() const { return lib_.Text("SELECT Link FROM Books;"); }
  std::string Stored(std::string_view relative) const {
    return ReadFile(lib_.lib() + "/" + std::string(relative));
  }
  // A failed import leaves no row and no file in the library.
  void ExpectNothingStored() const {
    for (const char* table : {"Books", "Authors", "BookAuthors", "Genres", "Series"}) {
      EXPECT_EQ(lib_.Count(table), 0) << table;
    }
    EXPECT_EQ(lib_.LibraryFiles(), Files{});
  }
  std::string CopiedOut(std::string_view remote) {
    const std::string target = lib_.Path("out.fb2");
    EXPECT_EQ(CopyBookOut(lib_.ctx(), remote, target, {.overwrite = true}), GetResult::kOk);
    return ReadFile(target);
  }

  testing::TestLibrary lib_;
};

TEST_F(BookImportTest, PlainBookGetsRowsStoredFileLinkAndEveryDefaultFolder) {
  TestBook book;
  book.series = "Эпопея";
  book.series_number = "2";
  const std::string local = lib_.WriteBook("wp.fb2", book);
  const std::string bytes = ReadFile(local);
  ASSERT_EQ(lib_.Import(local), PutResult::kOk);
  EXPECT_EQ(lib_.progress_calls, (std::vector<int>{0, 5, 100}));
  EXPECT_EQ(lib_.Text("SELECT Title & Year & Lang & SerNo & Compressed & fSize FROM Books;"),
            "Война и мир1869ru20" + std::to_string(bytes.size()));
  EXPECT_EQ(lib_.Text("SELECT Last & First & Middle FROM Authors;"), "ТолстойЛевНиколаевич");
  EXPECT_EQ(Link(), kStored);
  EXPECT_EQ(lib_.LibraryFiles(), Files{std::string(kStored)});  // no working copy left
  EXPECT_EQ(Stored(kStored), bytes);
  EXPECT_EQ(ReadFile(local), bytes);  // the user's file stays
  EXPECT_EQ(CopiedOut(kTitlePath), bytes);
  const Files book_file = {"Война и мир.fb2"};
  EXPECT_EQ(lib_.List("\\По авторам\\Т\\Толстой Лев Николаевич"), book_file);
  EXPECT_EQ(lib_.List("\\По жанрам\\prose_classic"), book_file);
  EXPECT_EQ(lib_.List("\\По сериям\\Эпопея"), Files{"02 Война и мир.fb2"});
  EXPECT_EQ(lib_.List("\\По названиям\\В"), book_file);
  EXPECT_EQ(lib_.List("\\По годам\\1869"), book_file);
}

TEST_F(BookImportTest, LongValuesAreStoredWhole) {
  std::string annotation;
  for (int i = 0; i < 1500; ++i) annotation += i % 10 == 9 ? " " : "я";  // about 2,700 bytes
  TestBook book;
  book.annotation = annotation;
  book.title = std::string(300, 'T') + "Ж";
  ASSERT_EQ(lib_.Import(lib_.WriteBook("long.fb2", book)), PutResult::kOk);
  EXPECT_EQ(lib_.Text("SELECT Annotation FROM Books;"), annotation);
  EXPECT_EQ(lib_.Text("SELECT Title FROM Books;"), book.title);
  // Zipped and windows-1251 books carry their whole values too.
  book.encoding = "windows-1251";
  book.title = std::string(300, 'U') + "Ж";
  ASSERT_EQ(lib_.Import(lib_.WriteLocal("long.fb2.zip", testing::ZipOf("long.fb2", testing::Fb2Text(book)))),
            PutResult::kOk);
  EXPECT_EQ(lib_.Text("SELECT Count(*) FROM Books WHERE Annotation=\"" + annotation + "\";"), "2");
}

TEST_F(BookImportTest, ZippedAndWindows1251BooksAreReadAndKeepTheirExtension) {
  const std::string zip =
      lib_.WriteLocal("wp.fb2.zip", testing::ZipOf("wp.fb2", testing::Fb2Text({})));
  ASSERT_EQ(lib_.Import(zip), PutResult::kOk);
  EXPECT_EQ(lib_.Text("SELECT Title & Compressed FROM Books;"), "Война и мир1");
  EXPECT_EQ(CopiedOut("\\По названиям\\В\\Война и мир.fb2.zip"), ReadFile(zip));
  TestBook other;
  other.title = "Анна Каренина";
  const std::string fbz =
      lib_.WriteLocal("ak.FBZ", testing::ZipOf("ak.fb2", testing::Fb2Text(other)));
  ASSERT_EQ(lib_.Import(fbz), PutResult::kOk);
  TestBook cp1251;
  cp1251.title = "Воскресение";
  cp1251.encoding = "windows-1251";
  const std::string local = lib_.WriteBook("v.fb2", cp1251);
  ASSERT_EQ(lib_.Import(local), PutResult::kOk);
  EXPECT_EQ(lib_.LibraryFiles(),
            (Files{"Толстой Лев/Анна Каренина.fbz", "Толстой Лев/Война и мир.fb2.zip",
                   "Толстой Лев/Воскресение.fb2"}));
  EXPECT_EQ(Stored("Толстой Лев/Воскресение.fb2"), ReadFile(local));
  EXPECT_EQ(lib_.Count("Authors"), 1);  // a shared author is one row linked to every book
  EXPECT_EQ(lib_.Count("BookAuthors"), 3);
}

TEST_F(BookImportTest, AZippedBookDamagedAfterItsHeaderIsImportedLikeAPlainOne) {
  // The body of a long book is damaged (its recorded CRC-32 is wrong): the
  // header reads, so the book is imported with it and stored as it came, as a
  // plain book with a damaged body is.
  TestBook book;
  book.annotation = "<p>" + std::string(200000, 'x') + "</p>";
  std::string text = testing::Fb2Text(book);
  text.insert(text.find("</body>"), "<section><p>" + std::string(300000, 'y') + "</p></section>");
  const std::string zip = lib_.WriteLocal(
      "wp.fb2.zip", testing::BuildTestZip({{.name = "wp.fb2", .content = text, .recorded_crc = 7}}));
  ASSERT_EQ(lib_.Import(zip), PutResult::kOk);
  EXPECT_EQ(lib_.Text("SELECT Title FROM Books;"), "Война и мир");
  EXPECT_EQ(Stored("Толстой Лев/Война и мир.fb2.zip"), ReadFile(zip));
  // A zipped book whose header itself cannot be read is still refused.
  const std::string cut = lib_.WriteLocal(
      "cut.fb2.zip",
      testing::BuildTestZip({{.name = "cut.fb2", .content = text.substr(0, 150), .recorded_crc = 7}}));
  EXPECT_EQ(lib_.Import(cut), PutResult::kWriteError);
}

TEST_F(BookImportTest, LinkFollowsStorefilesAndRelative) {
  lib_.SetFlag("root/@relative", false);
  ASSERT_EQ(lib_.Import(lib_.WriteBook("wp.fb2", {})), PutResult::kOk);
  EXPECT_EQ(Link(), lib_.lib() + "/" + std::string(kStored));
  lib_.Exec("DELETE FROM Books;");
  lib_.SetFlag("storefiles", false);
  const std::string local = lib_.WriteBook("own.fb2", {});
  ASSERT_EQ(lib_.Import(local), PutResult::kOk);
  EXPECT_EQ(Link(), local);
  lib_.Exec("DELETE FROM Books;");
  lib_.SetFlag("root/@relative", true);
  ASSERT_EQ(lib_.Import(local), PutResult::kOk);
  EXPECT_EQ(Link(), "../in/own.fb2");
  EXPECT_EQ(CopiedOut(kTitlePath), ReadFile(local));
  EXPECT_EQ(lib_.LibraryFiles(), Files{std::string(kStored)});  // only the first import stored
}

TEST_F(BookImportTest, SameBookExistsAndOverwriteReplacesItInPlace) {
  const std::string local = lib_.WriteBook("wp.fb2", {});
  ASSERT_EQ(lib_.Import(local), PutResult::kOk);
  const std::string key = lib_.Text("SELECT BookId FROM Books;");
  EXPECT_EQ(lib_.Import(local), PutResult::kExists);
  TestBook revised;
  revised.title = "ВОЙНА И МИР";  // titles compare without letter case
  revised.year = "1873";
  const std::string request = GetPathText(lib_.settings(), "requests/getbookpathreq");
  SetPathText(lib_.settings(), "requests/getbookpathreq",
              "");  // a failed overwrite changes nothing
  EXPECT_EQ(lib_.Import(lib_.WriteBook("wp2.fb2", revised), {.overwrite = true}),
            PutResult::kWriteError);
  EXPECT_EQ(lib_.Text("SELECT Year & Link FROM Books;"), "1869" + std::string(kStored));
  EXPECT_EQ(Stored(kStored), ReadFile(local));
  SetPathText(lib_.settings(), "requests/getbookpathreq", request);
  const std::string again = lib_.WriteBook("wp2.fb2", revised);
  ASSERT_EQ(lib_.Import(again, {.overwrite = true}), PutResult::kOk);
  EXPECT_EQ(lib_.Text("SELECT BookId & Year & Count(*) FROM Books;"), key + "18731");
  EXPECT_EQ(lib_.Count("BookAuthors"), 1);
  EXPECT_EQ(lib_.LibraryFiles(), Files{"Толстой Лев/ВОЙНА И МИР.fb2"});
  EXPECT_EQ(Stored(Link()), ReadFile(again));
}

TEST_F(BookImportTest, DuplicateValuesAreLinkedOnceAndChangeContRemovesThemFromOurCopyOnly) {
  TestBook book;
  book.authors = {{"Ильф", "Илья", ""}, {"Ильф", "Илья", ""}, {"Петров", "Евгений", ""}};
  const std::string local = lib_.WriteBook("12.fb2", book);
  const std::string bytes = ReadFile(local);
  lib_.SetFlag("changecont", true);
  ASSERT_EQ(lib_.Import(local), PutResult::kOk);
  EXPECT_EQ(lib_.Count("BookAuthors"), 2);
  EXPECT_EQ(lib_.ReadField("wdx_XML.Authors", lib_.lib() + "/" + Link()),
            "Ильф Илья, Петров Евгений");
  EXPECT_EQ(ReadFile(local), bytes);
  // Without stored files the user's file is rewritten only when handed over (a move).
  lib_.SetFlag("storefiles", false);
  book.title = "Другая";
  const std::string copied = lib_.WriteBook("copied.fb2", book);
  ASSERT_EQ(lib_.Import(copied), PutResult::kOk);
  EXPECT_EQ(lib_.ReadField("wdx_XML.Authors", copied), "Ильф Илья, Ильф Илья, Петров Евгений");
  book.title = "Третья";
  const std::string moved = lib_.WriteBook("moved.fb2", book);
  ASSERT_EQ(lib_.Import(moved, {.move = true}), PutResult::kOk);
  EXPECT_EQ(lib_.ReadField("wdx_XML.Authors", moved), "Ильф Илья, Петров Евгений");
}

TEST_F(BookImportTest, ValueLoopEndsEvenWhenEveryIndexYieldsAValue) {
  XmlNode constant =
      NodeByPath(lib_.settings(), "properties/multi/id", false).InsertElementAt(0, "field");
  constant.SetAttribute("name", "Nick");
  constant.SetAttribute("value", "anon");
  lib_.SetFlag("changecont", true);
  ASSERT_EQ(lib_.Import(lib_.WriteBook("wp.fb2", {})), PutResult::kOk);
  EXPECT_LE(lib_.Count("BookAuthors"), 2);
}

TEST_F(BookImportTest, AHeaderOutsideDescriptionIsReadAllTheSame) {
  // <title-info> directly below FictionBook, with and without a <description>.
  const std::string title_info =
      "<title-info><genre>sf</genre><author><first-name>Роберт</first-name>"
      "<last-name>Хайнлайн</last-name></author><book-title>Аквариум</book-title>"
      "<annotation><p>Рассказ.</p></annotation><lang>ru</lang>"
      "<sequence name=\"Угроза\" number=\"6\"/></title-info>";
  const std::string without =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<FictionBook>" + title_info + "</FictionBook>\n";
  const std::string beside =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<FictionBook "
      "xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\"><description><publish-info><year>1942"
      "</year></publish-info></description>" +
      title_info + "<body><p>Текст.</p></body></FictionBook>\n";
  ASSERT_EQ(lib_.Import(lib_.WriteLocal("without.fb2", without)), PutResult::kOk);
  EXPECT_EQ(lib_.Text("SELECT Title & '|' & Lang & '|' & SerNo & '|' & Annotation FROM Books;"),
            "Аквариум|ru|6|Рассказ.");
  EXPECT_EQ(lib_.Text("SELECT Last & First FROM Authors;"), "ХайнлайнРоберт");
  EXPECT_EQ(lib_.Text("SELECT Name FROM Series;"), "Угроза");
  EXPECT_EQ(lib_.Text("SELECT Code FROM Genres INNER JOIN BookGenres ON "
                      "Genres.GenreId=BookGenres.GenreId;"),
            "sf");
  EXPECT_EQ(lib_.Import(lib_.WriteLocal("again.fb2", without)), PutResult::kExists);
  testing::TestLibrary other;
  ASSERT_EQ(other.Import(other.WriteLocal("beside.fb2", beside)), PutResult::kOk);
  EXPECT_EQ(other.Text("SELECT Title & '|' & Year & '|' & SerNo FROM Books;"), "Аквариум|1942|6");
}

TEST_F(BookImportTest, AnUntitledBookIsImportedOnce) {
  TestBook untitled;
  untitled.title.clear();
  const std::string local = lib_.WriteBook("untitled.fb2", untitled);
  ASSERT_EQ(lib_.Import(local), PutResult::kOk);
  EXPECT_EQ(lib_.Import(local), PutResult::kExists);
  EXPECT_EQ(lib_.Count("Books"), 1);
  EXPECT_EQ(lib_.Import(local, {.overwrite = true}), PutResult::kOk);
  EXPECT_EQ(lib_.Count("Books"), 1);
  // Another untitled book of the same author is another book.
  untitled.annotation = "Другая книга.";
  ASSERT_EQ(lib_.Import(lib_.WriteBook("other.fb2", untitled)), PutResult::kOk);
  EXPECT_EQ(lib_.Count("Books"), 2);
  // And a titled book is still found by its title and author only.
  ASSERT_EQ(lib_.Import(lib_.WriteBook("wp.fb2", {})), PutResult::kOk);
  TestBook reissue;
  reissue.annotation = "Переиздание.";
  EXPECT_EQ(lib_.Import(lib_.WriteBook("wp2.fb2", reissue)), PutResult::kExists);
}

TEST_F(BookImportTest, WriteBackKeepsLineEndsAndReachesBooksWithLargeCovers) {
  TestBook book;
  book.authors = {{"Ильф", "Илья", ""}, {"Ильф", "Илья", ""}, {"Петров", "Евгений", ""}};
  std::string text = ReplaceAll(testing::Fb2Text(book), "\n", "\r\n");
  const std::string cover(11u << 20, 'A');  // one text node over libxml2's 10 MB
  text.insert(text.rfind("</FictionBook>"),
              "<binary id=\"cover.jpg\" content-type=\"image/jpeg\">" + cover + "</binary>\r\n");
  lib_.SetFlag("changecont", true);
  ASSERT_EQ(lib_.Import(lib_.WriteLocal("12.fb2", text)), PutResult::kOk);
  const std::string stored_name = lib_.lib() + "/" + Link();
  EXPECT_EQ(lib_.ReadField("wdx_XML.Authors", stored_name), "Ильф Илья, Петров Евгений");
  const std::string stored = ReadFile(stored_name);
  EXPECT_NE(stored.find(cover), std::string::npos);
  size_t lf = 0, crlf = 0;
  for (size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] != '\n') continue;
    ++lf;
    crlf += i > 0 && stored[i - 1] == '\r';
  }
  EXPECT_GT(lf, 0u);
  EXPECT_EQ(crlf, lf);
}

TEST_F(BookImportTest, RefusedAndUnreadableFilesLeaveNothing) {
  const std::string txt = lib_.WriteLocal("book.txt", testing::Fb2Text({}));
  EXPECT_EQ(lib_.Import(txt), PutResult::kNotSupported);
  EXPECT_TRUE(lib_.progress_calls.empty());
  EXPECT_FALSE(testing::PathExists(lib_.lib()));
  for (const std::string& local :
       {lib_.WriteLocal("text.fb2", "just text"),
        lib_.WriteLocal("cut.fb2", testing::Fb2Text({}).substr(0, 150)),
        lib_.WriteLocal("other.zip", testing::ZipOf("notes.txt", "hello")),
        lib_.WriteLocal("html.fb2", "<html><body>x</body></html>"), lib_.Path("in/missing.fb2")}) {
    EXPECT_EQ(lib_.Import(local), PutResult::kWriteError) << local;
    ExpectNothingStored();
  }
  SetPathText(lib_.settings(), "properties/detectstring", "");
  EXPECT_EQ(lib_.Import(txt), PutResult::kOk);
}

TEST_F(BookImportTest, HostileAndMissingTitlesGetSafeNamesInsideTheLibrary) {
  TestBook climbing, quoted, huge, control, bare;
  climbing.title = "../../x";
  quoted.title = "It's \"quoted\"";
  huge.title = std::string(10000, 'z');
  control.raw_title = "A&#9;B&#10;C&#13;D";
  bare.title.clear();
  bare.authors.clear();
  for (const TestBook* book : {&climbing, &quoted, &huge, &control, &bare}) {
    ASSERT_EQ(lib_.Import(lib_.WriteBook("hostile.fb2", *book)), PutResult::kOk);
  }
  EXPECT_EQ(lib_.LibraryFiles(),
            (Files{"Без автора/Без названия.fb2", "Толстой Лев/.._.._x.fb2", "Толстой Лев/ABCD.fb2",
                   "Толстой Лев/It's quoted.fb2",  // no file name holds a double quote
                   "Толстой Лев/" + std::string(kMaxComponentBytes - 4, 'z') + ".fb2"}));
  EXPECT_EQ(lib_.Text("SELECT Title FROM Books WHERE Left(Title, 1)='A';"), "A\tB\nC\nD");
  EXPECT_EQ(lib_.Import(lib_.WriteBook("again.fb2", quoted)), PutResult::kExists);
  // A value that tries to add a parameter line of its own stays in its column.
  TestBook sneaky;
  sneaky.title = "Другая";
  sneaky.annotation = "x&#13;&#10;BookId=1&#13;&#10;Title=Взлом";
  ASSERT_EQ(lib_.Import(lib_.WriteBook("sneaky.fb2", sneaky)), PutResult::kOk);
  EXPECT_EQ(lib_.Text("SELECT Title FROM Books WHERE BookId=1;"), "../../x");
  EXPECT_EQ(lib_.Text("SELECT Annotation FROM Books WHERE Title='Другая';"),
            "x\nBookId=1\nTitle=Взлом");
}

TEST_F(BookImportTest, FailuresOnTheWayRollEverythingBack) {
  const std::string local = lib_.WriteBook("wp.fb2", {.series = "S"});
  auto expect_failure = [&](std::string_view setting, std::string_view value) {
    testing::TestLibrary fresh;
    SetPathText(fresh.settings(), setting, value);
    EXPECT_EQ(fresh.Import(local), PutResult::kWriteError) << setting << " " << value;
    EXPECT_EQ(fresh.Count("Books") + fresh.Count("Series") + fresh.Count("Authors"), 0);
    EXPECT_EQ(fresh.LibraryFiles(), Files{});
    EXPECT_FALSE(testing::PathExists(fresh.Path("outside.fb2")));
  };
  expect_failure("requests/getbookpathreq", "'SELECT \"../outside.fb2\";'");
  expect_failure("requests/getbookpathreq", "'SELECT \"\";'");
  expect_failure("properties/simple/id/@mode", "4");  // the book element writes no row
  expect_failure("properties/multi/id/@mode", "x");
}

TEST_F(BookImportTest, AbortAtZeroOrFiveLeavesNothingAtHundredIsTooLate) {
  const std::string local = lib_.WriteBook("wp.fb2", {});
  for (int percent : {0, 5}) {
    lib_.abort_at = percent;
    EXPECT_EQ(lib_.Import(local), PutResult::kAborted);
    ExpectNothingStored();
  }
  lib_.abort_at = 100;
  EXPECT_EQ(lib_.Import(local), PutResult::kOk);
  EXPECT_EQ(lib_.LibraryFiles(), Files{std::string(kStored)});
}

}  // namespace
}  // namespace tomeva::books
