// The reversible mapping between catalog text and shown names.
#include "common/shown_text.h"

#include "common/utf8.h"

namespace tomeva {
namespace {

constexpr std::string_view kDivisionSlash = "\u2215";   // shown for "/"
constexpr std::string_view kReverseSolidus = "\u29F5";  // shown for "\"

// Whether the three bytes at text[pos] are a control picture that stands for a
// control character: U+2401..U+241F and U+2421 (U+2400, NUL's picture, is never
// made, since NUL is dropped).
bool IsControlPicture(std::string_view text, size_t pos) {
  if (text.size() - pos < 3 || text[pos] != '\xE2' || text[pos + 1] != '\x90') return false;
  const auto b = static_cast<unsigned char>(text[pos + 2]);
  return (b >= 0x81 && b <= 0x9F) || b == 0xA1;
}

// Whether the character at text[pos] would be read back as something else, so
// that a text holding it must show it escaped.
bool NeedsEscape(std::string_view text, size_t pos) {
  const std::string_view rest = text.substr(pos);
  return rest.starts_with(kDivisionSlash) || rest.starts_with(kReverseSolidus) ||
         rest.starts_with(kShownEscape) || IsControlPicture(text, pos);
}

// Whether raw is shown as it is: it holds none of the bytes that begin a
// character ShownText changes (an ASCII control, DEL, "/" or "\\"; 0xE2,
// which begins U+2215, U+29F5 and the control pictures; 0xC2, which begins the
// escape mark). Most names are, and are then copied whole.
bool ShownAsItIs(std::string_view raw) {
  for (const char c : raw) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '/' || c == '\\' || u == 0xC2 || u == 0xE2) return false;
  }
  return true;
}

// Calls out(piece) for each piece of the shown form of raw.
template <typename Out>
void ForEachShownPiece(std::string_view raw, Out out) {
  for (size_t pos = 0; pos < raw.size();) {
    const size_t length = Utf8SequenceLength(raw, pos);
    const char c = raw[pos];
    if (length == 1) {
      const auto u = static_cast<unsigned char>(c);
      if (c == '/') {
        out(kDivisionSlash);
      } else if (c == '\\') {
        out(kReverseSolidus);
      } else if (c == '\0') {
        // dropped
      } else if (u < 0x20 || u == 0x7F) {
        const char picture[3] = {'\xE2', '\x90', static_cast<char>(u == 0x7F ? 0xA1 : 0x80 + u)};
        out(std::string_view(picture, 3));
      } else {
        out(raw.substr(pos, 1));
      }
    } else {
      if (NeedsEscape(raw, pos)) out(kShownEscape);
      out(raw.substr(pos, length));
    }
    pos += length;
  }
}

}  // namespace

std::string ShownText(std::string_view raw) {
  if (ShownAsItIs(raw)) return std::string(raw);
  std::string out;
  out.reserve(raw.size());
  ForEachShownPiece(raw, [&out](std::string_view piece) { out += piece; });
  return out;
}

size_t ShownByteLength(std::string_view raw) {
  if (ShownAsItIs(raw)) return raw.size();
  size_t bytes = 0;
  ForEachShownPiece(raw, [&bytes](std::string_view piece) { bytes += piece.size(); });
  return bytes;
}

std::string StoredText(std::string_view shown) {
  std::string out;
  out.reserve(shown.size());
  for (size_t pos = 0; pos < shown.size();) {
    const std::string_view rest = shown.substr(pos);
    if (rest.starts_with(kShownEscape) && rest.size() > kShownEscape.size()) {
      // The escaped character stands for itself.
      const size_t next = pos + kShownEscape.size();
      const size_t length = Utf8SequenceLength(shown, next);
      out += shown.substr(next, length);
      pos = next + length;
    } else if (rest.starts_with(kDivisionSlash)) {
      out += '/';
      pos += kDivisionSlash.size();
    } else if (rest.starts_with(kReverseSolidus)) {
      out += '\\';
      pos += kReverseSolidus.size();
    } else if (IsControlPicture(shown, pos) && shown[pos + 2] != '\x8D') {
      const auto picture = static_cast<unsigned char>(shown[pos + 2]);
      out += static_cast<char>(picture == 0xA1 ? 0x7F : picture - 0x80);
      pos += 3;
    } else {
      out += shown[pos++];
    }
  }
  return out;
}

}  // namespace tomeva
