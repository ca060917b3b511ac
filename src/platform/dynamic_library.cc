// dlopen-based dynamic libraries.
#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <utility>

namespace tomeva::platform {

DynamicLibrary::~DynamicLibrary() { Close(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

Result<DynamicLibrary> DynamicLibrary::Open(const std::string& path) {
  if (path.empty()) return Error{"no library named"};
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    return Error{"cannot load " + path + ": " + (why ? why : "unknown error")};
  }
  return DynamicLibrary(handle);
}

void* DynamicLibrary::Symbol(const std::string& name) const {
  if (handle_ == nullptr) return nullptr;
  return dlsym(handle_, name.c_str());
}

void DynamicLibrary::Close() {
  if (handle_ != nullptr) {
    dlclose(handle_);
    handle_ = nullptr;
  }
}

}  // namespace tomeva::platform
