// Resolution of the plugin's entry points by name.
#include "cli/plugin_api.h"

#include "platform/files.h"

namespace tomeva::cli {
namespace {

// Stores the address of the export name in *slot (null when missing).
template <typename Function>
void Resolve(const platform::DynamicLibrary& library, const char* name, Function*& slot) {
  slot = reinterpret_cast<Function*>(library.Symbol(name));
}

}  // namespace

Result<LoadedPlugin> LoadedPlugin::Load(const std::string& path) {
  if (!platform::FileExists(path)) {
    return Error{"plugin not found: " + path +
                 "; build it (target tomeva_wfx) or name it with --plugin FILE"};
  }
  Result<platform::DynamicLibrary> library = platform::DynamicLibrary::Open(path);
  if (!library.ok()) {
    return Error{"cannot load the plugin " + path + " (" + library.message() +
                 "); rebuild it or name another one with --plugin FILE"};
  }
  LoadedPlugin plugin;
  plugin.library_ = std::move(library).value();
  plugin.path_ = path;
  PluginEntryPoints& api = plugin.api_;
  Resolve(plugin.library_, "FsInit", api.init);
  Resolve(plugin.library_, "FsFindFirst", api.find_first);
  Resolve(plugin.library_, "FsFindNext", api.find_next);
  Resolve(plugin.library_, "FsFindClose", api.find_close);
  Resolve(plugin.library_, "FsSetDefaultParams", api.set_default_params);
  Resolve(plugin.library_, "FsGetFile", api.get_file);
  Resolve(plugin.library_, "FsPutFile", api.put_file);
  Resolve(plugin.library_, "FsDeleteFile", api.delete_file);
  Resolve(plugin.library_, "FsRenMovFile", api.ren_mov_file);
  Resolve(plugin.library_, "FsGetLocalName", api.get_local_name);
  Resolve(plugin.library_, "FsLinksToLocalFiles", api.links_to_local_files);
  Resolve(plugin.library_, "FsGetPreviewBitmap", api.get_preview_bitmap);
  Resolve(plugin.library_, "FsStatusInfo", api.status_info);
  Resolve(plugin.library_, "UpdateDB5_6", api.update_db);
  Resolve(plugin.library_, "TomevaPutFiles", api.put_files);
  const char* missing = api.init == nullptr         ? "FsInit"
                        : api.find_first == nullptr ? "FsFindFirst"
                        : api.find_next == nullptr  ? "FsFindNext"
                        : api.find_close == nullptr ? "FsFindClose"
                                                    : nullptr;
  if (missing != nullptr) {
    return Error{"the plugin " + path + " does not export " + missing +
                 ", so it is not a file-system plugin; name Tomeva.wfx with --plugin FILE"};
  }
  return plugin;
}

std::string MissingEntryPointMessage(const std::string& plugin_path, const char* name) {
  return "the plugin " + plugin_path + " does not export " + name +
         ", so this command is not available; use a newer Tomeva.wfx";
}

}  // namespace tomeva::cli
