// Paths inside the plugin's virtual tree as the command line writes them: "/"
// separates, the root is "/", folders carry no trailing "/".
#ifndef TOMEVA_CLI_VIRTUAL_PATH_H_
#define TOMEVA_CLI_VIRTUAL_PATH_H_

#include <string>
#include <string_view>

namespace tomeva::cli {

// path with a leading "/", doubled "/" collapsed and any trailing "/" removed
// ("" and "/" give "/"; "По авторам/" gives "/По авторам").
std::string NormalVirtualPath(std::string_view path);

// folder + "/" + name, without doubling the root's "/".
std::string JoinVirtualPath(std::string_view folder, std::string_view name);

// The folder holding path ("/" for an entry of the root).
std::string VirtualParent(std::string_view path);

// The last name of path ("" for the root).
std::string VirtualName(std::string_view path);

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_VIRTUAL_PATH_H_
