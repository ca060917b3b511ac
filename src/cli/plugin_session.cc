// Start-up and listing through the plugin's entry points.
#include "cli/plugin_session.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "cli/virtual_path.h"

namespace tomeva::cli {
namespace {

// The number this host gives the plugin in FsInit.
constexpr int kPluginNr = 0;
// Buffers handed to the plugin are at least this large (a file manager's path
// buffers are 4096 bytes on Linux).
constexpr size_t kHostBufferSize = 4096;

// The host's shared settings file, passed to FsSetDefaultParams as a file
// manager passes its own; the plugin keeps its settings elsewhere and never
// has to create it.
std::string HostIniName() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config) {
    return std::string(config) + "/tomeva/wfx.ini";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home) {
    return std::string(home) + "/.config/tomeva/wfx.ini";
  }
  return "wfx.ini";
}

Entry EntryOf(const WIN32_FIND_DATAA& data) {
  Entry entry;
  entry.name.assign(data.cFileName, strnlen(data.cFileName, sizeof(data.cFileName)));
  entry.is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry.modified = FileTimeToUnix(data.ftLastWriteTime);
  return entry;
}

}  // namespace

std::vector<char> HostBuffer(std::string_view text) {
  std::vector<char> buffer(std::max(text.size() + 1, kHostBufferSize), '\0');
  std::memcpy(buffer.data(), text.data(), text.size());
  return buffer;
}

RemoteInfoStruct RemoteInfoOf(const std::optional<Entry>& entry) {
  RemoteInfoStruct info{};
  info.Attr = FILE_ATTRIBUTE_NORMAL;
  if (!entry) return info;
  info.SizeLow = static_cast<DWORD>(entry->size & 0xFFFFFFFF);
  info.SizeHigh = static_cast<DWORD>(entry->size >> 32);
  if (entry->modified) info.LastWriteTime = UnixToFileTime(*entry->modified);
  if (entry->is_folder) info.Attr = FILE_ATTRIBUTE_DIRECTORY;
  return info;
}

PluginSession::PluginSession(Key, LoadedPlugin plugin, std::optional<std::string> settings_file)
    : host_(std::move(settings_file)), plugin_(std::move(plugin)) {}

Result<std::unique_ptr<PluginSession>> PluginSession::Start(
    const std::string& plugin_path, std::optional<std::string> settings_file) {
  Result<LoadedPlugin> loaded = LoadedPlugin::Load(plugin_path);
  if (!loaded.ok()) return loaded.error();
  auto session = std::make_unique<PluginSession>(Key(), std::move(loaded).value(),
                                                 std::move(settings_file));
  const PluginEntryPoints& api = session->api();
  if (api.set_default_params != nullptr) {
    FsDefaultParamStruct params{};
    params.size = sizeof(params);
    params.PluginInterfaceVersionHi = 2;  // interface 2.0
    params.PluginInterfaceVersionLow = 0;
    std::string ini = HostIniName();
    std::strncpy(params.DefaultIniName, ini.c_str(), sizeof(params.DefaultIniName) - 1);
    api.set_default_params(&params);
  }
  Host& host = session->host_;
  host.HoldMessages();
  int started = api.init(kPluginNr, Host::progress_proc(), Host::log_proc(), Host::request_proc());
  host.ReleaseMessages();
  if (started != 0) return Error{kNoLibraryMessage};
  if (host.settings_given() && !host.settings_answered()) {
    std::cerr << "tomeva: --settings " << host.settings_file()
              << " was not used: the plugin found its own settings (beside " << plugin_path
              << " or through its Tomeva.ini)" << std::endl;
  }
  return session;
}

std::optional<std::vector<Entry>> PluginSession::List(std::string_view path) {
  const PluginEntryPoints& api = this->api();
  std::vector<char> buffer = HostBuffer(NormalVirtualPath(path));
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof(data));
  errno = 0;
  HANDLE handle = api.find_first(buffer.data(), &data);
  if (handle == INVALID_HANDLE_VALUE) {
    if (errno == ERROR_NO_MORE_FILES) return std::vector<Entry>();
    return std::nullopt;
  }
  std::vector<Entry> entries;
  do {
    Entry entry = EntryOf(data);
    if (entry.name.empty() || entry.name == "." || entry.name == "..") continue;
    entries.push_back(std::move(entry));
  } while (api.find_next(handle, &data));
  api.find_close(handle);
  return entries;
}

std::optional<Entry> PluginSession::FindEntry(std::string_view path) {
  std::string name = VirtualName(path);
  if (name.empty()) return std::nullopt;
  std::optional<std::vector<Entry>> entries = List(VirtualParent(path));
  if (!entries) return std::nullopt;
  for (Entry& entry : *entries) {
    if (entry.name == name) return std::move(entry);
  }
  return std::nullopt;
}

bool PluginSession::IsFolder(std::string_view path) {
  if (NormalVirtualPath(path) == "/") return true;
  std::optional<Entry> entry = FindEntry(path);
  return entry && entry->is_folder;
}

void PluginSession::CallStatusInfo(const std::string& remote_dir, int start_end, int operation) {
  if (api().status_info == nullptr) return;
  std::vector<char> buffer = HostBuffer(remote_dir);
  api().status_info(buffer.data(), start_end, operation);
}

PluginSession::StatusScope::StatusScope(PluginSession& session, std::string_view remote_dir,
                                        int operation)
    : session_(session), remote_dir_(NormalVirtualPath(remote_dir)), operation_(operation) {
  session_.CallStatusInfo(remote_dir_, FS_STATUS_START, operation_);
}

PluginSession::StatusScope::~StatusScope() {
  session_.CallStatusInfo(remote_dir_, FS_STATUS_END, operation_);
}

}  // namespace tomeva::cli
