// What the plugin's file operation results mean, in words for the command line.
#ifndef TOMEVA_CLI_FILE_RESULTS_H_
#define TOMEVA_CLI_FILE_RESULTS_H_

#include <optional>
#include <string>

namespace tomeva::cli {

// A short explanation of an FS_FILE_* result ("the file could not be read").
std::string FileResultMeaning(int code);

// The reason to show: the plugin's own message when it gave one, else the
// meaning of code.
std::string ReasonText(const std::optional<std::string>& plugin_reason, int code);

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_FILE_RESULTS_H_
