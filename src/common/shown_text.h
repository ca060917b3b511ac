// The reversible mapping between the text a catalog row holds and the name a
// file manager can show for it. The host's separators ("/" and the tree's "\")
// and control characters cannot stand in a shown name, so they are shown as
// look-alike characters; a look-alike that the text really holds is shown
// behind an escape mark, so every shown name maps back to exactly the text it
// was made from.
#ifndef TOMEVA_COMMON_SHOWN_TEXT_H_
#define TOMEVA_COMMON_SHOWN_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tomeva {

// The escape mark: shown before a character of the text that would otherwise
// read as a substitute (or as the mark itself).
inline constexpr std::string_view kShownEscape = "\u00A6";  // BROKEN BAR

// The shown form of raw text:
//   "/"  -> U+2215 DIVISION SLASH,  "\" -> U+29F5 REVERSE SOLIDUS OPERATOR,
//   control characters (but NUL, which is dropped) -> their control pictures
//   (U+2401 to U+241F, U+2421 for DEL),
//   a real U+2215, U+29F5, control picture or U+00A6 -> U+00A6 and the character.
// Text that is not valid UTF-8 passes byte by byte.
std::string ShownText(std::string_view raw);

// The inverse of ShownText: the substitutes back to their characters, an
// escaped character to itself. A CR picture stays a picture (parameter text,
// which carries captured values, separates its entries with CR LF); an escape
// mark at the very end stays itself.
std::string StoredText(std::string_view shown);

// Byte length of ShownText(raw), without making it.
size_t ShownByteLength(std::string_view raw);

}  // namespace tomeva

#endif  // TOMEVA_COMMON_SHOWN_TEXT_H_
