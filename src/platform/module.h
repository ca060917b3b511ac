// Where the running code was loaded from: the file system plugin finds its
// settings and field definitions beside its own shared object.
#ifndef TOMEVA_PLATFORM_MODULE_H_
#define TOMEVA_PLATFORM_MODULE_H_

#include <string>

namespace tomeva::platform {

// Absolute file name of the shared object (or program) that contains address,
// as it was loaded (a symbolic link on the way is not followed); empty when it
// cannot be found.
std::string ModulePathOf(const void* address);

// Absolute file name of the running program (the host, when the plugin asks).
std::string ExecutablePath();

}  // namespace tomeva::platform

#endif  // TOMEVA_PLATFORM_MODULE_H_
