// Loading Tomeva.wfx the way a file manager does: dlopen the shared object and
// resolve every entry point by its plain C name. The required listing and start-up
// entry points must be there; the others are optional and a command that needs a
// missing one says so.
#ifndef TOMEVA_CLI_PLUGIN_API_H_
#define TOMEVA_CLI_PLUGIN_API_H_

#include <string>

#include "platform/dynamic_library.h"
#include "platform/result.h"
#include "tomeva_plugin.h"
#include "wfx_plugin.h"

namespace tomeva::cli {

// The plugin's entry points; optional ones are null when not exported.
struct PluginEntryPoints {
  int (*init)(int, tProgressProc, tLogProc, tRequestProc) = nullptr;
  HANDLE (*find_first)(char*, WIN32_FIND_DATAA*) = nullptr;
  BOOL (*find_next)(HANDLE, WIN32_FIND_DATAA*) = nullptr;
  int (*find_close)(HANDLE) = nullptr;

  void (*set_default_params)(FsDefaultParamStruct*) = nullptr;
  int (*get_file)(char*, char*, int, RemoteInfoStruct*) = nullptr;
  int (*put_file)(char*, char*, int) = nullptr;
  BOOL (*delete_file)(char*) = nullptr;
  int (*ren_mov_file)(char*, char*, BOOL, BOOL, RemoteInfoStruct*) = nullptr;
  BOOL (*get_local_name)(char*, int) = nullptr;
  BOOL (*links_to_local_files)() = nullptr;
  int (*get_preview_bitmap)(char*, int, int, HBITMAP*) = nullptr;
  void (*status_info)(char*, int, int) = nullptr;
  void (*update_db)() = nullptr;
  // Tomeva's own: many books imported in batches (null: FsPutFile one by one).
  int (*put_files)(int, char**, char**, int, tTomevaPutResultProc, void*) = nullptr;
};

// A loaded plugin: the library stays loaded as long as this object lives.
class LoadedPlugin {
 public:
  LoadedPlugin(LoadedPlugin&&) = default;
  LoadedPlugin& operator=(LoadedPlugin&&) = default;

  // Loads the plugin at path and resolves its entry points. Fails with a
  // one-line message naming the file when it is missing, cannot be loaded, or
  // lacks a required entry point.
  static Result<LoadedPlugin> Load(const std::string& path);

  const PluginEntryPoints& api() const { return api_; }
  const std::string& path() const { return path_; }

 private:
  LoadedPlugin() = default;

  platform::DynamicLibrary library_;
  PluginEntryPoints api_;
  std::string path_;
};

// The message for a command that needs an entry point the plugin does not export.
std::string MissingEntryPointMessage(const std::string& plugin_path, const char* name);

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_PLUGIN_API_H_
