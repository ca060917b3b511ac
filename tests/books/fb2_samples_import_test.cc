// Optional test over a folder of real FB2 books (TOMEVA_SAMPLES, or
// /work/shared/fb2-samples; skipped when absent): every book that is
// well-formed XML imports with the default settings into a catalog of its own,
// and the catalog holds its whole header as a whole parse of the book reads it:
// title, every author, every genre, the first series and its number, the year
// of publication, the language and the annotation's paragraphs, none of them
// cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "books/books_test_support.h"
#include "common/node_path.h"
#include "content/book_file.h"

namespace tomeva::books {
namespace {

struct Header {
  std::string title, lang, year, series, series_number, annotation;
  std::set<std::string> authors;  // "Last|First|Middle|Nick" of every named author
  std::set<std::string> genres;
};

std::string TextAt(XmlNode node, std::string_view path) {
  XmlNode found = NodeByPath(node, path, /*create=*/false);
  return found ? found.TextContent() : std::string();
}

std::vector<XmlNode> Children(XmlNode parent, std::string_view name) {
  std::vector<XmlNode> named;
  for (XmlNode child : parent.ChildElements()) {
    if (child.HasName(name)) named.push_back(child);
  }
  return named;
}

// The header as the book holds it, read straight from the whole DOM; the
// title-info may stand inside <description> or directly below FictionBook.
Header ReadHeader(XmlNode book) {
  XmlNode description = book.FirstChildElement("description");
  XmlNode info = description ? description.FirstChildElement("title-info") : XmlNode();
  if (!info) info = book.FirstChildElement("title-info");
  XmlNode publish = description ? description.FirstChildElement("publish-info") : XmlNode();
  if (!publish) publish = book.FirstChildElement("publish-info");
  Header header;
  header.title = TextAt(info, "book-title");
  header.lang = TextAt(info, "lang");
  header.year = TextAt(publish, "year");
  if (XmlNode sequence = info.FirstChildElement("sequence")) {
    header.series = sequence.Attribute("name").value_or("");
    header.series_number = sequence.Attribute("number").value_or("");
  }
  for (XmlNode author : Children(info, "author")) {
    const std::string name = TextAt(author, "last-name") + "|" + TextAt(author, "first-name") +
                             "|" + TextAt(author, "middle-name") + "|" +
                             TextAt(author, "nickname");
    if (name != "|||") header.authors.insert(name);
  }
  for (XmlNode genre : Children(info, "genre")) {
    if (!genre.TextContent().empty()) header.genres.insert(genre.TextContent());
  }
  for (XmlNode paragraph : Children(info.FirstChildElement("annotation"), "p")) {
    if (!header.annotation.empty()) header.annotation += " ";
    header.annotation += paragraph.TextContent();
  }
  return header;
}

std::set<std::string> AsSet(const std::vector<std::string>& values) {
  return std::set<std::string>(values.begin(), values.end());
}

TEST(Fb2SamplesImportTest, EveryWellFormedSampleImportsWithItsWholeHeader) {
  const char* env = std::getenv("TOMEVA_SAMPLES");
  const std::filesystem::path folder = env != nullptr ? env : "/work/shared/fb2-samples";
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) GTEST_SKIP() << "no samples at " << folder;
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && (name.ends_with(".fb2") || content::IsZipBookName(name))) {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  int imported = 0;
  int annotations = 0;
  for (const std::string& file : files) {
    Result<XmlDocument> doc = content::LoadBookDocument(file, content::BookPart::kWhole);
    if (!doc.ok()) continue;  // not well-formed: refused, which other tests check
    XmlNode book = FindTopNode(*doc, "FictionBook");
    if (!book) continue;
    const Header header = ReadHeader(book);
    testing::TestLibrary lib;
    ASSERT_EQ(lib.Import(file), PutResult::kOk) << file;
    ++imported;
    annotations += !header.annotation.empty();
    EXPECT_EQ(lib.Text("SELECT Nz(Title,\"\") FROM Books;"), header.title) << file;
    EXPECT_EQ(lib.Text("SELECT Nz(Lang,\"\") FROM Books;"), header.lang) << file;
    EXPECT_EQ(lib.Text("SELECT Nz(Year,\"\") FROM Books;"), header.year) << file;
    EXPECT_EQ(lib.Text("SELECT Nz(Annotation,\"\") FROM Books;"), header.annotation) << file;
    EXPECT_EQ(lib.Text("SELECT Nz(Series.Name,\"\") FROM Books LEFT JOIN Series ON "
                       "Books.SeriesId=Series.SeriesId;"),
              header.series)
        << file;
    EXPECT_EQ(lib.Text("SELECT Nz(SerNo,\"\") FROM Books;"),
              header.series.empty() ? "" : header.series_number)
        << file;
    EXPECT_EQ(AsSet(lib.Column("SELECT Nz(Last,\"\") & \"|\" & Nz(First,\"\") & \"|\" & "
                               "Nz(Middle,\"\") & \"|\" & Nz(Nick,\"\") FROM Authors;")),
              header.authors)
        << file;
    EXPECT_EQ(lib.Count("BookAuthors"), static_cast<int>(header.authors.size())) << file;
    EXPECT_EQ(AsSet(lib.Column("SELECT Code FROM Genres INNER JOIN BookGenres ON "
                               "Genres.GenreId=BookGenres.GenreId;")),
              header.genres)
        << file;
  }
  EXPECT_GT(imported, 0);
  EXPECT_GT(annotations, 0);
}

}  // namespace
}  // namespace tomeva::books
