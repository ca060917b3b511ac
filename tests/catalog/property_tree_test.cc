// Tests of property tree persistence on the default schema: how a path's values
// are classified by the declared relationships, and what applying the records
// does to the catalog and, with content write-back on, to the book's fields.
#include "catalog/property_tree.h"

#include <map>

#include "catalog/catalog_fixture.h"
#include "catalog/statements.h"
#include "common/node_path.h"

namespace tomeva::catalog {
namespace {

// Book fields kept in memory: reference (without the file) -> value.
class FakeFields : public ContentFieldAccess {
 public:
  std::string GetFieldValue(std::string_view reference, std::string_view) override {
    auto it = values.find(std::string(reference));
    return it == values.end() ? std::string() : it->second;
  }
  bool SetFieldValue(std::string_view reference, std::string_view, std::string_view value) override {
    writes.emplace_back(std::string(reference) + "=" + std::string(value));
    values[std::string(reference)] = std::string(value);
    return true;
  }
  void ForgetReadFiles() override {}
  std::map<std::string, std::string> values;
  std::vector<std::string> writes;
};

class PropertyTreeTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    auto doc = XmlDocument::LoadText(
        "<settings><changecont>-1</changecont><properties>"
        "<simple><id name=\"BookId\" mode=\"1\"><table>Books</table>"
        "<field name=\"Title\" path=\"x.Title\"/></id></simple>"
        "<multi><linktable>BookAuthors</linktable><id name=\"AuthorId\" mode=\"1\">"
        "<table>Authors</table><field name=\"Last\" path=\"x.Last\"/>"
        "<field name=\"First\" path=\"x.First\"/></id></multi>"
        "</properties></settings>");
    ASSERT_TRUE(doc.ok()) << doc.message();
    doc_.emplace(std::move(doc).value());
    ctx_.db = recorded();
    ctx_.settings_root = doc_->RootElement();
    ctx_.book_id_table = "Books";
    ctx_.fields = &fields_;
    Run("INSERT INTO Books (BookId, Title) VALUES (42, 'Ode')");
    Run("INSERT INTO Authors (AuthorId, Last, First) VALUES (1, 'Doe', 'Jane'), (2, 'Roe', 'Rick')");
    Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (42, 1)");
  }
  std::optional<XmlDocument> doc_;
  PropertyContext ctx_;
  FakeFields fields_;
};

TEST_F(PropertyTreeTest, BookTableLinesAreColumnsAndNeedNoRelationshipQuery) {
  auto list = BuildPropertyTree(ctx_, "Books.Title=Odes\r\nBooks.Year=1999\r\n", "BookId=42");
  ASSERT_TRUE(list.ok());
  ASSERT_EQ(list->size(), 2u);
  EXPECT_EQ((*list)[0].kind, BookProperty::Kind::kColumn);
  EXPECT_EQ((*list)[0].name, "Title");
  EXPECT_EQ((*list)[0].value, "Odes");
  EXPECT_EQ((*list)[1].column, "Year");
  EXPECT_TRUE(recorded()->texts.empty());
}

TEST_F(PropertyTreeTest, LinesOfOneRelatedTableFormOneRecord) {
  auto list = BuildPropertyTree(
      ctx_, "Authors.Last=Roe\r\nBooks.Title=Odes\r\nAuthors.First=Rick\r\n", "BookId=42");
  ASSERT_TRUE(list.ok());
  ASSERT_EQ(list->size(), 2u);
  const BookProperty& author = (*list)[0];
  EXPECT_EQ(author.kind, BookProperty::Kind::kLink);
  EXPECT_EQ(author.link_table, "BookAuthors");
  EXPECT_EQ(author.ref_key, "2");  // found by both values, not a new row
  EXPECT_EQ(author.name, "Authors.AuthorId");
  EXPECT_EQ((*list)[1].name, "Title");
}

TEST_F(PropertyTreeTest, ANullableKeyOfTheBookRowIsAColumnOfARelatedRow) {
  auto list = BuildPropertyTree(ctx_, "Series.Name=Classics\r\n", "BookId=42");
  ASSERT_TRUE(list.ok());
  ASSERT_EQ(list->size(), 1u);
  EXPECT_EQ((*list)[0].kind, BookProperty::Kind::kColumn);
  EXPECT_EQ((*list)[0].column, "SeriesId");
  EXPECT_TRUE(SetBookColumn(ctx_, (*list)[0], "book.fb2").ok());
  EXPECT_EQ(Rows("SELECT Series.Name FROM Books INNER JOIN Series ON Books.SeriesId=Series.SeriesId"), "Classics");
}

TEST_F(PropertyTreeTest, UnrelatedTablesGiveNoRecord) {
  Run("CREATE TABLE Loose (LooseId INTEGER PRIMARY KEY, Name TEXT)");
  auto list = BuildPropertyTree(ctx_, "Loose.Name=x\r\n", "BookId=42");
  ASSERT_TRUE(list.ok());
  EXPECT_TRUE(list->empty());
}

TEST_F(PropertyTreeTest, ReplaceLinkMovesTheLinkAndRewritesThatOccurrence) {
  fields_.values = {{"x.Last.[0]", "Doe"}, {"x.First.[0]", "Jane"}};
  auto old_list = BuildPropertyTree(ctx_, "Authors.Last=Doe\r\nAuthors.First=Jane\r\n", "BookId=42");
  auto new_list = BuildPropertyTree(ctx_, "Authors.Last=Roe\r\nAuthors.First=Rick\r\n", "BookId=42");
  ASSERT_TRUE(old_list.ok() && new_list.ok());
  EXPECT_TRUE(ReplaceLink(ctx_, (*old_list)[0], (*new_list)[0], "book.fb2").ok());
  EXPECT_EQ(Rows("SELECT AuthorId FROM BookAuthors WHERE BookId=42"), "2");
  EXPECT_EQ(fields_.values["x.Last.[0]"], "Roe");
  EXPECT_EQ(fields_.values["x.First.[0]"], "Rick");
}

TEST_F(PropertyTreeTest, ReplaceLinkWithTheSameKeyDoesNothing) {
  auto list = BuildPropertyTree(ctx_, "Authors.Last=Doe\r\n", "BookId=42");
  ASSERT_TRUE(list.ok());
  size_t before = recorded()->texts.size();
  EXPECT_TRUE(ReplaceLink(ctx_, (*list)[0], (*list)[0], "book.fb2").ok());
  EXPECT_EQ(recorded()->texts.size(), before);
  EXPECT_TRUE(fields_.writes.empty());
}

TEST_F(PropertyTreeTest, ReplaceLinkOntoAValueTheBookHasLeavesOnlyThatValue) {
  Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (42, 2)");
  auto old_list = BuildPropertyTree(ctx_, "Authors.Last=Doe\r\n", "BookId=42");
  auto new_list = BuildPropertyTree(ctx_, "Authors.Last=Roe\r\n", "BookId=42");
  ASSERT_TRUE(old_list.ok() && new_list.ok());
  EXPECT_TRUE(ReplaceLink(ctx_, (*old_list)[0], (*new_list)[0], "").ok());
  EXPECT_EQ(Rows("SELECT AuthorId FROM BookAuthors WHERE BookId=42"), "2");
}

TEST_F(PropertyTreeTest, RemoveLinkEmptiesTheMatchingOccurrenceOnly) {
  fields_.values = {{"x.Last.[0]", "Roe"}, {"x.First.[0]", "Rick"},
                    {"x.Last.[1]", "Doe"}, {"x.First.[1]", "Jane"}};
  auto list = BuildPropertyTree(ctx_, "Authors.Last=Doe\r\n", "BookId=42");
  ASSERT_TRUE(list.ok());
  EXPECT_TRUE(RemoveLink(ctx_, (*list)[0], "book.fb2").ok());
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM BookAuthors"), "0");
  EXPECT_EQ(fields_.values["x.Last.[1]"], "");
  EXPECT_EQ(fields_.values["x.Last.[0]"], "Roe");
}

TEST_F(PropertyTreeTest, RemoveLinkWritesNothingWhenNoOccurrenceShowsTheValue) {
  fields_.values = {{"x.Last.[0]", "Roe"}, {"x.First.[0]", "Rick"}};
  auto list = BuildPropertyTree(ctx_, "Authors.Last=Doe\r\n", "BookId=42");
  ASSERT_TRUE(list.ok());
  EXPECT_TRUE(RemoveLink(ctx_, (*list)[0], "book.fb2").ok());
  EXPECT_TRUE(fields_.writes.empty());
}

TEST_F(PropertyTreeTest, AddLinkWritesANewOccurrenceFirst) {
  auto list = BuildPropertyTree(ctx_, "Authors.Last=Roe\r\nAuthors.First=Rick\r\n", "BookId=42");
  ASSERT_TRUE(list.ok());
  EXPECT_TRUE(AddLink(ctx_, (*list)[0], "book.fb2").ok());
  EXPECT_EQ(Rows("SELECT AuthorId FROM BookAuthors WHERE BookId=42 ORDER BY AuthorId"), "1|2");
  ASSERT_EQ(fields_.writes.size(), 2u);
  EXPECT_EQ(fields_.writes[0], "x.Last.[-1]=Roe");
  EXPECT_EQ(fields_.writes[1], "x.First.[0]=Rick");
}

TEST_F(PropertyTreeTest, WithoutContentWriteBackTheFileIsNotTouched) {
  ASSERT_TRUE(XmlNode(ctx_.settings_root).FirstChildElement("changecont"));
  ctx_.settings_root.FirstChildElement("changecont").SetText("1");
  auto list = BuildPropertyTree(ctx_, "Authors.Last=Roe\r\nBooks.Title=X\r\n", "BookId=42");
  ASSERT_TRUE(list.ok());
  EXPECT_TRUE(AddLink(ctx_, (*list)[0], "book.fb2").ok());
  EXPECT_TRUE(SetBookColumn(ctx_, (*list)[1], "book.fb2").ok());
  EXPECT_TRUE(fields_.writes.empty());
  EXPECT_EQ(Rows("SELECT Title FROM Books"), "X");
}

TEST_F(PropertyTreeTest, WriteBackWithAnEmptyKeyWritesEmptyValues) {
  XmlNode authors = NodeByPath(ctx_.settings_root, "properties/multi/id", false);
  WriteBackFields(ctx_, authors, "book.fb2", "AuthorId=", 1);
  ASSERT_EQ(fields_.writes.size(), 2u);
  EXPECT_EQ(fields_.writes[0], "x.Last.[1]=");
  EXPECT_EQ(fields_.writes[1], "x.First.[1]=");
}

}  // namespace
}  // namespace tomeva::catalog

namespace tomeva::catalog {
namespace {

TEST_F(PropertyTreeTest, AnExpressionCaptureFindsItsRowByTheShownName) {
  auto list = BuildPropertyTree(
      ctx_,
      "Authors.Last & \" \" & Authors.First=Roe Rick\r\n"
      "iif(Nz(Books.Title,\"\")<>\"\",Books.Title,\"?\")=Ode\r\n",
      "BookId=42");
  ASSERT_TRUE(list.ok()) << list.message();
  // The book name identifies the book and is no column to set; the author name
  // finds the existing author and inserts nothing.
  ASSERT_EQ(list->size(), 1u);
  EXPECT_EQ((*list)[0].kind, BookProperty::Kind::kLink);
  EXPECT_EQ((*list)[0].ref_key, "2");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Authors"), "2");
  auto missing = BuildPropertyTree(ctx_, "Authors.Last & \" \" & Authors.First=No One\r\n",
                                   "BookId=42");
  // A shown name no row has names nothing: an error, not an empty change.
  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find("No One"), std::string::npos) << missing.message();
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Authors"), "2");
}

}  // namespace
}  // namespace tomeva::catalog
