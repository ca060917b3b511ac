// What one sample book says about itself: authors, title, genres, series,
// dates, publisher and the seed of its text. BookPlanner draws these one book
// after another from a seed, so a library is the same for the same seed and a
// longer library starts with the books of a shorter one.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_BOOK_PLAN_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_BOOK_PLAN_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sample_library/name_pools.h"
#include "sample_library/pseudo_text.h"
#include "sample_library/sample_random.h"

namespace tomeva {

struct SampleSequence {
  std::string name;
  std::optional<int> number;  // 1-12; none for a book placed without a number
};

struct SampleBook {
  int number = 0;  // 1-based position in the library
  SampleLanguage language = SampleLanguage::kRussian;  // the language of the text
  std::optional<SampleLanguage> source_language;       // set for a translation
  std::vector<PersonName> authors;                     // 1-3
  std::optional<PersonName> translator;                // set for a translation
  std::string title;
  std::vector<std::string_view> genres;  // 1-3 distinct codes
  std::vector<std::string> annotation;   // paragraphs
  std::vector<std::string> keywords;
  int year = 0;
  std::string date_value;  // "YYYY-MM-DD", or empty for a bare year
  std::optional<SampleSequence> sequence;
  std::string document_author;
  std::string document_date;  // "YYYY-MM-DD"
  std::string document_id;
  std::string document_version;
  std::string publisher;
  std::string city;
  int publish_year = 0;
  std::string isbn;  // empty for a book without one
  uint64_t text_seed = 0;  // seeds the body text and the cover bytes
};

class BookPlanner {
 public:
  explicit BookPlanner(uint64_t seed);

  // The next book of the library.
  SampleBook Next();

 private:
  // Who wrote an earlier book and what it was called, for reissues.
  struct Work {
    SampleLanguage language;
    std::vector<PersonName> authors;
    std::string title;
  };

  // 1-3 distinct authors of one language.
  std::vector<PersonName> PickAuthors(SampleLanguage language);
  std::vector<std::string_view> PickGenres();
  std::string PickIsbn(SampleLanguage language);
  std::string PickDate(int year);
  std::string PickDocumentId();

  uint64_t seed_;
  SampleRandom random_;
  PseudoText russian_;
  PseudoText english_;
  std::vector<Work> works_;
  int count_ = 0;
};

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_BOOK_PLAN_H_
