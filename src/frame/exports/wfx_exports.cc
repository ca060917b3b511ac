// Session entry points of Tomeva.wfx: start-up, the root name, execution, the
// host's parameters and background flags, and the catalog upgrade. Each entry
// point takes the plugin lock; no exception crosses this boundary.
#include "frame/exports/export_util.h"
#include "frame/plugin.h"
#include "frame/startup.h"
#include "frame/upgrade.h"

using tomeva::frame::Guarded;
using tomeva::frame::Session;

TOMEVA_EXPORT int FsInit(int PluginNr, tProgressProc pProgressProc, tLogProc pLogProc,
                         tRequestProc pRequestProc) {
  return Guarded(-1, [&](Session& session) {
    session.host = {PluginNr, pProgressProc, pLogProc, pRequestProc};
    session.module_path = tomeva::frame::ThisModulePath();
    return tomeva::frame::StartSession(session);
  });
}

TOMEVA_EXPORT void FsGetDefRootName(char* DefRootName, int maxlen) {
  tomeva::frame::CopyToHost("MyTomeva", DefRootName, maxlen);
}

TOMEVA_EXPORT int FsExecuteFile(HWND, char*, char*) { return FS_EXEC_YOURSELF; }

TOMEVA_EXPORT void FsSetDefaultParams(FsDefaultParamStruct*) {
  // Nothing to keep: the plugin reads only its own settings document.
}

TOMEVA_EXPORT int FsGetBackgroundFlags(void) {
  // Copies may run on the host's worker threads: the plugin lock serialises them.
  return BG_DOWNLOAD | BG_UPLOAD;
}

namespace {

// Operations after which many catalog rows may have changed.
bool ChangesTheCatalog(int operation) {
  switch (operation) {
    case FS_STATUS_OP_PUT_SINGLE:
    case FS_STATUS_OP_PUT_MULTI:
    case FS_STATUS_OP_PUT_MULTI_THREAD:
    case FS_STATUS_OP_RENMOV_SINGLE:
    case FS_STATUS_OP_RENMOV_MULTI:
    case FS_STATUS_OP_DELETE:
    case FS_STATUS_OP_SYNC_PUT:
    case FS_STATUS_OP_SYNC_DELETE:
      return true;
    default:
      return false;
  }
}

}  // namespace

// Each entry point is complete in itself; the end of an operation that changed
// the catalog refreshes the query planner's statistics, so that listings stay
// fast as the library grows.
TOMEVA_EXPORT void FsStatusInfo(char*, int InfoStartEnd, int InfoOperation) {
  Guarded(0, [&](Session& session) {
    // Column values read before or during an operation may no longer hold.
    session.column_values.clear();
    if (InfoStartEnd == FS_STATUS_END && ChangesTheCatalog(InfoOperation) && session.catalog) {
      (void)session.catalog->RefreshStatistics();
    }
    return 0;
  });
}

// Upgrades the catalog of the settings found the usual way, then ends the
// session, so that nothing of it is left for the unload.
TOMEVA_EXPORT void UpdateDB5_6(void) {
  Guarded(0, [&](Session& session) {
    // Only the log is kept: it tells the host why an upgrade failed.
    const tomeva::frame::HostCallbacks host = session.host;
    session.host = {};
    session.host.plugin_nr = host.plugin_nr;
    session.host.log = host.log;
    session.module_path = tomeva::frame::ThisModulePath();
    if (tomeva::frame::StartSession(session) != 0) {
      session.LogError("cannot upgrade: no library was found (run 'tomeva init')");
    } else if (!session.catalog) {
      session.LogError("cannot upgrade: " + session.catalog_error);
    } else if (!tomeva::frame::UpgradeCatalog(session.catalog.get())) {
      session.LogError("cannot upgrade the catalog " + session.catalog->FileName());
    }
    session.Unload();
    session.host = host;
    return 0;
  });
}
