// Imports, deletions and moves killed with SIGKILL at random points, with
// changecont off and on, a 50 MB book among the imports: after the next
// operation the library passes the audit (sound catalog, rows and files one to
// one, every stored file its book's bytes or, with changecont, a file that
// says what the catalog says), and a final import brings every book in once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <thread>

#include "cli/cli_runner.h"
#include "cli/library_audit.h"

namespace tomeva::testing {
namespace {

constexpr int kBooks = 60;

std::string Title(int i) { return "Книга " + std::to_string(i); }

class InterruptedOperationsTest : public ::testing::TestWithParam<bool> {
 protected:
  bool changecont() const { return GetParam(); }

  void SetUp() override {
    cli_.InitLibrary();
    if (changecont()) {
      const std::string settings = cli_.library() + "/Tomeva.xml";
      std::string xml = ReadFile(settings);
      const std::string flag = "<storefiles>-1</storefiles>";
      ASSERT_NE(xml.find(flag), std::string::npos);
      xml.replace(xml.find(flag), flag.size(), flag + "\n  <changecont>-1</changecont>");
      WriteFile(settings, xml);
    }
    const std::string body(20000, 'x');
    for (int i = 0; i < kBooks; ++i) {
      std::string book = Fb2Book(Title(i), "Автор" + std::to_string(i % 7), "Имя",
                                 i % 2 ? "poetry" : "prose_classic", 1900 + i);
      book.insert(book.find("</section>"), "<p>" + body + "</p>");
      Add("books/" + std::to_string(i) + ".fb2", Title(i), book);
    }
    // A large book: its copy into the library takes a while.
    std::string big = Fb2Book("Большая книга", "Толстой", "Лев", "prose_classic", 1869);
    std::string paragraphs;
    const std::string paragraph = "<p>" + std::string(1000, 'y') + "</p>\n";
    while (paragraphs.size() < 50u * 1024 * 1024) paragraphs += paragraph;
    big.insert(big.find("</section>"), paragraphs);
    Add("big/big.fb2", "Большая книга", big);
  }

  void Add(const std::string& relative, const std::string& title, const std::string& bytes) {
    WriteFile(cli_.Path(relative), bytes);
    sources_[title] = bytes;
  }

  std::string Catalog() const { return cli_.library() + "/Tomeva.sqlite"; }

  // A random operation of the kinds a user runs, on books the catalog has.
  std::vector<std::string> RandomOperation(std::mt19937& random) {
    const std::vector<std::string> titles =
        CatalogColumn(Catalog(), "SELECT Title FROM Books WHERE Title LIKE 'Книга%' ORDER BY 1");
    const std::vector<std::string> poems = CatalogColumn(
        Catalog(),
        "SELECT Title FROM Books JOIN BookGenres USING (BookId) JOIN Genres USING (GenreId) "
        "WHERE Code='poetry' ORDER BY 1");
    switch (std::uniform_int_distribution<int>(0, 5)(random)) {
      case 0: return {"put", "-r", cli_.Path("books")};
      case 1:
      case 5: return {"put", "-r", cli_.Path("big")};
      case 2:
        if (titles.empty()) break;
        return {"rm", "/По названиям/К/" + titles[random() % titles.size()] + ".fb2"};
      case 3:
        if (poems.empty()) break;
        return {"rm", "/По жанрам/Поэзия/" + poems[random() % poems.size()] + ".fb2"};
      default:
        if (poems.empty()) break;
        const std::string poem = poems[random() % poems.size()];
        return {"mv", "/По жанрам/Поэзия/" + poem + ".fb2", "/По жанрам/Драматургия/"};
    }
    return {"put", "-r", cli_.Path("books")};
  }

  // With changecont, every stored file lists exactly the genres the catalog
  // gives its book.
  void ExpectFilesSayWhatTheCatalogSays(const std::string& when) {
    const std::string lib = cli_.library() + "/Lib/";
    const std::vector<std::string> links = CatalogColumn(Catalog(), "SELECT Link FROM Books");
    const std::regex genre("<genre>([^<]*)</genre>");
    for (const std::string& link : links) {
      std::vector<std::string> catalog_genres = CatalogColumn(
          Catalog(), "SELECT Code FROM Books JOIN BookGenres USING (BookId) JOIN Genres USING "
                     "(GenreId) WHERE Link='" + link + "' ORDER BY 1");
      const std::string text = ReadFile(lib + link).substr(0, 4096);
      std::vector<std::string> file_genres;
      for (std::sregex_iterator it(text.begin(), text.end(), genre), end; it != end; ++it) {
        file_genres.push_back((*it)[1]);
      }
      std::sort(file_genres.begin(), file_genres.end());
      EXPECT_EQ(file_genres, catalog_genres) << when << ": " << link;
    }
  }

  void Audit(const std::string& when) {
    // Without changecont a stored file is its book's bytes; with it, the
    // file's header follows the catalog instead.
    EXPECT_EQ(AuditLibrary(cli_.library(), changecont() ? std::map<std::string, std::string>{}
                                                        : sources_),
              std::vector<std::string>{})
        << when;
    if (changecont()) ExpectFilesSayWhatTheCatalogSays(when);
  }

  CliFixture cli_;
  std::map<std::string, std::string> sources_;
};

TEST_P(InterruptedOperationsTest, KilledOperationsLeaveNothingOrphanedAndFilesAgreeWithTheCatalog) {
  ProcessResult first = cli_.Run({"put", "-r", cli_.Path("books")});
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  // The genre folders are shown by their names from the catalog's genre list.
  ASSERT_EQ(cli_.Run({"ls", "/По жанрам/Поэзия"}).exit_code, 0);

  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  for (int round = 1; round <= 16; ++round) {
    const std::vector<std::string> operation = RandomOperation(random);
    std::string text;
    for (const std::string& word : operation) text += word + " ";
    const int pid = cli_.Start(operation);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<int>(1000, 80000)(random)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    // Most operations take tens of milliseconds: the kill falls anywhere in one.
    ProcessResult next = cli_.Run({"put", cli_.Path("books/0.fb2")});
    EXPECT_LE(next.exit_code, 1) << next.err;
    Audit("after killing round " + std::to_string(round) + ": " + text);
  }
  ProcessResult rest = cli_.Run({"put", "-r", cli_.Path("books"), cli_.Path("big")});
  EXPECT_EQ(rest.exit_code, 0) << rest.out << rest.err;
  Audit("after the last import");
  EXPECT_EQ(CatalogColumn(Catalog(), "SELECT Count(*) FROM Books").at(0),
            std::to_string(kBooks + 1));
}

INSTANTIATE_TEST_SUITE_P(Changecont, InterruptedOperationsTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("On") : std::string("Off");
                         });

}  // namespace
}  // namespace tomeva::testing
