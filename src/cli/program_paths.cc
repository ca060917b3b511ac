// Locations of the program, the plugin and the default configuration.
#include "cli/program_paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "platform/files.h"
#include "platform/module.h"

namespace tomeva::cli {

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) return path;
  std::string text = absolute.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

namespace {

// The program file a bare command name was started from, found the way the shell
// found it: the first folder of $PATH that holds an executable of that name.
std::string FindInSearchPath(const std::string& name) {
  const char* search = std::getenv("PATH");
  std::string_view folders = search != nullptr ? search : "";
  while (!folders.empty()) {
    size_t colon = folders.find(':');
    std::string folder(folders.substr(0, colon));
    folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0 && platform::FileExists(candidate)) {
      return AbsolutePath(candidate);
    }
  }
  return {};
}

}  // namespace

std::string ProgramFolder() {
  std::string program = platform::ModulePathOf(reinterpret_cast<const void*>(&ProgramFolder));
  // For the main program the loader reports the name it was started by; a bare
  // name started through $PATH does not name a file in the current folder.
  if (!platform::FileExists(program)) {
    std::string found = FindInSearchPath(std::filesystem::path(program).filename().string());
    if (!found.empty()) program = found;
  }
  // The program's own folder, also when it was started through a link (one in
  // a folder of $PATH, say): the plugin and config/ are installed beside it.
  std::error_code ec;
  std::filesystem::path real = std::filesystem::canonical(program, ec);
  if (!ec) program = real.string();
  return std::filesystem::path(program).parent_path().string();
}

std::string PluginPath(const std::optional<std::string>& plugin_option) {
  if (plugin_option) return AbsolutePath(*plugin_option);
  return ProgramFolder() + "/Tomeva.wfx";
}

std::optional<std::string> DefaultConfigFolder(const std::string& plugin_path) {
  const std::string candidates[] = {
      ProgramFolder() + "/config",
      std::filesystem::path(plugin_path).parent_path().string() + "/config",
  };
  for (const std::string& folder : candidates) {
    if (platform::FileExists(folder + "/Tomeva.xml")) return folder;
  }
  return std::nullopt;
}

}  // namespace tomeva::cli
