// Path rules on disk: resolving, relative paths, name parts, numbered names.
#include "common/path_rules.h"

#include <algorithm>
#include <vector>

#include "common/text.h"
#include "common/utf8.h"

namespace tomeva {
namespace {

bool IsWindows(PathStyle style) { return style == PathStyle::kWindows; }

bool IsSeparator(PathStyle style, char c) {
  return c == '\\' || (!IsWindows(style) && c == '/');
}

// Characters that end a folder name when splitting off a file name or
// extension: the separators, and on Windows the drive colon.
bool IsNameBoundary(PathStyle style, char c) {
  return IsSeparator(style, c) || (IsWindows(style) && c == ':');
}

// Characters never written into a resolved path (the separators excepted).
bool IsDropped(PathStyle style, char c) {
  switch (c) {
    case '\0':
    case '\n':
    case '\r':
    case '"':
    case '*':
    case ':':
    case '<':
    case '>':
    case '?':
    case '|':
      return true;
    case '/':
      return IsWindows(style);
    default:
      return false;
  }
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Position just after the last name boundary of name (0 when there is none).
size_t NameStart(PathStyle style, std::string_view name) {
  for (size_t i = name.size(); i > 0; --i) {
    if (IsNameBoundary(style, name[i - 1])) return i;
  }
  return 0;
}

// Removes the last folder from result, which ends with a separator; result
// never becomes shorter than floor.
void GoUpOneFolder(std::string& result, size_t floor, char separator) {
  if (result.size() <= floor) return;
  size_t previous = result.size() >= 2 ? result.rfind(separator, result.size() - 2)
                                       : std::string::npos;
  size_t keep = (previous == std::string::npos) ? 0 : previous + 1;
  result.resize(std::max(keep, floor));
}

// The drive of a Windows name: "X:", "\\server\share", or "" for none.
std::string_view WindowsDrive(std::string_view name) {
  if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':') return name.substr(0, 2);
  if (name.starts_with("\\\\")) {
    size_t server_end = name.find('\\', 2);
    if (server_end == std::string_view::npos) return name;
    return name.substr(0, name.find('\\', server_end + 1));
  }
  return std::string_view();
}

// The folder names of a path without its drive: the text before the last
// separator, split at every separator ("\a\b\c.fb2" gives "", "a", "b"; the
// empty first name stands for the root). A bare file name has none.
std::vector<std::string_view> FolderComponents(PathStyle style, std::string_view rest) {
  size_t end = rest.size();
  while (end > 0 && !IsSeparator(style, rest[end - 1])) --end;
  std::vector<std::string_view> parts;
  if (end == 0) return parts;
  std::string_view folder = rest.substr(0, end - 1);
  size_t start = 0;
  for (size_t i = 0; i <= folder.size(); ++i) {
    if (i == folder.size() || IsSeparator(style, folder[i])) {
      parts.push_back(folder.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

bool SameName(PathStyle style, std::string_view a, std::string_view b) {
  return IsWindows(style) ? Utf8Upper(a) == Utf8Upper(b) : a == b;
}

}  // namespace

std::string ResolvePath(PathStyle style, std::string_view base_dir, std::string_view path) {
  if (path.empty()) return std::string();
  const char separator = platform::Separator(style);

  // result starts with the part kept as it is: the drive root, "/", or on POSIX
  // the base folder; the rules below apply to rest only.
  std::string result;
  std::string_view rest;
  std::string full;
  size_t floor = 0;
  if (IsWindows(style)) {
    if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\') {
      full = path;
    } else if (path[0] == '\\') {
      full.append(base_dir.substr(0, 2)).append(path);
    } else {
      full.append(base_dir).append("\\").append(path);
    }
    result = full.substr(0, 3);
    rest = std::string_view(full).substr(std::min<size_t>(3, full.size()));
    floor = result.size();
  } else {
    // The base folder is the user's own: every character Linux allows stays.
    std::string_view base = base_dir;
    while (base.size() > 1 && base.back() == '/') base.remove_suffix(1);
    const bool below_base = base.size() > 1 && base.front() == '/' &&
                            path.size() > base.size() && path.starts_with(base) &&
                            path[base.size()] == '/';
    if (IsSeparator(style, path[0]) && !below_base) {
      result = "/";
      rest = path.substr(1);
    } else {
      result = base.empty() ? "/" : std::string(base);
      if (result.back() != '/') result.push_back('/');
      rest = below_base ? path.substr(base.size() + 1) : path;
    }
    floor = result.front() == '/' ? 1 : 0;
  }
  // The kept start is never changed; only climbing ("..") may shorten it.
  size_t kept = result.size();
  // Dropped characters go first, so that they cannot hide a dot component
  // (".\r.\" is "..\" once the CR is gone).
  std::string clean;
  clean.reserve(rest.size());
  for (char c : rest) {
    if (!IsDropped(style, c)) clean.push_back(c);
  }

  for (size_t i = 0; i < clean.size(); ++i) {
    const char c = clean[i];
    if (IsSeparator(style, c)) {
      while (result.size() > std::max(floor, kept) && result.back() == ' ') result.pop_back();
      if (result.empty() || result.back() != separator) result.push_back(separator);
      continue;
    }
    if (c == '.' && !result.empty() && result.back() == separator) {
      size_t dots_end = i;
      while (dots_end < clean.size() && clean[dots_end] == '.') ++dots_end;
      // Spaces before a separator are removed, so ".. \" is a dot component too.
      size_t run_end = dots_end;
      while (run_end < clean.size() && clean[run_end] == ' ') ++run_end;
      if (run_end == clean.size() || IsSeparator(style, clean[run_end])) {
        // A component of k dots: up k-1 folders; its separator is consumed too.
        for (size_t k = dots_end - i; k > 1; --k) GoUpOneFolder(result, floor, separator);
        kept = std::min(kept, result.size());
        i = run_end;
        continue;
      }
      result.append(dots_end - i, '.');
      i = dots_end - 1;
      continue;
    }
    result.push_back(c);
  }
  if (result.size() > floor && result.back() == separator) result.pop_back();
  return result;
}

std::string UserPath(PathStyle style, std::string_view base_dir, std::string_view path) {
  if (IsWindows(style)) return ResolvePath(style, base_dir, path);
  if (path.empty() || path.front() == '/') return std::string(path);
  std::string out(base_dir);
  if (out.empty() || out.back() != '/') out.push_back('/');
  return out + std::string(path);
}

std::string RelativePath(PathStyle style, std::string_view base_name, std::string_view dest_name) {
  std::string_view base_rest = base_name;
  std::string_view dest_rest = dest_name;
  if (IsWindows(style)) {
    std::string_view base_drive = WindowsDrive(base_name);
    std::string_view dest_drive = WindowsDrive(dest_name);
    if (!SameName(style, base_drive, dest_drive)) return std::string(dest_name);
    base_rest.remove_prefix(base_drive.size());
    dest_rest.remove_prefix(dest_drive.size());
  } else {
    // The root is the one drive: both absolute or both relative share it.
    bool base_absolute = !base_name.empty() && IsSeparator(style, base_name[0]);
    bool dest_absolute = !dest_name.empty() && IsSeparator(style, dest_name[0]);
    if (base_absolute != dest_absolute) return std::string(dest_name);
  }

  std::vector<std::string_view> base_parts = FolderComponents(style, base_rest);
  std::vector<std::string_view> dest_parts = FolderComponents(style, dest_rest);
  size_t common = 0;
  while (common < base_parts.size() && common < dest_parts.size() &&
         SameName(style, base_parts[common], dest_parts[common])) {
    ++common;
  }
  const char separator = platform::Separator(style);
  std::string out;
  for (size_t i = common; i < base_parts.size(); ++i) out.append("..").push_back(separator);
  for (size_t i = common; i < dest_parts.size(); ++i) {
    out.append(dest_parts[i]).push_back(separator);
  }
  out.append(FileNamePart(style, dest_rest));
  return out;
}

std::string_view FileExtension(PathStyle style, std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < NameStart(style, name)) return std::string_view();
  return name.substr(dot);
}

std::string ChangeFileExtension(PathStyle style, std::string_view name, std::string_view ext) {
  std::string out(name.substr(0, name.size() - FileExtension(style, name).size()));
  out.append(ext);
  return out;
}

std::string_view FileNamePart(PathStyle style, std::string_view name) {
  return name.substr(NameStart(style, name));
}

std::string_view FolderPart(PathStyle style, std::string_view name) {
  return name.substr(0, NameStart(style, name));
}

std::string UniqueFileName(PathStyle style, std::string_view file_name,
                           const std::function<bool(const std::string&)>& file_exists) {
  std::string candidate(file_name);
  const std::string_view ext = FileExtension(style, file_name);
  const std::string_view stem = file_name.substr(0, file_name.size() - ext.size());
  for (long long n = 1; file_exists(candidate); ++n) {
    candidate.assign(stem).append(ZeroPad(n, 2)).append(ext);
  }
  return candidate;
}

}  // namespace tomeva
