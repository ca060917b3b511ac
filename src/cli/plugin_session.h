// A started plugin as the commands use it: the loaded Tomeva.wfx, the host
// callbacks it was started with, listing through FsFindFirst/Next/Close, and the
// FsStatusInfo brackets a file manager puts around operations.
#ifndef TOMEVA_CLI_PLUGIN_SESSION_H_
#define TOMEVA_CLI_PLUGIN_SESSION_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/format.h"
#include "cli/host.h"
#include "cli/plugin_api.h"
#include "platform/result.h"

namespace tomeva::cli {

// The text given for the settings file prompt and for a failed start.
inline constexpr const char kNoLibraryMessage[] =
    "no library found; run 'tomeva init DIR' or pass --settings FILE";

class PluginSession {
 public:
  // Loads the plugin at plugin_path, gives it the host's default parameters
  // (when it takes them) and calls FsInit with the command line's callbacks;
  // settings_file answers the plugin's settings prompt. The error is one line
  // (without the "tomeva: " prefix); the plugin's messages explaining a failed
  // start are printed before it.
  static Result<std::unique_ptr<PluginSession>> Start(const std::string& plugin_path,
                                                      std::optional<std::string> settings_file);

  // Only Start makes sessions; the key keeps the constructor usable by make_unique.
  class Key {
    friend class PluginSession;
    Key() = default;
  };
  PluginSession(Key, LoadedPlugin plugin, std::optional<std::string> settings_file);

  PluginSession(const PluginSession&) = delete;
  PluginSession& operator=(const PluginSession&) = delete;

  const PluginEntryPoints& api() const { return plugin_.api(); }
  const std::string& plugin_path() const { return plugin_.path(); }
  Host& host() { return host_; }

  // The entries of the virtual folder path, "." and ".." left out; an empty
  // vector for an empty folder, nullopt when the plugin does not serve path.
  std::optional<std::vector<Entry>> List(std::string_view path);

  // The entry path names, found in the listing of its folder; nullopt when that
  // folder does not list it.
  std::optional<Entry> FindEntry(std::string_view path);

  // True when path is the root or its folder lists it as a folder.
  bool IsFolder(std::string_view path);

  // Announces an operation with FsStatusInfo (when exported) until destroyed.
  class StatusScope {
   public:
    StatusScope(PluginSession& session, std::string_view remote_dir, int operation);
    ~StatusScope();
    StatusScope(const StatusScope&) = delete;
    StatusScope& operator=(const StatusScope&) = delete;

   private:
    PluginSession& session_;
    std::string remote_dir_;
    int operation_;
  };

 private:
  void CallStatusInfo(const std::string& remote_dir, int start_end, int operation);

  // Declared first so it outlives the plugin, which may call back while it unloads.
  Host host_;
  LoadedPlugin plugin_;
};

// The record a file manager hands to FsGetFile and FsRenMovFile: the listed
// size, date and attributes of the entry (zero size and time when not listed).
RemoteInfoStruct RemoteInfoOf(const std::optional<Entry>& entry);

// A zero-terminated copy of text in a buffer of at least the size file managers
// pass, so the plugin may write within its usual limits.
std::vector<char> HostBuffer(std::string_view text);

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_PLUGIN_SESSION_H_
