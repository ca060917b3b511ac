// A dynamically loaded library (content plugins, and the plugin itself when the
// command-line program drives it). The library is unloaded when the object dies.
#ifndef TOMEVA_PLATFORM_DYNAMIC_LIBRARY_H_
#define TOMEVA_PLATFORM_DYNAMIC_LIBRARY_H_

#include <string>
#include <string_view>

#include "platform/result.h"

namespace tomeva::platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the library named path (resolved by the system loader as written).
  static Result<DynamicLibrary> Open(const std::string& path);

  bool loaded() const { return handle_ != nullptr; }
  // Address of the exported symbol, or nullptr when the library lacks it.
  void* Symbol(const std::string& name) const;
  // Unloads now (also done by the destructor).
  void Close();

 private:
  explicit DynamicLibrary(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

}  // namespace tomeva::platform

#endif  // TOMEVA_PLATFORM_DYNAMIC_LIBRARY_H_
