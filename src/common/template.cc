// The template language: reading literal runs, expanding templates against
// named values, and matching file-name masks to read values back.
#include "common/template.h"

#include <cstdint>

#include "common/params.h"

namespace tomeva {
namespace {

bool IsBlank(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// Value of c as a digit of the given base (10 or 16), or -1.
int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

LiteralRun ParseLiteral(std::string_view text, size_t pos) {
  LiteralRun run{std::string(), pos};
  const size_t n = text.size();
  // True while p lies before the last character, the only part ever read.
  auto readable = [n](size_t p) { return p + 1 < n; };

  while (readable(pos) && IsBlank(text[pos])) ++pos;
  while (readable(pos)) {
    const char c = text[pos];
    if (c == '\'') {
      size_t end = pos + 1;
      while (readable(end) && text[end] != '\'') ++end;
      run.value.append(text.substr(pos + 1, end - pos - 1));
      pos = end + 1;  // past the closing quote (or the unread last character)
    } else if (c == '#') {
      size_t p = pos + 1;
      const bool hex = readable(p) && text[p] == '$';
      if (hex) ++p;
      const size_t digits_start = p;
      uint64_t number = 0;
      bool too_large = false;
      for (int digit; readable(p) && (digit = DigitValue(text[p], hex)) >= 0; ++p) {
        if (!too_large) {
          number = number * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
          too_large = number > UINT32_MAX;
        }
      }
      if (p == digits_start || too_large) {
        run.value.append(text.substr(pos, p - pos));  // "#" stands for itself
      } else {
        run.value.push_back(static_cast<char>(number & 0xFF));
      }
      pos = p;
    } else {
      break;
    }
  }
  run.next = pos;
  return run;
}

std::string ExpandTemplate(std::string_view tmpl, std::string_view params) {
  return ExpandTemplate(tmpl, [params](std::string_view name) { return GetParam(params, name); });
}

std::string ExpandTemplate(std::string_view tmpl,
                           const std::function<std::string(std::string_view)>& lookup) {
  std::string out;
  const size_t n = tmpl.size();
  size_t pos = 0;
  while (pos + 1 < n) {
    if (IsBlank(tmpl[pos]) || tmpl[pos] == '\'') {
      LiteralRun run = ParseLiteral(tmpl, pos);
      out.append(run.value);
      pos = run.next;
    } else {
      // A bare name runs to the next quote, never including the last character.
      size_t end = tmpl.find('\'', pos);
      if (end == std::string_view::npos) end = n - 1;
      out.append(lookup(tmpl.substr(pos, end - pos)));
      pos = end;
    }
  }
  return out;
}

std::optional<std::string> MatchTemplate(std::string_view pattern, std::string_view text) {
  if (pattern.empty() || pattern == "'" || pattern == "''") return std::string();
  const size_t n = pattern.size();
  std::string captures;
  size_t pos = 0;
  while (!text.empty()) {
    // Text left over after the end of the pattern would be a nameless capture.
    if (pos >= n) return std::nullopt;
    const char c = pattern[pos];
    if (c == '.') break;
    if (c == '\'') {
      // A quote as the last character reads nothing, so the text left over
      // cannot be consumed.
      if (pos + 1 >= n) return std::nullopt;
      LiteralRun run = ParseLiteral(pattern, pos);
      if (!text.starts_with(run.value)) return std::nullopt;
      text.remove_prefix(run.value.size());
      pos = run.next;
    } else if (c == '*') {
      LiteralRun run = ParseLiteral(pattern, pos + 1);
      size_t hit = run.value.empty() ? std::string_view::npos : text.find(run.value);
      text = (hit == std::string_view::npos) ? std::string_view()
                                             : text.substr(hit + run.value.size());
      pos = run.next;
    } else {
      size_t end = pattern.find('\'', pos);
      if (end == std::string_view::npos) end = n;
      std::string_view name = pattern.substr(pos, end - pos);
      LiteralRun run = ParseLiteral(pattern, end);
      pos = run.next;
      std::string_view value = text;
      if (run.value.empty()) {
        text = std::string_view();
      } else {
        size_t hit = text.find(run.value);
        if (hit == std::string_view::npos) return std::nullopt;  // the value would be empty
        value = text.substr(0, hit);
        text = text.substr(hit + run.value.size());
      }
      if (name.empty() || value.empty()) return std::nullopt;
      captures.append(name).append("=").append(value).append(kCrLf);
    }
  }
  if (pos + 1 < n) return std::nullopt;  // the pattern was not read to its end
  return captures;
}

}  // namespace tomeva
