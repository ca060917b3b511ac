// Meanings of the FS_FILE_* results.
#include "cli/file_results.h"

#include "wfx_plugin.h"

namespace tomeva::cli {

std::string FileResultMeaning(int code) {
  switch (code) {
    case FS_FILE_OK: return "done";
    case FS_FILE_EXISTS:
    case FS_FILE_EXISTSRESUMEALLOWED: return "the target already exists";
    case FS_FILE_NOTFOUND: return "not found";
    case FS_FILE_READERROR: return "the file could not be read or is not a valid book";
    case FS_FILE_WRITEERROR: return "the target could not be written";
    case FS_FILE_USERABORT: return "aborted";
    case FS_FILE_NOTSUPPORTED: return "the plugin does not support this";
  }
  return "the plugin failed with result " + std::to_string(code);
}

std::string ReasonText(const std::optional<std::string>& plugin_reason, int code,
                       std::string_view context) {
  if (!plugin_reason || plugin_reason->empty()) return FileResultMeaning(code);
  const std::string& reason = *plugin_reason;
  if (!context.empty() && reason.size() > context.size() + 2 && reason.starts_with(context) &&
      reason.compare(context.size(), 2, ": ") == 0) {
    return reason.substr(context.size() + 2);
  }
  return reason;
}

}  // namespace tomeva::cli
