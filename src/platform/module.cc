// Module path through dladdr, made absolute against the current directory.
#include "platform/module.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <filesystem>

namespace tomeva::platform {

std::string ModulePathOf(const void* address) {
  Dl_info info;
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  // The name it was loaded by, symbolic links left as they are: a plugin
  // loaded through a link finds its settings beside the link.
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(info.dli_fname, ec);
  return ec ? std::string(info.dli_fname) : absolute.lexically_normal().string();
}

std::string ExecutablePath() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

}  // namespace tomeva::platform
