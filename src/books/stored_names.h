// Safe names for stored book files. The place of a stored file comes from a
// settings request over catalog values that ultimately come from book files,
// so it is untrusted: control characters are dropped, each path component is
// kept short enough for any file system, and nothing may land outside the
// library folder.
#ifndef TOMEVA_BOOKS_STORED_NAMES_H_
#define TOMEVA_BOOKS_STORED_NAMES_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tomeva::books {

// The longest path component of a stored file, in bytes (file systems allow
// 255; numbering a taken name adds a few more).
inline constexpr size_t kMaxComponentBytes = 240;

// name without its control characters (bytes below 0x20, and 0x7F).
std::string WithoutControlCharacters(std::string_view name);

// The extension a cut keeps of a file name: the last extension (".fb2"), and
// before it a short one of letters and digits (".fb2.zip"); "" when the name
// has none. A component that is nothing but its extension has none.
std::string_view KeptExtension(std::string_view name);

// name cut to at most max_bytes bytes without splitting a UTF-8 character; a
// name that has an extension (KeptExtension) keeps it whole and loses bytes
// before it.
std::string CutComponent(std::string_view name, size_t max_bytes);

// relative (a stored file's path below the library folder, "/" or "\"
// separated) with control characters removed, empty components dropped and
// every component cut to kMaxComponentBytes, joined with "/". A leading
// separator is kept, so an absolute path stays absolute (and is then caught
// by IsInsideFolder).
std::string SafeRelativePath(std::string_view relative);

// True when path (absolute and normalised) lies strictly below folder
// (absolute and normalised, no trailing separator except for "/").
bool IsInsideFolder(std::string_view folder, std::string_view path);

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_STORED_NAMES_H_
