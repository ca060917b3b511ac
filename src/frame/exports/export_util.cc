// Helpers of the exported entry points.
#include "frame/exports/export_util.h"

#include <cstring>

#include "common/utf8.h"
#include "platform/module.h"

namespace tomeva::frame {

void CopyToHost(const std::string& text, char* buffer, int maxlen) {
  if (buffer == nullptr || maxlen <= 0) return;
  std::string_view fitting = Utf8PrefixBytes(text, static_cast<size_t>(maxlen) - 1);
  std::memcpy(buffer, fitting.data(), fitting.size());
  buffer[fitting.size()] = '\0';
}

FILETIME ToFileTime(std::chrono::sys_seconds time) {
  constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
  int64_t seconds = time.time_since_epoch().count() + kSecondsFrom1601To1970;
  if (seconds < 0) seconds = 0;
  uint64_t ticks = static_cast<uint64_t>(seconds) * 10000000u;
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

std::string ThisModulePath() {
  return platform::ModulePathOf(reinterpret_cast<const void*>(&ThisModulePath));
}

}  // namespace tomeva::frame
