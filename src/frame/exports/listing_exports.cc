// Listing entry points: a virtual folder is listed by FsFindFirst, FsFindNext and
// FsFindClose. The handle given to the host is the address of an open listing
// that the session keeps; a handle the session does not know is refused.
#include <cerrno>
#include <cstring>

#include "frame/exports/export_util.h"
#include "frame/host_paths.h"
#include "frame/plugin.h"

using tomeva::frame::Guarded;
using tomeva::frame::Session;
using tomeva::tree::FolderListing;
using tomeva::tree::ListedEntry;

namespace {

void Fill(const ListedEntry& entry, WIN32_FIND_DATAA* data) {
  std::memset(data, 0, sizeof(*data));
  if (entry.is_folder) {
    data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL;
  } else {
    data->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    data->nFileSizeHigh = static_cast<DWORD>(entry.size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(entry.size & 0xFFFFFFFFu);
  }
  // An entry without a date (most folders) carries the interface's marker, so
  // the host shows no date rather than 1601-01-01.
  data->ftLastWriteTime = entry.time ? tomeva::frame::ToFileTime(*entry.time)
                                     : FILETIME{FS_TIME_UNKNOWN_LOW, FS_TIME_UNKNOWN_HIGH};
  tomeva::frame::CopyToHost(entry.name, data->cFileName, sizeof(data->cFileName));
}

}  // namespace

TOMEVA_EXPORT HANDLE FsFindFirst(char* Path, WIN32_FIND_DATAA* FindData) {
  if (FindData == nullptr) return INVALID_HANDLE_VALUE;
  std::memset(FindData, 0, sizeof(*FindData));
  return Guarded(INVALID_HANDLE_VALUE, [&](Session& session) -> HANDLE {
    if (!session.started() || Path == nullptr) return INVALID_HANDLE_VALUE;
    if (!session.catalog) {
      session.LogError(session.catalog_error);
      return INVALID_HANDLE_VALUE;
    }
    session.column_values.clear();
    std::unique_ptr<FolderListing> listing;
    FolderListing::OpenOutcome outcome =
        FolderListing::Open(session.View(), tomeva::frame::FolderFromHost(Path), listing);
    if (outcome == FolderListing::OpenOutcome::kEmpty) errno = ERROR_NO_MORE_FILES;
    if (outcome != FolderListing::OpenOutcome::kOpened) return INVALID_HANDLE_VALUE;
    std::optional<ListedEntry> first = listing->Next();
    if (!first) {
      errno = ERROR_NO_MORE_FILES;
      return INVALID_HANDLE_VALUE;
    }
    Fill(*first, FindData);
    HANDLE handle = listing.get();
    session.listings.emplace(handle, std::move(listing));
    return handle;
  });
}

TOMEVA_EXPORT BOOL FsFindNext(HANDLE Hdl, WIN32_FIND_DATAA* FindData) {
  if (FindData == nullptr) return FALSE;
  std::memset(FindData, 0, sizeof(*FindData));
  return Guarded(FALSE, [&](Session& session) -> BOOL {
    auto it = session.listings.find(Hdl);
    if (it == session.listings.end()) return FALSE;
    std::optional<ListedEntry> entry = it->second->Next();
    if (!entry) return FALSE;
    Fill(*entry, FindData);
    return TRUE;
  });
}

TOMEVA_EXPORT int FsFindClose(HANDLE Hdl) {
  return Guarded(0, [&](Session& session) {
    session.listings.erase(Hdl);
    return 0;
  });
}
