// Request paths and virtual paths: the part of a request's (already
// percent-decoded) path below a route's prefix names a virtual folder or book
// as "/"-separated names; it becomes the tree's "\"-separated virtual path only
// when every name is one the tree could have listed. The other way, virtual
// paths become percent-encoded URLs for links.
#ifndef TOMEVA_SERVER_REQUEST_PATH_H_
#define TOMEVA_SERVER_REQUEST_PATH_H_

#include <optional>
#include <string>
#include <string_view>

namespace tomeva::server {

// The longest decoded request path served; longer ones are refused (414).
inline constexpr size_t kMaxRequestPathBytes = 4096;

// Why a request path was refused, or that it was not.
enum class PathCheck { kOk, kBadName, kTooLong };

// The virtual path ("\" for the root, "\A\B" below it) that the "/"-separated
// names of relative name, or the reason it names none: a name that is "." or
// "..", or holds a NUL, another control character or "\"; a path longer than
// kMaxRequestPathBytes. Empty names (doubled or trailing "/") are skipped.
PathCheck VirtualPathOfRequest(std::string_view relative, std::string& virtual_path);

// The URL path of virtual_path below prefix ("/opds"): prefix followed by
// "/" and each name percent-encoded (every byte but unreserved ASCII); prefix
// alone (or "/" for an empty prefix) for the root.
std::string UrlOfVirtualPath(std::string_view prefix, std::string_view virtual_path);

// text with every byte but ASCII letters, digits and "-._~" percent-encoded.
std::string PercentEncoded(std::string_view text);

// The parent of a virtual path ("\" for a name of the root; nullopt for the root).
std::optional<std::string> VirtualParent(std::string_view virtual_path);

// The last name of a virtual path ("" for the root).
std::string_view VirtualName(std::string_view virtual_path);

// virtual_path joined with name.
std::string VirtualChild(std::string_view virtual_path, std::string_view name);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_REQUEST_PATH_H_
