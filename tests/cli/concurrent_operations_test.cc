// Several tomeva processes on one library at once, as a file manager and a
// script would: two imports of different folders, two imports of the same
// folder, and moves, deletions and listings in a loop. The result must be
// exactly that of running them one after the other: every book once, with its
// own bytes, no stored file without its book, and no refusal caused by the
// other processes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <map>
#include <regex>
#include <thread>

#include "cli/cli_runner.h"
#include "cli/library_audit.h"

namespace tomeva::testing {
namespace {

constexpr int kBooks = 500;
constexpr int kMovedBooks = 30;
constexpr int kLongImportBooks = 1200;

struct Tally {
  int imported = -1;
  int already_present = -1;
  int refused = -1;
};

Tally TallyOf(const std::string& out) {
  std::smatch m;
  static const std::regex summary(R"(imported (\d+), already present (\d+), refused (\d+))");
  Tally tally;
  if (std::regex_search(out, m, summary)) {
    tally = {std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3])};
  }
  return tally;
}

class ConcurrentOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cli_.InitLibrary();
    for (int i = 0; i < kBooks; ++i) {
      Add("a/" + std::to_string(i) + ".fb2", "Альфа " + std::to_string(i), "poetry");
      Add("b/" + std::to_string(i) + ".fb2", "Бета " + std::to_string(i), "prose_classic");
    }
    for (int i = 0; i < kMovedBooks; ++i) {
      Add("c/" + std::to_string(i) + ".fb2", "Вега " + std::to_string(i), "poetry");
    }
  }
  void Add(const std::string& relative, const std::string& title, const std::string& genre) {
    const std::string book = Fb2Book(title, "Автор" + std::to_string(title.size() % 13), "Имя",
                                     genre, 1950);
    WriteFile(cli_.Path(relative), book);
    sources_[title] = book;
  }

  CliFixture cli_;
  std::map<std::string, std::string> sources_;
};

TEST_F(ConcurrentOperationsTest, ConcurrentOperationsGiveTheResultOfRunningThemInTurn) {
  ProcessResult moved_books = cli_.Run({"put", "-r", cli_.Path("c")});
  ASSERT_EQ(moved_books.exit_code, 0) << moved_books.out << moved_books.err;

  ProcessResult a1, a2, b;
  std::thread first([&] { a1 = cli_.Run({"put", "-r", cli_.Path("a")}); });
  std::thread second([&] { a2 = cli_.Run({"put", "-r", cli_.Path("a")}); });
  std::thread third([&] { b = cli_.Run({"put", "-r", cli_.Path("b")}); });
  // Meanwhile: each moved book goes to another genre, every third is deleted,
  // and the folders are listed.
  std::vector<std::string> failures;
  for (int i = 0; i < kMovedBooks; ++i) {
    const std::string name = "Вега " + std::to_string(i) + ".fb2";
    std::vector<std::vector<std::string>> commands = {
        {"mv", "/По жанрам/Поэзия/" + name, "/По жанрам/Драматургия/"},
        {"ls", "/По жанрам/Драматургия"},
        {"ls", "/По авторам"}};
    if (i % 3 == 0) commands.push_back({"rm", "/По названиям/В/" + name});
    for (const std::vector<std::string>& command : commands) {
      ProcessResult run = cli_.Run(command);
      if (run.exit_code != 0) failures.push_back(command[0] + " " + command[1] + ": " + run.err);
    }
  }
  first.join();
  second.join();
  third.join();
  EXPECT_EQ(failures, std::vector<std::string>{});

  EXPECT_EQ(a1.exit_code, 0) << a1.err;
  EXPECT_EQ(a2.exit_code, 0) << a2.err;
  EXPECT_EQ(b.exit_code, 0) << b.err;
  const Tally t1 = TallyOf(a1.out), t2 = TallyOf(a2.out), tb = TallyOf(b.out);
  // The same folder twice: each book imported by exactly one of the two.
  EXPECT_EQ(t1.imported + t2.imported, kBooks) << a1.out << a2.out;
  EXPECT_EQ(t1.already_present + t2.already_present, kBooks);
  EXPECT_EQ(t1.refused + t2.refused + tb.refused, 0);
  EXPECT_EQ(tb.imported, kBooks) << b.out;

  const std::string catalog = cli_.library() + "/Tomeva.sqlite";
  EXPECT_EQ(AuditLibrary(cli_.library(), sources_), std::vector<std::string>{});
  const int deleted = (kMovedBooks + 2) / 3;
  EXPECT_EQ(CatalogColumn(catalog, "SELECT Count(*) FROM Books").at(0),
            std::to_string(2 * kBooks + kMovedBooks - deleted));
  EXPECT_EQ(CatalogColumn(catalog, "SELECT Count(*) FROM Books JOIN BookGenres USING (BookId) "
                                   "JOIN Genres USING (GenreId) WHERE Code='dramaturgy'")
                .at(0),
            std::to_string(kMovedBooks - deleted));
}

TEST_F(ConcurrentOperationsTest, AMoveDuringALongFolderImportGetsItsTurnWithinTheWaitingTime) {
  // Books of some size, so that the import writes the catalog for a while in
  // batches that follow each other at once.
  const std::string body(20000, 'x');
  for (int i = 0; i < kLongImportBooks; ++i) {
    std::string book = Fb2Book("Долгая " + std::to_string(i), "Автор" + std::to_string(i % 41),
                               "Имя", "poetry", 1950);
    book.insert(book.find("</section>"), "<p>" + body + "</p>");
    WriteFile(cli_.Path("long/" + std::to_string(i) + ".fb2"), book);
  }
  ASSERT_EQ(cli_.Run({"put", "-r", cli_.Path("c")}).exit_code, 0);
  // Every process waits at most a second for the catalog: a few batches.
  cli_.child.environment = {"TOMEVA_BUSY_TIMEOUT_MS=1000"};
  const int importer = cli_.Start({"put", "-r", cli_.Path("long")});
  ASSERT_GT(importer, 0);
  const std::string book = "Вега 1.fb2";
  const std::string genres[] = {"/По жанрам/Поэзия/", "/По жанрам/Драматургия/"};
  int moves = 0;
  int status = 0;
  std::vector<std::string> failures;
  while (waitpid(importer, &status, WNOHANG) == 0) {
    ProcessResult mv = cli_.Run({"mv", genres[moves % 2] + book, genres[(moves + 1) % 2]});
    if (mv.exit_code != 0) failures.push_back(mv.err);
    ++moves;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(failures, std::vector<std::string>{}) << "of " << moves << " moves";
  EXPECT_EQ(CatalogColumn(cli_.library() + "/Tomeva.sqlite", "SELECT Count(*) FROM Books").at(0),
            std::to_string(kLongImportBooks + kMovedBooks));
}

}  // namespace
}  // namespace tomeva::testing
