// The fixed vocabularies the sample library is made of: author names (Russian in
// Cyrillic, English in Latin), title and text words for both languages, genre
// codes of the FB2 genre list, publishers, cities and document authors.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_NAME_POOLS_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_NAME_POOLS_H_

#include <span>
#include <string_view>

namespace tomeva {

// The language of a sample book or author.
enum class SampleLanguage { kRussian, kEnglish };

// "ru" or "en".
std::string_view LanguageCode(SampleLanguage language);

// A person's name as an FB2 <author> holds it; middle may be empty.
struct PersonName {
  std::string_view first;
  std::string_view middle;
  std::string_view last;
};

// Grammatical gender of a Russian noun, which picks the adjective form.
enum class Gender { kMasculine, kFeminine, kNeuter };

struct RussianNoun {
  std::string_view word;  // nominative, capitalized
  Gender gender;
};

// A Russian adjective in its masculine, feminine and neuter forms.
struct RussianAdjective {
  std::string_view masculine;
  std::string_view feminine;
  std::string_view neuter;
};

// About sixty authors of each language.
std::span<const PersonName> AuthorNames(SampleLanguage language);

// Title vocabulary.
std::span<const RussianNoun> RussianNouns();
std::span<const RussianAdjective> RussianAdjectives();
std::span<const std::string_view> RussianGenitives();  // "ветра", "времени"
std::span<const std::string_view> EnglishNouns();
std::span<const std::string_view> EnglishAdjectives();

// Short lower-case words that glue the pseudo-text of paragraphs together.
std::span<const std::string_view> FillerWords(SampleLanguage language);

// Every genre code of the FB2 genre list except "unrecognised".
std::span<const std::string_view> AllGenres();
// The codes most real libraries are full of.
std::span<const std::string_view> PopularGenres();

std::span<const std::string_view> Publishers(SampleLanguage language);
std::span<const std::string_view> Cities(SampleLanguage language);
// Nicknames of the people who made the FB2 documents.
std::span<const std::string_view> DocumentAuthors();

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_NAME_POOLS_H_
