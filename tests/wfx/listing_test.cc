// End-to-end listing through the real Tomeva.wfx with the default settings on a
// catalog filled by SQL: what the host sees in every default folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "wfx/library_fixture.h"

namespace tomeva::testing {
namespace {

using Strings = std::vector<std::string>;

Strings Sorted(Strings v) {
  std::sort(v.begin(), v.end());
  return v;
}

uint64_t Ticks(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// The interface's "no date" marker, which the host shows as no date at all.
constexpr uint64_t kNoDate = 0xFFFFFFFFFFFFFFFEull;

class ListingTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    Sql("INSERT INTO Authors (AuthorId, Last, First, Middle) VALUES "
        "(1, 'Толстой', 'Лев', 'Николаевич'), (2, 'Doe', 'Jane', NULL), (3, 'AC/DC', NULL, NULL)");
    Sql("INSERT INTO Genres (GenreId, Code, Name) VALUES (1, 'prose_classic', 'Классическая проза'), "
        "(2, 'poetry', 'Поэзия'), (3, 'sf_cyber', NULL)");
    Sql("INSERT INTO Series (SeriesId, Name) VALUES (1, 'Classics')");
    Sql("INSERT INTO Books (BookId, Title, Link, fSize, fDate, Year, SeriesId, SerNo) VALUES "
        "(10, 'Война и мир', 'a/war.fb2', 1000, '2020-01-02 03:04:05', 1869, NULL, NULL), "
        "(11, 'Анна Каренина', 'a/anna.fb2', 2000, NULL, 1877, NULL, NULL), "
        "(12, 'Ode: to joy?', 'b/ode.fb2', NULL, '2021-06-07 08:09:10', 1999, 1, 3), "
        "(13, 'Война и мир', 'a/war2.fb2', 3000, NULL, 1869, NULL, NULL), "
        "(14, 'Highway', 'c/hw.fb2', 10, NULL, NULL, 1, NULL)");
    Sql("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (10, 1), (11, 1), (12, 2), (13, 1), "
        "(12, 1), (14, 3)");
    Sql("INSERT INTO BookGenres (BookId, GenreId) VALUES (10, 1), (11, 1), (12, 2), (13, 1), (14, 3)");
    Start();
  }
};

TEST_F(ListingTest, RootShowsTheFiveDefaultFoldersAndTheSearch) {
  auto root = plugin_->List("/");
  ASSERT_TRUE(root.has_value());
  EXPECT_EQ(Sorted(Names(*root)),
            Sorted({"По авторам", "По жанрам", "По сериям", "По названиям", "По годам", "Поиск"}));
  for (const ListedEntry& e : *root) {
    EXPECT_TRUE(e.is_folder) << e.name;
    EXPECT_EQ(e.size, 0u);
    EXPECT_EQ(Ticks(e.write_time), kNoDate) << e.name;
  }
}

TEST_F(ListingTest, AuthorsByFirstLetterThenNameThenBooks) {
  auto letters = plugin_->List("/По авторам");
  ASSERT_TRUE(letters.has_value());
  EXPECT_EQ(Sorted(Names(*letters)), Sorted({"A", "D", "Т"}));
  auto authors = plugin_->List("/По авторам/Т");
  ASSERT_TRUE(authors.has_value());
  EXPECT_EQ(Names(*authors), Strings{"Толстой Лев Николаевич"});
  // Folders below the root carry no date either.
  for (const auto* folders : {&*letters, &*authors}) {
    for (const ListedEntry& e : *folders) EXPECT_EQ(Ticks(e.write_time), kNoDate) << e.name;
  }
  auto books = plugin_->List("/По авторам/Т/Толстой Лев Николаевич/");
  ASSERT_TRUE(books.has_value());
  EXPECT_EQ(Sorted(Names(*books)),
            Sorted({"Анна Каренина.fb2", "Война и мир.fb2", "Война и мир [13].fb2",
                    "Ode: to joy?.fb2"}));
  for (const ListedEntry& e : *books) {
    EXPECT_FALSE(e.is_folder);
    if (e.name == "Война и мир.fb2") {
      EXPECT_EQ(e.size, 1000u);
      EXPECT_EQ(Ticks(e.write_time), (1577934245ull + 11644473600ull) * 10000000ull);
    }
    if (e.name == "Анна Каренина.fb2") {
      EXPECT_EQ(e.size, 2000u);
      EXPECT_EQ(Ticks(e.write_time), kNoDate);  // no date in the catalog
    }
  }
}

TEST_F(ListingTest, ANameWithTheHostSeparatorIsShownWithASubstituteAndStillLists) {
  auto authors = plugin_->List("/По авторам/A");
  ASSERT_TRUE(authors.has_value());
  ASSERT_EQ(Names(*authors), Strings{"AC\u2215DC"});
  auto books = plugin_->List("/По авторам/A/AC\u2215DC");
  ASSERT_TRUE(books.has_value());
  EXPECT_EQ(Names(*books), Strings{"Highway.fb2"});
}

TEST_F(ListingTest, GenresShowTheirNamesOrCodes) {
  auto genres = plugin_->List("/По жанрам");
  ASSERT_TRUE(genres.has_value());
  EXPECT_EQ(Sorted(Names(*genres)), Sorted({"Классическая проза", "Поэзия", "sf_cyber"}));
  auto poetry = plugin_->List("/По жанрам/Поэзия");
  ASSERT_TRUE(poetry.has_value());
  EXPECT_EQ(Names(*poetry), Strings{"Ode: to joy?.fb2"});
  EXPECT_EQ(Ticks((*poetry)[0].write_time), (1623053350ull + 11644473600ull) * 10000000ull);
  EXPECT_EQ((*poetry)[0].size, 0u);  // no size in the catalog
}

TEST_F(ListingTest, SeriesBooksCarryTheirNumber) {
  auto series = plugin_->List("/По сериям");
  ASSERT_TRUE(series.has_value());
  EXPECT_EQ(Names(*series), Strings{"Classics"});
  auto books = plugin_->List("/По сериям/Classics");
  ASSERT_TRUE(books.has_value());
  EXPECT_EQ(Sorted(Names(*books)), Sorted({"03 Ode: to joy?.fb2", "00 Highway.fb2"}));
}

TEST_F(ListingTest, SizesOfTwoGibibytesAndMoreAreListedWhole) {
  Sql("UPDATE Books SET fSize=2147483648 WHERE BookId=10");
  Sql("UPDATE Books SET fSize=6000000000 WHERE BookId=11");
  auto books = plugin_->List("/По авторам/Т/Толстой Лев Николаевич");
  ASSERT_TRUE(books.has_value());
  std::map<std::string, uint64_t> sizes;
  for (const ListedEntry& e : *books) sizes[e.name] = e.size;
  EXPECT_EQ(sizes["Война и мир.fb2"], 2147483648u);
  EXPECT_EQ(sizes["Анна Каренина.fb2"], 6000000000u);
  EXPECT_EQ(sizes["Война и мир [13].fb2"], 3000u);
}

TEST_F(ListingTest, TitlesAndYears) {
  auto letters = plugin_->List("/По названиям");
  ASSERT_TRUE(letters.has_value());
  EXPECT_EQ(Sorted(Names(*letters)), Sorted({"А", "В", "H", "O"}));
  auto years = plugin_->List("/По годам");
  ASSERT_TRUE(years.has_value());
  EXPECT_EQ(Sorted(Names(*years)), Sorted({"1869", "1877", "1999"}));
  auto year = plugin_->List("/По годам/1869");
  ASSERT_TRUE(year.has_value());
  EXPECT_EQ(Sorted(Names(*year)), Sorted({"Война и мир.fb2", "Война и мир [13].fb2"}));
}

TEST_F(ListingTest, AnEmptyFolderAndAnUnservedPathAreToldApart) {
  EXPECT_FALSE(plugin_->List("/По годам/1700").has_value());
  EXPECT_EQ(plugin_->last_errno, ERROR_NO_MORE_FILES);
  EXPECT_FALSE(plugin_->List("/Нет такой папки").has_value());
  EXPECT_NE(plugin_->last_errno, ERROR_NO_MORE_FILES);
}

TEST_F(ListingTest, HostileFolderNamesListNothingAndChangeNothing) {
  for (const char* path : {"/По годам/1869\" OR \"1\"=\"1", "/По жанрам/x' OR 1=1 --",
                           "/По сериям/\"; DELETE FROM Books; --"}) {
    auto listed = plugin_->List(path);
    EXPECT_FALSE(listed.has_value()) << path;
  }
  auto all = plugin_->List("/По годам/1869");
  ASSERT_TRUE(all.has_value());
  EXPECT_EQ(all->size(), 2u);
}

TEST_F(ListingTest, StaleHandlesAreRefused) {
  auto find_next = reinterpret_cast<BOOL (*)(HANDLE, WIN32_FIND_DATAA*)>(
      plugin_->Export("FsFindNext"));
  auto find_close = reinterpret_cast<int (*)(HANDLE)>(plugin_->Export("FsFindClose"));
  WIN32_FIND_DATAA data;
  int dummy = 0;
  EXPECT_FALSE(find_next(&dummy, &data));
  EXPECT_EQ(find_close(&dummy), 0);
}

}  // namespace
}  // namespace tomeva::testing
