// Search through the tomeva program and the real plugin: find prints paths of
// the search folder that get, rm and mv take; the search folder follows every
// import, move, rename and deletion; search text that looks like a query of
// its own finds nothing and breaks nothing; the stock sqlite3 shell still
// finds the catalog sound.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/cli_runner.h"
#include "cli/library_audit.h"
#include "support/temp_dir.h"

namespace tomeva::testing {
namespace {

class SearchCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cli_.InitLibrary();
    WriteFile(Book("war.fb2"), Fb2Book("Война и мир", "Толстой", "Лев", "prose_classic", 1869));
    WriteFile(Book("anna.fb2"), Fb2Book("Анна Каренина", "Толстой", "Лев", "prose_classic", 1877));
    WriteFile(Book("poems.fb2"), Fb2Book("Стихи", "Пушкин", "Александр", "poetry", 1830));
    WriteFile(Book("tree.fb2"), Fb2Book("Ёлка", "Wells", "Herbert", "sf", 1900));
    ProcessResult put = cli_.Run({"put", "-r", cli_.Path("books")});
    ASSERT_EQ(put.exit_code, 0) << put.out << put.err;
  }

  std::string Book(const std::string& name) const { return cli_.Path("books/" + name); }

  // The names of the books find prints for words, sorted; the paths must all
  // lie in the search folder of those words.
  std::vector<std::string> Found(const std::vector<std::string>& words) {
    std::vector<std::string> arguments = {"find"};
    arguments.insert(arguments.end(), words.begin(), words.end());
    ProcessResult find = cli_.Run(arguments);
    std::vector<std::string> names;
    for (const std::string& line : Lines(find.out)) {
      const size_t slash = line.rfind('/');
      EXPECT_EQ(line.rfind("/Поиск/", 0), 0u) << line;
      names.push_back(line.substr(slash + 1));
    }
    EXPECT_EQ(find.exit_code, names.empty() ? 1 : 0) << find.err;
    std::sort(names.begin(), names.end());
    return names;
  }

  CliFixture cli_;
};

using Names = std::vector<std::string>;

TEST_F(SearchCommandsTest, FindMatchesWordBeginningsInAnyCaseAndOrder) {
  EXPECT_EQ(Found({"толстой", "лев"}), (Names{"Анна Каренина.fb2", "Война и мир.fb2"}));
  EXPECT_EQ(Found({"Лев Толстой"}), (Names{"Анна Каренина.fb2", "Война и мир.fb2"}));
  EXPECT_EQ(Found({"ТОЛСТ", "вой"}), (Names{"Война и мир.fb2"}));
  EXPECT_EQ(Found({"елка"}), (Names{"Ёлка.fb2"}));
  EXPECT_EQ(Found({"HERB", "wells"}), (Names{"Ёлка.fb2"}));
  ProcessResult find = cli_.Run({"find", "война", "мир"});
  EXPECT_EQ(find.out, "/Поиск/война мир/Война и мир.fb2\n");
  EXPECT_EQ(find.err, "");
}

TEST_F(SearchCommandsTest, NothingFoundIsExitOneAndNoWordsIsAUsageError) {
  ProcessResult none = cli_.Run({"find", "Достоевский"});
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "tomeva: no book matches Достоевский\n");
  ProcessResult empty = cli_.Run({"find", " / "});
  EXPECT_EQ(empty.exit_code, 2);
  ProcessResult elsewhere = cli_.Run({"find", "--in", "/Нет такой папки", "мир"});
  EXPECT_EQ(elsewhere.exit_code, 2);
  EXPECT_NE(elsewhere.err.find("/Нет такой папки"), std::string::npos) << elsewhere.err;
}

TEST_F(SearchCommandsTest, FoundPathsAreBooksThatGetRmAndLsTake) {
  ProcessResult find = cli_.Run({"find", "анна"});
  ASSERT_EQ(find.exit_code, 0) << find.err;
  const std::string path = Lines(find.out).at(0);
  ProcessResult get = cli_.Run({"get", path, cli_.Path("out.fb2")});
  ASSERT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(ReadFile(cli_.Path("out.fb2")), ReadFile(Book("anna.fb2")));
  // The folder lists it like any other folder of books.
  EXPECT_EQ(cli_.Run({"ls", "/Поиск/анна"}).out, "Анна Каренина.fb2\n");
  EXPECT_EQ(cli_.Run({"ls", "/Поиск"}).out, "");
  ProcessResult rm = cli_.Run({"rm", path});
  ASSERT_EQ(rm.exit_code, 0) << rm.err;
  EXPECT_EQ(Found({"анна"}), (Names{}));
  EXPECT_EQ(Found({"толстой"}), (Names{"Война и мир.fb2"}));
  EXPECT_EQ(AuditLibrary(cli_.library()), std::vector<std::string>{});
}

TEST_F(SearchCommandsTest, SearchFollowsMovesIntoSeriesAndRenames) {
  ProcessResult mv = cli_.Run({"mv", "/Поиск/война/Война и мир.fb2", "/По сериям/Эпопея/"});
  ASSERT_EQ(mv.exit_code, 0) << mv.out << mv.err;
  EXPECT_EQ(Found({"эпопея", "толстой"}), (Names{"Война и мир.fb2"}));
  ProcessResult rename =
      cli_.Run({"mv", "/По сериям/Эпопея/00 Война и мир.fb2", "/По сериям/Эпопея/00 Мир.fb2"});
  ASSERT_EQ(rename.exit_code, 0) << rename.out << rename.err;
  EXPECT_EQ(Found({"война"}), (Names{}));
  EXPECT_EQ(Found({"мир", "эпопея"}), (Names{"Мир.fb2"}));
  EXPECT_EQ(ShellIntegrityCheck(cli_.library() + "/Tomeva.sqlite"), "ok");
}

TEST_F(SearchCommandsTest, SearchTextThatLooksLikeAQueryFindsNothingAndBreaksNothing) {
  for (const char* text : {"\"", "*", "NEAR(война мир)", "война OR стихи", "(", "^",
                           "title:война", "'; DROP TABLE Books; --", "AND", "%", "война\"*"}) {
    ProcessResult find = cli_.Run({"find", text});
    EXPECT_LE(find.exit_code, 1) << text << ": " << find.err;
    EXPECT_EQ(find.err.find("error"), std::string::npos) << text << ": " << find.err;
    EXPECT_EQ(find.err.find("cannot"), std::string::npos) << text << ": " << find.err;
  }
  // Words stay words: OR is a word no book has, "-" and quotes are spaces.
  EXPECT_EQ(Found({"война OR стихи"}), (Names{}));
  EXPECT_EQ(Found({"--", "-мир"}), (Names{"Война и мир.fb2"}));
  EXPECT_EQ(Found({"война\"*"}), (Names{"Война и мир.fb2"}));
  EXPECT_EQ(Found({std::string(5000, 'x')}), (Names{}));
  EXPECT_EQ(Found({"толстой"}).size(), 2u);
}

}  // namespace
}  // namespace tomeva::testing
