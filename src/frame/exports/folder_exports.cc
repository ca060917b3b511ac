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

TOMEVA_EXPORT BOOL FsMkDir(char* Path) {
  if (Path == nullptr || Path[0] == '\0') return FALSE;
  return Guarded(FALSE, [&](Session& session) -> BOOL {
    // Without a catalog no book could follow.
    return session.started() && session.catalog != nullptr ? TRUE : FALSE;
  });
}

TOMEVA_EXPORT BOOL FsRemoveDir(char* RemoteName) {
  if (RemoteName == nullptr) return FALSE;
  const std::string path = tomeva::frame::FolderFromHost(RemoteName);
  return Guarded(FALSE, [&](Session& session) -> BOOL {
    if (!session.started() || session.catalog == nullptr) return FALSE;
    session.column_values.clear();
    return tomeva::tree::CheckFolderRemoval(session.View(), path) ==
                   tomeva::tree::FolderRemoval::kGone
               ? TRUE
               : FALSE;
  });
}
