// Tests of damaged and hostile books through the field host: each answers
// "null" and the next book still reads.
#include <gtest/gtest.h>

#include "content/field_host.h"
#include "content_test_util.h"
#include "support/temp_dir.h"
#include "support/zip_test_util.h"

namespace tomeva::content {
namespace {

using testing::BookParts;
using testing::Fb2Book;
using testing::WriteFile;

class BadBooksTest : public ::testing::Test {
 protected:
  std::string Title(const std::string& file) { return host_.GetFieldValue("wdx_XML.Title", file); }
  // The title of a good book read right after a bad one.
  void ExpectNextBookWorks() {
    const std::string good = dir_.Path("good.fb2");
    WriteFile(good, Fb2Book(BookParts()));
    EXPECT_EQ(Title(good), "Title");
  }

  testing::TempDir dir_;
  XmlDocument settings_ = testing::SourcesDocument();
  FieldHost host_{testing::ContentPlugins(settings_), testing::ConfigFolder(), dir_.path()};
};

TEST_F(BadBooksTest, DamagedBooksAnswerNull) {
  const std::string book = Fb2Book(BookParts());
  const std::pair<const char*, std::string> bad[] = {
      {"truncated.fb2", book.substr(0, book.find("</title-info>") - 3)},
      {"text.fb2", "This is not XML at all."},
      {"empty.fb2", ""},
      {"other-root.fb2", "<?xml version=\"1.0\"?><html><description/></html>"},
      {"no-book.zip", testing::BuildTestZip({testing::ZipEntry("readme.txt", "hi")})},
      {"damaged.zip", testing::BuildTestZip({testing::ZipEntry("a.fb2", book)}).substr(0, 60)},
  };
  for (const auto& [name, bytes] : bad) {
    WriteFile(dir_.Path(name), bytes);
    EXPECT_EQ(Title(dir_.Path(name)), "null") << name;
    ExpectNextBookWorks();
  }
  EXPECT_EQ(Title(dir_.Path("missing.fb2")), "null");
  EXPECT_EQ(host_.GetFieldValue("wdx_XML.Packed", dir_.Path("no-book.zip")), "1");
}

TEST_F(BadBooksTest, ZipBombIsRefused) {
  const std::string bomb = dir_.Path("bomb.fb2.zip");
  testing::WriteZerosZip(bomb, "bomb.fb2", 64u << 20);
  EXPECT_EQ(Title(bomb), "null");
  ExpectNextBookWorks();
}

TEST_F(BadBooksTest, ExternalEntitiesAreNeverRead) {
  const std::string secret = dir_.Path("secret.txt");
  WriteFile(secret, "SECRET");
  const std::string book = dir_.Path("xxe.fb2");
  WriteFile(book, Fb2Book(BookParts()
                              .WithTitleInfo("<book-title>&xxe;</book-title>")
                              .WithDoctype("<!DOCTYPE FictionBook [<!ENTITY xxe SYSTEM \"file://" +
                                           secret + "\">]>\n")));
  EXPECT_EQ(Title(book), "null");
  ExpectNextBookWorks();
}

TEST_F(BadBooksTest, HeaderFieldsReadWithoutParsingTheBody) {
  const std::string book = dir_.Path("huge.fb2");
  std::string body(8u << 20, 'x');
  body += "<p>unclosed <b></p></body>";
  WriteFile(book, Fb2Book(BookParts().WithBody(body)));
  EXPECT_EQ(Title(book), "Title");
  EXPECT_EQ(host_.GetFieldValue("wdx_XML.Encoding", book), "UTF-8");
  EXPECT_EQ(host_.GetFieldValue("wdx_XML.TextLength", book), "null");  // needs the body
  EXPECT_EQ(host_.GetFieldValue("wdx_XML.AuthorLast", book), "");
  host_.SetFieldValue("wdx_XML.Title", book, "New");  // a write needs the whole book: refused
  EXPECT_EQ(Title(book), "Title");
}

}  // namespace
}  // namespace tomeva::content
