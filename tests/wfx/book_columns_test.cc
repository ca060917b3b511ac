// End-to-end book columns through the real Tomeva.wfx: the content fields the
// host shows beside each book, read from the catalog, and the column set it
// switches to in the plugin.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "support/fb2_book_text.h"
#include "wfx/library_fixture.h"

namespace tomeva::testing {
namespace {

using Fields = std::map<std::string, std::string>;

class BookColumnsTest : public LibraryTest {
 protected:
  // Field index by name, as the host learns them (before FsInit).
  std::map<std::string, int> FieldIndexes() {
    auto field = reinterpret_cast<tFsContentGetSupportedField>(
        plugin_->Export("FsContentGetSupportedField"));
    std::map<std::string, int> indexes;
    for (int i = 0;; ++i) {
      char name[260] = {};
      char units[260] = "x";
      const int type = field(i, name, units, sizeof name);
      if (type == ft_nomorefields) break;
      EXPECT_TRUE(type == ft_string || type == ft_numeric_32) << name;
      EXPECT_STREQ(units, "") << name;
      indexes[name] = i;
      if (i > 100) break;
    }
    return indexes;
  }

  // Every field of path with a value, numbers written in decimal.
  Fields ValuesOf(const std::string& path) {
    auto get = reinterpret_cast<tFsContentGetValue>(plugin_->Export("FsContentGetValue"));
    Fields values;
    for (const auto& [name, index] : FieldIndexes()) {
      std::string p = path;
      char value[1024];
      std::memset(value, 'x', sizeof value);
      const int type = get(p.data(), index, 0, value, sizeof value, 0);
      if (type == ft_string) {
        values[name] = value;
      } else if (type == ft_numeric_32) {
        int32_t number;
        std::memcpy(&number, value, sizeof number);
        values[name] = std::to_string(number);
      } else {
        EXPECT_EQ(type, ft_fieldempty) << path << " " << name;
      }
    }
    return values;
  }

  // A book of two authors in a series, with every field the columns show.
  void ImportTwelveChairs() {
    TestBook book;
    book.title = "Двенадцать стульев";
    book.authors = {{"Ильф", "Илья", "Арнольдович"}, {"Петров", "Евгений", "Петрович"}};
    book.genres = {"humor_prose", "sf_odd"};
    book.series = "Остап Бендер";
    book.series_number = "1";
    book.year = "1928";
    book.publisher = "Земля и фабрика";
    book.isbn = "978-5-17-000000-1";
    WriteFile(dir_.Path("in/12.fb2"), Fb2Text(book));
    // The library's genre list names one of the two genres; the other has a code only.
    Sql("INSERT INTO Genres (Code, Name) VALUES ('humor_prose', 'Юмористическая проза')");
    Start();
    ASSERT_EQ(Put(dir_.Path("in/12.fb2"), "/12.fb2"), FS_FILE_OK);
  }
};

TEST_F(BookColumnsTest, EveryColumnOfABookComesFromTheCatalogWhereverItIsListed) {
  ImportTwelveChairs();
  const Fields expected = {
      {"Автор", "Ильф Илья Арнольдович, Петров Евгений Петрович"},
      {"Название", "Двенадцать стульев"},
      {"Серия", "Остап Бендер"},
      {"Номер в серии", "1"},
      {"Жанр", "sf_odd, Юмористическая проза"},
      {"Год", "1928"},
      {"Язык", "ru"},
      {"Издательство", "Земля и фабрика"},
      {"ISBN", "978-5-17-000000-1"},
      {"Файл", LibraryFolder() + "/Ильф Илья/Двенадцать стульев.fb2"},
  };
  for (const std::string& path :
       {std::string("/По сериям/Остап Бендер/01 Двенадцать стульев.fb2"),
        std::string("/По авторам/П/Петров Евгений Петрович/Двенадцать стульев.fb2"),
        std::string("/По жанрам/sf_odd/Двенадцать стульев.fb2"),
        std::string("/По годам/1928/Двенадцать стульев.fb2")}) {
    EXPECT_EQ(ValuesOf(path), expected) << path;
  }
  EXPECT_TRUE(std::filesystem::exists(expected.at("Файл")));
}

TEST_F(BookColumnsTest, ValuesComeFromTheCatalogNotFromTheBookFile) {
  ImportTwelveChairs();
  // A change made in the catalog shows at once; the stored file is not read.
  Sql("UPDATE Books SET Year=1929, Publisher=NULL, SerNo=0");
  std::filesystem::remove(LibraryFolder() + "/Ильф Илья/Двенадцать стульев.fb2");
  const Fields values = ValuesOf("/По названиям/Д/Двенадцать стульев.fb2");
  EXPECT_EQ(values.at("Год"), "1929");
  EXPECT_EQ(values.count("Издательство"), 0u);
  EXPECT_EQ(values.count("Номер в серии"), 0u);  // 0 is no number
  EXPECT_EQ(values.at("Автор"), "Ильф Илья Арнольдович, Петров Евгений Петрович");
}

TEST_F(BookColumnsTest, AChangedBookShowsItsNewValuesAfterTheNextListingOrOperation) {
  ImportTwelveChairs();
  const std::string path = "/По названиям/Д/Двенадцать стульев.fb2";
  EXPECT_EQ(ValuesOf(path).at("Год"), "1928");
  // Another program changes the catalog; the panel is listed again.
  Sql("UPDATE Books SET ISBN='5-00-000000-0'");
  ASSERT_TRUE(plugin_->List("/По названиям/Д").has_value());
  EXPECT_EQ(ValuesOf(path).at("ISBN"), "5-00-000000-0");
  // A changed catalog again, then a book operation (an import that finds its
  // book already there).
  TestBook other;
  other.title = "Золотой телёнок";
  WriteFile(dir_.Path("in/calf.fb2"), Fb2Text(other));
  ASSERT_EQ(Put(dir_.Path("in/calf.fb2"), "/calf.fb2"), FS_FILE_OK);
  EXPECT_EQ(ValuesOf(path).at("Год"), "1928");
  Sql("UPDATE Books SET Year=1931 WHERE Title='Двенадцать стульев'");
  EXPECT_EQ(ValuesOf(path).at("Год"), "1928");  // remembered until the next operation
  ASSERT_EQ(Put(dir_.Path("in/calf.fb2"), "/calf.fb2"), FS_FILE_EXISTS);
  EXPECT_EQ(ValuesOf(path).at("Год"), "1931");
}

TEST_F(BookColumnsTest, FoldersAndUnknownNamesHaveNoValues) {
  ImportTwelveChairs();
  for (const char* path : {"/", "/По авторам", "/По авторам/И", "/По авторам/И/Ильф Илья Арнольдович",
                           "/По сериям/Остап Бендер", "/По годам/1928",
                           "/По годам/1928/Нет такой.fb2"}) {
    EXPECT_EQ(ValuesOf(path), Fields{}) << path;
  }
  auto get = reinterpret_cast<tFsContentGetValue>(plugin_->Export("FsContentGetValue"));
  char path[] = "/По годам/1928/Двенадцать стульев.fb2";
  char value[64];
  EXPECT_EQ(get(path, 99, 0, value, sizeof value, 0), ft_nosuchfield);
  EXPECT_EQ(get(path, -1, 0, value, sizeof value, 0), ft_nosuchfield);
  // A value longer than the host's buffer is cut on a character boundary.
  const int title = FieldIndexes().at("Название");
  char small[8];
  ASSERT_EQ(get(path, title, 0, small, sizeof small, 0), ft_string);
  EXPECT_STREQ(small, "Две");
}

TEST_F(BookColumnsTest, TheDefaultViewShowsAuthorSeriesAndYear) {
  auto view =
      reinterpret_cast<tFsContentGetDefaultView>(plugin_->Export("FsContentGetDefaultView"));
  char contents[512], headers[512], widths[512], options[512];
  ASSERT_TRUE(view(contents, headers, widths, options, 512));
  EXPECT_STREQ(contents, "[Plugin(FS).Автор{}]\\n[Plugin(FS).Серия{}]\\n[Plugin(FS).Год{}]");
  EXPECT_STREQ(headers, "Автор\\nСерия\\nГод");
  // Name and extension, then the three columns (the year aligned right).
  EXPECT_STREQ(widths, "260,50,200,200,-50");
  EXPECT_STREQ(options, "-1|0");
  // Every column of the view is a field the plugin offers.
  const std::map<std::string, int> fields = FieldIndexes();
  for (const char* name : {"Автор", "Серия", "Год"}) EXPECT_EQ(fields.count(name), 1u) << name;
}

}  // namespace
}  // namespace tomeva::testing
