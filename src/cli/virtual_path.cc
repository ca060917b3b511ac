// Virtual path helpers.
#include "cli/virtual_path.h"

namespace tomeva::cli {

std::string NormalVirtualPath(std::string_view path) {
  std::string out = "/";
  for (char c : path) {
    if (c == '/' && out.back() == '/') continue;
    out += c;
  }
  if (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

std::string JoinVirtualPath(std::string_view folder, std::string_view name) {
  std::string out = NormalVirtualPath(folder);
  if (out.back() != '/') out += '/';
  out += name;
  return out;
}

std::string VirtualParent(std::string_view path) {
  std::string normal = NormalVirtualPath(path);
  size_t slash = normal.rfind('/');
  return slash == 0 ? "/" : normal.substr(0, slash);
}

std::string VirtualName(std::string_view path) {
  std::string normal = NormalVirtualPath(path);
  return normal.substr(normal.rfind('/') + 1);
}

}  // namespace tomeva::cli
