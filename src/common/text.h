// Small string operations shared by every layer: upper-casing for name
// comparison, SQL-style double quoting, zero padding, replacing, and cutting
// text at a character or separator. All are pure and never fail.
#ifndef TOMEVA_COMMON_TEXT_H_
#define TOMEVA_COMMON_TEXT_H_

#include <string>
#include <string_view>

namespace tomeva {

// s with Latin a-z and Cyrillic letters (ё included) upper-cased; every other
// character, including 3- and 4-byte UTF-8 sequences and stray bytes, unchanged.
// Used for case-insensitive comparison of names such as table names.
std::string UpperCaseText(std::string_view s);

// s enclosed in double quotes, each double quote inside s written twice:
// a"b"c gives "a""b""c".
std::string DoubleQuoted(std::string_view s);

// Decimal digits of n with "0" put in front until the result is at least width
// characters long. A minus sign stays in front of the zeros: ZeroPad(-5, 3) is
// "-05".
std::string ZeroPad(long long n, int width);

// s with every byte `from` replaced by `to`.
std::string ReplaceChar(std::string_view s, char from, char to);

// s with every occurrence of find replaced by repl, searched left to right,
// case-sensitively, without overlap and without rescanning inserted text.
// s is returned unchanged when find is empty or absent.
std::string ReplaceAll(std::string_view s, std::string_view find, std::string_view repl);

// The text before the first ch; all of s when ch does not occur.
std::string_view TextBeforeChar(std::string_view s, char ch);

// The text before the first occurrence of separator; all of s when it does not
// occur. An empty separator never occurs.
std::string_view TextBefore(std::string_view s, std::string_view separator);

// Returns TextBeforeChar(s, ch) and removes that text and the ch after it from
// s; s becomes empty when ch does not occur.
std::string CutTokenChar(std::string& s, char ch);

// Returns TextBefore(s, separator) and removes that text and the separator from
// s; s becomes empty when the separator does not occur (or is empty).
std::string CutToken(std::string& s, std::string_view separator);

// s without its leading bytes that are members of chars.
std::string_view TrimLeftChars(std::string_view s, std::string_view chars);

}  // namespace tomeva

#endif  // TOMEVA_COMMON_TEXT_H_
