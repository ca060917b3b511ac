// Rows from property definitions: field lines and the depth-first walk.
#include "books/property_rows.h"

#include <gtest/gtest.h>

#include <map>

#include "books/books_test_support.h"
#include "common/node_path.h"

namespace tomeva::books {
namespace {

// Field values by reference; a missing one reads "null" like a failed source.
class MapFields : public catalog::ContentFieldAccess {
 public:
  std::string GetFieldValue(std::string_view reference, std::string_view) override {
    auto it = values.find(std::string(reference));
    return it == values.end() ? "null" : it->second;
  }
  bool SetFieldValue(std::string_view, std::string_view, std::string_view) override {
    return false;
  }
  void ForgetReadFiles() override {}
  std::map<std::string, std::string> values;
};

class PropertyRowsTest : public ::testing::Test {
 protected:
  PropertyRowsTest() {
    doc_ = std::make_unique<XmlDocument>(XmlDocument::LoadText(R"(<s><root>/books</root>
      <book name="BookId" mode="1"><table>Books</table><field name="Title" path="x.Title" q="1"/>
        <id name="SeriesId" mode="1"><table>Series</table><field name="Name" path="x.Series"/></id>
      </book>
      <nomode name="BookId"><table>Books</table><field name="Title" path="x.Title"/></nomode>
      <inert name="BookId" mode="4"><field name="Title" value="x"/>
        <id name="SeriesId" mode="1"><table>Series</table><field name="Name" value="Kept"/></id>
      </inert>
      <query name="SeriesId" mode="2"><request>'SELECT SeriesId FROM Series WHERE Name='Name';'</request>
        <field name="Name" path="x.Series" q="1"/></query></s>)")
                                             .value());
    ctx_ = lib_.ctx();
    ctx_.view.settings_root = doc_->RootElement();
    ctx_.fields = &fields_;
  }
  XmlNode Node(std::string_view name) { return NodeByPath(doc_->RootElement(), name, false); }
  std::string Line(std::string_view field_xml, int index = -1) {
    Result<std::string> line =
        FieldLine(ctx_, XmlDocument::LoadText(field_xml)->RootElement(), "/books/a.fb2", index);
    return line.ok() ? *line : "ERROR";
  }
  std::string Rows(std::string_view element, std::string_view key_line = {}) {
    Result<std::string> line = BuildRows(ctx_, Node(element), "a.fb2", -1, key_line);
    return line.ok() ? *line : "ERROR";
  }

  testing::TestLibrary lib_;
  MapFields fields_;
  std::unique_ptr<XmlDocument> doc_;
  BookContext ctx_;
};

TEST_F(PropertyRowsTest, FieldLineTakesConstantsFileValuesAndQuotesWithQOne) {
  fields_.values = {{"x.T", "Say \"hi\""}, {"x.Y", "  1869"}, {"x.P", "a\\b"},
                    {"x.G.[2]", "poetry"}, {"x.E", ""},       {"x.A", "x\r\nBookId=1\rT=y"}};
  EXPECT_EQ(Line(R"(<f name="T" path="x.T" q="1"/>)"), "T=\"Say \"\"hi\"\"\"");
  EXPECT_EQ(Line(R"(<f name="T" path="x.T" q="0"/>)"), "T=Say \"hi\"");
  EXPECT_EQ(Line(R"(<f name="Y" path="x.Y" q="1"/>)"), "Y=\"  1869\"");
  EXPECT_EQ(Line(R"(<f name="E" value="" q="1"/>)"), "E=null");
  EXPECT_EQ(Line(R"(<f name="E" value="a\b"/>)"), "E=a\\b");  // constants keep backslashes
  EXPECT_EQ(Line(R"(<f name="P" path="x.P"/>)"), "P=a/b");
  EXPECT_EQ(Line(R"(<f name="G" path="x.G"/>)", 2), "G=poetry");
  EXPECT_EQ(Line(R"(<f name="E" path="x.E"/>)"), "");  // no value from the file: no line
  EXPECT_EQ(Line(R"(<f name="E" path="x.Absent"/>)"), "");
  EXPECT_EQ(Line(R"(<f name="E" path=""/>)"), "E=");
  // No value can start a line of its own in the parameter text.
  EXPECT_EQ(Line(R"(<f name="A" path="x.A"/>)"), "A=x\nBookId=1\nT=y");
  EXPECT_EQ(Line(R"(<f name="A"/>)"), "ERROR");
  EXPECT_EQ(Line(R"(<f path="x.T"/>)"), "ERROR");
  EXPECT_EQ(Line(R"(<f name="A" path="x.T" q="yes"/>)"), "ERROR");
}

TEST_F(PropertyRowsTest, OriginalFileNameIsRelativeToTheLibraryWhenAsked) {
  EXPECT_EQ(Line(R"(<f name="L" special="OriginalFileName"/>)"), "L=/books/a.fb2");
  SetPathText(ctx_.view.settings_root, "root/@relative", "-1");
  EXPECT_EQ(Line(R"(<f name="L" special="OriginalFileName"/>)"), "L=a.fb2");
  SetPathText(ctx_.view.settings_root, "root", "/lib");
  EXPECT_EQ(Line(R"(<f name="L" special="OriginalFileName"/>)"), "L=../books/a.fb2");
}

TEST_F(PropertyRowsTest, BuildRowsWritesNestedRowsFirstAndFindsThemAgain) {
  fields_.values = {{"x.Title", "Ode"}, {"x.Series", "Odes"}};
  const std::string line = Rows("book");
  EXPECT_EQ(line, "BookId=" + lib_.Text("SELECT BookId FROM Books;"));
  EXPECT_EQ(
      lib_.Text("SELECT Name FROM Books INNER JOIN Series ON Books.SeriesId=Series.SeriesId;"),
      "Odes");
  EXPECT_EQ(Rows("book"), line);
  EXPECT_EQ(lib_.Count("Series"), 1);
  fields_.values = {{"x.Title", "Odes"}};  // the key line updates that row in place
  EXPECT_EQ(Rows("book", line), line);
  EXPECT_EQ(lib_.Text("SELECT Title & Count(*) FROM Books;"), "Odes1");
  fields_.values.clear();
  EXPECT_EQ(Rows("book"), "");
}

TEST_F(PropertyRowsTest, ModeIsReadOnlyForRowsAndChoosesHowTheyAreFound) {
  EXPECT_EQ(Rows("nomode"), "");
  fields_.values = {{"x.Title", "Ode"}, {"x.Series", "It's \"odd\""}};
  EXPECT_EQ(Rows("nomode"), "ERROR");
  EXPECT_EQ(Rows("inert"), "");  // mode 4 writes only its nested rows
  EXPECT_EQ(lib_.Text("SELECT Name FROM Series;"), "Kept");
  EXPECT_EQ(Rows("query"), "");
  lib_.Exec("INSERT INTO Series (SeriesId, Name) VALUES (7, 'It''s \"odd\"');");
  EXPECT_EQ(Rows("query"), "SeriesId=7");
}

}  // namespace
}  // namespace tomeva::books
