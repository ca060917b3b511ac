// The shape of a Jet SQL text: the text with each text literal replaced by a
// numbered marker, so that texts differing only in their text values (an
// import's statements, each with one book's values spliced in) are translated
// once. The translation of a shape becomes the translation of the text by
// putting each value, quoted for SQLite, where its marker's literal stands.
//
// Texts with LIKE are never shaped (a LIKE pattern is translated by its
// value), nor texts that already hold the marker character.
#ifndef TOMEVA_CATALOG_JET_TEXT_SHAPE_H_
#define TOMEVA_CATALOG_JET_TEXT_SHAPE_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tomeva::catalog {

// A Jet text with its text literals replaced by markers, and their values.
struct JetTextShape {
  std::string text;                 // the Jet text with a marker literal per value
  std::vector<std::string> values;  // the literals' values, quotes undone
};

// The shape of jet_sql; nullopt when it has no text literal or cannot be
// shaped (see above, and a text the Jet tokenizer refuses).
std::optional<JetTextShape> ShapeOfJetText(std::string_view jet_sql);

// The character markers are made of; no value of a shaped text holds it.
inline constexpr char kShapeMarkerCharacter = '\x01';

// A marker read back: the number of the value it stands for, and whether the
// value has an ASCII letter (a marker is translated as its value would be).
struct ShapeMarker {
  size_t value = 0;
  bool has_letter = false;
};
// The marker that text is exactly (a literal's text, quotes undone); nullopt
// for any other text.
std::optional<ShapeMarker> MarkerOf(std::string_view text);
// Whether text has an ASCII letter, as its marker records.
bool HasAsciiLetter(std::string_view text);

// The SQLite translation of the shaped text, given the translation of its
// shape: each marker's SQLite literal replaced by its value's, wherever and
// however often it stands. nullopt when a marker stands other than as a whole
// literal or not at all (the translator did something with it other than
// quoting it), so the text must be translated as it is.
std::optional<std::string> FillShape(std::string_view shape_translation,
                                     const std::vector<std::string>& values);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_JET_TEXT_SHAPE_H_
