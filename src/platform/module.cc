// Module path through dladdr, made absolute against the current directory.
#include "platform/module.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <filesystem>

namespace tomeva::platform {

std::string ModulePathOf(const void* address) {
  Dl_info info;
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  char* real = realpath(info.dli_fname, nullptr);
  if (real != nullptr) {
    std::string path(real);
    free(real);
    return path;
  }
  std::error_code ec;
  return std::filesystem::absolute(info.dli_fname, ec).string();
}

std::string ExecutablePath() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

}  // namespace tomeva::platform
