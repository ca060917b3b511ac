// The default settings (config/Tomeva.xml) over a real default catalog: every
// folder of the tree lists what it promises, and every listed book name resolves
// back to exactly the book it was listed for, whatever its title holds.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "common/node_path.h"
#include "common/text.h"
#include "tree/folder_listing.h"
#include "tree/path_resolution.h"
#include "tree/tree_test_support.h"

namespace tomeva::tree {
namespace {

using Names = std::vector<std::string>;
using tomeva::testing::ListAll;
using tomeva::testing::ListNames;

class DefaultSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Jet SQL inserts one row per statement.
    const char* rows[] = {
        "Authors (AuthorId, Last, First, Middle) VALUES (1, 'Толстой', 'Лев', 'Николаевич')",
        "Authors (AuthorId, Last, First) VALUES (2, 'Уэллс', 'Герберт')",
        "Authors (AuthorId, First) VALUES (3, 'Гомер')",
        "Authors (AuthorId, Last, First) VALUES (4, 'O''Brien', 'Flann')",
        "Genres (GenreId, Code, Name) VALUES (1, 'prose_classic', 'Классика')",
        "Genres (GenreId, Code) VALUES (2, 'sf')",
        "Genres (GenreId, Code, Name) VALUES (3, 'poetry', 'Поэзия')",
        "Series (SeriesId, Name) VALUES (1, 'Война миров')",
        "Series (SeriesId, Name) VALUES (2, 'Пустая')",
        "Books (BookId, Title, Link, fSize, fDate, Year)"
        " VALUES (1, 'Война и мир', 'tolstoy/war.fb2', 1000, '2020-01-02 03:04:05', 1869)",
        "Books (BookId, Title, Link, fSize, Year) VALUES (2, 'Анна Каренина', 'tolstoy/anna.fb2', 2000, 1877)",
        "Books (BookId, Title, Link, fSize, fDate, Year)"
        " VALUES (3, 'Война и мир', 'tolstoy/war2.fb2', 3000, '2021-01-01 00:00:00', 1869)",
        "Books (BookId, Title, Link, Year, SeriesId, SerNo) VALUES (4, 'Машина времени', 'wells/time.fb2', 1895, 1, 3)",
        "Books (BookId, Title, Link, fSize, Year, SeriesId) VALUES (5, 'Война миров', 'wells/war.fb2', 500, 1898, 1)",
        "Books (BookId, Title, Link, fSize) VALUES (6, 'Илиада', '/abs/iliad.fb2', 10)",
        "Books (BookId, Title, Link, fSize, Year) VALUES (7, 'The Third Policeman', 'obrien.fb2', 1, 1967)",
    };
    for (const char* row : rows) catalog_.Exec(std::string("INSERT INTO ") + row + ";");
    for (auto [book, author, genre] : {std::tuple{1, 1, 1}, {2, 1, 1}, {3, 1, 1}, {4, 2, 2},
                                       {5, 2, 2}, {6, 3, 3}, {7, 4, 1}}) {
      Link(book, author, genre);
    }
  }

  void Link(int book, int author, int genre) {
    catalog_.Exec("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (" + std::to_string(book) +
                  ", " + std::to_string(author) + ");");
    catalog_.Exec("INSERT INTO BookGenres (BookId, GenreId) VALUES (" + std::to_string(book) +
                  ", " + std::to_string(genre) + ");");
  }

  // Adds a book by Уэллс in genre sf, of the year 2000.
  void AddBook(int id, const std::string& title) {
    catalog_.Exec("INSERT INTO Books (BookId, Title, Link, fSize, Year) VALUES (" +
                  std::to_string(id) + ", " + DoubleQuoted(title) + ", 'b" +
                  std::to_string(id) + ".fb2', 7, 2000);");
    Link(id, 2, 2);
  }

  tomeva::testing::TestCatalog catalog_;
  XmlDocument doc_ = tomeva::testing::LoadDefaultSettings();
  CatalogView view_ = tomeva::testing::ViewOf(doc_, catalog_.db(), "/lib");
};

TEST_F(DefaultSettingsTest, RootListsTheFiveFoldersAndTheSearch) {
  std::vector<ListedEntry> entries = ListAll(view_, "\\");
  ASSERT_EQ(entries.size(), 6u);
  std::set<std::string> names;
  for (const ListedEntry& e : entries) {
    EXPECT_TRUE(e.is_folder) << e.name;
    names.insert(e.name);
  }
  EXPECT_EQ(names, (std::set<std::string>{"По авторам", "По жанрам", "По сериям", "По названиям",
                                          "По годам", "Поиск"}));
}

TEST_F(DefaultSettingsTest, AuthorsAreGroupedByFirstLetter) {
  EXPECT_EQ(ListNames(view_, "\\По авторам"), (Names{"O", "Г", "Т", "У"}));
  EXPECT_EQ(ListNames(view_, "\\По авторам\\Т"), (Names{"Толстой Лев Николаевич"}));
  EXPECT_EQ(ListNames(view_, "\\По авторам\\У"), (Names{"Уэллс Герберт"}));
  EXPECT_EQ(ListNames(view_, "\\По авторам\\Г"), (Names{"Гомер"}));
}

TEST_F(DefaultSettingsTest, AuthorFolderListsTheAuthorsBooksWithSizeAndDate) {
  std::vector<ListedEntry> entries = ListAll(view_, "\\По авторам\\Т\\Толстой Лев Николаевич");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "Анна Каренина.fb2");
  EXPECT_FALSE(entries[0].is_folder);
  EXPECT_EQ(entries[0].size, 2000u);
  EXPECT_FALSE(entries[0].time.has_value());
  // The second book of the same title by the same author is told apart by its key.
  EXPECT_EQ(entries[1].name, "Война и мир [3].fb2");
  EXPECT_EQ(entries[2].name, "Война и мир.fb2");
  EXPECT_EQ(entries[2].size, 1000u);
  ASSERT_TRUE(entries[2].time.has_value());
  EXPECT_EQ(*entries[2].time, std::chrono::sys_days{std::chrono::year{2020} / 1 / 2} +
                                  std::chrono::hours{3} + std::chrono::minutes{4} +
                                  std::chrono::seconds{5});
}

TEST_F(DefaultSettingsTest, SameTitleBooksResolveEachToItsOwnRow) {
  const std::string folder = "\\По авторам\\Т\\Толстой Лев Николаевич\\";
  EXPECT_EQ(BookIdOfPath(view_, folder + "Война и мир.fb2"), 1);
  EXPECT_EQ(BookIdOfPath(view_, folder + "Война и мир [3].fb2"), 3);
  EXPECT_EQ(BookFileOfPath(view_, folder + "Война и мир [3].fb2"), "/lib/tolstoy/war2.fb2");
  EXPECT_EQ(BookIdOfPath(view_, folder + "Анна Каренина.fb2"), 2);
  // Another author's folder does not hold the book.
  EXPECT_EQ(BookIdOfPath(view_, "\\По авторам\\У\\Уэллс Герберт\\Анна Каренина.fb2"), -1);
}

TEST_F(DefaultSettingsTest, GenreFolderShowsNamesOrCodesAndListsItsBooks) {
  EXPECT_EQ(ListNames(view_, "\\По жанрам"), (Names{"sf", "Классика", "Поэзия"}));
  EXPECT_EQ(ListNames(view_, "\\По жанрам\\sf"), (Names{"Война миров.fb2", "Машина времени.fb2"}));
  EXPECT_EQ(BookIdOfPath(view_, "\\По жанрам\\sf\\Война миров.fb2"), 5);
  EXPECT_EQ(BookIdOfPath(view_, "\\По жанрам\\Поэзия\\Илиада.fb2"), 6);
  EXPECT_EQ(BookFileOfPath(view_, "\\По жанрам\\Поэзия\\Илиада.fb2"), "/abs/iliad.fb2");
  EXPECT_EQ(BookIdOfPath(view_, "\\По жанрам\\Поэзия\\Война миров.fb2"), -1);
}


// The names of a listing in the order it gives them (ListNames sorts).
Names NamesInListedOrder(const CatalogView& view, std::string_view path) {
  Names names;
  std::unique_ptr<FolderListing> listing;
  if (FolderListing::Open(view, path, listing) != FolderListing::OpenOutcome::kOpened) return names;
  while (std::optional<ListedEntry> entry = listing->Next()) names.push_back(entry->name);
  return names;
}

TEST_F(DefaultSettingsTest, GenresShowingOneNameMakeOneFolderListingEachBookOnce) {
  // A second "Поэзия" under another code, and a genre without a name whose
  // code reads "Поэзия": one folder. Илиада is linked to all three, Анна
  // Каренина to two. "поэзия" (other letter case) is a folder of its own.
  catalog_.Exec("INSERT INTO Genres (GenreId, Code, Name) VALUES (4, 'poetry_epic', 'поэзия');");
  catalog_.Exec("INSERT INTO Genres (GenreId, Code, Name) VALUES (5, 'poetry_old', 'Поэзия');");
  catalog_.Exec("INSERT INTO Genres (GenreId, Code) VALUES (6, 'Поэзия');");
  for (auto [book, genre] : {std::pair{6, 5}, {6, 6}, {2, 5}, {2, 6}, {4, 4}}) {
    catalog_.Exec("INSERT INTO BookGenres (BookId, GenreId) VALUES (" + std::to_string(book) +
                  ", " + std::to_string(genre) + ");");
  }
  EXPECT_EQ(ListNames(view_, "\\По жанрам"), (Names{"sf", "Классика", "Поэзия", "поэзия"}));
  std::vector<ListedEntry> entries = ListAll(view_, "\\По жанрам\\Поэзия");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "Анна Каренина.fb2");
  EXPECT_EQ(entries[0].size, 2000u);
  EXPECT_FALSE(entries[0].is_folder);
  EXPECT_EQ(entries[1].name, "Илиада.fb2");
  EXPECT_EQ(entries[1].size, 10u);
  EXPECT_EQ(ListNames(view_, "\\По жанрам\\поэзия"), (Names{"Машина времени.fb2"}));
  EXPECT_EQ(BookIdOfPath(view_, "\\По жанрам\\Поэзия\\Анна Каренина.fb2"), 2);
  EXPECT_EQ(BookIdOfPath(view_, "\\По жанрам\\Поэзия\\Машина времени.fb2"), -1);
  // A genre without a name is shown by its code, and lists its books.
  EXPECT_EQ(ListNames(view_, "\\По жанрам\\sf"), (Names{"Война миров.fb2", "Машина времени.fb2"}));
}

TEST_F(DefaultSettingsTest, GenreFolderOfEarlierSettingsListsTheSameBooksInTheSameOrder) {
  // Settings written before the genre folder listed a semi-join: DISTINCT over
  // the joins the catalog's relationships plan, the folder's name a captured
  // condition. Both list a folder of one genre, and a folder merging two, alike.
  for (int book = 10; book < 40; ++book) {
    catalog_.Exec("INSERT INTO Books (BookId, Title, Link, fSize) VALUES (" +
                  std::to_string(book) + ", 'Стих " + std::to_string(40 - book) + "', 'p" +
                  std::to_string(book) + ".fb2', " + std::to_string(book) + ");");
    catalog_.Exec("INSERT INTO BookGenres (BookId, GenreId) VALUES (" + std::to_string(book) +
                  ", 3);");
  }
  const Names single = NamesInListedOrder(view_, "\\По жанрам\\Поэзия");
  const Names merged_sorted = ListNames(view_, "\\По жанрам\\Классика");
  XmlDocument earlier = tomeva::testing::LoadDefaultSettings();
  CatalogView earlier_view = tomeva::testing::ViewOf(earlier, catalog_.db(), "/lib");
  XmlNode genre_books = earlier_view.folders.FirstChildElement("genre-books");
  ASSERT_TRUE(genre_books);
  SetPathText(genre_books, "name1", "DISTINCT Books.FileName");
  SetPathText(genre_books, "size", "Books.fSize");
  SetPathText(genre_books, "date", "Books.fDate");
  SetPathText(genre_books, "usetables", "-1");
  SetPathText(genre_books, "tables", "Books,Genres");
  SetPathText(genre_books, "useprops", "-1");
  SetPathText(genre_books, "FROM", "");
  SetPathText(genre_books, "WHERE", "");
  ASSERT_EQ(single.size(), 31u);
  EXPECT_EQ(NamesInListedOrder(earlier_view, "\\По жанрам\\Поэзия"), single);
  // A second genre named "Классика" holding one of the first one's books.
  catalog_.Exec("INSERT INTO Genres (GenreId, Code, Name) VALUES (4, 'classic', 'Классика');");
  catalog_.Exec("INSERT INTO BookGenres (BookId, GenreId) VALUES (1, 4);");
  catalog_.Exec("INSERT INTO BookGenres (BookId, GenreId) VALUES (6, 4);");
  const Names merged = ListNames(view_, "\\По жанрам\\Классика");
  EXPECT_EQ(merged.size(), merged_sorted.size() + 1);
  EXPECT_EQ(ListNames(earlier_view, "\\По жанрам\\Классика"), merged);
}
TEST_F(DefaultSettingsTest, SeriesFolderPutsTheNumberFirstAndZeroForUnnumberedBooks) {
  EXPECT_EQ(ListNames(view_, "\\По сериям"), (Names{"Война миров"}));
  std::vector<ListedEntry> entries = ListAll(view_, "\\По сериям\\Война миров");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "00 Война миров.fb2");
  EXPECT_EQ(entries[1].name, "03 Машина времени.fb2");
  EXPECT_EQ(entries[1].size, 0u);  // null fSize
  EXPECT_EQ(BookIdOfPath(view_, "\\По сериям\\Война миров\\03 Машина времени.fb2"), 4);
  EXPECT_EQ(BookIdOfPath(view_, "\\По сериям\\Война миров\\00 Война миров.fb2"), 5);
  // The title is captured as the book's own column, so a rename can change it.
  EXPECT_EQ(ResolveVirtualPath(view_, "\\По сериям\\Война миров\\03 Машина времени.fb2"),
            "Series.FolderName=Война миров\r\nBooks.Title=Машина времени\r\n");
  EXPECT_EQ(BookIdOfPath(view_, "\\По сериям\\Война миров\\Машина времени.fb2"), -1);
}

TEST_F(DefaultSettingsTest, TitleAndYearFolders) {
  EXPECT_EQ(ListNames(view_, "\\По названиям"), (Names{"T", "А", "В", "И", "М"}));
  EXPECT_EQ(ListNames(view_, "\\По названиям\\В"), (Names{"Война и мир [3].fb2", "Война и мир.fb2", "Война миров.fb2"}));
  EXPECT_EQ(BookIdOfPath(view_, "\\По названиям\\В\\Война и мир [3].fb2"), 3);
  EXPECT_EQ(ListNames(view_, "\\По годам"), (Names{"1869", "1877", "1895", "1898", "1967"}));
  EXPECT_EQ(ListNames(view_, "\\По годам\\1869"), (Names{"Война и мир [3].fb2", "Война и мир.fb2"}));
  EXPECT_EQ(BookIdOfPath(view_, "\\По годам\\1869\\Война и мир.fb2"), 1);
  EXPECT_EQ(BookIdOfPath(view_, "\\По годам\\1877\\Война и мир.fb2"), -1);
}

TEST_F(DefaultSettingsTest, EmptyAndUnservedFoldersAreToldApart) {
  std::unique_ptr<FolderListing> listing;
  EXPECT_EQ(FolderListing::Open(view_, "\\По годам\\1700", listing),
            FolderListing::OpenOutcome::kEmpty);
  EXPECT_EQ(FolderListing::Open(view_, "\\По сериям\\Пустая", listing),
            FolderListing::OpenOutcome::kEmpty);
  EXPECT_EQ(FolderListing::Open(view_, "\\Нет такой", listing),
            FolderListing::OpenOutcome::kNotServed);
  EXPECT_EQ(FolderListing::Open(view_, "\\По годам\\1869\\x", listing),
            FolderListing::OpenOutcome::kNotServed);
  EXPECT_EQ(listing, nullptr);
  EXPECT_EQ(BookIdOfPath(view_, "\\Нет такой\\Война и мир.fb2"), -1);
  EXPECT_EQ(BookIdOfPath(view_, "\\По годам\\1869\\Война и мир.txt"), -1);
}

TEST_F(DefaultSettingsTest, HostileTitlesListAndResolveAsPlainText) {
  const std::vector<std::string> titles = {
      "Т. 2. Гл. 1 (черновик) - ред.",
      "\"Шинель\"",
      "Say \"hi\"",
      "L'Étranger",
      "Да/Нет",
      "1984",
      "x\") OR (1=1) --",
      "'; DROP TABLE Books; --",
      "null",
      "Назад\\вперёд",
  };
  for (size_t i = 0; i < titles.size(); ++i) AddBook(100 + static_cast<int>(i), titles[i]);
  std::vector<std::string> names = ListNames(view_, "\\По авторам\\У\\Уэллс Герберт");
  for (size_t i = 0; i < titles.size(); ++i) {
    SCOPED_TRACE(titles[i]);
    const int id = 100 + static_cast<int>(i);
    std::string shown;
    for (const std::string& name : names) {
      if (BookIdOfPath(view_, "\\По авторам\\У\\Уэллс Герберт\\" + name) == id) shown = name;
    }
    ASSERT_FALSE(shown.empty()) << "no listed name resolves to book " << id;
    EXPECT_EQ(shown.find_first_of("/\\"), std::string::npos);
    EXPECT_EQ(BookIdOfPath(view_, "\\По жанрам\\sf\\" + shown), id);
    EXPECT_EQ(BookIdOfPath(view_, "\\По годам\\2000\\" + shown), id);
    EXPECT_EQ(BookFileOfPath(view_, "\\По жанрам\\sf\\" + shown),
              "/lib/b" + std::to_string(id) + ".fb2");
  }
  EXPECT_NE(std::find(names.begin(), names.end(), "Да\u2215Нет.fb2"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "\"Шинель\".fb2"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "L'Étranger.fb2"), names.end());
  // A digit is a letter folder of its own, compared as text.
  EXPECT_EQ(ListNames(view_, "\\По названиям\\1"), (Names{"1984.fb2"}));
  // The catalog is untouched by the hostile names.
  EXPECT_EQ(ListNames(view_, "\\По годам\\2000").size(), titles.size());
}

TEST_F(DefaultSettingsTest, HostileFolderNamesListTheirOwnBooks) {
  const std::string series = "O'Neil: \"Дюна\" / 2 --";
  catalog_.Exec("INSERT INTO Series (SeriesId, Name) VALUES (3, " + DoubleQuoted(series) + ");");
  catalog_.Exec("UPDATE Books SET SeriesId = 3, SerNo = 12 WHERE BookId = 7;");
  catalog_.Exec("UPDATE Genres SET Name = 'x\") OR (\"1\"=\"1' WHERE GenreId = 3;");
  const std::string shown_series = "O'Neil: \"Дюна\" \u2215 2 --";
  EXPECT_EQ(ListNames(view_, "\\По сериям"), (Names{shown_series, "Война миров"}));
  const std::string folder = "\\По сериям\\" + shown_series;
  EXPECT_EQ(ListNames(view_, folder), (Names{"12 The Third Policeman.fb2"}));
  EXPECT_EQ(BookIdOfPath(view_, folder + "\\12 The Third Policeman.fb2"), 7);
  EXPECT_EQ(ResolveVirtualPath(view_, folder + "\\"), "Series.FolderName=" + series + "\r\n");
  EXPECT_EQ(ListNames(view_, "\\По жанрам\\x\") OR (\"1\"=\"1"), (Names{"Илиада.fb2"}));
  EXPECT_EQ(BookIdOfPath(view_, "\\По жанрам\\x\") OR (\"1\"=\"1\\Илиада.fb2"), 6);
  EXPECT_EQ(BookIdOfPath(view_, "\\По жанрам\\x\") OR (\"1\"=\"1\\Анна Каренина.fb2"), -1);
}

TEST_F(DefaultSettingsTest, FolderPathsResolveToTheirValues) {
  EXPECT_EQ(ResolveVirtualPath(view_, "\\По годам\\1869\\"), "Books.Year=1869\r\n");
  EXPECT_EQ(ResolveVirtualPath(view_, "\\По сериям\\Война миров\\"),
            "Series.FolderName=Война миров\r\n");
  EXPECT_EQ(ResolveVirtualPath(view_, "\\Нет такой\\"), std::nullopt);
}

}  // namespace
}  // namespace tomeva::tree
