// File and folder names of the sample books: "0001 Соколов - Тень ветра.fb2",
// kept apart in folders named by the first letter of the author's last name.
// Names are safe on Linux and Windows file systems alike.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_FILE_NAMING_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_FILE_NAMING_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tomeva {

// The longest title part of a file name, in bytes, so that a name stays far
// below the usual 255-byte limit.
inline constexpr size_t kMaxTitleBytes = 120;

// text with each character no file system takes in a name ('\\', '/', ':', '*',
// '?', '"', '<', '>', '|' and control characters) replaced by '_', and trailing
// spaces and dots removed; "_" when nothing is left.
std::string SafeFileNamePart(std::string_view text);

// Digits of the book numbers: at least 4, more for libraries of 10000 books and up.
int BookNumberWidth(uint64_t count);

// "<number> <last name> - <title>" without an extension; the number is zero-padded
// to width, the title cut to kMaxTitleBytes on a character boundary.
std::string BookFileStem(uint64_t number, int width, std::string_view last_name,
                         std::string_view title);

// The folder of a book: the upper-cased first letter of last_name ("Ё", "O"),
// or "_" when it does not start with a letter.
std::string FirstLetterFolder(std::string_view last_name);

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_FILE_NAMING_H_
