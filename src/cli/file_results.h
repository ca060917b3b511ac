// What the plugin's file operation results mean, in words for the command line.
#ifndef TOMEVA_CLI_FILE_RESULTS_H_
#define TOMEVA_CLI_FILE_RESULTS_H_

#include <optional>
#include <string>
#include <string_view>

namespace tomeva::cli {

// A short explanation of an FS_FILE_* result ("the file could not be read").
std::string FileResultMeaning(int code);

// The reason to show: the plugin's own message when it gave one, else the
// meaning of code. The plugin's message names what failed ("cannot import
// FILE: why"); when it starts with context + ": ", the program, which says
// that itself, shows only the rest.
std::string ReasonText(const std::optional<std::string>& plugin_reason, int code,
                       std::string_view context = {});

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_FILE_RESULTS_H_
