// End-to-end import through the real Tomeva.wfx with the default settings and
// schema: FsPutFile of plain, zipped and windows-1251 books, then every default
// folder lists them and FsGetFile copies them out unchanged.
#include <gtest/gtest.h>
#include <sys/time.h>

#include "support/fb2_book_text.h"
#include "wfx/library_fixture.h"

namespace tomeva::testing {
namespace {

using Strings = std::vector<std::string>;

// 2021-03-04 05:06:07 UTC, the modification time given to every imported file.
constexpr int64_t kFileTime = 1614834367;

uint64_t Ticks(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

class ImportTest : public LibraryTest {
 protected:
  // Writes a book outside the library with a known modification time.
  std::string WriteLocal(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.Path("in/" + name);
    WriteFile(path, bytes);
    const timeval times[2] = {{kFileTime, 0}, {kFileTime, 0}};
    EXPECT_EQ(utimes(path.c_str(), times), 0);
    return path;
  }
  std::string WriteBook(const std::string& name, const TestBook& book) {
    return WriteLocal(name, Fb2Text(book));
  }

  // The one entry of folder called name, checking size and date on the way.
  void ExpectListed(const std::string& folder, const std::string& name, uint64_t size) {
    auto entries = plugin_->List(folder);
    ASSERT_TRUE(entries.has_value()) << folder;
    bool found = false;
    for (const ListedEntry& e : *entries) {
      if (e.name != name) continue;
      found = true;
      EXPECT_FALSE(e.is_folder) << folder << "/" << name;
      EXPECT_EQ(e.size, size) << folder << "/" << name;
      EXPECT_EQ(Ticks(e.write_time), (kFileTime + 11644473600ull) * 10000000ull) << name;
    }
    EXPECT_TRUE(found) << name << " not in " << folder << ": " << ::testing::PrintToString(Names(*entries));
  }

  // Copies remote out and returns its bytes.
  std::string CopiedOut(const std::string& remote) {
    const std::string target = dir_.Path("out/copy");
    WriteFile(target, "");
    EXPECT_EQ(Get(remote, target, FS_COPYFLAGS_OVERWRITE), FS_FILE_OK) << remote;
    return ReadFile(target);
  }

  // A plain, a zipped and a windows-1251 book (the last in a numbered series) are
  // imported; each must show in all five folders and copy out byte-identical.
  void ImportThreeAndCheckEveryFolder() {
    TestBook war;
    const std::string plain = WriteBook("war.fb2", war);
    TestBook anna;
    anna.title = "Анна Каренина";
    anna.genres = {"love_history"};
    anna.year = "1877";
    const std::string zipped = WriteLocal("anna.fb2.zip", ZipOf("anna.fb2", Fb2Text(anna)));
    TestBook cp1251;
    cp1251.title = "Детство";
    cp1251.encoding = "windows-1251";
    cp1251.series = "Трилогия";
    cp1251.series_number = "1";
    cp1251.year = "1852";
    const std::string single_byte = WriteBook("childhood.fb2", cp1251);
    Start();
    for (const std::string& local : {plain, zipped, single_byte}) {
      ASSERT_EQ(Put(local, "/По названиям/" + local.substr(local.rfind('/') + 1)), FS_FILE_OK)
          << local;
    }
    struct Expected {
      std::string local, name, letter, genre, year;
    };
    const Expected books[] = {
        {plain, "Война и мир.fb2", "В", "prose_classic", "1869"},
        {zipped, "Анна Каренина.fb2.zip", "А", "love_history", "1877"},
        {single_byte, "Детство.fb2", "Д", "prose_classic", "1852"},
    };
    for (const Expected& b : books) {
      const std::string bytes = ReadFile(b.local);
      const uint64_t size = bytes.size();
      ExpectListed("/По авторам/Т/Толстой Лев Николаевич", b.name, size);
      ExpectListed("/По жанрам/" + b.genre, b.name, size);
      ExpectListed("/По названиям/" + b.letter, b.name, size);
      ExpectListed("/По годам/" + b.year, b.name, size);
      EXPECT_EQ(CopiedOut("/По названиям/" + b.letter + "/" + b.name), bytes) << b.name;
    }
    ExpectListed("/По сериям/Трилогия", "01 Детство.fb2", ReadFile(single_byte).size());
    EXPECT_EQ(Query("SELECT Count(*) FROM Books"), "3");
    EXPECT_EQ(Query("SELECT Count(*) FROM Authors"), "1");
  }
};

TEST_F(ImportTest, BooksAppearInEveryFolderAndCopyOutUnchangedWithRelativeLinks) {
  ImportThreeAndCheckEveryFolder();
  EXPECT_EQ(LibraryFiles(), (Strings{"Толстой Лев/Анна Каренина.fb2.zip",
                                     "Толстой Лев/Война и мир.fb2", "Толстой Лев/Детство.fb2"}));
  EXPECT_EQ(Query("SELECT Link FROM Books WHERE Title='Детство'"), "Толстой Лев/Детство.fb2");
}

TEST_F(ImportTest, AbsoluteLinksWhenRootIsNotRelative) {
  SetSetting("root/@relative", "0");
  ImportThreeAndCheckEveryFolder();
  EXPECT_EQ(Query("SELECT Link FROM Books WHERE Title='Детство'"),
            LibraryFolder() + "/Толстой Лев/Детство.fb2");
}

TEST_F(ImportTest, WithoutStorefilesBooksStayWhereTheyAreAndNothingIsStored) {
  SetSetting("storefiles", "0");
  ImportThreeAndCheckEveryFolder();
  EXPECT_EQ(LibraryFiles(), Strings{});
  EXPECT_EQ(Query("SELECT Link FROM Books WHERE Title='Детство'"), "../../in/childhood.fb2");
}

TEST_F(ImportTest, WithoutStorefilesAndRelativeTheLinkIsTheUsersFile) {
  SetSetting("storefiles", "0");
  SetSetting("root/@relative", "0");
  ImportThreeAndCheckEveryFolder();
  EXPECT_EQ(Query("SELECT Link FROM Books WHERE Title='Детство'"), dir_.Path("in/childhood.fb2"));
}

TEST_F(ImportTest, TheSameBookAgainExistsAndOverwriteReplacesItWithoutASecondRow) {
  const std::string first = WriteBook("war.fb2", {});
  Start();
  ASSERT_EQ(Put(first, "/war.fb2"), FS_FILE_OK);
  const std::string key = Query("SELECT BookId FROM Books");
  EXPECT_EQ(Put(first, "/war.fb2"), FS_FILE_EXISTS);
  TestBook revised;
  revised.year = "1873";
  revised.annotation = "Вторая редакция.";
  const std::string second = WriteBook("war2.fb2", revised);
  ASSERT_EQ(Put(second, "/war.fb2", FS_COPYFLAGS_OVERWRITE), FS_FILE_OK);
  EXPECT_EQ(Query("SELECT Count(*) & '/' & Max(BookId) & '/' & Max(Year) FROM Books"),
            "1/" + key + "/1873");
  EXPECT_EQ(Query("SELECT Count(*) FROM BookAuthors"), "1");
  EXPECT_EQ(LibraryFiles(), Strings{"Толстой Лев/Война и мир.fb2"});
  EXPECT_EQ(CopiedOut("/По годам/1873/Война и мир.fb2"), ReadFile(second));
}

TEST_F(ImportTest, ABookOfTwoAuthorsIsListedUnderBoth) {
  TestBook book;
  book.title = "Двенадцать стульев";
  book.authors = {{"Ильф", "Илья", "Арнольдович"}, {"Петров", "Евгений", "Петрович"}};
  const std::string local = WriteBook("12.fb2", book);
  Start();
  ASSERT_EQ(Put(local, "/12.fb2"), FS_FILE_OK);
  const uint64_t size = ReadFile(local).size();
  ExpectListed("/По авторам/И/Ильф Илья Арнольдович", "Двенадцать стульев.fb2", size);
  ExpectListed("/По авторам/П/Петров Евгений Петрович", "Двенадцать стульев.fb2", size);
  EXPECT_EQ(CopiedOut("/По авторам/П/Петров Евгений Петрович/Двенадцать стульев.fb2"),
            ReadFile(local));
}

TEST_F(ImportTest, BadFilesAreRefusedAndLeaveNothingBehind) {
  TestBook no_metadata;
  no_metadata.title.clear();
  no_metadata.authors.clear();
  const std::string not_fb2 = WriteLocal("notes.txt", "plain text");
  const std::string text = WriteLocal("text.fb2", "plain text, not XML");
  const std::string cut = WriteLocal("cut.fb2", Fb2Text({}).substr(0, 150));
  const std::string empty_zip = WriteLocal("other.fb2.zip", ZipOf("readme.txt", "hello"));
  Start();
  EXPECT_EQ(Put(not_fb2, "/notes.txt"), FS_FILE_NOTSUPPORTED);
  for (const std::string& local : {text, cut, empty_zip}) {
    EXPECT_EQ(Put(local, "/x.fb2"), FS_FILE_WRITEERROR) << local;
  }
  EXPECT_EQ(Query("SELECT Count(*) FROM Books") + Query("SELECT Count(*) FROM Authors"), "00");
  EXPECT_EQ(LibraryFiles(), Strings{});
  // A book without authors and title is still a book: it gets placeholder names.
  ASSERT_EQ(Put(WriteBook("bare.fb2", no_metadata), "/bare.fb2"), FS_FILE_OK);
  EXPECT_EQ(LibraryFiles(), Strings{"Без автора/Без названия.fb2"});
}

TEST_F(ImportTest, HostileTitlesAreStoredUnderSafeNamesInsideTheLibrary) {
  TestBook climbing, quoted, huge, control;
  climbing.title = "../../x";
  quoted.title = "It's \"quoted\"";
  huge.title = std::string(10000, 'z');
  control.raw_title = "A&#9;B&#10;C&#13;D";
  Start();
  int n = 0;
  for (const TestBook* book : {&climbing, &quoted, &huge, &control}) {
    const std::string local = WriteBook("hostile" + std::to_string(++n) + ".fb2", *book);
    ASSERT_EQ(Put(local, "/hostile.fb2"), FS_FILE_OK) << n;
  }
  EXPECT_EQ(Query("SELECT Count(*) FROM Books"), "4");
  for (const std::string& file : LibraryFiles()) {
    // One plain name in the author's folder: no further separator, no "..".
    EXPECT_EQ(file.rfind("Толстой Лев/", 0), 0u) << file;
    EXPECT_EQ(file.find('/', std::string("Толстой Лев/").size()), std::string::npos) << file;
    EXPECT_NE(file, "Толстой Лев/..") << file;
    EXPECT_EQ(file.find('"'), std::string::npos) << file;
    for (unsigned char c : file) EXPECT_GE(c, 0x20) << file;
  }
  EXPECT_FALSE(PathExists(dir_.Path("x.fb2")));
  EXPECT_FALSE(PathExists(dir_.Path("plugin/x.fb2")));
  // Every one of them is listed under a name that fits the host's name field
  // and copies out its own file.
  auto titles = plugin_->List("/По авторам/Т/Толстой Лев Николаевич");
  ASSERT_TRUE(titles.has_value());
  ASSERT_EQ(titles->size(), 4u);
  for (const ListedEntry& e : *titles) {
    EXPECT_EQ(e.name.find('/'), std::string::npos) << e.name;
    EXPECT_LT(e.name.size(), sizeof(WIN32_FIND_DATAA{}.cFileName)) << e.name;
    EXPECT_FALSE(CopiedOut("/По авторам/Т/Толстой Лев Николаевич/" + e.name).empty()) << e.name;
  }
}

}  // namespace
}  // namespace tomeva::testing
