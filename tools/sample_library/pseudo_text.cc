// Titles, series names and paragraphs for the sample books.
#include "sample_library/pseudo_text.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "common/utf8.h"

namespace tomeva {
namespace {

// text with its first character upper-cased (Latin and Cyrillic).
std::string Capitalized(std::string_view text) {
  std::string_view first = Utf8Prefix(text, 1);
  return Utf8Upper(first) + std::string(text.substr(first.size()));
}

std::string LowerCased(std::string_view text) { return Utf8Lower(text); }

std::string_view AdjectiveFor(const RussianAdjective& adjective, Gender gender) {
  switch (gender) {
    case Gender::kMasculine:
      return adjective.masculine;
    case Gender::kFeminine:
      return adjective.feminine;
    case Gender::kNeuter:
      return adjective.neuter;
  }
  return adjective.masculine;
}

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out += part;
  return out;
}

}  // namespace

PseudoText::PseudoText(SampleLanguage language) : language_(language) {
  if (language == SampleLanguage::kRussian) {
    for (const RussianNoun& noun : RussianNouns()) nouns_.push_back(LowerCased(noun.word));
    for (std::string_view word : RussianGenitives()) words_.emplace_back(word);
  } else {
    for (std::string_view noun : EnglishNouns()) nouns_.push_back(LowerCased(noun));
    for (std::string_view word : EnglishAdjectives()) words_.push_back(LowerCased(word));
  }
  words_.insert(words_.end(), nouns_.begin(), nouns_.end());
  // Function words are the most frequent words of real prose.
  for (int i = 0; i < 3; ++i) {
    for (std::string_view word : FillerWords(language)) words_.emplace_back(word);
  }
}

const std::string& PseudoText::Word(SampleRandom& random) const {
  return words_[random.Below(words_.size())];
}

std::string PseudoText::Title(SampleRandom& random) const {
  return language_ == SampleLanguage::kRussian ? RussianTitle(random) : EnglishTitle(random);
}

std::string PseudoText::RussianTitle(SampleRandom& random) const {
  std::span<const RussianNoun> nouns = RussianNouns();
  const RussianNoun& noun = random.Pick(nouns);
  const RussianNoun& other = random.Pick(nouns);
  std::string_view genitive = random.Pick(RussianGenitives());
  uint64_t pattern = random.Below(100);
  if (pattern < 25) {
    return Join({AdjectiveFor(random.Pick(RussianAdjectives()), noun.gender), " ",
                 LowerCased(noun.word)});
  }
  if (pattern < 50) return Join({noun.word, " ", genitive});
  if (pattern < 62) return std::string(noun.word);
  if (pattern < 74) return Join({noun.word, " и ", LowerCased(other.word)});
  if (pattern < 82) return Join({noun.word, ": ", LowerCased(other.word), " ", genitive});
  if (pattern < 88) return Join({"Кто боится ", genitive, "?"});
  if (pattern < 94) return Join({"Операция «", other.word, "»"});
  return Join({noun.word, " и/или ", LowerCased(other.word)});
}

std::string PseudoText::EnglishTitle(SampleRandom& random) const {
  std::string_view noun = random.Pick(EnglishNouns());
  std::string_view other = random.Pick(EnglishNouns());
  std::string_view adjective = random.Pick(EnglishAdjectives());
  uint64_t pattern = random.Below(100);
  if (pattern < 22) return Join({"The ", adjective, " ", noun});
  if (pattern < 40) return Join({"The ", noun, " of the ", other});
  if (pattern < 52) return Join({noun, " and ", other});
  if (pattern < 64) return Join({"The ", noun, "'s ", other});
  if (pattern < 76) return Join({adjective, " ", noun});
  if (pattern < 82) return Join({noun, ": A Novel"});
  if (pattern < 87) return Join({"Who Killed the ", noun, "?"});
  if (pattern < 91) return Join({"The \"", noun, "\" Affair"});
  if (pattern < 95) return Join({noun, "/", other});
  return Join({noun, " & ", other});
}

std::string PseudoText::SeriesName(SampleRandom& random) const {
  uint64_t pattern = random.Below(3);
  if (language_ == SampleLanguage::kRussian) {
    const RussianNoun& noun = random.Pick(RussianNouns());
    if (pattern == 0) return Join({"Хроники ", random.Pick(RussianGenitives())});
    if (pattern == 1) return Join({"Цикл «", noun.word, "»"});
    return Join({AdjectiveFor(random.Pick(RussianAdjectives()), noun.gender), " ",
                 LowerCased(noun.word)});
  }
  std::string_view noun = random.Pick(EnglishNouns());
  if (pattern == 0) return Join({"The ", random.Pick(EnglishAdjectives()), " Chronicles"});
  if (pattern == 1) return Join({noun, " Saga"});
  return Join({random.Pick(EnglishAdjectives()), " ", noun});
}

std::string PseudoText::Sentence(SampleRandom& random) const {
  int words = random.Between(4, 14);
  std::string sentence = Capitalized(Word(random));
  for (int i = 1; i < words; ++i) {
    if (i > 2 && i < words - 1 && random.Percent(8)) sentence += ',';
    sentence += ' ';
    sentence += Word(random);
  }
  uint64_t end = random.Below(20);
  sentence += end < 15 ? "." : end < 17 ? "!" : end < 19 ? "?" : "…";
  return sentence;
}

std::string PseudoText::Paragraph(SampleRandom& random) const {
  if (random.Percent(12)) {  // a line of dialogue
    return language_ == SampleLanguage::kRussian ? "— " + Sentence(random)
                                                 : "“" + Sentence(random) + "”";
  }
  int sentences = random.Between(2, 6);
  std::string paragraph = Sentence(random);
  for (int i = 1; i < sentences; ++i) {
    paragraph += ' ';
    paragraph += Sentence(random);
  }
  return paragraph;
}

std::vector<std::string> PseudoText::Keywords(SampleRandom& random, size_t count) const {
  std::vector<std::string> keywords;
  count = std::min(count, nouns_.size());
  while (keywords.size() < count) {
    const std::string& word = nouns_[random.Below(nouns_.size())];
    if (std::find(keywords.begin(), keywords.end(), word) == keywords.end()) {
      keywords.push_back(word);
    }
  }
  return keywords;
}

std::string PseudoText::ChapterTitle(int number) const {
  return (language_ == SampleLanguage::kRussian ? "Глава " : "Chapter ") +
         std::to_string(number);
}

}  // namespace tomeva
