// Rules for file paths on disk as pure functions of a path style, so the
// Windows rules stay testable on Linux: resolving a stored path against a
// folder, relative paths for storing book links, name parts, and numbered
// file names that do not collide with existing files.
//
// Windows: drives "X:", "\" separates. POSIX: an absolute path starts with "/";
// "/" and "\" both separate (paths written on Windows keep working) and "/" is
// written; there are no drives.
#ifndef TOMEVA_COMMON_PATH_RULES_H_
#define TOMEVA_COMMON_PATH_RULES_H_

#include <functional>
#include <string>
#include <string_view>

#include "platform/path_style.h"

namespace tomeva {

using platform::PathStyle;

// The absolute, normalised form of path taken relative to base_dir; "" for an
// empty path.
// Windows: "X:\..." is kept, "\..." gets the first two characters of base_dir
// (its drive), anything else becomes base_dir + "\" + path. The first three
// characters are kept; after them #0, LF, CR, '"', '*', '/', ':', '<', '>', '?'
// and '|' are dropped (before anything else, so they never hide a dot
// component), doubled "\" collapse, spaces before a "\" are removed, and a
// component of k dots (the last one included) goes up k-1 folders ("." stays,
// ".." goes up one, "..." two), never above the first three characters. A final
// "\" is removed unless it belongs to the drive root ("C:\" stays "C:\").
// POSIX: "/..." (or "\...") is absolute, anything else becomes base_dir + "/" +
// path; "X:\..." is not absolute. The base folder is the user's own and is kept
// as it is (every character Linux allows, a "\" or a space before "/"
// included); so is its part of an absolute path that lies below it. In the rest,
// the same characters are dropped except "/"; ".." never climbs above "/"; the
// result ends in "/" only when it is "/".
std::string ResolvePath(PathStyle style, std::string_view base_dir, std::string_view path);

// A path the user wrote (the settings' library folder or catalog file), made
// absolute against base_dir and otherwise taken as written, since these are
// the user's own folders. POSIX: "/..." stays as it is, anything else becomes
// base_dir + "/" + path. Windows: as ResolvePath. "" for an empty path.
std::string UserPath(PathStyle style, std::string_view base_dir, std::string_view path);

// dest_name relative to the folder of base_name, or dest_name unchanged when
// the two lie on different drives (Windows "X:" or "\\server\share", compared
// ignoring case) or, on POSIX, when only one of them is absolute. base_name is
// taken as a file name: a folder used as base must end with a separator.
// Folder names compare ignoring case on Windows and exactly on POSIX.
// Example (Windows): C:\lib\x\db.mdb, C:\lib\books\a.fb2 -> ..\books\a.fb2.
std::string RelativePath(PathStyle style, std::string_view base_name, std::string_view dest_name);

// The extension of name: from the last "." after the last separator (and, on
// Windows, ":"), the dot included; "" when there is none.
std::string_view FileExtension(PathStyle style, std::string_view name);

// name with its extension (see FileExtension) replaced by ext; ext is appended
// when name has none.
std::string ChangeFileExtension(PathStyle style, std::string_view name, std::string_view ext);

// The part of name after the last separator (and, on Windows, ":").
std::string_view FileNamePart(PathStyle style, std::string_view name);

// The part of name up to and including the last separator (and, on Windows,
// ":"); "" when there is none. FolderPart + FileNamePart gives name back.
std::string_view FolderPart(PathStyle style, std::string_view name);

// The first name of the series file_name, then file_name with "01", "02", ...
// "99", "100", ... put before its extension (at its end when it has none), for
// which file_exists is false. file_exists must report files only: a folder of
// the name does not take it.
std::string UniqueFileName(PathStyle style, std::string_view file_name,
                           const std::function<bool(const std::string&)>& file_exists);

}  // namespace tomeva

#endif  // TOMEVA_COMMON_PATH_RULES_H_
