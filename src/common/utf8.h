// Character-wise operations on UTF-8 text, the system code page on Linux. Text
// that is not valid UTF-8 is treated byte by byte and never rejected, so a
// damaged value still travels through the system unchanged.
#ifndef TOMEVA_COMMON_UTF8_H_
#define TOMEVA_COMMON_UTF8_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tomeva {

// Length in bytes of the UTF-8 sequence starting at text[pos] (1 for an invalid
// or truncated sequence, 0 at the end of text).
size_t Utf8SequenceLength(std::string_view text, size_t pos);

// Number of characters (valid sequences count once, stray bytes once each).
size_t Utf8CharacterCount(std::string_view text);

// The first max_characters characters of text, never splitting a sequence.
std::string_view Utf8Prefix(std::string_view text, size_t max_characters);

// The longest prefix of text of at most max_bytes bytes that ends on a
// character boundary.
std::string_view Utf8PrefixBytes(std::string_view text, size_t max_bytes);

// Latin a-z and Cyrillic а-я, ё (and the other letters of the Cyrillic block)
// upper-cased; every other character unchanged.
std::string Utf8Upper(std::string_view text);
// The inverse mapping of Utf8Upper.
std::string Utf8Lower(std::string_view text);

// Compares Utf8Lower(a) with Utf8Lower(b) byte by byte (negative, 0, positive)
// without making either: the catalog's case-blind text order, which runs for
// every step through an index.
int Utf8CompareIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tomeva

#endif  // TOMEVA_COMMON_UTF8_H_
