// End-to-end collections through the real Tomeva.wfx: an INPX index put into
// the tree (FsPutFile, as Double Commander copies it in) imports its books
// from the index alone; they are listed in every default folder, copied out of
// their archives, deleted and re-classified in the catalog only; a newer index
// updates them; bad indexes and lines are refused by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "sample_library/collection_writer.h"
#include "support/fb2_book_text.h"
#include "support/zip_test_util.h"
#include "wfx/library_fixture.h"

namespace tomeva::testing {
namespace {

constexpr char kSep = '\x04';

// One .inp line in the default field order
// AUTHOR;GENRE;TITLE;SERIES;SERNO;FILE;SIZE;LIBID;DEL;EXT;DATE;
std::string Line(const std::string& author, const std::string& genre, const std::string& title,
                 const std::string& file, const std::string& lib_id, const std::string& del = "",
                 const std::string& series = "", const std::string& serno = "") {
  return author + kSep + genre + kSep + title + kSep + series + kSep + serno + kSep + file + kSep +
         "4" + kSep + lib_id + kSep + del + kSep + "fb2" + kSep + "2020-05-17" + kSep + "\r\n";
}

class CollectionTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    // The catalog's genre list, as 'tomeva init' writes it.
    Sql("INSERT INTO Genres (Code, Name) VALUES ('sf_history', 'Альтернативная история')");
    // Write-back into book files on: nothing may ever be written into an archive.
    SetSetting("changecont", "-1");
    Start();
    library_ = dir_.Path("collection");
    std::filesystem::create_directories(library_);
  }

  // Writes a generated collection of count books into the collection folder.
  SampleCollectionSummary Generate(uint64_t count, unsigned deleted_percent = 0,
                                   uint64_t per_archive = 10) {
    SampleLibraryOptions options;
    options.out = library_;
    options.collection = "sample";
    options.count = count;
    options.per_archive = per_archive;
    options.body_kb = 1;
    options.zipped_percent = 50;
    options.deleted_percent = deleted_percent;
    Result<SampleCollectionSummary> written = WriteSampleCollection(options);
    EXPECT_TRUE(written.ok()) << written.message();
    return written.ok() ? std::move(written).value() : SampleCollectionSummary{};
  }

  // Writes an index of the given .inp members (name, text) beside the archives.
  std::string WriteIndex(const std::string& name,
                         const std::vector<std::pair<std::string, std::string>>& inp_files) {
    std::vector<TestZipEntry> entries;
    entries.push_back({.name = "collection.info", .content = "Test\r\ntest.inpx\r\n0\r\n"});
    entries.push_back({.name = "version.info", .content = "20240101\r\n"});
    for (const auto& [member, text] : inp_files) entries.push_back({.name = member, .content = text});
    const std::string path = library_ + "/" + name;
    WriteFile(path, BuildTestZip(entries));
    return path;
  }

  int PutIndex(const std::string& path) {
    plugin_->logs.clear();
    plugin_->log_types.clear();
    plugin_->requests.clear();
    return Put(path, "/" + std::filesystem::path(path).filename().string());
  }

  int64_t Count(const std::string& jet_sql) { return std::stoll(Query(jet_sql)); }
  int64_t CollectionBooks() {
    return Count("SELECT count(*) FROM Books WHERE CollectionId IS NOT NULL");
  }

  // The listed name of the collection book lib_id under "/По названиям".
  std::string TitlePath(const std::string& lib_id) {
    const std::string letter =
        Query("SELECT TitleLetter FROM Books WHERE LibId='" + lib_id + "'");
    const std::string title = Query("SELECT Title FROM Books WHERE LibId='" + lib_id + "'");
    const std::string id = Query("SELECT BookId FROM Books WHERE LibId='" + lib_id + "'");
    const std::string folder = "/По названиям/" + letter;
    auto listed = plugin_->List(folder);
    if (!listed) return {};
    for (const std::string& name : Names(*listed)) {
      if (name == title + ".fb2" || name == title + " [" + id + "].fb2") return folder + "/" + name;
    }
    return {};
  }

  // Moves the book with key book_id from its first genre into the genre list's
  // "Альтернативная история" (FsRenMovFile between genre folders).
  int MoveToNamedGenre(const std::string& book_id) {
    const std::string genre = Query(
        "SELECT Genres.Name & iif(Nz(Genres.Name,\"\")<>\"\",\"\",Genres.Code) FROM BookGenres "
        "INNER JOIN Genres ON BookGenres.GenreId=Genres.GenreId WHERE BookGenres.BookId=" +
        book_id);
    const std::string title = Query("SELECT Title FROM Books WHERE BookId=" + book_id);
    auto listed = plugin_->List("/По жанрам/" + genre);
    if (!listed) return -1;
    for (const std::string& n : Names(*listed)) {
      if (n == title + ".fb2" || n == title + " [" + book_id + "].fb2") {
        return RenMov("/По жанрам/" + genre + "/" + n, "/По жанрам/Альтернативная история/" + n,
                      true);
      }
    }
    return -1;
  }

  std::string LastLog() const {
    return plugin_->logs.empty() ? std::string() : plugin_->logs.back();
  }
  std::string AllMessages() const {
    std::string text;
    for (const std::string& message : plugin_->logs) text += message + "\n";
    for (const HostRequest& request : plugin_->requests) text += request.text + "\n";
    return text;
  }

  std::string library_;
};

TEST_F(CollectionTest, PuttingAnIndexImportsEveryBookNotMarkedDeletedFromTheIndexAlone) {
  const SampleCollectionSummary written = Generate(40, 20);
  ASSERT_GT(written.deleted, 0u);
  EXPECT_EQ(PutIndex(written.index), FS_FILE_OK) << AllMessages();

  EXPECT_EQ(CollectionBooks(), static_cast<int64_t>(written.books_written - written.deleted));
  EXPECT_EQ(Count("SELECT count(*) FROM Books WHERE CollectionId IS NOT NULL AND "
                  "(Link IS NOT NULL OR Archive IS NULL OR Member IS NULL OR fDate IS NULL)"),
            0);
  // Nothing was copied into the library folder.
  EXPECT_TRUE(LibraryFiles().empty());
  for (const CollectionBook& book : written.books) {
    const std::string where = "FROM Books WHERE LibId='" + book.lib_id + "'";
    EXPECT_EQ(Count("SELECT count(*) " + where), book.deleted ? 0 : 1) << book.lib_id;
    if (book.deleted) continue;
    EXPECT_EQ(Query("SELECT Archive " + where), book.archive);
    EXPECT_EQ(Query("SELECT Member " + where), book.member);
    EXPECT_EQ(Query("SELECT Title " + where), book.title);
  }
  EXPECT_NE(LastLog().find("added " + std::to_string(written.books_written - written.deleted)),
            std::string::npos)
      << LastLog();
  ASSERT_FALSE(plugin_->progress.empty());
  EXPECT_EQ(plugin_->progress.back(), 100);
}

TEST_F(CollectionTest, CollectionBooksAreListedInEveryDefaultFolder) {
  const SampleCollectionSummary written = Generate(12);
  ASSERT_EQ(PutIndex(written.index), FS_FILE_OK) << AllMessages();
  const CollectionBook& book = written.books.front();
  const std::string author = Query(
      "SELECT Authors.FullName FROM (Books INNER JOIN BookAuthors ON Books.BookId=BookAuthors.BookId) "
      "INNER JOIN Authors ON BookAuthors.AuthorId=Authors.AuthorId WHERE Books.LibId='" +
      book.lib_id + "'");
  const std::string letter = Query("SELECT Letter FROM Authors WHERE FullName=\"" + author + "\"");
  const std::string title_path = TitlePath(book.lib_id);
  ASSERT_FALSE(title_path.empty());
  const std::string name = title_path.substr(title_path.rfind('/') + 1);

  auto letters = plugin_->List("/По авторам");
  ASSERT_TRUE(letters);
  EXPECT_EQ(std::ranges::count(Names(*letters), letter), 1) << letter;
  auto authors = plugin_->List("/По авторам/" + letter);
  ASSERT_TRUE(authors);
  EXPECT_TRUE(std::ranges::count(Names(*authors), author) == 1) << author;
  auto author_books = plugin_->List("/По авторам/" + letter + "/" + author);
  ASSERT_TRUE(author_books);
  EXPECT_EQ(std::ranges::count(Names(*author_books), name), 1);

  const std::string genre = Query(
      "SELECT Genres.Name & iif(Nz(Genres.Name,\"\")<>\"\",\"\",Genres.Code) FROM (Books INNER "
      "JOIN BookGenres ON Books.BookId=BookGenres.BookId) INNER JOIN Genres ON "
      "BookGenres.GenreId=Genres.GenreId WHERE Books.LibId='" + book.lib_id + "'");
  auto genres = plugin_->List("/По жанрам");
  ASSERT_TRUE(genres);
  EXPECT_EQ(std::ranges::count(Names(*genres), genre), 1) << genre;
  auto genre_books = plugin_->List("/По жанрам/" + genre);
  ASSERT_TRUE(genre_books);
  EXPECT_EQ(std::ranges::count(Names(*genre_books), name), 1);

  auto series = plugin_->List("/По сериям");
  ASSERT_TRUE(series);
  const auto in_series = std::find_if(written.books.begin(), written.books.end(),
                                      [](const CollectionBook& b) { return !b.series.empty(); });
  ASSERT_NE(in_series, written.books.end());
  EXPECT_EQ(std::ranges::count(Names(*series), in_series->series), 1);
  auto series_books = plugin_->List("/По сериям/" + in_series->series);
  ASSERT_TRUE(series_books);
  EXPECT_FALSE(series_books->empty());

  auto title_books = plugin_->List(title_path.substr(0, title_path.rfind('/')));
  ASSERT_TRUE(title_books);
  const ListedEntry& entry =
      *std::find_if(title_books->begin(), title_books->end(),
                    [&](const ListedEntry& e) { return e.name == name; });
  EXPECT_EQ(entry.size, static_cast<uint64_t>(Count("SELECT fSize FROM Books WHERE LibId='" +
                                                    book.lib_id + "'")));
  // DATE is the file date: 2020-01-01 and later, not the import's day.
  EXPECT_NE(entry.write_time.dwHighDateTime, 0u);
}

TEST_F(CollectionTest, GenresTakeTheirNamesFromTheCatalogsGenreList) {
  const std::string path = WriteIndex(
      "named.inpx", {{"arc.inp", Line("Иванов,Иван,:", "sf_history:", "Книга", "1", "1")}});
  WriteFile(library_ + "/arc.zip", BuildTestZip({{.name = "1.fb2", .content = "BOOK"}}));
  ASSERT_EQ(PutIndex(path), FS_FILE_OK) << AllMessages();
  auto genres = plugin_->List("/По жанрам");
  ASSERT_TRUE(genres);
  EXPECT_EQ(Names(*genres), std::vector<std::string>{"Альтернативная история"});
  EXPECT_EQ(Count("SELECT count(*) FROM Genres WHERE Code='sf_history'"), 1);
}

TEST_F(CollectionTest, CopyOutGivesTheMembersBytesStoredOrDeflated) {
  const std::string stored_text = "<FictionBook>stored book</FictionBook>";
  std::string deflated_text;
  for (int i = 0; i < 2000; ++i) deflated_text += "<p>Глава " + std::to_string(i) + "</p>\n";
  WriteFile(library_ + "/arc.zip",
            BuildTestZip({{.name = "1.fb2", .content = stored_text, .deflate = false},
                          {.name = "2.fb2", .content = deflated_text, .deflate = true}}));
  const std::string path = WriteIndex(
      "books.inpx", {{"arc.inp", Line("Толстой,Лев,Николаевич:", "prose:", "Хранимая", "1", "1") +
                                    Line("Толстой,Лев,Николаевич:", "prose:", "Сжатая", "2", "2")}});
  ASSERT_EQ(PutIndex(path), FS_FILE_OK) << AllMessages();

  plugin_->progress.clear();
  EXPECT_EQ(Get("/По названиям/Х/Хранимая.fb2", dir_.Path("stored.fb2")), FS_FILE_OK);
  EXPECT_EQ(ReadFile(dir_.Path("stored.fb2")), stored_text);
  EXPECT_EQ(plugin_->progress, (std::vector<int>{0, 100}));
  EXPECT_EQ(Get("/По названиям/С/Сжатая.fb2", dir_.Path("deflated.fb2")), FS_FILE_OK);
  EXPECT_EQ(ReadFile(dir_.Path("deflated.fb2")), deflated_text);
  // An existing target is kept without overwrite, replaced with it.
  EXPECT_EQ(Get("/По названиям/С/Сжатая.fb2", dir_.Path("stored.fb2")), FS_FILE_EXISTS);
  EXPECT_EQ(Get("/По названиям/С/Сжатая.fb2", dir_.Path("stored.fb2"), FS_COPYFLAGS_OVERWRITE),
            FS_FILE_OK);
  EXPECT_EQ(ReadFile(dir_.Path("stored.fb2")), deflated_text);

  // The host gets no local name: it copies the book out instead.
  auto local_name = reinterpret_cast<BOOL (*)(char*, int)>(plugin_->Export("FsGetLocalName"));
  char buffer[1024] = "/По названиям/Х/Хранимая.fb2";
  local_name(buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer), "");
}

TEST_F(CollectionTest, CopyOutOfABookWhoseArchiveOrMemberIsGoneSaysSo) {
  WriteFile(library_ + "/arc.zip", BuildTestZip({{.name = "1.fb2", .content = "ONE"},
                                                 {.name = "2.fb2", .content = "TWO"}}));
  const std::string path = WriteIndex(
      "books.inpx", {{"arc.inp", Line("Толстой,Лев,:", "prose:", "Первая", "1", "1") +
                                    Line("Толстой,Лев,:", "prose:", "Вторая", "2", "2")}});
  ASSERT_EQ(PutIndex(path), FS_FILE_OK) << AllMessages();

  WriteFile(library_ + "/arc.zip", BuildTestZip({{.name = "1.fb2", .content = "ONE"}}));
  plugin_->logs.clear();
  EXPECT_EQ(Get("/По названиям/В/Вторая.fb2", dir_.Path("two.fb2")), FS_FILE_READERROR);
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("two.fb2")));
  EXPECT_NE(LastLog().find("no longer in its archive"), std::string::npos) << LastLog();
  EXPECT_EQ(plugin_->log_types.back(), MSGTYPE_IMPORTANTERROR);

  std::filesystem::remove(library_ + "/arc.zip");
  plugin_->logs.clear();
  EXPECT_EQ(Get("/По названиям/П/Первая.fb2", dir_.Path("one.fb2")), FS_FILE_READERROR);
  EXPECT_NE(LastLog().find("archive"), std::string::npos);
  EXPECT_NE(LastLog().find("is gone"), std::string::npos) << LastLog();
}

TEST_F(CollectionTest, PuttingANewerIndexAddsRemovesAndKeepsWhatTheUserChanged) {
  const SampleCollectionSummary first = Generate(20, 0);
  ASSERT_EQ(PutIndex(first.index), FS_FILE_OK) << AllMessages();
  ASSERT_EQ(CollectionBooks(), 20);

  // The user moves one book into another genre (a catalog change only).
  const std::string kept_id = "1";
  const std::string book_id = Query("SELECT BookId FROM Books WHERE LibId='1'");
  ASSERT_EQ(MoveToNamedGenre(book_id), FS_FILE_OK);
  const std::string genres_of_kept =
      "SELECT count(*) FROM BookGenres INNER JOIN Genres ON BookGenres.GenreId=Genres.GenreId "
      "WHERE Genres.Code='sf_history' AND BookGenres.BookId=" + book_id;
  ASSERT_EQ(Count(genres_of_kept), 1);

  // The newer index: the same books (a superset marked deleted) and ten more.
  const SampleCollectionSummary second = Generate(30, 30);
  size_t deleted_before = 0;
  for (size_t i = 0; i < 20; ++i) deleted_before += second.books[i].deleted ? 1 : 0;
  ASSERT_GT(deleted_before, 0u);
  ASSERT_FALSE(second.books[0].deleted) << "the moved book must stay in the index";
  size_t new_kept = 0;
  for (size_t i = 20; i < 30; ++i) new_kept += second.books[i].deleted ? 0 : 1;

  ASSERT_EQ(PutIndex(second.index), FS_FILE_OK) << AllMessages();
  EXPECT_EQ(CollectionBooks(), static_cast<int64_t>(20 - deleted_before + new_kept));
  for (const CollectionBook& book : second.books) {
    EXPECT_EQ(Count("SELECT count(*) FROM Books WHERE LibId='" + book.lib_id + "'"),
              book.deleted ? 0 : 1)
        << book.lib_id;
  }
  EXPECT_EQ(Count(genres_of_kept), 1);
  EXPECT_EQ(Query("SELECT BookId FROM Books WHERE LibId='1'"), book_id);
  EXPECT_NE(LastLog().find("removed " + std::to_string(deleted_before)), std::string::npos)
      << LastLog();
  // Authors and series of removed books only are gone too.
  EXPECT_EQ(Count("SELECT count(*) FROM Authors WHERE NOT EXISTS (SELECT BookAuthors.AuthorId "
                  "FROM BookAuthors WHERE BookAuthors.AuthorId=Authors.AuthorId)"),
            0);

  // The same index again changes nothing and duplicates nothing.
  const int64_t books = CollectionBooks();
  ASSERT_EQ(PutIndex(second.index), FS_FILE_OK) << AllMessages();
  EXPECT_EQ(CollectionBooks(), books);
  EXPECT_NE(LastLog().find("added 0,"), std::string::npos) << LastLog();
}

TEST_F(CollectionTest, DeleteRemovesTheBookFromTheCatalogAndLeavesTheArchive) {
  const SampleCollectionSummary written = Generate(10);
  ASSERT_EQ(PutIndex(written.index), FS_FILE_OK) << AllMessages();
  const std::string archive = library_ + "/" + written.books.front().archive;
  const std::string before = ReadFile(archive);
  const std::string path = TitlePath("3");
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(Delete(path));
  EXPECT_EQ(Count("SELECT count(*) FROM Books WHERE LibId='3'"), 0);
  EXPECT_EQ(CollectionBooks(), 9);
  EXPECT_EQ(ReadFile(archive), before);
}

TEST_F(CollectionTest, MoveAndCopyReclassifyInTheCatalogOnlyEvenWithChangecont) {
  const SampleCollectionSummary written = Generate(10);
  ASSERT_EQ(PutIndex(written.index), FS_FILE_OK) << AllMessages();
  const std::string archive = library_ + "/" + written.books.front().archive;
  const std::string before = ReadFile(archive);
  const std::string book_id = Query("SELECT BookId FROM Books WHERE LibId='2'");
  // Move into the named genre of the genre list.
  EXPECT_EQ(MoveToNamedGenre(book_id), FS_FILE_OK);
  EXPECT_EQ(Count("SELECT count(*) FROM BookGenres INNER JOIN Genres ON "
                  "BookGenres.GenreId=Genres.GenreId WHERE Genres.Code='sf_history' AND "
                  "BookGenres.BookId=" + book_id),
            1);
  // Copy into one more genre, then rename inside a series (the title changes).
  const auto in_series = std::find_if(written.books.begin(), written.books.end(),
                                      [](const CollectionBook& b) { return !b.series.empty(); });
  ASSERT_NE(in_series, written.books.end());
  auto series_books = plugin_->List("/По сериям/" + in_series->series);
  ASSERT_TRUE(series_books);
  std::string series_name;
  for (const std::string& n : Names(*series_books)) {
    if (n.find(in_series->title) != std::string::npos) series_name = n;
  }
  ASSERT_FALSE(series_name.empty());
  const std::string number = series_name.substr(0, series_name.find(' '));
  const std::string folder = "/По сериям/" + in_series->series + "/";
  EXPECT_EQ(RenMov(folder + series_name, folder + number + " Новое имя.fb2", true), FS_FILE_OK);
  EXPECT_EQ(Query("SELECT Title FROM Books WHERE LibId='" + in_series->lib_id + "'"), "Новое имя");
  EXPECT_EQ(ReadFile(archive), before);
  EXPECT_EQ(Get("/По названиям/Н/Новое имя.fb2", dir_.Path("out.fb2")), FS_FILE_OK);
  EXPECT_TRUE(LibraryFiles().empty());
}

TEST_F(CollectionTest, ADamagedIndexIsRefusedAndChangesNothing) {
  WriteFile(library_ + "/broken.inpx", "this is not a zip archive at all");
  EXPECT_EQ(PutIndex(library_ + "/broken.inpx"), FS_FILE_WRITEERROR);
  EXPECT_NE(AllMessages().find("damaged index"), std::string::npos) << AllMessages();
  EXPECT_EQ(Count("SELECT count(*) FROM Collections"), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM Books"), 0);

  // An index without any .inp file.
  WriteFile(library_ + "/empty.inpx", BuildTestZip({{.name = "version.info", .content = "1"}}));
  EXPECT_EQ(PutIndex(library_ + "/empty.inpx"), FS_FILE_WRITEERROR);
  EXPECT_EQ(Count("SELECT count(*) FROM Books"), 0);
}

TEST_F(CollectionTest, BadLinesAreRefusedByFileAndLineWhileTheGoodBooksImport) {
  WriteFile(library_ + "/good.zip", BuildTestZip({{.name = "1.fb2", .content = "ONE"},
                                                  {.name = "4.fb2", .content = "FOUR"}}));
  const std::string short_line = std::string("Автор,,:") + kSep + "prose:" + kSep + "Коротко\r\n";
  const std::string bad_utf8 = Line("Автор,,:", "prose:", "Плохо \xC3\x28", "3", "3");
  const std::string path = WriteIndex(
      "mixed.inpx",
      {{"good.inp", Line("Автор,,:", "prose:", "Первая", "1", "1") + short_line + bad_utf8 +
                        Line("Автор,,:", "prose:", "Четвёртая", "4", "4")},
       {"missing.inp", Line("Автор,,:", "prose:", "Без архива", "5", "5")}});
  EXPECT_EQ(PutIndex(path), FS_FILE_WRITEERROR);
  EXPECT_EQ(CollectionBooks(), 2);
  EXPECT_EQ(Count("SELECT count(*) FROM Books WHERE Title='Четвёртая'"), 1);
  const std::string messages = AllMessages();
  EXPECT_NE(messages.find("refused 3 lines"), std::string::npos) << messages;
  EXPECT_NE(messages.find("good.inp:2: too few fields"), std::string::npos) << messages;
  EXPECT_NE(messages.find("good.inp:3: the line is not UTF-8"), std::string::npos) << messages;
  EXPECT_NE(messages.find("missing.inp:1: its archive missing.zip does not exist"),
            std::string::npos)
      << messages;
  ASSERT_FALSE(plugin_->requests.empty());  // shown to the user once
  EXPECT_EQ(plugin_->requests.size(), 1u);
}

TEST_F(CollectionTest, CollectionBooksGetTheSameUniqueNamesAsImportedBooks) {
  // A book imported first, then a collection with two more of its title (in
  // another letter case too): the names are computed for the whole batch at
  // its commit, and the books imported afterwards still get theirs.
  TestBook first;
  first.title = "Дубль";
  WriteFile(dir_.Path("in/first.fb2"), Fb2Text(first));
  ASSERT_EQ(Put(dir_.Path("in/first.fb2"), "/first.fb2"), FS_FILE_OK);
  WriteFile(library_ + "/dup.zip", BuildTestZip({{.name = "1.fb2", .content = "ONE"},
                                                 {.name = "2.fb2", .content = "TWO"}}));
  const std::string path =
      WriteIndex("dup.inpx", {{"dup.inp", Line("Автор,,:", "prose:", "Дубль", "1", "1") +
                                              Line("Автор,,:", "prose:", "дубль", "2", "2")}});
  ASSERT_EQ(PutIndex(path), FS_FILE_OK) << AllMessages();
  TestBook last = first;
  last.authors = {{"Другой", "Автор", ""}};
  WriteFile(dir_.Path("in/last.fb2"), Fb2Text(last));
  ASSERT_EQ(Put(dir_.Path("in/last.fb2"), "/last.fb2"), FS_FILE_OK);

  const std::string one = Query("SELECT BookId FROM Books WHERE LibId='1'");
  const std::string two = Query("SELECT BookId FROM Books WHERE LibId='2'");
  const std::string four = Query("SELECT max(BookId) FROM Books");
  auto listed = plugin_->List("/По названиям/Д");
  ASSERT_TRUE(listed.has_value());
  std::vector<std::string> names = Names(*listed);
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {"Дубль.fb2", "Дубль [" + one + "].fb2",
                                       "дубль [" + two + "].fb2", "Дубль [" + four + "].fb2"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_EQ(Count("SELECT count(*) FROM Books WHERE TitleKey IS NULL OR FileName IS NULL"), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM sqlite_master WHERE type='trigger' AND "
                  "name='BooksComputedOnInsert'"),
            1);
}

TEST_F(CollectionTest, AStoppedImportKeepsWholeArchivesAndPuttingAgainFinishesIt) {
  const SampleCollectionSummary written = Generate(30, 0, 10);
  // The user stops it at the third report: after the start and two archives.
  plugin_->abort_at_call = 3;
  plugin_->progress.clear();
  EXPECT_EQ(PutIndex(written.index), FS_FILE_USERABORT);
  const int64_t partial = CollectionBooks();
  EXPECT_EQ(partial % 10, 0) << "only whole archives are kept";
  EXPECT_LT(partial, 30);
  plugin_->abort_at_call.reset();
  EXPECT_EQ(PutIndex(written.index), FS_FILE_OK) << AllMessages();
  EXPECT_EQ(CollectionBooks(), 30);
}

}  // namespace
}  // namespace tomeva::testing
