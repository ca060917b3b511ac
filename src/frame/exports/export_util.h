// Helpers shared by the exported entry points: the export attribute, copying text
// into host buffers, and time conversion to the host's FILETIME.
#ifndef TOMEVA_FRAME_EXPORTS_EXPORT_UTIL_H_
#define TOMEVA_FRAME_EXPORTS_EXPORT_UTIL_H_

#include <chrono>
#include <string>

#include "wfx_plugin.h"

#define TOMEVA_EXPORT extern "C" __attribute__((visibility("default")))

namespace tomeva::frame {

// Copies text into a host buffer of maxlen bytes, cut on a character boundary so
// that the terminating zero fits.
void CopyToHost(const std::string& text, char* buffer, int maxlen);

// 100 ns intervals since 1601-01-01 UTC.
FILETIME ToFileTime(std::chrono::sys_seconds time);

// The file name of this plugin's shared object.
std::string ThisModulePath();

}  // namespace tomeva::frame

#endif  // TOMEVA_FRAME_EXPORTS_EXPORT_UTIL_H_
