// Test support: FB2 book texts written on the spot.
#include "support/fb2_book_text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include "support/zip_test_util.h"

namespace tomeva::testing {
namespace {

std::string Element(std::string_view name, std::string_view text) {
  if (text.empty()) return {};
  std::string escaped;
  for (char c : text) escaped += c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
  return "<" + std::string(name) + ">" + escaped + "</" + std::string(name) + ">";
}

std::string Encoded(std::string utf8, const std::string& encoding) {
  if (encoding == "UTF-8") return utf8;
  iconv_t cd = iconv_open(encoding.c_str(), "UTF-8");
  std::string out(utf8.size() + 16, '\0');
  char* in = utf8.data();
  char* put = out.data();
  size_t in_left = utf8.size(), out_left = out.size();
  EXPECT_NE(iconv(cd, &in, &in_left, &put, &out_left), static_cast<size_t>(-1));
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}

}  // namespace

std::string Fb2Text(const TestBook& book) {
  std::string info;
  for (const std::string& genre : book.genres) info += Element("genre", genre);
  for (const TestAuthor& a : book.authors) {
    info += "<author>" + Element("first-name", a.first) + Element("middle-name", a.middle) +
            Element("last-name", a.last) + "</author>";
  }
  info += book.raw_title.empty() ? Element("book-title", book.title)
                                 : "<book-title>" + book.raw_title + "</book-title>";
  if (!book.annotation.empty()) info += "<annotation><p>" + book.annotation + "</p></annotation>";
  info += Element("keywords", book.keywords);
  if (!book.series.empty()) {
    info += "<sequence name=\"" + book.series + "\" number=\"" + book.series_number + "\"/>";
  }
  return Encoded("<?xml version=\"1.0\" encoding=\"" + book.encoding +
                     "\"?>\n<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\">"
                     "<description><title-info>" +
                     info + "<lang>ru</lang></title-info><publish-info>" +
                     Element("publisher", book.publisher) + Element("year", book.year) +
                     Element("isbn", book.isbn) +
                     "</publish-info></description><body><p>Текст.</p></body></FictionBook>\n",
                 book.encoding);
}

std::string ZipOf(std::string_view entry_name, std::string_view content) {
  TestZipEntry entry;
  entry.name = std::string(entry_name);
  entry.content = std::string(content);
  return BuildTestZip({entry});
}

}  // namespace tomeva::testing
