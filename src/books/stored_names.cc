// Safe names for stored book files.
#include "books/stored_names.h"

#include "common/utf8.h"

namespace tomeva::books {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The last extension of name (dot included) when it is not the whole name.
std::string_view LastExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return name.substr(dot);
}

}  // namespace

std::string WithoutControlCharacters(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) out.push_back(c);
  }
  return out;
}

std::string_view KeptExtension(std::string_view name) {
  const std::string_view last = LastExtension(name);
  if (last.empty()) return {};
  const std::string_view stem = name.substr(0, name.size() - last.size());
  const std::string_view inner = LastExtension(stem);
  bool short_inner = !inner.empty() && inner.size() <= 5;
  for (size_t i = 1; short_inner && i < inner.size(); ++i) short_inner = IsAsciiAlnum(inner[i]);
  if (!short_inner || inner.size() < 2) return last;
  return name.substr(name.size() - last.size() - inner.size());
}

std::string CutComponent(std::string_view name, size_t max_bytes) {
  if (name.size() <= max_bytes) return std::string(name);
  const std::string_view ext = KeptExtension(name);
  if (ext.size() >= max_bytes) return std::string(Utf8PrefixBytes(name, max_bytes));
  const std::string_view stem = name.substr(0, name.size() - ext.size());
  return std::string(Utf8PrefixBytes(stem, max_bytes - ext.size())) + std::string(ext);
}

std::string SafeRelativePath(std::string_view relative) {
  std::string out;
  if (!relative.empty() && IsSeparator(relative[0])) out = "/";
  size_t pos = 0;
  while (pos <= relative.size()) {
    size_t end = pos;
    while (end < relative.size() && !IsSeparator(relative[end])) ++end;
    std::string component = WithoutControlCharacters(relative.substr(pos, end - pos));
    if (!component.empty()) {
      if (!out.empty() && out.back() != '/') out.push_back('/');
      out += CutComponent(component, kMaxComponentBytes);
    }
    pos = end + 1;
  }
  return out;
}

bool IsInsideFolder(std::string_view folder, std::string_view path) {
  if (folder.empty() || path.size() <= folder.size()) return false;
  if (path.substr(0, folder.size()) != folder) return false;
  return folder.back() == '/' || path[folder.size()] == '/';
}

}  // namespace tomeva::books
