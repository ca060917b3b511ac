// Character-wise operations on UTF-8 text: sequence lengths, prefixes that never
// split a character, and the letter case mapping of Latin and Cyrillic letters.
#include "common/utf8.h"

#include <algorithm>
#include <cstdint>

namespace tomeva {
namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Appends code point cp in UTF-8.
void AppendCodePoint(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Upper-case form of a code point of the two-byte range (Latin-1 and Cyrillic).
uint32_t UpperTwoByte(uint32_t cp) {
  if (cp >= 0x430 && cp <= 0x44F) return cp - 0x20;              // а..я
  if (cp >= 0x450 && cp <= 0x45F) return cp - 0x50;              // ѐ..џ (ё included)
  if (cp >= 0x460 && cp <= 0x4FF && (cp & 1) && cp != 0x482 &&   // paired letters
      !(cp >= 0x483 && cp <= 0x489))
    return cp - 1;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;  // à..þ
  return cp;
}

uint32_t LowerTwoByte(uint32_t cp) {
  if (cp >= 0x410 && cp <= 0x42F) return cp + 0x20;
  if (cp >= 0x400 && cp <= 0x40F) return cp + 0x50;
  if (cp >= 0x460 && cp <= 0x4FF && !(cp & 1) && cp != 0x482 &&
      !(cp >= 0x483 && cp <= 0x489))
    return cp + 1;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;
  return cp;
}

template <typename AsciiMap, typename TwoByteMap>
std::string MapCase(std::string_view text, AsciiMap ascii, TwoByteMap two_byte) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[pos]);
    size_t len = Utf8SequenceLength(text, pos);
    if (c < 0x80) {
      out.push_back(ascii(static_cast<char>(c)));
    } else if (len == 2) {
      uint32_t cp = ((c & 0x1F) << 6) | (static_cast<unsigned char>(text[pos + 1]) & 0x3F);
      AppendCodePoint(out, two_byte(cp));
    } else {
      out.append(text.substr(pos, len));
    }
    pos += len;
  }
  return out;
}

}  // namespace

size_t Utf8SequenceLength(std::string_view text, size_t pos) {
  if (pos >= text.size()) return 0;
  unsigned char c = static_cast<unsigned char>(text[pos]);
  size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  if (len == 2 && c < 0xC2) return 1;  // overlong forms are stray bytes
  if (pos + len > text.size()) return 1;
  for (size_t i = 1; i < len; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 1;
  }
  return len;
}

size_t Utf8CharacterCount(std::string_view text) {
  size_t count = 0;
  for (size_t pos = 0; pos < text.size(); pos += Utf8SequenceLength(text, pos)) ++count;
  return count;
}

std::string_view Utf8Prefix(std::string_view text, size_t max_characters) {
  size_t pos = 0;
  for (size_t n = 0; n < max_characters && pos < text.size(); ++n) {
    pos += Utf8SequenceLength(text, pos);
  }
  return text.substr(0, pos);
}

std::string_view Utf8PrefixBytes(std::string_view text, size_t max_bytes) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t len = Utf8SequenceLength(text, pos);
    if (pos + len > max_bytes) break;
    pos += len;
  }
  return text.substr(0, pos);
}

namespace {

// The bytes of Utf8Lower(text), one at a time. Lowering keeps every sequence's
// length, so the lowered bytes of one sequence are produced when it is met.
class LoweredBytes {
 public:
  explicit LoweredBytes(std::string_view text) : text_(text) {}
  bool AtEnd() const { return pending_ == 0 && pos_ >= text_.size(); }
  unsigned char Next() {
    if (pending_ == 0) Load();
    return buffer_[2 - pending_--];
  }

 private:
  void Load() {
    const auto c = static_cast<unsigned char>(text_[pos_]);
    const size_t len = Utf8SequenceLength(text_, pos_);
    if (len == 2) {
      const uint32_t cp =
          LowerTwoByte(((c & 0x1F) << 6) | (static_cast<unsigned char>(text_[pos_ + 1]) & 0x3F));
      buffer_[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
      buffer_[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
      pending_ = 2;
      pos_ += 2;
      return;
    }
    // Other sequences (and stray bytes) are unchanged, ASCII apart; they go out
    // byte by byte.
    buffer_[1] = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
    pending_ = 1;
    ++pos_;
  }

  std::string_view text_;
  size_t pos_ = 0;
  unsigned char buffer_[2] = {0, 0};
  int pending_ = 0;
};

}  // namespace

int Utf8CompareIgnoringCase(std::string_view a, std::string_view b) {
  // Texts that agree byte for byte agree lowered too: start at the character
  // where they first differ. Any byte that is not a continuation byte begins a
  // character, so the character holding the first difference begins at the
  // last such byte before it, in both texts alike.
  const size_t common = std::min(a.size(), b.size());
  size_t start = static_cast<size_t>(
      std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(common), b.begin()).first -
      a.begin());
  if (start == common && a.size() == b.size()) return 0;
  while (start > 0 && start < a.size() && IsContinuation(static_cast<unsigned char>(a[start]))) {
    --start;
  }
  if (start == a.size() || start == b.size()) {
    // One text is a prefix of the other: back up to the start of the last
    // character, which may continue differently in the longer text.
    while (start > 0 && IsContinuation(static_cast<unsigned char>(a[start - 1]))) --start;
    if (start > 0) --start;
  }
  LoweredBytes x(a.substr(start));
  LoweredBytes y(b.substr(start));
  while (!x.AtEnd() && !y.AtEnd()) {
    const unsigned char p = x.Next();
    const unsigned char q = y.Next();
    if (p != q) return p < q ? -1 : 1;
  }
  if (x.AtEnd() && y.AtEnd()) return 0;
  return x.AtEnd() ? -1 : 1;
}

std::string Utf8Upper(std::string_view text) {
  return MapCase(
      text, [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; },
      UpperTwoByte);
}

std::string Utf8Lower(std::string_view text) {
  return MapCase(
      text, [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; },
      LowerTwoByte);
}

}  // namespace tomeva
