// Folder entry points. Folders of the tree are made by the catalog, not by the
// user: FsMkDir accepts any new folder, because the books then copied into it
// are filed by their own metadata wherever they are dropped; FsRemoveDir
// succeeds once the folder has gone by itself (after its books were deleted or
// taken out of it) and refuses while it still shows.
#include <string>

#include "frame/exports/export_util.h"
#include "frame/host_paths.h"
#include "frame/plugin.h"
#include "tree/folder_removal.h"

using tomeva::frame::Guarded;
using tomeva::frame::Session;

namespace {

// Why a folder is not removed, for the host's log; "" when it is gone.
std::string RefusalReason(tomeva::tree::FolderRemoval removal) {
  switch (removal) {
    case tomeva::tree::FolderRemoval::kGone: return {};
    case tomeva::tree::FolderRemoval::kNotEmpty: return "it still holds books or folders";
    case tomeva::tree::FolderRemoval::kStillListed: return "the catalog always shows it";
    case tomeva::tree::FolderRemoval::kFailed: return "it cannot be read from the catalog";
  }
  return "it cannot be read from the catalog";
}

}  // namespace

TOMEVA_EXPORT BOOL FsMkDir(char* Path) {
  if (Path == nullptr || Path[0] == '\0') return FALSE;
  return Guarded(FALSE, [&](Session& session) -> BOOL {
    if (!session.started()) return FALSE;
    // Without a catalog no book could follow.
    if (!session.catalog) {
      session.LogError(session.catalog_error);
      return FALSE;
    }
    return TRUE;
  });
}

TOMEVA_EXPORT BOOL FsRemoveDir(char* RemoteName) {
  if (RemoteName == nullptr) return FALSE;
  const std::string host_path = RemoteName;
  const std::string path = tomeva::frame::FolderFromHost(host_path);
  return Guarded(FALSE, [&](Session& session) -> BOOL {
    if (!session.started()) return FALSE;
    if (!session.catalog) {
      session.LogError(session.catalog_error);
      return FALSE;
    }
    session.column_values.clear();
    const std::string reason =
        RefusalReason(tomeva::tree::CheckFolderRemoval(session.View(), path));
    if (reason.empty()) return TRUE;
    session.LogError("cannot remove the folder " + host_path + ": " + reason);
    return FALSE;
  });
}
