// Checking request paths and writing links to virtual paths.
#include "server/request_path.h"

namespace tomeva::server {
namespace {

bool IsAcceptableName(std::string_view name) {
  if (name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f || c == '\\') return false;
  }
  return true;
}

}  // namespace

PathCheck VirtualPathOfRequest(std::string_view relative, std::string& virtual_path) {
  virtual_path.clear();
  if (relative.size() > kMaxRequestPathBytes) return PathCheck::kTooLong;
  while (!relative.empty()) {
    const size_t slash = relative.find('/');
    const std::string_view name = relative.substr(0, slash);
    relative = slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
    if (name.empty()) continue;
    if (!IsAcceptableName(name)) return PathCheck::kBadName;
    virtual_path += '\\';
    virtual_path += name;
  }
  if (virtual_path.empty()) virtual_path = "\\";
  return PathCheck::kOk;
}

std::string PercentEncoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                            c == '~';
    if (unreserved) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xf];
    }
  }
  return out;
}

std::string UrlOfVirtualPath(std::string_view prefix, std::string_view virtual_path) {
  std::string url(prefix);
  std::string_view rest = virtual_path;
  while (!rest.empty()) {
    const size_t separator = rest.find('\\');
    const std::string_view name = rest.substr(0, separator);
    rest = separator == std::string_view::npos ? std::string_view() : rest.substr(separator + 1);
    if (name.empty()) continue;
    url += '/';
    url += PercentEncoded(name);
  }
  if (url.empty()) url = "/";
  return url;
}

std::optional<std::string> VirtualParent(std::string_view virtual_path) {
  const size_t separator = virtual_path.rfind('\\');
  if (virtual_path.size() <= 1 || separator == std::string_view::npos) return std::nullopt;
  if (separator == 0) return std::string("\\");
  return std::string(virtual_path.substr(0, separator));
}

std::string_view VirtualName(std::string_view virtual_path) {
  const size_t separator = virtual_path.rfind('\\');
  return separator == std::string_view::npos ? virtual_path : virtual_path.substr(separator + 1);
}

std::string VirtualChild(std::string_view virtual_path, std::string_view name) {
  std::string child(virtual_path);
  if (child.empty() || child.back() != '\\') child += '\\';
  child += name;
  return child;
}

}  // namespace tomeva::server
