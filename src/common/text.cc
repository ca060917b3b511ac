// Small string operations: upper-casing, quoting, padding, replacing, cutting.
#include "common/text.h"

#include <utility>

#include "common/utf8.h"

namespace tomeva {

std::string UpperCaseText(std::string_view s) { return Utf8Upper(s); }

std::string DoubleQuoted(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out.push_back('"');
  for (char c : s) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string ZeroPad(long long n, int width) {
  std::string digits = std::to_string(n);
  if (width <= 0 || digits.size() >= static_cast<size_t>(width)) return digits;
  // The zeros go after a minus sign so that the result still reads as n.
  size_t sign = (n < 0) ? 1 : 0;
  digits.insert(sign, static_cast<size_t>(width) - digits.size(), '0');
  return digits;
}

std::string ReplaceChar(std::string_view s, char from, char to) {
  std::string out(s);
  for (char& c : out) {
    if (c == from) c = to;
  }
  return out;
}

std::string ReplaceAll(std::string_view s, std::string_view find, std::string_view repl) {
  if (find.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  size_t pos = 0;
  for (size_t hit = s.find(find); hit != std::string_view::npos; hit = s.find(find, pos)) {
    out.append(s.substr(pos, hit - pos));
    out.append(repl);
    pos = hit + find.size();
  }
  out.append(s.substr(pos));
  return out;
}

std::string_view TextBeforeChar(std::string_view s, char ch) {
  return s.substr(0, s.find(ch));
}

std::string_view TextBefore(std::string_view s, std::string_view separator) {
  if (separator.empty()) return s;
  return s.substr(0, s.find(separator));
}

std::string CutTokenChar(std::string& s, char ch) {
  size_t hit = s.find(ch);
  if (hit == std::string::npos) return std::exchange(s, std::string());
  std::string token = s.substr(0, hit);
  s.erase(0, hit + 1);
  return token;
}

std::string CutToken(std::string& s, std::string_view separator) {
  size_t hit = separator.empty() ? std::string::npos : s.find(separator);
  if (hit == std::string::npos) return std::exchange(s, std::string());
  std::string token = s.substr(0, hit);
  s.erase(0, hit + separator.size());
  return token;
}

std::string_view TrimLeftChars(std::string_view s, std::string_view chars) {
  size_t first = s.find_first_not_of(chars);
  return s.substr(first == std::string_view::npos ? s.size() : first);
}

}  // namespace tomeva
