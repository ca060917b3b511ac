// Tokenizer of Jet SQL texts and the parser of Jet's #date# literals.
#include "catalog/jet_lexer.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/utf8.h"

namespace tomeva::catalog {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;  // letters of other scripts, in UTF-8
}
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

int ToInt(std::string_view digits) {
  int value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > 100000) return value;  // far out of range already
  }
  return value;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

struct Date {
  int year = 1899, month = 12, day = 30;
};
struct Time {
  int hour = 0, minute = 0, second = 0;
};

// "2005-03-07", "2005/3/7" (year first) or "3/7/2005", "3-7-05" (month first,
// as Jet reads SQL; a first number above 12 is taken as the day).
std::optional<Date> ParseDatePart(std::string_view word) {
  const char sep = word.find('/') != std::string_view::npos ? '/' : '-';
  std::string_view parts[3];
  size_t count = 0;
  size_t start = 0;
  while (count < 3) {
    size_t end = word.find(sep, start);
    parts[count++] = word.substr(start, end == std::string_view::npos ? end : end - start);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (count != 3 || word.find(sep, start) != std::string_view::npos) return std::nullopt;
  for (std::string_view p : parts) {
    if (!AllDigits(p) || p.size() > 4) return std::nullopt;
  }
  Date d;
  if (parts[0].size() >= 3) {
    d = {ToInt(parts[0]), ToInt(parts[1]), ToInt(parts[2])};
  } else {
    int first = ToInt(parts[0]), second = ToInt(parts[1]);
    d = {ToInt(parts[2]), first, second};
    if (first > 12 && second <= 12) d = {d.year, second, first};
    if (parts[2].size() <= 2) d.year += d.year < 30 ? 2000 : 1900;
  }
  if (d.year < 100 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1 ||
      d.day > DaysInMonth(d.year, d.month)) {
    return std::nullopt;
  }
  return d;
}

// "10:30", "10:30:15", with "AM"/"PM" given separately as meridiem.
std::optional<Time> ParseTimePart(std::string_view word, std::string_view meridiem) {
  std::string_view parts[3];
  size_t count = 0;
  size_t start = 0;
  while (count < 3) {
    size_t end = word.find(':', start);
    parts[count++] = word.substr(start, end == std::string_view::npos ? end : end - start);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (count < 2 || word.find(':', start) != std::string_view::npos) return std::nullopt;
  for (size_t i = 0; i < count; ++i) {
    if (!AllDigits(parts[i]) || parts[i].size() > 2) return std::nullopt;
  }
  Time t{ToInt(parts[0]), ToInt(parts[1]), count == 3 ? ToInt(parts[2]) : 0};
  if (!meridiem.empty()) {
    const bool pm = EqualsNoCase(meridiem, "PM");
    if (!pm && !EqualsNoCase(meridiem, "AM")) return std::nullopt;
    if (t.hour < 1 || t.hour > 12) return std::nullopt;
    t.hour = t.hour % 12 + (pm ? 12 : 0);
  }
  if (t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
  return t;
}

Error LexError(std::string_view text, size_t offset, const std::string& problem) {
  return Error{"Jet SQL: " + problem + " at " + JetPosition(text, offset)};
}

}  // namespace

std::string JetPosition(std::string_view text, size_t offset) {
  if (offset > text.size()) offset = text.size();
  return "position " + std::to_string(Utf8CharacterCount(text.substr(0, offset)) + 1);
}

std::optional<std::string> ParseJetDate(std::string_view text) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < text.size()) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    size_t start = i;
    while (i < text.size() && !IsBlank(text[i])) ++i;
    words.push_back(text.substr(start, i - start));
  }
  if (words.empty() || words.size() > 3) return std::nullopt;

  // A meridiem may stand apart ("10:30 PM") or be glued on ("10:30PM").
  std::string_view meridiem;
  std::string_view last = words.back();
  if (last.size() >= 2 && (EqualsNoCase(last.substr(last.size() - 2), "AM") ||
                           EqualsNoCase(last.substr(last.size() - 2), "PM"))) {
    meridiem = last.substr(last.size() - 2);
    words.back() = last.substr(0, last.size() - 2);
    if (words.back().empty()) words.pop_back();
  }

  Date date;
  Time time;
  size_t next = 0;
  if (next < words.size() && words[next].find(':') == std::string_view::npos) {
    std::optional<Date> d = ParseDatePart(words[next++]);
    if (!d) return std::nullopt;
    date = *d;
  }
  if (next < words.size()) {
    std::optional<Time> t = ParseTimePart(words[next++], meridiem);
    if (!t) return std::nullopt;
    time = *t;
  } else if (!meridiem.empty()) {
    return std::nullopt;
  }
  if (next != words.size() || (next == 0)) return std::nullopt;

  char buffer[96];  // room for any int the format could be given
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", date.year, date.month,
                date.day, time.hour, time.minute, time.second);
  return std::string(buffer);
}

Result<std::vector<JetToken>> TokenizeJetSql(std::string_view s) {
  std::vector<JetToken> tokens;
  tokens.reserve(s.size() / 2 + 2);  // few tokens are shorter than two characters
  size_t i = 0;
  const size_t n = s.size();
  auto previous_is_name = [&] {
    if (tokens.empty()) return false;
    const JetToken& t = tokens.back();
    return t.kind == JetTokenKind::kWord || t.kind == JetTokenKind::kBracketName ||
           (t.kind == JetTokenKind::kSymbol && t.text == ")");
  };

  while (i < n) {
    const char c = s[i];
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    const size_t start = i;
    const bool after_name = previous_is_name();
    // Made in place: a token's text is not copied again.
    JetToken& token = tokens.emplace_back();
    token.offset = start;

    if (IsNameStart(c)) {
      while (i < n && IsNameChar(s[i])) ++i;
      if (i < n && s[i] == '$') ++i;  // VBA spellings such as Left$
      token.kind = JetTokenKind::kWord;
      token.text = s.substr(start, i - start);
    } else if (c == '@') {
      if (i + 2 >= n || s[i + 1] != '@' || !IsNameStart(s[i + 2])) {
        return LexError(s, start, "unexpected character '@'");
      }
      i += 2;
      while (i < n && IsNameChar(s[i])) ++i;
      token.kind = JetTokenKind::kWord;
      token.text = s.substr(start, i - start);
    } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(s[i + 1]) && !after_name)) {
      while (i < n && IsDigit(s[i])) ++i;
      if (i < n && s[i] == '.') {
        ++i;
        while (i < n && IsDigit(s[i])) ++i;
      }
      if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < n && IsDigit(s[j])) {
          i = j;
          while (i < n && IsDigit(s[i])) ++i;
        }
      }
      if (i < n && (IsNameChar(s[i]) || s[i] == '.')) {
        return LexError(s, start, "malformed number");
      }
      token.kind = JetTokenKind::kNumber;
      token.text = s.substr(start, i - start);
    } else if (c == '[') {
      size_t close = s.find(']', i + 1);
      if (close == std::string_view::npos) {
        return LexError(s, start, "unterminated [name]");
      }
      if (close == i + 1) return LexError(s, start, "empty [] name");
      token.kind = JetTokenKind::kBracketName;
      token.text = s.substr(i + 1, close - i - 1);
      i = close + 1;
    } else if (c == '"' || c == '\'') {
      ++i;
      bool closed = false;
      while (i < n) {
        // The run up to the next quote character is taken whole.
        size_t quote = s.find(c, i);
        if (quote == std::string_view::npos) quote = n;
        token.text.append(s.substr(i, quote - i));
        i = quote;
        if (i == n) break;
        if (i + 1 < n && s[i + 1] == c) {  // a doubled quote stands for one
          token.text.push_back(c);
          i += 2;
          continue;
        }
        ++i;
        closed = true;
        break;
      }
      if (!closed) return LexError(s, start, "unterminated text literal");
      token.kind = JetTokenKind::kText;
    } else if (c == '#') {
      size_t close = s.find('#', i + 1);
      if (close == std::string_view::npos) {
        return LexError(s, start, "unterminated #date# literal");
      }
      std::string_view body = s.substr(i + 1, close - i - 1);
      std::optional<std::string> iso = ParseJetDate(body);
      if (!iso) {
        return LexError(s, start, "invalid date literal #" + std::string(body) + "#");
      }
      token.kind = JetTokenKind::kDate;
      token.text = *iso;
      i = close + 1;
    } else {
      std::string_view symbol;
      if (c == '<' && i + 1 < n && (s[i + 1] == '=' || s[i + 1] == '>')) {
        symbol = s.substr(i, 2);
      } else if (c == '>' && i + 1 < n && s[i + 1] == '=') {
        symbol = s.substr(i, 2);
      } else if (std::string_view("(),;.*+-/\\^&=<>").find(c) != std::string_view::npos) {
        symbol = s.substr(i, 1);
      } else {
        std::string shown(s.substr(i, std::max<size_t>(1, Utf8SequenceLength(s, i))));
        return LexError(s, start, "unexpected character '" + shown + "'");
      }
      i += symbol.size();
      token.kind = JetTokenKind::kSymbol;
      token.text = symbol;
    }
  }
  JetToken end;
  end.kind = JetTokenKind::kEnd;
  end.offset = n;
  tokens.push_back(std::move(end));
  return tokens;
}

}  // namespace tomeva::catalog
