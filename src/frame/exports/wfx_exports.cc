// The exported surface of Tomeva.wfx: the file-system plugin entry points the host
// calls, with plain C names. Each one takes the plugin lock, turns the host's
// arguments into the core's types, and turns the outcome into the interface's
// result codes. No exception crosses this boundary.
#include <cerrno>
#include <cstring>
#include <string>

#include "frame/plugin.h"
#include "frame/startup.h"
#include "frame/upgrade.h"
#include "platform/module.h"
#include "wfx_plugin.h"

#define TOMEVA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using tomeva::frame::Guarded;
using tomeva::frame::Session;

// Copies text into a host buffer of maxlen bytes, cut so that the terminating
// zero fits.
void CopyToHost(const std::string& text, char* buffer, int maxlen) {
  if (buffer == nullptr || maxlen <= 0) return;
  size_t n = std::min(text.size(), static_cast<size_t>(maxlen) - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

std::string ThisModulePath() {
  return tomeva::platform::ModulePathOf(reinterpret_cast<const void*>(&CopyToHost));
}

}  // namespace

TOMEVA_EXPORT int FsInit(int PluginNr, tProgressProc pProgressProc, tLogProc pLogProc,
                         tRequestProc pRequestProc) {
  return Guarded(-1, [&](Session& session) {
    session.host = {PluginNr, pProgressProc, pLogProc, pRequestProc};
    session.module_path = ThisModulePath();
    return tomeva::frame::StartSession(session);
  });
}

TOMEVA_EXPORT HANDLE FsFindFirst(char* Path, WIN32_FIND_DATAA* FindData) {
  if (FindData != nullptr) std::memset(FindData, 0, sizeof(*FindData));
  (void)Path;
  return INVALID_HANDLE_VALUE;
}

TOMEVA_EXPORT BOOL FsFindNext(HANDLE Hdl, WIN32_FIND_DATAA* FindData) {
  (void)Hdl;
  if (FindData != nullptr) std::memset(FindData, 0, sizeof(*FindData));
  return FALSE;
}

TOMEVA_EXPORT int FsFindClose(HANDLE Hdl) {
  (void)Hdl;
  return 0;
}

TOMEVA_EXPORT void FsGetDefRootName(char* DefRootName, int maxlen) {
  CopyToHost("MyTomeva", DefRootName, maxlen);
}

TOMEVA_EXPORT int FsExecuteFile(HWND MainWin, char* RemoteName, char* Verb) {
  (void)MainWin;
  (void)RemoteName;
  (void)Verb;
  return FS_EXEC_YOURSELF;
}

TOMEVA_EXPORT void FsSetDefaultParams(FsDefaultParamStruct* dps) {
  // Nothing to keep: the plugin reads only its own settings document.
  (void)dps;
}

TOMEVA_EXPORT int FsGetBackgroundFlags(void) {
  // Copies may run on the host's worker threads: the plugin lock serialises them.
  return BG_DOWNLOAD | BG_UPLOAD;
}

// Upgrades the catalog of the settings found the usual way, then ends the session.
TOMEVA_EXPORT void UpdateDB5_6(void) {
  Guarded(0, [&](Session& session) {
    session.host = {};
    session.module_path = ThisModulePath();
    tomeva::frame::StartSession(session);
    tomeva::frame::UpgradeCatalog(session.catalog.get());
    session.Unload();
    return 0;
  });
}
