// Host path conversion.
#include "frame/host_paths.h"

namespace tomeva::frame {

std::string FileFromHost(std::string_view host_path) {
  std::string path(host_path);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.empty() || path.front() != '\\') path.insert(path.begin(), '\\');
  return path;
}

std::string FolderFromHost(std::string_view host_path) {
  std::string path = FileFromHost(host_path);
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace tomeva::frame
