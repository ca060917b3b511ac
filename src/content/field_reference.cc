// Field references: splitting into parts, reading index hints and finding the
// entry a name refers to.
#include "content/field_reference.h"

#include <limits>

#include "common/text.h"

namespace tomeva::content {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A name split into the text before "[" and the index hint between "[" and a
// final "]"; the hint is nullopt (and the name whole) when there is none.
struct HintedName {
  std::string_view name;
  std::optional<int> hint;
};

HintedName SplitHint(std::string_view name) {
  if (name.empty() || name.back() != ']') return {name, std::nullopt};
  const size_t open = name.rfind('[', name.size() - 1);
  if (open == std::string_view::npos) return {name, std::nullopt};
  std::optional<int> hint = ParseIndex(name.substr(open + 1, name.size() - open - 2));
  if (!hint) return {name, std::nullopt};
  return {name.substr(0, open), hint};
}

std::vector<std::string> SplitUnits(std::string_view units) {
  std::vector<std::string> names;
  if (units.empty()) return names;
  std::string rest(units);
  while (true) {
    const bool last = rest.find('|') == std::string::npos;
    names.push_back(CutTokenChar(rest, '|'));
    if (last) break;
  }
  return names;
}

}  // namespace

FieldReference SplitFieldReference(std::string_view reference) {
  std::string rest(reference);
  FieldReference parts;
  parts.source = CutTokenChar(rest, '.');
  parts.field = CutTokenChar(rest, '.');
  parts.unit = CutTokenChar(rest, '.');
  return parts;
}

std::optional<int> ParseIndex(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }
  int base = 10;
  if (pos < text.size() && text[pos] == '$') {
    base = 16;
    ++pos;
  } else if (pos + 1 < text.size() && text[pos] == '0' &&
             (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    base = 16;
    pos += 2;
  }
  if (pos >= text.size()) return std::nullopt;
  long long value = 0;
  constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
  for (; pos < text.size(); ++pos) {
    const int digit = HexDigit(text[pos]);
    if (digit < 0 || digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > kLimit) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(value);
}

int FindEntry(std::string_view name, const std::vector<std::string>& names) {
  if (name.empty()) return -1;
  const HintedName hinted = SplitHint(name);
  if (hinted.hint && *hinted.hint >= 0 && static_cast<size_t>(*hinted.hint) < names.size()) {
    const int hint = *hinted.hint;
    if (hinted.name.empty() || names[static_cast<size_t>(hint)] == hinted.name) return hint;
  }
  if (hinted.name.empty()) return -1;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == hinted.name) return static_cast<int>(i);
  }
  return -1;
}

std::optional<int> ResolveUnit(std::string_view unit_part, std::string_view units) {
  if (unit_part.empty()) return -1;
  const HintedName hinted = SplitHint(unit_part);
  if (hinted.hint && hinted.name.empty()) return hinted.hint;
  const int found = FindEntry(unit_part, SplitUnits(units));
  if (found < 0) return std::nullopt;
  return found;
}

}  // namespace tomeva::content
