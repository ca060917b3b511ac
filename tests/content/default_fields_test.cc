// Tests of the default field definitions (config/wdx_xml.xml) through the
// field host: every field of real-shaped books, plain, zipped and in
// windows-1251, and titles written back into them.
#include <gtest/gtest.h>

#include "common/xml_document.h"
#include "content/field_host.h"
#include "content/zip_archive.h"
#include "content_test_util.h"
#include "support/temp_dir.h"
#include "support/zip_test_util.h"

namespace tomeva::content {
namespace {

using testing::BookParts;
using testing::Fb2Book;
using testing::ReadFile;
using testing::WriteFile;

constexpr char kFullTitleInfo[] =
    "<genre>sf_history</genre><genre>detective</genre>"
    "<author><first-name>Лев</first-name><middle-name>Николаевич</middle-name>"
    "<last-name>Толстой</last-name></author>"
    "<author><first-name>Jane</first-name><last-name>Doe</last-name><nickname>jd</nickname></"
    "author>"
    "<book-title>Война и мир</book-title>"
    "<annotation><p>Первый.</p><p>Second.</p></annotation>"
    "<keywords>war, peace</keywords><date value=\"1869-01-01\">1869</date>"
    "<lang>ru</lang><src-lang>fr</src-lang><sequence name=\"Эпопея\" number=\"2\"/>";
constexpr char kFullPublishInfo[] =
    "<publisher>Изд</publisher><year>2005</year><isbn>978-5-00-000000-0</isbn>";

class DefaultFieldsTest : public ::testing::Test {
 protected:
  std::string Get(std::string_view field, const std::string& file) {
    return host_.GetFieldValue("wdx_XML." + std::string(field), file);
  }

  testing::TempDir dir_;
  XmlDocument settings_ = testing::SourcesDocument();
  FieldHost host_{testing::ContentPlugins(settings_), testing::ConfigFolder(), dir_.path()};
};

TEST_F(DefaultFieldsTest, ReadsEveryFieldOfAFullBook) {
  const std::string book = dir_.Path("full.fb2");
  WriteFile(book, Fb2Book(BookParts()
                              .WithTitleInfo(kFullTitleInfo)
                              .WithPublishInfo(kFullPublishInfo)
                              .WithBody("<section><p>Текст</p></section>")));
  // clang-format off
  const std::pair<const char*, const char*> expected[] = {
      {"Title", "Война и мир"}, {"AuthorLast", "Толстой"}, {"AuthorLast.[1]", "Doe"},
      {"AuthorLast.2", "Doe"}, {"AuthorLast.[2]", ""}, {"AuthorFirst", "Лев"},
      {"AuthorMiddle", "Николаевич"}, {"AuthorMiddle.[1]", ""}, {"AuthorNick.[1]", "jd"},
      {"Authors", "Толстой Лев, Doe Jane"}, {"Genre", "sf_history"}, {"Genre.[1]", "detective"},
      {"Series", "Эпопея"}, {"SeriesNumber", "2"}, {"Lang", "ru"}, {"SrcLang", "fr"},
      {"Date", "1869"}, {"DateValue", "1869-01-01"}, {"Annotation", "Первый. Second."},
      {"Keywords", "war, peace"}, {"Publisher", "Изд"}, {"PublishYear", "2005"},
      {"ISBN", "978-5-00-000000-0"}, {"TextLength", "5"}, {"Encoding", "UTF-8"}, {"Packed", "0"}};
  // clang-format on
  for (const auto& [field, value] : expected) EXPECT_EQ(Get(field, book), value) << field;
}

TEST_F(DefaultFieldsTest, MissingFieldsAreEmptyAndLegacyEncodingsReadAsUtf8) {
  const std::string book = dir_.Path("cp.fb2");
  WriteFile(book, Fb2Book(BookParts()
                              .WithEncoding("windows-1251")
                              .WithTitleInfo(
                                  "<author><nickname>Аноним</nickname></author>"
                                  "<book-title>Повесть</book-title><sequence name=\"Цикл\"/>")));
  EXPECT_EQ(Get("Title", book), "Повесть");
  EXPECT_EQ(Get("AuthorNick", book), "Аноним");
  EXPECT_EQ(Get("Series", book), "Цикл");
  EXPECT_EQ(Get("Encoding", book), "windows-1251");
  for (const char* field : {"AuthorLast", "SeriesNumber", "Genre", "Lang", "DateValue", "ISBN"}) {
    EXPECT_EQ(Get(field, book), "") << field;
  }
  EXPECT_EQ(Get("Authors", book), " ");
  EXPECT_EQ(Get("Annotation", book), "null");  // join mode without its parent element
}

TEST_F(DefaultFieldsTest, ReadsZippedAndFbzBooks) {
  for (const char* name : {"book.fb2.zip", "book.fbz"}) {
    const std::string zip = dir_.Path(name);
    WriteFile(
        zip,
        testing::BuildTestZip(
            {testing::ZipEntry("cover.jpg", "jpeg"),
             testing::ZipEntry("Book.FB2", Fb2Book(BookParts().WithTitleInfo(kFullTitleInfo)))}));
    EXPECT_EQ(Get("Title", zip), "Война и мир") << name;
    EXPECT_EQ(Get("AuthorLast.[1]", zip), "Doe") << name;
    EXPECT_EQ(Get("Packed", zip), "1") << name;
  }
}

TEST_F(DefaultFieldsTest, TitleWrittenIntoAWindows1251BookKeepsItsEncodingAndBody) {
  const std::string book = dir_.Path("cp.fb2");
  WriteFile(book, Fb2Book(BookParts()
                              .WithEncoding("windows-1251")
                              .WithTitleInfo(kFullTitleInfo)
                              .WithBody("<section><p>Тело книги</p></section>")));
  host_.SetFieldValue("wdx_XML.Title", book, "Новое 日本");
  EXPECT_EQ(Get("Title", book), "Новое 日本");
  const std::string bytes = ReadFile(book);
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"windows-1251\"?>", 0), 0u);
  // "Новое" in windows-1251, the characters it lacks as references, and the body untouched.
  EXPECT_NE(bytes.find("\xcd\xee\xe2\xee\xe5 &#26085;&#26412;"), std::string::npos);
  EXPECT_NE(bytes.find("\xd2\xe5\xeb\xee \xea\xed\xe8\xe3\xe8"), std::string::npos);
  EXPECT_TRUE(XmlDocument::LoadFile(book).ok());
  EXPECT_EQ(Get("AuthorLast.[1]", book), "Doe");
}

TEST_F(DefaultFieldsTest, TitleWrittenIntoAZippedBookLeavesOtherEntriesAlone) {
  const std::string zip = dir_.Path("book.fb2.zip");
  WriteFile(zip, testing::BuildTestZip({testing::ZipEntry("readme.txt", "keep me"),
                                        testing::ZipEntry("book.fb2", Fb2Book(BookParts()))}));
  host_.SetFieldValue("wdx_XML.Title", zip, "Zipped title");
  EXPECT_EQ(Get("Title", zip), "Zipped title");
  Result<ZipArchive> archive = ZipArchive::Open(zip, ZipArchive::Mode::kRead);
  ASSERT_TRUE(archive.ok()) << archive.message();
  EXPECT_EQ(archive->Extract("readme.txt").value(), "keep me");
  EXPECT_TRUE(XmlDocument::LoadText(archive->Extract("book.fb2").value()).ok());
}

}  // namespace
}  // namespace tomeva::content
