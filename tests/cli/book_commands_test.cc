// The book commands end to end through the real plugin: put (summary, per-file
// lines, exit code, re-import), ls of imported books, get (byte-identical copies,
// no silent overwrite), rm, mv and cp.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cli/cli_runner.h"
#include "cli/library_audit.h"
#include "support/fb2_book_text.h"

namespace tomeva::testing {
namespace {

constexpr const char* kWarAndPeace = "/По авторам/Т/Толстой Лев/Война и мир.fb2";

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class BookCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cli_.InitLibrary();
    WriteFile(Book("a/war.fb2"), Fb2Book("Война и мир", "Толстой", "Лев", "prose_classic", 1869));
    WriteFile(Book("b/Стихи.FB2"), Fb2Book("Стихи", "Пушкин", "Александр", "poetry", 1830));
    static const char kDamaged[] = "\x00\x01PK garbage, not a book\xff";
    WriteFile(Book("broken.fb2"), std::string(kDamaged, sizeof(kDamaged) - 1));
    WriteFile(Book("notes.txt"), "not a book");
  }

  std::string Book(const std::string& name) const { return cli_.Path("books/" + name); }

  // Imports the two good books and fails the test unless both arrive.
  void ImportGoodBooks() {
    ProcessResult put = cli_.Run({"put", Book("a/war.fb2"), Book("b/Стихи.FB2")});
    ASSERT_EQ(put.exit_code, 0) << put.out << put.err;
  }

  CliFixture cli_;
};

TEST_F(BookCommandsTest, PutRecursiveImportsBooksRefusesDamagedOnesAndSkipsOthers) {
  ProcessResult put = cli_.Run({"put", "-r", cli_.Path("books")});
  EXPECT_EQ(put.exit_code, 1) << "a refused book must fail the run\n" << put.out << put.err;
  std::vector<std::string> lines = Lines(put.out);
  // Not a terminal: one plain line per file, in sorted order, then the summary.
  ASSERT_GE(lines.size(), 5u) << put.out;
  EXPECT_EQ(lines[0], "imported: " + Book("a/war.fb2"));
  EXPECT_EQ(lines[1], "imported: " + Book("b/Стихи.FB2"));
  EXPECT_EQ(lines[2].rfind("refused: " + Book("broken.fb2") + ": ", 0), 0u) << lines[2];
  EXPECT_EQ(lines[3], "skipped: " + Book("notes.txt") + ": not an FB2 book (.fb2, .fb2.zip or .fbz)");
  EXPECT_EQ(lines[4].rfind("imported 2, already present 0, refused 1, skipped 1 in ", 0), 0u)
      << lines[4];
  EXPECT_EQ(lines[5].rfind("refused: " + Book("broken.fb2") + ": ", 0), 0u) << put.out;

  // Every default way into the catalog shows the books.
  EXPECT_TRUE(Contains(Lines(cli_.Run({"ls", "/По авторам"}).out), "Т/"));
  EXPECT_TRUE(Contains(Lines(cli_.Run({"ls", "/По авторам/Т/Толстой Лев"}).out), "Война и мир.fb2"));
  EXPECT_TRUE(Contains(Lines(cli_.Run({"ls", "/По жанрам"}).out), "Поэзия/"));
  EXPECT_TRUE(Contains(Lines(cli_.Run({"ls", "/По годам"}).out), "1869/"));
  EXPECT_TRUE(Contains(Lines(cli_.Run({"ls", "/По названиям/С"}).out), "Стихи.fb2"));
}

TEST_F(BookCommandsTest, PutOfAFolderWithoutRecursiveOrOfAMissingFileIsAUsageError) {
  ProcessResult folder = cli_.Run({"put", cli_.Path("books")});
  EXPECT_EQ(folder.exit_code, 2);
  EXPECT_NE(folder.err.find("-r"), std::string::npos) << folder.err;
  ProcessResult missing = cli_.Run({"put", cli_.Path("books/none.fb2")});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_NE(missing.err.find(cli_.Path("books/none.fb2")), std::string::npos) << missing.err;
  EXPECT_EQ(cli_.Run({"ls", "/По авторам"}).out, "");
}

TEST_F(BookCommandsTest, ReimportCountsBooksAsAlreadyPresentAndSucceeds) {
  ImportGoodBooks();
  ProcessResult again = cli_.Run({"put", "-r", cli_.Path("books/a"), cli_.Path("books/b")});
  EXPECT_EQ(again.exit_code, 0) << again.out << again.err;
  EXPECT_TRUE(Contains(Lines(again.out), "already present: " + Book("a/war.fb2"))) << again.out;
  EXPECT_NE(again.out.find("imported 0, already present 2, refused 0, skipped 0"),
            std::string::npos)
      << again.out;
  // Still one book of that title.
  EXPECT_EQ(Lines(cli_.Run({"ls", "/По названиям/В"}).out).size(), 1u);
}

TEST_F(BookCommandsTest, LongAndJsonListingsOfBooksGiveSizeAndDate) {
  ImportGoodBooks();
  ProcessResult ls = cli_.Run({"ls", "-l", "/По авторам/Т/Толстой Лев"});
  ASSERT_EQ(ls.exit_code, 0) << ls.err;
  std::vector<std::string> lines = Lines(ls.out);
  ASSERT_EQ(lines.size(), 1u) << ls.out;
  EXPECT_EQ(lines[0].substr(0, 2), "- ");
  EXPECT_NE(lines[0].find(" Война и мир.fb2"), std::string::npos) << lines[0];
  const std::string size = std::to_string(std::filesystem::file_size(Book("a/war.fb2")));
  EXPECT_NE(lines[0].find(" " + size + " "), std::string::npos) << lines[0];

  ProcessResult json = cli_.Run({"ls", "--json", "/По авторам/Т/Толстой Лев"});
  ASSERT_EQ(json.exit_code, 0) << json.err;
  EXPECT_EQ(json.out.rfind("{\"name\":\"Война и мир.fb2\",\"type\":\"file\",\"size\":" + size +
                               ",\"modified\":\"",
                           0),
            0u)
      << json.out;
  EXPECT_NE(json.out.find("Z\"}\n"), std::string::npos) << json.out;
}

TEST_F(BookCommandsTest, GetCopiesBooksOutByteIdenticalAndNeverOverwritesSilently) {
  ImportGoodBooks();
  std::filesystem::create_directories(cli_.Path("out"));
  ProcessResult get = cli_.Run({"get", kWarAndPeace, cli_.Path("out")});
  ASSERT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(ReadFile(cli_.Path("out/Война и мир.fb2")), ReadFile(Book("a/war.fb2")));

  // One book onto a file name.
  ProcessResult named = cli_.Run({"get", kWarAndPeace, cli_.Path("out/copy.fb2")});
  ASSERT_EQ(named.exit_code, 0) << named.err;
  EXPECT_EQ(ReadFile(cli_.Path("out/copy.fb2")), ReadFile(Book("a/war.fb2")));

  WriteFile(cli_.Path("out/copy.fb2"), "mine");
  ProcessResult exists = cli_.Run({"get", kWarAndPeace, cli_.Path("out/copy.fb2")});
  EXPECT_EQ(exists.exit_code, 1);
  EXPECT_NE(exists.err.find("use --force"), std::string::npos) << exists.err;
  EXPECT_EQ(ReadFile(cli_.Path("out/copy.fb2")), "mine");
  EXPECT_EQ(cli_.Run({"get", "--force", kWarAndPeace, cli_.Path("out/copy.fb2")}).exit_code, 0);
  EXPECT_EQ(ReadFile(cli_.Path("out/copy.fb2")), ReadFile(Book("a/war.fb2")));

  ProcessResult missing = cli_.Run({"get", "/По авторам/Т/Толстой Лев/Нет.fb2", cli_.Path("out")});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("not found"), std::string::npos) << missing.err;

  // A folder named instead of a book is said to be one, for get and mv alike.
  ProcessResult folder = cli_.Run({"get", "/По авторам/Т/Толстой Лев", cli_.Path("out")});
  EXPECT_EQ(folder.exit_code, 1);
  EXPECT_NE(folder.err.find("/По авторам/Т/Толстой Лев is a folder"), std::string::npos)
      << folder.err;
  ProcessResult move_folder = cli_.Run({"mv", "/По авторам/Т", "/По жанрам/"});
  EXPECT_EQ(move_folder.exit_code, 1);
  EXPECT_NE(move_folder.err.find("/По авторам/Т is a folder"), std::string::npos)
      << move_folder.err;

  // Several books need a folder to go to.
  ProcessResult several = cli_.Run({"get", kWarAndPeace, kWarAndPeace, cli_.Path("out/copy.fb2")});
  EXPECT_EQ(several.exit_code, 2);
}

TEST_F(BookCommandsTest, RmDeletesTheBookAndReportsWhatItCannotDelete) {
  ImportGoodBooks();
  ProcessResult rm = cli_.Run({"rm", "/По названиям/В/Война и мир.fb2"});
  EXPECT_EQ(rm.exit_code, 0) << rm.err;
  EXPECT_EQ(cli_.Run({"ls", "/По названиям/В"}).out, "");
  EXPECT_FALSE(Contains(Lines(cli_.Run({"ls", "/По авторам"}).out), "Т/"));

  ProcessResult again = cli_.Run({"rm", "/По названиям/В/Война и мир.fb2"});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_EQ(again.err.rfind("tomeva: cannot delete /По названиям/В/Война и мир.fb2", 0), 0u)
      << again.err;
}

TEST_F(BookCommandsTest, MvAndCpReclassifyABookBetweenGenres) {
  ImportGoodBooks();
  const std::string in_classics = "/По жанрам/Классическая проза/Война и мир.fb2";
  ASSERT_TRUE(Contains(Lines(cli_.Run({"ls", "/По жанрам/Классическая проза"}).out),
                       "Война и мир.fb2"));
  // A destination ending in "/" keeps the book's name.
  ProcessResult cp = cli_.Run({"cp", in_classics, "/По жанрам/Научная фантастика/"});
  ASSERT_EQ(cp.exit_code, 0) << cp.err;
  EXPECT_TRUE(Contains(Lines(cli_.Run({"ls", "/По жанрам/Научная фантастика"}).out),
                       "Война и мир.fb2"));
  EXPECT_TRUE(Contains(Lines(cli_.Run({"ls", "/По жанрам/Классическая проза"}).out),
                       "Война и мир.fb2"));

  // A listed folder as destination works without the "/" too.
  ProcessResult mv = cli_.Run({"mv", in_classics, "/По жанрам/Поэзия"});
  ASSERT_EQ(mv.exit_code, 0) << mv.err;
  EXPECT_TRUE(Contains(Lines(cli_.Run({"ls", "/По жанрам/Поэзия"}).out), "Война и мир.fb2"));
  EXPECT_FALSE(Contains(Lines(cli_.Run({"ls", "/По жанрам"}).out), "Классическая проза/"));
}

TEST_F(BookCommandsTest, ValuesMadeOfDigitsKeepTheirTextAndLeadToTheirBooks) {
  const std::string keyword = "12345678901234567890";
  TestBook bond;
  bond.title = "007";
  bond.series = "007";
  bond.series_number = "1";
  bond.isbn = "0451524934";
  bond.keywords = keyword;
  WriteFile(Book("bond.fb2"), Fb2Text(bond));
  TestBook old;
  old.title = "Old";
  old.series = "Bond";
  old.series_number = "1";
  WriteFile(Book("old.fb2"), Fb2Text(old));
  ProcessResult put = cli_.Run({"put", Book("bond.fb2"), Book("old.fb2")});
  ASSERT_EQ(put.exit_code, 0) << put.out << put.err;

  const std::string catalog = cli_.library() + "/Tomeva.sqlite";
  EXPECT_EQ(CatalogColumn(catalog, "SELECT Title || '|' || ISBN || '|' || Keywords FROM Books "
                                   "WHERE ISBN IS NOT NULL"),
            std::vector<std::string>{"007|0451524934|" + keyword});
  EXPECT_EQ(CatalogColumn(catalog, "SELECT Name FROM Series ORDER BY Name"),
            (std::vector<std::string>{"007", "Bond"}));

  // The series opens, and the book is found by every path that lists it.
  EXPECT_TRUE(Contains(Lines(cli_.Run({"ls", "/По сериям"}).out), "007/"));
  EXPECT_EQ(cli_.Run({"ls", "/По сериям/007"}).out, "01 007.fb2\n");
  EXPECT_EQ(cli_.Run({"ls", "/По названиям/0"}).out, "007.fb2\n");
  ProcessResult get = cli_.Run({"get", "/По названиям/0/007.fb2", cli_.Path("out.fb2")});
  EXPECT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(ReadFile(cli_.Path("out.fb2")), Fb2Text(bond));

  // A rename to a title of digits stores that text (the number is not renamed;
  // a second "007" is keyed by its BookId).
  ProcessResult mv = cli_.Run({"mv", "/По сериям/Bond/01 Old.fb2", "/По сериям/Bond/02 007.fb2"});
  EXPECT_EQ(mv.exit_code, 0) << mv.err;
  EXPECT_EQ(cli_.Run({"ls", "/По сериям/Bond"}).out, "01 007 [2].fb2\n");
  EXPECT_EQ(CatalogColumn(catalog, "SELECT Title FROM Books ORDER BY BookId"),
            (std::vector<std::string>{"007", "007"}));

  ProcessResult rm = cli_.Run({"rm", "/По сериям/007/01 007.fb2"});
  EXPECT_EQ(rm.exit_code, 0) << rm.err;
  EXPECT_EQ(cli_.Run({"ls", "/По сериям/007"}).out, "");
}

}  // namespace
}  // namespace tomeva::testing
