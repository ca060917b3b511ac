// The init command: a new library folder with its settings (a copy of the default
// Tomeva.xml), an empty catalog holding the genre names, the folder for book
// files, and Tomeva.ini beside the plugin pointing the plugin (and so the file
// manager) at that folder.
#ifndef TOMEVA_CLI_LIBRARY_INIT_H_
#define TOMEVA_CLI_LIBRARY_INIT_H_

#include <optional>
#include <string>

namespace tomeva::cli {

struct InitOptions {
  std::optional<std::string> library_dir;  // default: ~/Tomeva
  bool force = false;                      // replace an existing library's settings and catalog
  std::string plugin_path;                 // Tomeva.ini is written beside it
  bool plugin_named = false;               // --plugin was given (repeated in the next command)
};

// Creates the library and prints what it made and the command to run next.
// Returns the exit code: 0 done, 1 refused (a library exists, no --force) or failed.
int RunInit(const InitOptions& options);

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_LIBRARY_INIT_H_
