// Drawing the books of a sample library: a few prolific authors and many with a
// book or two, co-authors now and then, translations, series shared by an
// author's books, and reissues of an earlier title by the same authors.
#include "sample_library/book_plan.h"

#include <algorithm>
#include <cstdio>

namespace tomeva {
namespace {

constexpr uint64_t kPlanStream = 0x706c616e;      // the planner's own stream
constexpr uint64_t kTextStreams = 0x74657874ull << 32;  // one per book
constexpr uint64_t kSeriesStreams = 0x73657269ull << 32;  // one per author

// FNV-1a of text: a stable key for an author's series.
uint64_t TextKey(std::string_view text) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ull;
  }
  return hash;
}

SampleLanguage Other(SampleLanguage language) {
  return language == SampleLanguage::kRussian ? SampleLanguage::kEnglish
                                              : SampleLanguage::kRussian;
}

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

}  // namespace

BookPlanner::BookPlanner(uint64_t seed)
    : seed_(seed),
      random_(SampleRandom::Derive(seed, kPlanStream)),
      russian_(SampleLanguage::kRussian),
      english_(SampleLanguage::kEnglish) {}

std::vector<PersonName> BookPlanner::PickAuthors(SampleLanguage language) {
  std::span<const PersonName> pool = AuthorNames(language);
  uint64_t wanted = random_.Below(100) < 82 ? 1 : random_.Below(100) < 75 ? 2 : 3;
  std::vector<size_t> chosen;
  while (chosen.size() < wanted) {
    // The product of two uniform draws favours the first names of the pool,
    // which makes some authors prolific and most rare.
    size_t index = random_.Below(pool.size()) * random_.Below(pool.size()) / pool.size();
    if (std::find(chosen.begin(), chosen.end(), index) == chosen.end()) chosen.push_back(index);
  }
  std::vector<PersonName> authors;
  for (size_t index : chosen) authors.push_back(pool[index]);
  return authors;
}

std::vector<std::string_view> BookPlanner::PickGenres() {
  uint64_t roll = random_.Below(100);
  size_t wanted = roll < 60 ? 1 : roll < 90 ? 2 : 3;
  std::vector<std::string_view> genres;
  while (genres.size() < wanted) {
    std::string_view genre = random_.Percent(50) ? random_.Pick(PopularGenres())
                                                 : random_.Pick(AllGenres());
    if (std::find(genres.begin(), genres.end(), genre) == genres.end()) genres.push_back(genre);
  }
  return genres;
}

std::string BookPlanner::PickIsbn(SampleLanguage language) {
  std::string digits = language == SampleLanguage::kRussian ? "9785" : "9780";
  for (int i = 0; i < 8; ++i) digits += static_cast<char>('0' + random_.Below(10));
  int sum = 0;
  for (size_t i = 0; i < digits.size(); ++i) sum += (digits[i] - '0') * (i % 2 == 0 ? 1 : 3);
  digits += static_cast<char>('0' + (10 - sum % 10) % 10);
  // 978-G-PPPP-TTTT-C
  return digits.substr(0, 3) + "-" + digits.substr(3, 1) + "-" + digits.substr(4, 4) + "-" +
         digits.substr(8, 4) + "-" + digits.substr(12, 1);
}

std::string BookPlanner::PickDate(int year) {
  return std::to_string(year) + "-" + TwoDigits(random_.Between(1, 12)) + "-" +
         TwoDigits(random_.Between(1, 28));
}

std::string BookPlanner::PickDocumentId() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) id += '-';
    id += kHex[random_.Below(16)];
  }
  return id;
}

SampleBook BookPlanner::Next() {
  SampleBook book;
  book.number = ++count_;
  book.text_seed = SampleRandom::Derive(seed_, kTextStreams + static_cast<uint64_t>(count_));

  if (!works_.empty() && random_.Percent(4)) {
    // A reissue: the same authors and title as an earlier book.
    const Work& work = works_[random_.Below(works_.size())];
    book.language = work.language;
    book.authors = work.authors;
    book.title = work.title;
  } else {
    SampleLanguage author_language =
        random_.Percent(55) ? SampleLanguage::kRussian : SampleLanguage::kEnglish;
    book.authors = PickAuthors(author_language);
    book.language = author_language;
    if (random_.Percent(15)) {
      book.language = Other(author_language);
      book.source_language = author_language;
      book.translator = random_.Pick(AuthorNames(book.language));
      book.translator->middle = {};
    }
    const PseudoText& text = book.language == SampleLanguage::kRussian ? russian_ : english_;
    book.title = text.Title(random_);
    works_.push_back({book.language, book.authors, book.title});
  }
  const PseudoText& text = book.language == SampleLanguage::kRussian ? russian_ : english_;

  book.genres = PickGenres();
  int paragraphs = random_.Between(1, 3);
  for (int i = 0; i < paragraphs; ++i) book.annotation.push_back(text.Paragraph(random_));
  book.keywords = text.Keywords(random_, static_cast<size_t>(random_.Between(2, 5)));
  book.year = random_.Between(1850, 2023);
  if (random_.Percent(50)) book.date_value = PickDate(book.year);

  if (random_.Percent(33)) {
    // Each author has two series per language; the book joins one of them.
    uint64_t key = TextKey(book.authors.front().last) * 2 + random_.Below(2);
    key = key * 2 + (book.language == SampleLanguage::kRussian ? 0 : 1);
    SampleRandom series_random(SampleRandom::Derive(seed_, kSeriesStreams ^ key));
    SampleSequence sequence{text.SeriesName(series_random), std::nullopt};
    if (random_.Percent(85)) sequence.number = random_.Between(1, 12);
    book.sequence = std::move(sequence);
  }

  book.document_author = std::string(random_.Pick(DocumentAuthors()));
  book.document_date = PickDate(random_.Between(2005, 2023));
  book.document_id = PickDocumentId();
  book.document_version = random_.Percent(70) ? "1.0" : "1.1";
  book.publisher = std::string(random_.Pick(Publishers(book.language)));
  book.city = std::string(random_.Pick(Cities(book.language)));
  book.publish_year = random_.Between(std::max(book.year, 1960), 2023);
  if (random_.Percent(90)) book.isbn = PickIsbn(book.language);
  return book;
}

}  // namespace tomeva
