// Collections through the tomeva program: 'tomeva put NAME.inpx' imports a
// generated collection with a summary, its books list and copy out, an index
// with bad lines fails the run naming every refused line, and a first import
// killed anywhere leaves the catalog as it was.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "cli/cli_runner.h"
#include "cli/library_audit.h"
#include "sample_library/collection_writer.h"

namespace tomeva::testing {
namespace {

class CollectionCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { cli_.InitLibrary(); }

  SampleCollectionSummary Generate(uint64_t count, unsigned deleted_percent,
                                   bool index_only = false) {
    SampleLibraryOptions options;
    options.index_only = index_only;
    options.out = cli_.Path("distribution");
    options.collection = "lib.rus.ec";
    options.count = count;
    options.per_archive = index_only ? 1000 : 25;
    options.body_kb = 2;
    options.deleted_percent = deleted_percent;
    Result<SampleCollectionSummary> written = WriteSampleCollection(options);
    EXPECT_TRUE(written.ok()) << written.message();
    return written.ok() ? std::move(written).value() : SampleCollectionSummary{};
  }

  CliFixture cli_;
};

TEST_F(CollectionCommandsTest, PutOfAnIndexImportsTheCollectionAndSaysWhatItDid) {
  const SampleCollectionSummary written = Generate(60, 10);
  ProcessResult put = cli_.Run({"put", written.index});
  ASSERT_EQ(put.exit_code, 0) << put.out << put.err;
  const std::string added = "added " + std::to_string(written.books_written - written.deleted);
  EXPECT_NE(put.out.find("collection lib.rus.ec: " + added + ", removed 0"), std::string::npos)
      << put.out;

  // The genre names come from the genre list 'tomeva init' wrote; every
  // book is listed in its genres.
  const std::vector<std::string> genres = Lines(cli_.Run({"ls", "/По жанрам"}).out);
  EXPECT_FALSE(genres.empty());
  size_t genre_entries = 0;
  for (const std::string& genre : genres) {
    EXPECT_NE(genre.find_first_of("АБВГДЕЖЗИКЛМНОПРСТУФХЦЧШЭЮЯ"), std::string::npos) << genre;
    genre_entries +=
        Lines(cli_.Run({"ls", "/По жанрам/" + genre.substr(0, genre.size() - 1)}).out).size();
  }
  EXPECT_GE(genre_entries, written.books_written - written.deleted);
  EXPECT_EQ(FolderListingProblems(cli_.library() + "/Tomeva.sqlite"), std::vector<std::string>{});

  const CollectionBook* book = nullptr;
  for (const CollectionBook& b : written.books) {
    if (!b.deleted) {
      book = &b;
      break;
    }
  }
  ASSERT_NE(book, nullptr);
  const std::vector<std::string> titles = Lines(cli_.Run({"ls", "/По названиям"}).out);
  ASSERT_FALSE(titles.empty());
  std::string found;
  for (const std::string& letter : titles) {
    const std::string folder = "/По названиям/" + letter.substr(0, letter.size() - 1);
    for (const std::string& name : Lines(cli_.Run({"ls", folder}).out)) {
      if (name.rfind(book->title, 0) == 0) found = folder + "/" + name;
    }
    if (!found.empty()) break;
  }
  ASSERT_FALSE(found.empty()) << book->title;
  std::filesystem::create_directories(cli_.Path("out"));
  ProcessResult get = cli_.Run({"get", found, cli_.Path("out/book.fb2")});
  ASSERT_EQ(get.exit_code, 0) << get.out << get.err;
  EXPECT_EQ(ReadFile(cli_.Path("out/book.fb2")).rfind("<?xml", 0), 0u);

  // Put again: nothing added, nothing duplicated.
  ProcessResult again = cli_.Run({"put", written.index});
  ASSERT_EQ(again.exit_code, 0) << again.out << again.err;
  EXPECT_NE(again.out.find("added 0, removed 0, already present"), std::string::npos) << again.out;
  EXPECT_EQ(FolderListingProblems(cli_.library() + "/Tomeva.sqlite"), std::vector<std::string>{});
}

TEST_F(CollectionCommandsTest, AFirstImportKilledAnywhereLeavesTheCatalogAsItWas) {
  // A first import is one transaction that sets the catalog's indexes aside
  // and builds them at its end: killed at any point, the catalog must come
  // back sound, without books and with every index.
  const SampleCollectionSummary written = Generate(30000, 0, /*index_only=*/true);
  const std::string catalog = cli_.library() + "/Tomeva.sqlite";
  const std::string index_list =
      "SELECT name || ' ' || sql FROM sqlite_schema WHERE type = 'index' AND sql IS NOT NULL "
      "ORDER BY name";
  const std::vector<std::string> indexes = CatalogColumn(catalog, index_list);
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay_ms(50, 900);
  for (int round = 1; round <= 3; ++round) {
    const int pid = cli_.Start({"put", written.index});
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms(random)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string when = "after kill " + std::to_string(round);
    EXPECT_EQ(ShellIntegrityCheck(catalog), "ok") << when;
    EXPECT_EQ(CatalogColumn(catalog, index_list), indexes) << when;
    // Either all of it (the kill came after the commit) or nothing.
    const std::string books = CatalogColumn(catalog, "SELECT count(*) FROM Books").at(0);
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(books, "0") << when;
    } else {
      EXPECT_EQ(books, std::to_string(written.books_written)) << when;
    }
    EXPECT_EQ(FolderListingProblems(catalog), std::vector<std::string>{}) << when;
  }
  ProcessResult put = cli_.Run({"put", written.index});
  ASSERT_EQ(put.exit_code, 0) << put.out << put.err;
  EXPECT_EQ(CatalogColumn(catalog, "SELECT count(*) FROM Books").at(0),
            std::to_string(written.books_written));
  EXPECT_EQ(ShellIntegrityCheck(catalog), "ok");
  EXPECT_EQ(CatalogColumn(catalog, index_list), indexes);
  EXPECT_EQ(FolderListingProblems(catalog), std::vector<std::string>{});
  // Found by the search index and listed by name.
  const CollectionBook& book = written.books.front();
  ProcessResult found = cli_.Run({"find", book.title});
  EXPECT_NE(found.out.find(book.title), std::string::npos) << found.out << found.err;
}

TEST_F(CollectionCommandsTest, AnIndexWithBadLinesFailsTheRunAndNamesThem) {
  const SampleCollectionSummary written = Generate(30, 0);
  // The second archive is gone: its 5 lines are refused, the others import.
  std::filesystem::remove(cli_.Path("distribution/fb2-000026-000030.zip"));
  ProcessResult put = cli_.Run({"put", written.index});
  EXPECT_EQ(put.exit_code, 1) << put.out << put.err;
  const std::string all = put.out + put.err;
  EXPECT_NE(all.find("added 25"), std::string::npos) << all;
  EXPECT_NE(all.find("refused 5 lines"), std::string::npos) << all;
  EXPECT_NE(all.find("fb2-000026-000030.inp:5: its archive fb2-000026-000030.zip does not exist"),
            std::string::npos)
      << all;
}

}  // namespace
}  // namespace tomeva::testing
