// Tests of the wdx_XML source with its own field definitions: repeated
// elements, attributes, join mode, computed fields, writing back and the
// one-book cache.
#include "content/xml_field_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "content/field_value_text.h"
#include "content_test_util.h"
#include "support/temp_dir.h"

namespace tomeva::content {
namespace {

using testing::BookParts;
using testing::Fb2Book;
using testing::ReadFile;
using testing::WriteFile;

constexpr char kDefinitions[] = R"(<settings><positions>1|2|3</positions><fields>
  <field><name>Last</name><xpath>description/title-info/*author/last-name</xpath></field>
  <field><name>SeqName</name><xpath>description/title-info/sequence/@name</xpath></field>
  <field><name>Empty</name><xpath>description/title-info/empty</xpath></field>
  <field><name>Names</name><xpath>description/title-info/author</xpath>
    <template>[first-name] [last-name]</template><div>, </div></field>
  <field><name>BadJoin</name><xpath>description/title-info/author</xpath><template>[first-name] x</template></field>
  <field><name>Length</name><special>1</special></field>
  <field><name>Packed</name><special>3</special></field>
  <field><name>Title</name><xpath>description/title-info/book-title</xpath></field>
</fields></settings>)";
enum Field { kLast, kSeqName, kEmpty, kNames, kBadJoin, kLength, kPacked, kTitle };

constexpr char kTwoAuthors[] =
    "<author><first-name>Ann</first-name><last-name>Lee</last-name></author>"
    "<author>\n <first-name>Bob</first-name>\n <last-name>Ray</last-name>\n</author>"
    "<book-title>T</book-title><sequence name=\"Saga\"/><empty/>";

class XmlFieldSourceTest : public ::testing::Test {
 protected:
  struct Answer {
    int code;
    std::string text;
  };
  Answer Get(std::string_view file, int field, int unit = -1) {
    std::vector<char> buffer(1024, '\0');
    const int code = source_.GetValue(file, field, unit, buffer, 0);
    return {code, FieldValueText(code, buffer)};
  }
  std::string Book(std::string_view name, const std::string& title_info) {
    const std::string path = dir_.Path(name);
    WriteFile(path, Fb2Book(BookParts().WithTitleInfo(title_info)));
    return path;
  }

  // The folder, with the definitions written into it.
  static std::string Defined(const testing::TempDir& dir) {
    WriteFile(dir.Path("wdx_xml.xml"), kDefinitions);
    return dir.path();
  }

  testing::TempDir dir_;
  XmlFieldSource source_{Defined(dir_)};
};

TEST_F(XmlFieldSourceTest, RepeatedStepSelectsTheOccurrenceByUnit) {
  const std::string book = Book("a.fb2", kTwoAuthors);
  EXPECT_EQ(source_.GetSupportedField(kLast).units, "1|2|3");
  EXPECT_EQ(source_.GetSupportedField(kTitle).units, "");
  EXPECT_EQ(Get(book, kLast, 0).text, "Lee");
  EXPECT_EQ(Get(book, kLast, 1).text, "Ray");
  EXPECT_EQ(Get(book, kLast, 2).code, ft_fieldempty);
  EXPECT_EQ(Get(book, kLast, -1).text, "Lee");
  EXPECT_EQ(Get(book, kSeqName).text, "Saga");
  const Answer empty = Get(book, kEmpty);
  EXPECT_EQ(empty.code, ft_string);
  EXPECT_EQ(empty.text, "");
  EXPECT_EQ(Get(book, 99).code, ft_nosuchfield);
}

TEST_F(XmlFieldSourceTest, JoinModeTakesTheWholeTextOfParagraphsWithMarkup) {
  const std::string book = Book(
      "a.fb2", "<book-title>T</book-title><author><first-name>A</first-name></author>"
               "<author><first-name>B<emphasis>b</emphasis></first-name><last-name>L</last-name>"
               "</author>");
  EXPECT_EQ(Get(book, kNames).text, "A , Bb L");
}

TEST_F(XmlFieldSourceTest, AHeaderBesideDescriptionIsReadAndABrokenBodyDoesNotHideTheRest) {
  const std::string beside = dir_.Path("beside.fb2");
  WriteFile(beside,
            "<FictionBook><description><publish-info/></description><title-info><book-title>B"
            "</book-title><author><last-name>L</last-name></author></title-info>"
            "<body><p>x</p></body></FictionBook>");
  EXPECT_EQ(Get(beside, kTitle).text, "B");
  EXPECT_EQ(Get(beside, kLast).text, "L");
  // Without a title-info that can be read, the header is read as it stands.
  const std::string broken = dir_.Path("broken.fb2");
  WriteFile(broken,
            "<FictionBook><description><publish-info/></description><body><p>unclosed</body>");
  EXPECT_EQ(Get(broken, kTitle).code, ft_fieldempty);
}

TEST_F(XmlFieldSourceTest, JoinModeRendersEveryElementThroughTheTemplate) {
  const std::string book = Book("a.fb2", kTwoAuthors);
  EXPECT_EQ(Get(book, kNames).text, "Ann Lee, Bob Ray");
  // The author's own text is the whole text below it, nested elements included.
  EXPECT_EQ(Get(book, kBadJoin).text, "Ann xAnnLeeBob x\n Bob\n Ray\n");
  EXPECT_EQ(Get(book, kTitle).text, "T");             // the book is still usable
  const Answer none = Get(Book("b.fb2", "<book-title>T</book-title>"), kNames);
  EXPECT_EQ(none.code, ft_string);
  EXPECT_EQ(none.text, "");
}

TEST_F(XmlFieldSourceTest, ComputedFieldsCountBodyTextAndTellPackedNames) {
  const std::string path = dir_.Path("len.fb2");
  WriteFile(path, Fb2Book(BookParts().WithBody("<section><p>ab</p><p>cde</p><p/></section>")));
  EXPECT_EQ(Get(path, kLength).code, ft_numeric_32);
  EXPECT_EQ(Get(path, kLength).text, "5");
  // Text beside an element is not counted; a character beyond the BMP counts twice.
  WriteFile(path, Fb2Book(BookParts().WithBody(
                      "<p>sixsix<emphasis>five5</emphasis></p><p>\xF0\x9F\x98\x80</p>")));
  EXPECT_EQ(Get(path, kLength).text, "7");
  EXPECT_EQ(Get("/none/book.fb2", kPacked).text, "0");
  EXPECT_EQ(Get("/none/BOOK.FB2", kPacked).text, "0");
  EXPECT_EQ(Get("/none/book.fb2.zip", kPacked).text, "1");
}

TEST_F(XmlFieldSourceTest, WritingRepeatedFieldsAddsAndRemovesOccurrences) {
  const std::string book =
      Book("a.fb2", "<author><last-name>Lee</last-name></author><book-title>T</book-title>");
  EXPECT_EQ(source_.SetValue(book, kLast, 1, ft_string, "Ray", setflags_last_attribute), 0);
  EXPECT_NE(ReadFile(book).find(
                "<last-name>Lee</last-name></author><author><last-name>Ray</last-name></author>"),
            std::string::npos);
  EXPECT_EQ(source_.SetValue(book, kLast, -1, ft_string, "Ash", setflags_last_attribute), 0);
  EXPECT_EQ(Get(book, kLast, 0).text, "Ash");
  EXPECT_EQ(source_.SetValue(book, kLast, 2, ft_string, "", setflags_last_attribute), 0);
  EXPECT_EQ(Get(book, kLast, 2).code, ft_fieldempty);
  EXPECT_EQ(ReadFile(book).find("Ray"), std::string::npos);
  EXPECT_EQ(source_.SetValue(book, kLast, 5, ft_string, "", setflags_last_attribute), ft_fileerror);
  EXPECT_EQ(source_.SetValue(book, kSeqName, -1, ft_string, "Saga", setflags_last_attribute), 0);
  EXPECT_EQ(Get(book, kSeqName).text, "Saga");
}

TEST_F(XmlFieldSourceTest, RefusedAndFailedWritesLeaveTheFileUntouched) {
  const std::string book = Book("a.fb2", kTwoAuthors);
  const std::string before = ReadFile(book);
  EXPECT_EQ(source_.SetValue(book, kNames, -1, ft_string, "X", setflags_last_attribute),
            ft_fileerror);
  EXPECT_EQ(source_.SetValue(book, kLength, -1, ft_string, "1", setflags_last_attribute),
            ft_fileerror);
  EXPECT_EQ(source_.SetValue(book, kTitle, -1, ft_string, "bad\x01", setflags_last_attribute),
            ft_fileerror);
  testing::WriteFile(book + ".tmp~/x", "");  // a folder where the new file must go
  EXPECT_EQ(source_.SetValue(book, kTitle, -1, ft_string, "New", setflags_last_attribute),
            ft_fileerror);
  EXPECT_EQ(ReadFile(book), before);
  EXPECT_EQ(Get(book, kTitle).text, "T");
}

TEST_F(XmlFieldSourceTest, CacheFollowsTheFileAndSavesPendingChanges) {
  const std::string a = Book("a.fb2", "<book-title>First</book-title>");
  EXPECT_EQ(Get(a, kTitle).text, "First");
  WriteFile(a, Fb2Book(BookParts().WithTitleInfo("<book-title>Second one</book-title>")));
  EXPECT_EQ(Get(a, kTitle).text, "Second one");
  // A write without the last-attribute flag is saved when another book is asked for.
  EXPECT_EQ(source_.SetValue(a, kTitle, -1, ft_string, "Third", 0), 0);
  EXPECT_EQ(Get(Book("b.fb2", "<book-title>B</book-title>"), kTitle).text, "B");
  EXPECT_NE(ReadFile(a).find("<book-title>Third</book-title>"), std::string::npos);
}

TEST(XmlFieldSourceNoDefinitionsTest, ListsNoFieldsWithoutDefinitionFile) {
  testing::TempDir dir;
  XmlFieldSource source(dir.path());
  EXPECT_EQ(source.GetSupportedField(0).type, ft_nomorefields);
  std::vector<char> buffer(64, '\0');
  EXPECT_EQ(source.GetValue(dir.Path("a.fb2"), 0, -1, buffer, 0), ft_nosuchfield);
}

}  // namespace
}  // namespace tomeva::content
