// Media types and download names of books.
#include "server/book_download.h"

#include <algorithm>
#include <cstdint>

#include "common/utf8.h"
#include "server/request_path.h"

namespace tomeva::server {
namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool IsPlainAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '.' || c == '-' || c == '_' || c == ' ' || c == '(' || c == ')';
}

// The Latin letters a Russian letter is written with in ASCII names (ISO 9
// style, simplified: "zh", "kh", "ts", "ch", "sh", "shch", "yu", "ya"); the
// hard and soft signs are left out. nullptr for any other character.
const char* LatinOfCyrillic(uint32_t lower) {
  static constexpr const char* kLetters[32] = {
      "a", "b", "v", "g", "d", "e", "zh", "z", "i", "y", "k", "l", "m", "n", "o", "p",
      "r", "s", "t", "u", "f", "kh", "ts", "ch", "sh", "shch", "", "y", "", "e", "yu", "ya"};
  if (lower == 0x451) return "e";  // ё
  if (lower >= 0x430 && lower <= 0x44f) return kLetters[lower - 0x430];
  return nullptr;
}

// The code point of the two-byte UTF-8 sequence at text[pos], 0 for others.
uint32_t TwoByteCodePoint(std::string_view text, size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if ((lead & 0xe0) != 0xc0 || pos + 1 >= text.size()) return 0;
  const auto next = static_cast<unsigned char>(text[pos + 1]);
  if ((next & 0xc0) != 0x80) return 0;
  return ((lead & 0x1fu) << 6) | (next & 0x3fu);
}

}  // namespace

std::string BookMediaType(std::string_view file_name) {
  const std::string lower = Utf8Lower(file_name);
  if (EndsWith(lower, ".zip") || EndsWith(lower, ".fbz")) return kZipMediaType;
  return kFb2MediaType;
}

std::string ContentDisposition(std::string_view file_name) {
  std::string ascii;
  for (size_t pos = 0; pos < file_name.size();) {
    const size_t length = std::max<size_t>(1, Utf8SequenceLength(file_name, pos));
    const unsigned char c = static_cast<unsigned char>(file_name[pos]);
    const uint32_t code = length == 2 ? TwoByteCodePoint(file_name, pos) : 0;
    const bool upper = (code >= 0x410 && code <= 0x42f) || code == 0x401;
    const uint32_t lower = code == 0x401 ? 0x451 : upper ? code + 0x20 : code;
    if (const char* latin = LatinOfCyrillic(lower)) {
      std::string letters = latin;
      if (upper && !letters.empty()) letters[0] = static_cast<char>(letters[0] - 'a' + 'A');
      ascii += letters;
    } else {
      ascii += length == 1 && IsPlainAscii(c) ? static_cast<char>(c) : '_';
    }
    pos += length;
  }
  return "attachment; filename=\"" + ascii + "\"; filename*=UTF-8''" + PercentEncoded(file_name);
}

}  // namespace tomeva::server
