// Folder listing: the query text built from folder definitions, and the entries
// an open listing hands out.
#include "tree/folder_listing.h"

#include <gtest/gtest.h>

#include "tree/tree_test_support.h"

namespace tomeva::tree {
namespace {

using tomeva::testing::ListAll;
using tomeva::testing::ParseSettings;
using tomeva::testing::ViewOf;

// A settings document whose <folders> holds the given definitions.
XmlDocument Folders(std::string_view definitions) {
  return ParseSettings("<settings><folders>" + std::string(definitions) +
                       "</folders><files/></settings>");
}

constexpr std::string_view kGenreBooks =
    "<d><initial-path>'\\Genres\\'Genres.Name'\\'</initial-path><name>(Books.Title)</name>"
    "<dir>0</dir><ext>.fb2</ext><size>Books.FileSize</size><date>Books.Added</date>"
    "<FROM>Books INNER JOIN Genres ON Books.GenreId=Genres.Id</FROM><useprops>-1</useprops></d>";

TEST(ListFolderSqlTest, BuildsTheBookQueryOfAFolder) {
  XmlDocument doc = Folders(kGenreBooks);
  EXPECT_EQ(ListFolderSql(ViewOf(doc, nullptr), "\\Genres\\Poetry"),
            "SELECT Books.Title +\".fb2\" AS Name, 0 AS Dir, Books.FileSize AS fSize, "
            "Books.Added AS fDate\nFROM Books INNER JOIN Genres ON Books.GenreId=Genres.Id\n"
            "WHERE (Genres.Name=\"Poetry\") ;");
  EXPECT_EQ(ListFolderSql(ViewOf(doc, nullptr), "\\Genres"), "");
  EXPECT_EQ(ListFolderSql(ViewOf(doc, nullptr), "\\Genres\\Poetry\\Ode"), "");
}

TEST(ListFolderSqlTest, RootIsMatchedAsDoubleBackslash) {
  XmlDocument doc = Folders("<d><initial-path>'\\\\'</initial-path><name1>\"A\"</name1></d>");
  const CatalogView view = ViewOf(doc, nullptr);
  EXPECT_EQ(ListFolderSql(view, "\\"), "SELECT \"A\" AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate;");
  EXPECT_EQ(ListFolderSql(view, "\\A"), "");
}

TEST(ListFolderSqlTest, EmptyInitialPathServesEveryFolderAndDefinitionsUnite) {
  XmlDocument doc = Folders(
      "<d><initial-path>'\\\\'</initial-path><name1>\"A\"</name1></d>"
      "<d><name1>\"All\"</name1><FROM>T</FROM></d>");
  const CatalogView view = ViewOf(doc, nullptr);
  EXPECT_EQ(ListFolderSql(view, "\\"),
            "SELECT \"A\" AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate UNION "
            "SELECT \"All\" AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate\nFROM T;");
  EXPECT_EQ(ListFolderSql(view, "\\x\\y"),
            "SELECT \"All\" AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate\nFROM T;");
}

TEST(ListFolderSqlTest, ContentQueryIsTheWholeTemplate) {
  XmlDocument doc = Folders(
      "<d><initial-path>'\\Y\\'Books.Year'\\'</initial-path>"
      "<content-query>'SELECT Title, 0 FROM Books WHERE Year='Books.Year' OR Tag=\"'Books.Year'\"'"
      "</content-query><name1>ignored</name1><dir>0</dir><FROM>X</FROM><useprops>-1</useprops>"
      "</d>");
  EXPECT_EQ(ListFolderSql(ViewOf(doc, nullptr), "\\Y\\1999"),
            "SELECT Title, 0 FROM Books WHERE Year=\"1999\" OR Tag=\"1999\";");
}

TEST(ListFolderSqlTest, UsepropsConditionsComeBeforeTheWhereText) {
  XmlDocument doc = Folders(
      "<d><initial-path>'\\'Books.Year'\\'Genres.Name'\\'</initial-path><name1>N</name1>"
      "<FROM>F</FROM><WHERE>Books.Lang=\"ru\"</WHERE><useprops>-1</useprops></d>");
  EXPECT_EQ(ListFolderSql(ViewOf(doc, nullptr), "\\1999\\Poetry"),
            "SELECT N AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate\nFROM F\n"
            "WHERE (Books.Year=\"1999\") AND (Genres.Name=\"Poetry\") AND (Books.Lang=\"ru\");");
}

TEST(ListFolderSqlTest, HostileFolderNamesStayPlainLiterals) {
  XmlDocument doc = Folders(
      std::string(kGenreBooks) +
      "<d><initial-path>'\\W\\'g'\\'</initial-path><name1>N</name1>"
      "<WHERE>Genres.Name=\"'g'\"</WHERE></d>");
  const CatalogView view = ViewOf(doc, nullptr);
  EXPECT_EQ(ListFolderSql(view, "\\Genres\\O'Brien \"x\") OR (\"1\"=\"1\" --"),
            "SELECT Books.Title +\".fb2\" AS Name, 0 AS Dir, Books.FileSize AS fSize, "
            "Books.Added AS fDate\nFROM Books INNER JOIN Genres ON Books.GenreId=Genres.Id\n"
            "WHERE (Genres.Name=\"O'Brien \"\"x\"\") OR (\"\"1\"\"=\"\"1\"\" --\") ;");
  EXPECT_EQ(ListFolderSql(view, "\\W\\a\"b'c"),
            "SELECT N AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate\nWHERE Genres.Name=\"a\"\"b'c\";");
  // A value that looks like a quoted literal is still only text.
  EXPECT_EQ(ListFolderSql(view, "\\W\\\"x\""),
            "SELECT N AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate\nWHERE Genres.Name=\"\"\"x\"\"\";");
  // Shown separators are mapped back; line breaks never reach parameter text.
  EXPECT_NE(ListFolderSql(view, "\\W\\a\u2215b").find("Genres.Name=\"a/b\""), std::string::npos);
  EXPECT_EQ(ListFolderSql(view, "\\W\\a\r\nb"), "");
}

TEST(ListFolderSqlTest, NameRuleQuotesStayInsideTheStatement) {
  XmlDocument doc = Folders(
      "<d><initial-path>'\\\\'</initial-path><name>'L'#39'x '(T.A)</name><FROM>T</FROM></d>");
  EXPECT_EQ(ListFolderSql(ViewOf(doc, nullptr), "\\"),
            "SELECT \"L'x \"+T.A  AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate\nFROM T;");
}

TEST(ListFolderSqlTest, DamagedDefinitionServesNothing) {
  XmlDocument doc = Folders("<d><initial-path><x/></initial-path><name1>N</name1></d>");
  EXPECT_EQ(ListFolderSql(ViewOf(doc, nullptr), "\\"), "");
  EXPECT_EQ(ListFolderSql(CatalogView{}, "\\"), "");
}

class FolderListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    catalog_.Exec(
        "INSERT INTO Books (BookId, Title, fSize, fDate) VALUES (1, 'A', 10, '2001-02-03 04:05:06');");
    catalog_.Exec("INSERT INTO Books (BookId, Title) VALUES (2, 'B');");
    catalog_.Exec("INSERT INTO Books (BookId, Title, fSize) VALUES (3, '', 5);");
  }
  // The listing outcome of "\" with one definition listing everything.
  FolderListing::OpenOutcome OpenRoot(std::string_view definition,
                                      std::unique_ptr<FolderListing>& listing) {
    doc_ = Folders(definition);
    return FolderListing::Open(ViewOf(doc_, catalog_.db()), "\\", listing);
  }

  tomeva::testing::TestCatalog catalog_;
  XmlDocument doc_ = XmlDocument::CreateEmpty();
};

TEST_F(FolderListingTest, FilesCarrySizeAndDateUnlessNull) {
  doc_ = Folders(
      "<d><name>(Books.Title)</name><dir>0</dir><ext>.fb2</ext><size>Books.fSize</size>"
      "<date>Books.fDate</date><FROM>Books</FROM></d>");
  std::vector<ListedEntry> entries = ListAll(ViewOf(doc_, catalog_.db()), "\\");
  // The book without a title would be shown as ".fb2", which is listed.
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, ".fb2");
  EXPECT_EQ(entries[1].name, "A.fb2");
  EXPECT_FALSE(entries[1].is_folder);
  EXPECT_EQ(entries[1].size, 10u);
  ASSERT_TRUE(entries[1].time.has_value());
  EXPECT_EQ(*entries[1].time, std::chrono::sys_days{std::chrono::year{2001} / 2 / 3} +
                                  std::chrono::hours{4} + std::chrono::minutes{5} +
                                  std::chrono::seconds{6});
  EXPECT_EQ(entries[2].name, "B.fb2");
  EXPECT_EQ(entries[2].size, 0u);
  EXPECT_FALSE(entries[2].time.has_value());
}

TEST_F(FolderListingTest, FoldersNeverCarrySizeOrDateAndUnopenableNamesArePassedOver) {
  doc_ = Folders(
      "<d><content-query>'SELECT Title, 1, fSize, fDate FROM Books UNION "
      "SELECT \".\", 1, 0, 0 UNION SELECT \"..\", 1, 0, 0'</content-query></d>");
  std::vector<ListedEntry> entries = ListAll(ViewOf(doc_, catalog_.db()), "\\");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "A");
  EXPECT_TRUE(entries[0].is_folder);
  EXPECT_EQ(entries[0].size, 0u);
  EXPECT_FALSE(entries[0].time.has_value());
  EXPECT_EQ(entries[1].name, "B");
}

TEST_F(FolderListingTest, LongNamesAreCut) {
  catalog_.Exec("UPDATE Books SET Title = '" + std::string(300, 'x') + "' WHERE BookId = 1;");
  std::string cyrillic;
  for (int i = 0; i < 200; ++i) cyrillic += "я";
  catalog_.Exec("UPDATE Books SET Title = '" + cyrillic + "' WHERE BookId = 2;");
  doc_ = Folders("<d><name1>Books.Title</name1><FROM>Books</FROM><WHERE>BookId&lt;3</WHERE></d>");
  std::vector<ListedEntry> entries = ListAll(ViewOf(doc_, catalog_.db()), "\\");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, std::string(255, 'x'));
  EXPECT_EQ(entries[1].name, cyrillic.substr(0, 258));
}

TEST_F(FolderListingTest, OutcomesTellUnservedEmptyFailedAndOpenApart) {
  std::unique_ptr<FolderListing> listing;
  EXPECT_EQ(OpenRoot("<d><initial-path>'\\X\\'</initial-path><name1>1</name1></d>", listing),
            FolderListing::OpenOutcome::kNotServed);
  EXPECT_EQ(OpenRoot("<d><name1>Title</name1><FROM>Books</FROM><WHERE>BookId&gt;9</WHERE></d>",
                     listing),
            FolderListing::OpenOutcome::kEmpty);
  EXPECT_EQ(OpenRoot("<d><name1>Title</name1><FROM>NoSuchTable</FROM></d>", listing),
            FolderListing::OpenOutcome::kFailed);
  EXPECT_EQ(listing, nullptr);
  // Rows without a Dir column say nothing about what they are.
  EXPECT_EQ(OpenRoot("<d><content-query>'SELECT Title FROM Books'</content-query></d>", listing),
            FolderListing::OpenOutcome::kEmpty);
  EXPECT_EQ(OpenRoot("<d><name1>Title</name1><FROM>Books</FROM></d>", listing),
            FolderListing::OpenOutcome::kOpened);
  ASSERT_NE(listing, nullptr);
  int count = 0;
  while (listing->Next()) ++count;
  EXPECT_EQ(count, 2);  // the empty title is passed over
  EXPECT_FALSE(listing->Next().has_value());
}

TEST_F(FolderListingTest, CountingGivesTheNumberOfRowsOfTheListing) {
  for (int id = 10; id < 260; ++id) {
    catalog_.Exec("INSERT INTO Books (BookId, Title, fSize) VALUES (" + std::to_string(id) +
                  ", 'T" + std::to_string(id % 7) + "', 1);");
  }
  // Files of a plain select, and a union of two definitions (duplicates
  // merged, as the listing shows them).
  doc_ = Folders(
      "<d><name>(Books.Title)</name><dir>0</dir><ext>.fb2</ext><size>Books.fSize</size>"
      "<date>Books.fDate</date><FROM>Books</FROM><WHERE>Books.BookId&gt;=10</WHERE></d>");
  const CatalogView files = ViewOf(doc_, catalog_.db());
  EXPECT_EQ(CountFolderRows(files, "\\"), 250);
  EXPECT_EQ(CountFolderRows(files, "\\"), static_cast<int64_t>(ListAll(files, "\\").size()));
  XmlDocument two = Folders(
      "<d><name1>Books.Title</name1><FROM>Books</FROM><WHERE>Books.BookId&gt;=10</WHERE></d>"
      "<d><content-query>'SELECT \"T1\", -1, 0, 0 UNION SELECT \"Z\", -1, 0, 0'</content-query></d>");
  const CatalogView folders = ViewOf(two, catalog_.db());
  EXPECT_EQ(CountFolderRows(folders, "\\"), 8);  // T0..T6 and Z
  EXPECT_EQ(CountFolderRows(folders, "\\"), static_cast<int64_t>(ListAll(folders, "\\").size()));
  // Unserved folders and failing queries give no count.
  XmlDocument under_x = Folders("<d><initial-path>'\\X\\'</initial-path><name1>1</name1></d>");
  EXPECT_FALSE(CountFolderRows(ViewOf(under_x, catalog_.db()), "\\"));
  XmlDocument broken = Folders("<d><name1>Title</name1><FROM>NoSuchTable</FROM></d>");
  EXPECT_FALSE(CountFolderRows(ViewOf(broken, catalog_.db()), "\\"));
}

TEST_F(FolderListingTest, WithoutCatalogServedFoldersFail) {
  doc_ = Folders("<d><name1>Title</name1><FROM>Books</FROM></d>");
  std::unique_ptr<FolderListing> listing;
  EXPECT_EQ(FolderListing::Open(ViewOf(doc_, nullptr), "\\", listing),
            FolderListing::OpenOutcome::kFailed);
}

}  // namespace
}  // namespace tomeva::tree
