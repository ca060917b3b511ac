// Where the tomeva program finds its companions: the plugin beside its own
// executable, and the default configuration (config/) beside the program or the
// plugin.
#ifndef TOMEVA_CLI_PROGRAM_PATHS_H_
#define TOMEVA_CLI_PROGRAM_PATHS_H_

#include <optional>
#include <string>

namespace tomeva::cli {

// The folder of the running tomeva executable (absolute, no trailing "/").
std::string ProgramFolder();

// The plugin to load: plugin_option made absolute when given, else Tomeva.wfx
// beside the program.
std::string PluginPath(const std::optional<std::string>& plugin_option);

// The first of <program folder>/config and <plugin folder>/config that holds
// Tomeva.xml; nullopt when neither does.
std::optional<std::string> DefaultConfigFolder(const std::string& plugin_path);

// path made absolute against the current folder and normalised.
std::string AbsolutePath(const std::string& path);

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_PROGRAM_PATHS_H_
