// The variety of a planned library and the shape of one book's FB2 text.
#include "sample_library/book_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "sample_library/book_xml.h"

namespace tomeva {
namespace {

std::vector<SampleBook> Plan(uint64_t seed, int count) {
  BookPlanner planner(seed);
  std::vector<SampleBook> books;
  for (int i = 0; i < count; ++i) books.push_back(planner.Next());
  return books;
}

std::string AuthorKey(const SampleBook& book) {
  std::string key;
  for (const PersonName& author : book.authors) {
    key += std::string(author.first) + " " + std::string(author.last) + ";";
  }
  return key;
}

TEST(BookPlanTest, LibraryHasRepeatAuthorsReissuesSeriesAndTrickyTitles) {
  std::vector<SampleBook> books = Plan(7, 600);
  std::map<std::string, int> per_author;
  std::map<std::string, int> per_work;
  std::set<char> marks;
  int in_series = 0;
  int numbered = 0;
  int translations = 0;
  int russian = 0;
  for (const SampleBook& book : books) {
    ++per_author[std::string(book.authors.front().last)];
    ++per_work[AuthorKey(book) + book.title];
    for (char c : std::string_view("?:/'\"&")) {
      if (book.title.find(c) != std::string::npos) marks.insert(c);
    }
    EXPECT_GE(book.genres.size(), 1u);
    EXPECT_LE(book.genres.size(), 3u);
    EXPECT_GE(book.authors.size(), 1u);
    EXPECT_LE(book.authors.size(), 3u);
    if (book.sequence) {
      ++in_series;
      if (book.sequence->number) {
        ++numbered;
        EXPECT_GE(*book.sequence->number, 1);
        EXPECT_LE(*book.sequence->number, 12);
      }
    }
    if (book.source_language) {
      ++translations;
      EXPECT_NE(*book.source_language, book.language);
      EXPECT_TRUE(book.translator.has_value());
    }
    russian += book.language == SampleLanguage::kRussian ? 1 : 0;
  }
  int busiest = 0;
  for (const auto& [author, count] : per_author) busiest = std::max(busiest, count);
  int reissued = 0;
  for (const auto& [work, count] : per_work) reissued += count > 1 ? 1 : 0;
  EXPECT_GE(busiest, 10);
  EXPECT_GE(reissued, 5);
  EXPECT_EQ(marks.size(), 6u);
  EXPECT_GT(in_series, 600 / 5);
  EXPECT_LT(in_series, 600 / 2);
  EXPECT_LT(numbered, in_series);
  EXPECT_GT(translations, 30);
  EXPECT_GT(russian, 200);
  EXPECT_LT(russian, 400);
}

TEST(BookPlanTest, SeriesNamesAreSharedByTheBooksOfAnAuthor) {
  std::map<std::string, std::set<std::string>> series_of_author;
  for (const SampleBook& book : Plan(3, 600)) {
    if (book.sequence) {
      series_of_author[std::string(book.authors.front().last)].insert(book.sequence->name);
    }
  }
  size_t most = 0;
  for (const auto& [author, names] : series_of_author) most = std::max(most, names.size());
  // Two series per author and language.
  EXPECT_LE(most, 4u);
  EXPECT_GE(most, 2u);
}

size_t BodyBytes(const std::string& xml) {
  size_t start = xml.find("<section>");
  size_t end = xml.find("</body>");
  return start == std::string::npos || end == std::string::npos ? 0 : end - start;
}

TEST(BookPlanTest, BodyGrowsToTheChosenSizeAndNeverEmpty) {
  BookXmlWriter writer;
  SampleBook book = Plan(5, 1).front();
  BookXmlOptions options;
  options.body_bytes = 0;
  std::string tiny = writer.Render(book, options);
  EXPECT_NE(tiny.find("<section>\n<title>\n<p>"), std::string::npos);
  EXPECT_EQ(tiny.find("<section>", tiny.find("<section>") + 1), std::string::npos);
  EXPECT_GT(BodyBytes(tiny), 60u);  // a chapter title and a paragraph
  EXPECT_LT(BodyBytes(tiny), 3000u);

  options.body_bytes = 64 * 1024;
  std::string big = writer.Render(book, options);
  EXPECT_GE(BodyBytes(big), 64u * 1024);
  EXPECT_LT(BodyBytes(big), 64u * 1024 + 4096);
  EXPECT_GT(std::count(big.begin(), big.end(), '\n'), 100);
  // The body does not change the description.
  EXPECT_EQ(big.substr(0, big.find("<body>")), tiny.substr(0, tiny.find("<body>")));
}

TEST(BookPlanTest, DescriptionEscapesMarkupAndDeclaresTheEncoding) {
  SampleBook book = Plan(5, 1).front();
  book.title = "Tom & \"Jerry\" <1/2>";
  book.sequence = SampleSequence{"Saga \"A&B\"", std::nullopt};
  BookXmlWriter writer;
  BookXmlOptions options;
  options.encoding = "windows-1251";
  std::string xml = writer.Render(book, options);
  EXPECT_TRUE(xml.starts_with("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"));
  EXPECT_NE(xml.find("<book-title>Tom &amp; \"Jerry\" &lt;1/2&gt;</book-title>"),
            std::string::npos);
  EXPECT_NE(xml.find("<sequence name=\"Saga &quot;A&amp;B&quot;\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<coverpage><image l:href=\"#cover.jpg\"/></coverpage>"),
            std::string::npos);
  EXPECT_NE(xml.find("<binary id=\"cover.jpg\" content-type=\"image/jpeg\">/9j/4AAQ"),
            std::string::npos);  // the base64 of a JPEG start
}

}  // namespace
}  // namespace tomeva
