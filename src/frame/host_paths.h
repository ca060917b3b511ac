// Paths between the host and the core. The host separates virtual folders with
// "/" (its own separator on Linux) and passes folders with or without a trailing
// separator; inside the system virtual paths use "\", the root is "\".
#ifndef TOMEVA_FRAME_HOST_PATHS_H_
#define TOMEVA_FRAME_HOST_PATHS_H_

#include <string>
#include <string_view>

namespace tomeva::frame {

// A folder path of the host in the internal form, without a trailing separator
// except for the root "\".
std::string FolderFromHost(std::string_view host_path);
// A file path of the host in the internal form.
std::string FileFromHost(std::string_view host_path);

}  // namespace tomeva::frame

#endif  // TOMEVA_FRAME_HOST_PATHS_H_
