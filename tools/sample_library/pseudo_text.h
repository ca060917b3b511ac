// Pseudo-text in one language: book titles (some with quotes, apostrophes,
// colons, "/", "?" and "&"), series names, sentences and paragraphs made of the
// vocabularies in name_pools.h. The result is plain text; XML escaping is the
// caller's job.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_PSEUDO_TEXT_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_PSEUDO_TEXT_H_

#include <string>
#include <vector>

#include "sample_library/name_pools.h"
#include "sample_library/sample_random.h"

namespace tomeva {

class PseudoText {
 public:
  explicit PseudoText(SampleLanguage language);

  SampleLanguage language() const { return language_; }

  // A book title such as "Тень ветра", "The Captain's Daughter" or "Кто боится ночи?".
  std::string Title(SampleRandom& random) const;
  // A series name such as "Хроники севера" or "The Iron Chronicles".
  std::string SeriesName(SampleRandom& random) const;
  // One capitalized sentence of 4 to 14 words with its closing punctuation.
  std::string Sentence(SampleRandom& random) const;
  // 2 to 6 sentences; now and then a line of dialogue.
  std::string Paragraph(SampleRandom& random) const;
  // count distinct lower-case keywords (fewer when the vocabulary runs out).
  std::vector<std::string> Keywords(SampleRandom& random, size_t count) const;
  // "Глава 3" or "Chapter 3".
  std::string ChapterTitle(int number) const;

 private:
  std::string RussianTitle(SampleRandom& random) const;
  std::string EnglishTitle(SampleRandom& random) const;
  const std::string& Word(SampleRandom& random) const;

  SampleLanguage language_;
  std::vector<std::string> nouns_;  // lower-case nouns, the keyword vocabulary
  std::vector<std::string> words_;  // lower-case text vocabulary, fillers repeated
};

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_PSEUDO_TEXT_H_
