// Names and keys end to end through the tomeva program and the real plugin: a
// catalog Tomeva writes (or upgrades) is one the stock sqlite3 shell finds
// consistent and queries correctly; import still finds an existing author
// ignoring Cyrillic letter case; every listed name - shared titles, titles with
// the display substitutes in them, names too long for the name field - leads
// to exactly the book or folder it was listed for.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "cli/library_audit.h"

namespace tomeva::testing {
namespace {

constexpr const char* kStockShell = "/usr/bin/sqlite3";

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// An FB2 book as Fb2Book makes it, in the series given.
std::string Fb2BookInSeries(const std::string& title, const std::string& last_name,
                            const std::string& series, int number) {
  std::string book = Fb2Book(title, last_name, "Иван", "prose", 2001);
  const std::string lang = "   <lang>ru</lang>\n";
  book.replace(book.find(lang), lang.size(),
               "   <sequence name=\"" + series + "\" number=\"" + std::to_string(number) +
                   "\"/>\n" + lang);
  return book;
}

// Letter case folded the way catalogs of earlier versions ordered NOCASE:
// ASCII and Russian letters lowered.
std::string FoldForOldOrder(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c + 32);
    } else if (c == 0xD0 && i + 1 < text.size()) {
      const auto d = static_cast<unsigned char>(text[++i]);
      if (d == 0x81) {
        out += "\xD1\x91";  // Ё -> ё
      } else if (d >= 0x90 && d <= 0x9F) {
        out += "\xD0";
        out += static_cast<char>(d + 0x20);  // А..П -> а..п
      } else if (d >= 0xA0 && d <= 0xAF) {
        out += "\xD1";
        out += static_cast<char>(d - 0x20);  // Р..Я -> р..я
      } else {
        out += "\xD0";
        out += static_cast<char>(d);
      }
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int OldNoCase(void*, int n1, const void* p1, int n2, const void* p2) {
  const std::string a = FoldForOldOrder({static_cast<const char*>(p1), static_cast<size_t>(n1)});
  const std::string b = FoldForOldOrder({static_cast<const char*>(p2), static_cast<size_t>(n2)});
  return a.compare(b);
}

class NamesAndKeysTest : public ::testing::Test {
 protected:
  void SetUp() override { cli_.InitLibrary(); }

  std::string Catalog() const { return cli_.library() + "/Tomeva.sqlite"; }

  // Writes a book to books/<name> and imports it; fails the test unless it is imported.
  void Import(const std::string& name, const std::string& text) {
    const std::string path = cli_.Path("books/" + name);
    WriteFile(path, text);
    ProcessResult put = cli_.Run({"put", path});
    ASSERT_EQ(put.exit_code, 0) << put.out << put.err;
    ASSERT_NE(put.out.find("imported: " + path), std::string::npos) << put.out;
  }

  // The stock sqlite3 shell run on the catalog with one SQL text.
  ProcessResult Shell(const std::string& sql) const {
    return RunProgram(kStockShell, {Catalog(), sql}, cli_.Path(""), cli_.Path("home"));
  }

  std::vector<std::string> Ls(const std::string& path) const {
    ProcessResult ls = cli_.Run({"ls", path});
    EXPECT_EQ(ls.exit_code, 0) << path << "\n" << ls.out << ls.err;
    return Lines(ls.out);
  }

  // Copies the book listed at path out and returns its bytes ("" on failure).
  std::string Get(const std::string& path, const std::string& target) const {
    std::filesystem::create_directories(cli_.Path("out"));
    ProcessResult get = cli_.Run({"get", path, cli_.Path("out/" + target)});
    EXPECT_EQ(get.exit_code, 0) << path << "\n" << get.out << get.err;
    return get.exit_code == 0 ? ReadFile(cli_.Path("out/" + target)) : std::string();
  }

  CliFixture cli_;
};

TEST_F(NamesAndKeysTest, StockShellFindsCyrillicNamesAndFindsTheCatalogIntact) {
  Import("a.fb2", Fb2Book("Ёлка", "Ёлкин", "Иван", "prose", 2001));
  Import("b.fb2", Fb2Book("Ёж", "ёжиков", "Пётр", "prose", 2002));
  Import("c.fb2", Fb2Book("Ель", "Ершов", "Алексей", "prose", 2003));
  Import("d.fb2", Fb2Book("Tree", "ёлкина", "Анна", "prose", 2004));

  ProcessResult check = Shell("PRAGMA integrity_check;");
  EXPECT_EQ(check.exit_code, 0) << check.err;
  EXPECT_EQ(check.out, "ok\n");
  EXPECT_EQ(Shell("SELECT First FROM Authors WHERE Last='Ёлкин';").out, "Иван\n");
  EXPECT_EQ(Shell("SELECT First FROM Authors WHERE Last='ёжиков';").out, "Пётр\n");
  EXPECT_EQ(Shell("SELECT count(*) FROM Books WHERE Title='Ёлка';").out, "1\n");

  // The shell cannot change a table whose keys Tomeva computes: it fails and
  // leaves the catalog as it was.
  ProcessResult write = Shell("INSERT INTO Authors (Last) VALUES ('Юрьев');");
  EXPECT_NE(write.exit_code, 0);
  EXPECT_NE(write.err.find("no such function"), std::string::npos) << write.err;
  EXPECT_EQ(Shell("SELECT count(*) FROM Authors;").out, "4\n");
  EXPECT_EQ(Shell("PRAGMA integrity_check;").out, "ok\n");
}

TEST_F(NamesAndKeysTest, ImportFindsExistingAuthorIgnoringCase) {
  Import("a.fb2", Fb2Book("Ёлка", "Ёлкин", "Иван", "prose", 2001));
  Import("b.fb2", Fb2Book("Берёза", "ЁЛКИН", "иван", "prose", 2002));
  EXPECT_EQ(Shell("SELECT count(*) FROM Authors;").out, "1\n");
  EXPECT_EQ(Ls("/По авторам/Ё"), std::vector<std::string>{"Ёлкин Иван/"});
  std::vector<std::string> books = Ls("/По авторам/Ё/Ёлкин Иван");
  std::sort(books.begin(), books.end());
  EXPECT_EQ(books, (std::vector<std::string>{"Ёлка.fb2", "Берёза.fb2"}));  // byte order
  // The same title, another letter case, the same author: already present.
  const std::string again = cli_.Path("books/again.fb2");
  WriteFile(again, Fb2Book("ЁЛКА", "ёлкин", "Иван", "prose", 2001));
  ProcessResult put = cli_.Run({"put", again});
  EXPECT_NE(put.out.find("already present: " + again), std::string::npos) << put.out;
}

TEST_F(NamesAndKeysTest, AnUpgradedCatalogOfAnEarlierVersionPassesTheStockShell) {
  // A catalog as earlier versions wrote it: the same tables, their NOCASE
  // indexes ordered with Cyrillic letters folded.
  std::filesystem::remove(Catalog());
  {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(Catalog().c_str(), &raw), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    sqlite3_create_collation(raw, "NOCASE", SQLITE_UTF8, nullptr, OldNoCase);
    std::ifstream schema(std::string(TOMEVA_SOURCE_DIR) + "/config/schema.sql");
    const std::string sql((std::istreambuf_iterator<char>(schema)), {});
    ASSERT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw,
                           "INSERT INTO Authors (AuthorId, Last, First) VALUES (1, 'Ёлкин', "
                           "'Иван'), (2, 'ёжиков', 'Пётр'), (3, 'Абрамов', 'Фёдор'), "
                           "(4, 'Ершов', 'Пётр');"
                           "INSERT INTO Books (BookId, Title, Link) VALUES (1, 'Ёлка', 'x.fb2'), "
                           "(2, 'ёж', 'y.fb2'), (3, 'Ёж', 'z.fb2'), (4, 'Дом', 'w.fb2');"
                           "INSERT INTO BookAuthors VALUES (1, 1), (2, 2), (3, 2), (4, 3);"
                           "INSERT INTO Genres (GenreId, Code, Name) VALUES (1, 'poetry', "
                           "'Поэзия'), (2, 'poem', 'Поэзия'), (3, 'sf', NULL);"
                           "INSERT INTO BookGenres VALUES (1, 1), (1, 2), (2, 2), (4, 3);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
  }
  // What the stock shell makes of it before the upgrade.
  ASSERT_NE(Shell("PRAGMA integrity_check;").out, "ok\n");

  ProcessResult upgrade = cli_.Run({"upgrade"});
  EXPECT_EQ(upgrade.exit_code, 0) << upgrade.out << upgrade.err;
  EXPECT_EQ(Shell("PRAGMA integrity_check;").out, "ok\n");
  EXPECT_EQ(Shell("SELECT First FROM Authors WHERE Last='Ёлкин';").out, "Иван\n");
  EXPECT_EQ(Shell("SELECT BookId FROM Books WHERE Title='Ёж';").out, "3\n");
  // The computed names: "ёж" and "Ёж" share a folded title, so the later book
  // is listed with its key.
  std::vector<std::string> books = Ls("/По авторам/Ё/ёжиков Пётр");
  std::sort(books.begin(), books.end());
  EXPECT_EQ(books, (std::vector<std::string>{"Ёж [3].fb2", "ёж.fb2"}));
  EXPECT_EQ(Ls("/По авторам/Ё"), (std::vector<std::string>{"Ёлкин Иван/", "ёжиков Пётр/"}));
  // Two genres named alike are one folder listing each book once; a genre
  // without a name is shown by its code.
  EXPECT_EQ(Ls("/По жанрам"), (std::vector<std::string>{"Поэзия/", "sf/"}));
  EXPECT_EQ(Ls("/По жанрам/Поэзия"), (std::vector<std::string>{"Ёлка.fb2", "ёж.fb2"}));
  EXPECT_EQ(Ls("/По жанрам/sf"), (std::vector<std::string>{"Дом.fb2"}));
}

TEST_F(NamesAndKeysTest, UpgradeListsAgainBooksLeftOutOfTheFolderListings) {
  // As a program that does not keep the listing tables would leave them.
  Import("a.fb2", Fb2Book("Ёлка", "Ёлкин", "Иван", "prose", 2001));
  ASSERT_EQ(Shell("DELETE FROM GenreListing; DELETE FROM AuthorListing;").exit_code, 0);
  EXPECT_EQ(FolderListingProblems(Catalog()).size(), 2u);
  ProcessResult upgrade = cli_.Run({"upgrade"});
  EXPECT_EQ(upgrade.exit_code, 0) << upgrade.out << upgrade.err;
  EXPECT_EQ(FolderListingProblems(Catalog()), std::vector<std::string>{});
  EXPECT_EQ(Ls("/По авторам/Ё"), (std::vector<std::string>{"Ёлкин Иван/"}));
  const std::vector<std::string> genres = Ls("/По жанрам");
  ASSERT_EQ(genres.size(), 1u);
  EXPECT_EQ(Ls("/По жанрам/" + genres[0].substr(0, genres[0].size() - 1)),
            (std::vector<std::string>{"Ёлка.fb2"}));
}

TEST_F(NamesAndKeysTest, EveryListedNameOfASharedTitleLeadsToItsOwnBook) {
  Import("1.fb2", Fb2Book("Dup", "Adams", "Ann", "prose", 2001));
  Import("2.fb2", Fb2Book("Dup", "Brown", "Bob", "prose", 2002));
  // A title that looks like the second book's keyed name.
  Import("3.fb2", Fb2Book("Dup [2]", "Clark", "Cid", "prose", 2003));
  Import("4.fb2", Fb2Book("dup", "Dean", "Dan", "prose", 2004));
  std::vector<std::string> names = Ls("/По названиям/D");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Dup [2] [3].fb2", "Dup [2].fb2", "Dup.fb2",
                                             "dup [4].fb2"}));
  EXPECT_EQ(Get("/По названиям/D/Dup.fb2", "1"), ReadFile(cli_.Path("books/1.fb2")));
  EXPECT_EQ(Get("/По названиям/D/Dup [2].fb2", "2"), ReadFile(cli_.Path("books/2.fb2")));
  EXPECT_EQ(Get("/По названиям/D/Dup [2] [3].fb2", "3"), ReadFile(cli_.Path("books/3.fb2")));
  EXPECT_EQ(Get("/По годам/2003/Dup [2] [3].fb2", "3y"), ReadFile(cli_.Path("books/3.fb2")));
  EXPECT_EQ(Get("/По авторам/C/Clark Cid/Dup [2] [3].fb2", "3a"),
            ReadFile(cli_.Path("books/3.fb2")));

  // Deleting the first book gives its plain name to the next one of the title.
  ProcessResult rm = cli_.Run({"rm", "/По названиям/D/Dup.fb2"});
  ASSERT_EQ(rm.exit_code, 0) << rm.out << rm.err;
  names = Ls("/По названиям/D");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Dup [2] [3].fb2", "Dup.fb2", "dup [4].fb2"}));
  EXPECT_EQ(Get("/По названиям/D/Dup.fb2", "2b"), ReadFile(cli_.Path("books/2.fb2")));
  EXPECT_EQ(Shell("PRAGMA integrity_check;").out, "ok\n");
}

TEST_F(NamesAndKeysTest, SeriesNamesOfSharedTitlesLeadToTheirBooksAndRenamesChangeTheTitle) {
  Import("1.fb2", Fb2BookInSeries("Dup", "Adams", "Серия", 1));
  Import("2.fb2", Fb2BookInSeries("Dup", "Brown", "Серия", 2));
  Import("3.fb2", Fb2BookInSeries("Dup [2]", "Clark", "Серия", 3));
  EXPECT_EQ(Ls("/По сериям/Серия"),
            (std::vector<std::string>{"01 Dup.fb2", "02 Dup [2].fb2", "03 Dup [2] [3].fb2"}));
  EXPECT_EQ(Get("/По сериям/Серия/01 Dup.fb2", "1"), ReadFile(cli_.Path("books/1.fb2")));
  EXPECT_EQ(Get("/По сериям/Серия/02 Dup [2].fb2", "2"), ReadFile(cli_.Path("books/2.fb2")));
  EXPECT_EQ(Get("/По сериям/Серия/03 Dup [2] [3].fb2", "3"), ReadFile(cli_.Path("books/3.fb2")));

  // A rename in the series folder changes the title, and the names follow.
  ProcessResult mv = cli_.Run({"mv", "/По сериям/Серия/03 Dup [2] [3].fb2",
                               "/По сериям/Серия/03 Новое.fb2"});
  ASSERT_EQ(mv.exit_code, 0) << mv.out << mv.err;
  EXPECT_EQ(Ls("/По названиям/Н"), std::vector<std::string>{"Новое.fb2"});
  EXPECT_EQ(Get("/По сериям/Серия/03 Новое.fb2", "3b"), ReadFile(cli_.Path("books/3.fb2")));
  EXPECT_EQ(Shell("SELECT Title, FileName FROM Books WHERE BookId = 3;").out,
            "Новое|Новое.fb2\n");
  // A move into a series folder no book has yet makes that series.
  ProcessResult into_new = cli_.Run({"mv", "/По сериям/Серия/01 Dup.fb2",
                                     "/По сериям/Новая серия/01 Dup.fb2"});
  ASSERT_EQ(into_new.exit_code, 0) << into_new.out << into_new.err;
  EXPECT_EQ(Ls("/По сериям/Новая серия"), std::vector<std::string>{"01 Dup.fb2"});
  EXPECT_EQ(Get("/По сериям/Новая серия/01 Dup.fb2", "1n"), ReadFile(cli_.Path("books/1.fb2")));
}

TEST_F(NamesAndKeysTest, TitlesAndGenresHoldingTheDisplaySubstitutesOpen) {
  // A real DIVISION SLASH, a real REVERSE SOLIDUS OPERATOR, a real slash.
  Import("1.fb2", Fb2Book("a\u2215b", "Adams", "Ann", "x\u2215y", 2001));
  Import("2.fb2", Fb2Book("c\u29F5d", "Adams", "Ann", "prose", 2002));
  Import("3.fb2", Fb2Book("e/f", "Adams", "Ann", "prose", 2003));
  std::vector<std::string> names = Ls("/По авторам/A/Adams Ann");
  std::sort(names.begin(), names.end());
  // Shown: the substitute for "/", and the real characters behind an escape mark.
  EXPECT_EQ(names, (std::vector<std::string>{"a\u00A6\u2215b.fb2", "c\u00A6\u29F5d.fb2",
                                             "e\u2215f.fb2"}));
  EXPECT_EQ(Get("/По авторам/A/Adams Ann/a\u00A6\u2215b.fb2", "1"),
            ReadFile(cli_.Path("books/1.fb2")));
  EXPECT_EQ(Get("/По названиям/C/c\u00A6\u29F5d.fb2", "2"), ReadFile(cli_.Path("books/2.fb2")));
  EXPECT_EQ(Get("/По названиям/E/e\u2215f.fb2", "3"), ReadFile(cli_.Path("books/3.fb2")));

  std::vector<std::string> genres = Ls("/По жанрам");
  EXPECT_NE(std::find(genres.begin(), genres.end(), "x\u00A6\u2215y/"), genres.end())
      << ::testing::PrintToString(genres);
  EXPECT_EQ(Ls("/По жанрам/x\u00A6\u2215y"), std::vector<std::string>{"a\u00A6\u2215b.fb2"});
  EXPECT_EQ(Get("/По жанрам/x\u00A6\u2215y/a\u00A6\u2215b.fb2", "1g"),
            ReadFile(cli_.Path("books/1.fb2")));
}

TEST_F(NamesAndKeysTest, AuthorAndSeriesNamesTooLongForTheNameFieldLeadToTheirBooks) {
  const std::string last = Repeat("Я", 3000);
  const std::string series = Repeat("Серия", 600);
  Import("1.fb2", Fb2BookInSeries("Книга", last, series, 2));
  Import("2.fb2", Fb2Book("Другая", "Яковлев", "Иван", "prose", 2001));

  std::vector<std::string> authors = Ls("/По авторам/Я");
  ASSERT_EQ(authors.size(), 2u);
  std::sort(authors.begin(), authors.end());
  const std::string long_author = authors[0].substr(0, authors[0].size() - 1);  // without "/"
  EXPECT_LE(long_author.size(), 259u);
  EXPECT_EQ(long_author.rfind(Repeat("Я", 20), 0), 0u) << long_author;
  EXPECT_EQ(long_author.substr(long_author.size() - 4), " [1]") << long_author;
  EXPECT_EQ(authors[1], "Яковлев Иван/");
  EXPECT_EQ(Ls("/По авторам/Я/" + long_author), std::vector<std::string>{"Книга.fb2"});
  EXPECT_EQ(Get("/По авторам/Я/" + long_author + "/Книга.fb2", "1"),
            ReadFile(cli_.Path("books/1.fb2")));

  std::vector<std::string> all_series = Ls("/По сериям");
  ASSERT_EQ(all_series.size(), 1u);
  const std::string long_series = all_series[0].substr(0, all_series[0].size() - 1);
  EXPECT_LE(long_series.size(), 259u);
  EXPECT_EQ(long_series.substr(long_series.size() - 4), " [1]") << long_series;
  EXPECT_EQ(Ls("/По сериям/" + long_series), std::vector<std::string>{"02 Книга.fb2"});
  EXPECT_EQ(Get("/По сериям/" + long_series + "/02 Книга.fb2", "1s"),
            ReadFile(cli_.Path("books/1.fb2")));
  // A folder that is no author's lists nothing and says so.
  ProcessResult missing = cli_.Run({"ls", "/По авторам/Я/" + Repeat("Я", 100)});
  EXPECT_EQ(missing.out, "");
}

}  // namespace
}  // namespace tomeva::testing
