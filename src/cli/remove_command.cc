// The rm command: books deleted with FsDeleteFile, as a file manager deletes them.
#include "cli/commands.h"
#include "cli/file_results.h"
#include "cli/terminal.h"
#include "cli/virtual_path.h"

namespace tomeva::cli {

int RunRemove(PluginSession& session, const std::vector<std::string>& paths) {
  if (session.api().delete_file == nullptr) {
    PrintError(MissingEntryPointMessage(session.plugin_path(), "FsDeleteFile"));
    return kExitFailed;
  }
  PluginSession::StatusScope status(session, VirtualParent(paths.front()), FS_STATUS_OP_DELETE);
  int exit_code = kExitOk;
  for (const std::string& path : paths) {
    if (InterruptRequested()) {
      PrintError("aborted");
      return kInterruptedExitCode;
    }
    std::vector<char> remote = HostBuffer(NormalVirtualPath(path));
    session.host().BeginOperation();
    if (!session.api().delete_file(remote.data())) {
      PrintError("cannot delete " + path + ": " +
                 ReasonText(session.host().FailureReason(), FS_FILE_WRITEERROR,
                            "cannot delete " + std::string(remote.data())));
      exit_code = kExitFailed;
    }
  }
  return exit_code;
}

}  // namespace tomeva::cli
