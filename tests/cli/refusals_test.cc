// Operations the machine will not let through: a read-only catalog, a
// read-only library folder, a full disk, a catalog another program keeps
// busy, a file that is no catalog, damaged books and things that are no files.
// Each is refused with a message saying what happened and a failing exit
// status, and changes nothing; what could be done afterwards still works.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "cli/cli_runner.h"
#include "cli/library_audit.h"
#include "support/fb2_book_text.h"

namespace tomeva::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kNobody = 65534;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class RefusalsTest : public ::testing::Test {
 protected:
  void SetUp() override { cli_.InitLibrary(); }
  void TearDown() override {
    if (mounted_) RunProgram("/bin/umount", {"-l", Disk()}, "/", "/tmp");
  }

  // A small file system of its own at Disk() where the machine allows mounting
  // one (unmounted when the test ends); false elsewhere.
  bool MountSmallDisk(const std::string& size) {
    fs::create_directories(Disk());
    mounted_ = getuid() == 0 &&
               RunProgram("/bin/mount", {"-t", "tmpfs", "-o", "size=" + size, "tmpfs", Disk()}, "/",
                          "/tmp")
                       .exit_code == 0;
    return mounted_;
  }
  std::string Disk() const { return cli_.Path("disk"); }

  std::string Catalog() const { return cli_.library() + "/Tomeva.sqlite"; }
  std::string Lib() const { return cli_.library() + "/Lib"; }

  // Writes a book to import and remembers its bytes.
  std::string Book(const std::string& name, const std::string& title, const std::string& genre,
                   size_t body_bytes = 0) {
    std::string book = Fb2Book(title, "Пушкин", "Александр", genre, 1830);
    if (body_bytes > 0) book.insert(book.find("</section>"), "<p>" + std::string(body_bytes, 'z') + "</p>");
    WriteFile(cli_.Path("in/" + name), book);
    sources_[title] = book;
    return cli_.Path("in/" + name);
  }
  void ImportTwoBooks() {
    ProcessResult put = cli_.Run({"put", Book("ode.fb2", "Ода", "poetry"),
                                  Book("tale.fb2", "Сказка", "poetry")});
    ASSERT_EQ(put.exit_code, 0) << put.out << put.err;
  }

  // Everything of the library a user could notice: its books with their
  // genres, and every file below the library folder with its bytes.
  std::string State() const {
    std::string state;
    for (const std::string& line : CatalogColumn(
             Catalog(), "SELECT BookId || ':' || Title || ':' || Link || ':' || (SELECT "
                        "group_concat(GenreId) FROM BookGenres WHERE BookGenres.BookId=Books.BookId) "
                        "FROM Books ORDER BY BookId")) {
      state += line + "\n";
    }
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(Lib(), ec)) {
      const std::string path = entry.path().string();
      if (path.find(".tomeva-journal") != std::string::npos) continue;
      state += path + (entry.is_regular_file() ? " " + std::to_string(ReadFile(path).size()) : "/") +
               "\n";
    }
    return state;
  }

  // From now on every run is by a user who owns the library but is not root
  // (as root, who may write anywhere, the runs switch to nobody).
  void RunAsOrdinaryUser() {
    if (getuid() != 0) return;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(cli_.dir().path(), ec)) {
      (void)lchown(entry.path().c_str(), kNobody, kNobody);
    }
    (void)chown(cli_.dir().path().c_str(), kNobody, kNobody);
    cli_.child.uid = kNobody;
    cli_.child.gid = kNobody;
  }

  // Marks the folder and everything below it read-only (or writable again).
  static void SetReadOnly(const std::string& folder, bool read_only) {
    std::error_code ec;
    const fs::perms bits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    const fs::perm_options how = read_only ? fs::perm_options::remove : fs::perm_options::add;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
      fs::permissions(entry.path(), bits, how, ec);
    }
    fs::permissions(folder, bits, how, ec);
  }

  CliFixture cli_;
  std::map<std::string, std::string> sources_;
  bool mounted_ = false;
};

TEST_F(RefusalsTest, ReadOnlyCatalogIsListedAndEveryChangeIsRefusedAsReadOnly) {
  ImportTwoBooks();
  const std::string new_book = Book("new.fb2", "Новая", "poetry");
  RunAsOrdinaryUser();
  fs::permissions(Catalog(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string before = State();

  ProcessResult ls = cli_.Run({"ls", "/По названиям/О"});
  EXPECT_EQ(ls.exit_code, 0) << ls.err;
  EXPECT_EQ(ls.out, "Ода.fb2\n");
  ProcessResult put = cli_.Run({"put", new_book});
  EXPECT_EQ(put.exit_code, 1);
  EXPECT_TRUE(Contains(put.out, "refused: " + new_book + ": the catalog is read-only")) << put.out;
  ProcessResult rm = cli_.Run({"rm", "/По названиям/О/Ода.fb2"});
  EXPECT_EQ(rm.exit_code, 1);
  EXPECT_TRUE(Contains(rm.err, "read-only")) << rm.err;
  ProcessResult mv = cli_.Run({"mv", "/По жанрам/Поэзия/Ода.fb2", "/По жанрам/Драматургия/"});
  EXPECT_EQ(mv.exit_code, 1);
  EXPECT_TRUE(Contains(mv.err, "read-only")) << mv.err;
  EXPECT_EQ(State(), before);
}

TEST_F(RefusalsTest, ReadOnlyLibraryFolderRefusesImportAndDeletionAndChangesNothing) {
  ImportTwoBooks();
  const std::string new_book = Book("new.fb2", "Новая", "poetry");
  RunAsOrdinaryUser();
  SetReadOnly(Lib(), true);
  const std::string before = State();

  ProcessResult put = cli_.Run({"put", new_book});
  EXPECT_EQ(put.exit_code, 1);
  EXPECT_TRUE(Contains(put.out, "cannot copy the book into the library")) << put.out;
  EXPECT_TRUE(Contains(put.out, "Permission denied")) << put.out;
  ProcessResult rm = cli_.Run({"rm", "/По названиям/О/Ода.fb2"});
  EXPECT_EQ(rm.exit_code, 1);
  EXPECT_TRUE(Contains(rm.err, "Permission denied")) << rm.err;
  EXPECT_EQ(State(), before);
  // A change of the catalog alone needs no file: it goes through.
  ProcessResult mv = cli_.Run({"mv", "/По жанрам/Поэзия/Ода.fb2", "/По жанрам/Драматургия/"});
  EXPECT_EQ(mv.exit_code, 0) << mv.err;

  SetReadOnly(Lib(), false);
  ProcessResult again = cli_.Run({"put", new_book});
  EXPECT_EQ(again.exit_code, 0) << again.out << again.err;
  EXPECT_EQ(AuditLibrary(cli_.library(), sources_), std::vector<std::string>{});
}

TEST_F(RefusalsTest, FullDiskRefusesTheImportSaysSoAndLeavesNothingBehind) {
  // A small file system of its own where the machine allows mounting one;
  // elsewhere a file size limit makes writes fail the same way.
  const bool mounted = MountSmallDisk("1m");
  const std::string disk = Disk();
  const std::string library = disk + "/library";
  ProcessResult init = cli_.Run({"init", library, "--force"});
  ASSERT_EQ(init.exit_code, 0) << init.err;
  const std::string big = Book("big.fb2", "Большая", "poetry", 400000);
  std::string filler_path = disk + "/filler";
  if (mounted) {
    // Fill the disk up to the last 100 KB.
    const fs::space_info space = fs::space(disk);
    WriteFile(filler_path, std::string(space.available > 100000 ? space.available - 100000 : 0, 'f'));
  } else {
    cli_.child.max_file_bytes = 200000;
  }
  const std::string before = CatalogColumn(library + "/Tomeva.sqlite",
                                           "SELECT Count(*) FROM Books").at(0);
  ProcessResult put = cli_.Run({"put", big});
  EXPECT_EQ(put.exit_code, 1) << put.out;
  EXPECT_TRUE(Contains(put.out, mounted ? "No space left on device" : "File too large")) << put.out;
  EXPECT_EQ(CatalogColumn(library + "/Tomeva.sqlite", "SELECT Count(*) FROM Books").at(0), before);

  // Room again: the same import goes through and nothing of the failed one is left.
  if (mounted) {
    fs::remove(filler_path);
  } else {
    cli_.child.max_file_bytes = -1;
  }
  ProcessResult again = cli_.Run({"put", big});
  EXPECT_EQ(again.exit_code, 0) << again.out << again.err;
  EXPECT_EQ(AuditLibrary(library, sources_), std::vector<std::string>{});
}

TEST_F(RefusalsTest, ADiskFillingUpDuringAFolderImportGetsEveryBookReportedTruthfully) {
  // Many books in one put: the disk fills up (or, where no file system can be
  // mounted, every fifth book is too large to write) part of the way through,
  // in the middle of a batch of books sharing one catalog transaction.
  const bool mounted = MountSmallDisk("2m");
  const std::string library = Disk() + "/library";
  ProcessResult init = cli_.Run({"init", library, "--force"});
  ASSERT_EQ(init.exit_code, 0) << init.err;
  std::set<std::string> titles;
  for (int i = 0; i < 40; ++i) {
    const std::string title = "Книга " + std::to_string(i);
    titles.insert(title);
    Book("many/" + std::to_string(i) + ".fb2", title, "poetry",
         !mounted && i % 5 == 4 ? 300000 : 60000);
  }
  if (!mounted) cli_.child.max_file_bytes = 250000;
  ProcessResult put = cli_.Run({"put", "-r", cli_.Path("in/many")});
  EXPECT_EQ(put.exit_code, 1) << put.out << put.err;
  // Each book is reported once: imported ones are in the catalog, refused
  // ones are not.
  const std::vector<std::string> rows =
      CatalogColumn(library + "/Tomeva.sqlite", "SELECT Title FROM Books");
  const std::set<std::string> present(rows.begin(), rows.end());
  std::map<std::string, std::string> reported;  // title -> first word of its line
  std::istringstream lines(put.out);
  for (std::string line; std::getline(lines, line);) {
    // The summary, which names the refused books again, ends the list.
    if (line.size() > 9 && line.starts_with("imported ") && std::isdigit(line[9])) break;
    for (const char* word : {"imported: ", "refused: "}) {
      const std::string prefix = word + cli_.Path("in/many/");
      if (!line.starts_with(prefix)) continue;
      const std::string number = line.substr(prefix.size(), line.find(".fb2") - prefix.size());
      const std::string title = "Книга " + number;
      EXPECT_TRUE(reported.emplace(title, word).second) << "reported twice: " << title;
      EXPECT_EQ(present.contains(title), std::string(word) == "imported: ") << line;
    }
  }
  EXPECT_EQ(reported.size(), titles.size()) << put.out;
  EXPECT_LT(present.size(), titles.size()) << "the disk never filled up";
  EXPECT_EQ(AuditLibrary(library, sources_), std::vector<std::string>{});

  // Room again: the rest goes in, and nothing of the refused ones was left.
  if (mounted) {
    RunProgram("/bin/mount", {"-o", "remount,size=16m", Disk()}, "/", "/tmp");
  } else {
    cli_.child.max_file_bytes = -1;
  }
  ProcessResult again = cli_.Run({"put", "-r", cli_.Path("in/many")});
  EXPECT_EQ(again.exit_code, 0) << again.out << again.err;
  EXPECT_EQ(CatalogColumn(library + "/Tomeva.sqlite", "SELECT Count(*) FROM Books").at(0), "40");
  EXPECT_EQ(AuditLibrary(library, sources_), std::vector<std::string>{});
}

TEST_F(RefusalsTest, BusyCatalogIsWaitedForThenRefusedAsBusy) {
  ImportTwoBooks();
  const std::string new_book = Book("new.fb2", "Новая", "poetry");
  cli_.child.environment = {"TOMEVA_BUSY_TIMEOUT_MS=300"};
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(Catalog().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const std::string before = State();
  ProcessResult put = cli_.Run({"put", new_book});
  ProcessResult rm = cli_.Run({"rm", "/По названиям/О/Ода.fb2"});
  ProcessResult ls = cli_.Run({"ls", "/По названиям/О"});
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(put.exit_code, 1);
  EXPECT_TRUE(Contains(put.out, "the catalog is busy")) << put.out;
  EXPECT_EQ(rm.exit_code, 1);
  EXPECT_TRUE(Contains(rm.err, "the catalog is busy")) << rm.err;
  // Readers are never kept waiting by a writer.
  EXPECT_EQ(ls.exit_code, 0) << ls.err;
  EXPECT_EQ(State(), before);
  EXPECT_EQ(cli_.Run({"put", new_book}).exit_code, 0);
}

TEST_F(RefusalsTest, AFileThatIsNoCatalogIsNamedAndUpgradeFails) {
  WriteFile(Catalog(), std::string(4096, 'x'));
  ProcessResult ls = cli_.Run({"ls", "/"});
  EXPECT_EQ(ls.exit_code, 1);
  EXPECT_TRUE(Contains(ls.err, "not a Tomeva catalog: " + Catalog())) << ls.err;
  ProcessResult upgrade = cli_.Run({"upgrade"});
  EXPECT_EQ(upgrade.exit_code, 1) << upgrade.out;
  EXPECT_TRUE(Contains(upgrade.err, "not a Tomeva catalog")) << upgrade.err;
  EXPECT_FALSE(Contains(upgrade.out, "Upgraded"));
}

TEST_F(RefusalsTest, EachRefusedBookSaysWhyAndThingsThatAreNoFilesAreNamed) {
  WriteFile(cli_.Path("in/cut.fb2"), "<?xml version=\"1.0\"?>\n<FictionBook><description>\n<title");
  WriteFile(cli_.Path("in/empty.fb2.zip"), ZipOf("notes.txt", "no book in here"));
  ASSERT_EQ(mkfifo(cli_.Path("in/pipe.fb2").c_str(), 0644), 0);
  fs::create_directories(cli_.Path("in/folder.fb2"));
  Book("folder.fb2/inside.fb2", "Внутри", "poetry");
  ProcessResult put = cli_.Run({"put", "-r", cli_.Path("in")});
  EXPECT_EQ(put.exit_code, 1);
  EXPECT_TRUE(Contains(put.out, "refused: " + cli_.Path("in/cut.fb2") +
                                    ": not a readable FB2 book: line 3:"))
      << put.out;
  EXPECT_TRUE(Contains(put.out, "refused: " + cli_.Path("in/empty.fb2.zip") +
                                    ": not a readable FB2 book: ") &&
              Contains(put.out, "holds no FB2 book"))
      << put.out;
  EXPECT_TRUE(Contains(put.out, "skipped: " + cli_.Path("in/pipe.fb2") +
                                    ": not a regular file (a FIFO, device or socket)"))
      << put.out;
  EXPECT_TRUE(Contains(put.out, "imported: " + cli_.Path("in/folder.fb2/inside.fb2"))) << put.out;
  EXPECT_TRUE(Contains(put.out, "imported 1, already present 0, refused 2, skipped 1")) << put.out;
}

}  // namespace
}  // namespace tomeva::testing
