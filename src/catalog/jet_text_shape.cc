// Jet text shapes: markers in, values out.
#include "catalog/jet_text_shape.h"

#include "catalog/jet_lexer.h"

namespace tomeva::catalog {
namespace {

// The marker of value number index (from 0): a text no book value holds.
// The translator compares a text without letters as it is and one with
// letters without regard to case, so a marker has a letter (a trailing "A")
// exactly when its value has one, and is translated as its value would be.
constexpr char kMarkerCharacter = kShapeMarkerCharacter;

bool HasLetter(std::string_view text) { return HasAsciiLetter(text); }

// Appends the marker, quoted, to out.
void AppendQuotedMarker(size_t index, bool letter, std::string& out) {
  out += '"';
  out += kMarkerCharacter;
  out += std::to_string(index);
  out += kMarkerCharacter;
  if (letter) out += 'A';
  out += '"';
}

// SQLite's literal of text: single quotes, each inner one doubled.
std::string SqliteLiteral(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  out.push_back('\'');
  return out;
}

// The end of the quoted literal that starts at offset (a quote character).
size_t LiteralEnd(std::string_view text, size_t offset) {
  const char quote = text[offset];
  size_t i = offset + 1;
  while (i < text.size()) {
    if (text[i] == quote) {
      if (i + 1 < text.size() && text[i + 1] == quote) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return text.size();
}

}  // namespace

bool HasAsciiLetter(std::string_view text) {
  for (char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  }
  return false;
}

std::optional<ShapeMarker> MarkerOf(std::string_view text) {
  if (text.size() < 3 || text.front() != kMarkerCharacter) return std::nullopt;
  ShapeMarker marker;
  if (text.back() == 'A') {
    marker.has_letter = true;
    text.remove_suffix(1);
  }
  if (text.size() < 3 || text.back() != kMarkerCharacter) return std::nullopt;
  const std::string_view digits = text.substr(1, text.size() - 2);
  if (digits.empty() || digits.size() > 6) return std::nullopt;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    marker.value = marker.value * 10 + static_cast<size_t>(c - '0');
  }
  return marker;
}

std::optional<JetTextShape> ShapeOfJetText(std::string_view jet_sql) {
  if (jet_sql.find(kMarkerCharacter) != std::string_view::npos) return std::nullopt;
  Result<std::vector<JetToken>> tokens = TokenizeJetSql(jet_sql);
  if (!tokens.ok()) return std::nullopt;
  JetTextShape shape;
  shape.text.reserve(jet_sql.size());
  size_t copied = 0;
  for (JetToken& token : *tokens) {
    if (token.kind == JetTokenKind::kWord && token.text.size() == 4) {
      std::string word = token.text;
      for (char& c : word) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
      if (word == "LIKE") return std::nullopt;
    }
    if (token.kind != JetTokenKind::kText) continue;
    const char quote = jet_sql[token.offset];
    if (quote != '"' && quote != '\'') return std::nullopt;
    shape.text.append(jet_sql.substr(copied, token.offset - copied));
    // One quote character for all, so that the way a value was quoted makes
    // no other shape.
    AppendQuotedMarker(shape.values.size(), HasLetter(token.text), shape.text);
    shape.values.push_back(std::move(token.text));
    copied = LiteralEnd(jet_sql, token.offset);
  }
  if (shape.values.empty()) return std::nullopt;
  shape.text.append(jet_sql.substr(copied));
  return shape;
}

std::optional<std::string> FillShape(std::string_view shape_translation,
                                     const std::vector<std::string>& values) {
  std::string out;
  out.reserve(shape_translation.size() + 64);
  std::vector<bool> seen(values.size(), false);
  size_t copied = 0;
  // A marker may stand anywhere and more than once (a translation may repeat
  // or reorder what it was given), but only as a whole SQLite literal.
  for (size_t at = shape_translation.find(kMarkerCharacter); at != std::string_view::npos;
       at = shape_translation.find(kMarkerCharacter, copied)) {
    const size_t close = shape_translation.find(kMarkerCharacter, at + 1);
    if (at == 0 || close == std::string_view::npos || shape_translation[at - 1] != '\'') {
      return std::nullopt;
    }
    size_t end = close + 1;  // the literal's closing quote
    if (end < shape_translation.size() && shape_translation[end] == 'A') ++end;
    if (end >= shape_translation.size() || shape_translation[end] != '\'') return std::nullopt;
    size_t index = 0;
    const std::string_view digits = shape_translation.substr(at + 1, close - at - 1);
    if (digits.empty() || digits.size() > 6) return std::nullopt;
    for (char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
      index = index * 10 + static_cast<size_t>(c - '0');
    }
    if (index >= values.size() || (end > close + 1) != HasLetter(values[index])) {
      return std::nullopt;
    }
    seen[index] = true;
    out.append(shape_translation.substr(copied, at - 1 - copied));
    out += SqliteLiteral(values[index]);
    copied = end + 1;
  }
  for (bool value_seen : seen) {
    if (!value_seen) return std::nullopt;
  }
  out.append(shape_translation.substr(copied));
  return out;
}

}  // namespace tomeva::catalog
