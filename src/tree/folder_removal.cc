// Folder removal checks, made with the folder listings themselves.
#include "tree/folder_removal.h"

#include <memory>
#include <optional>

#include "tree/folder_listing.h"

namespace tomeva::tree {

FolderRemoval CheckFolderRemoval(const CatalogView& view, std::string_view path) {
  const size_t cut = path.rfind('\\');
  if (path.empty() || cut == std::string_view::npos || cut + 1 == path.size()) {
    return FolderRemoval::kStillListed;  // the root, or no folder name
  }
  std::unique_ptr<FolderListing> listing;
  switch (FolderListing::Open(view, path, listing)) {
    case FolderListing::OpenOutcome::kOpened: return FolderRemoval::kNotEmpty;
    case FolderListing::OpenOutcome::kFailed: return FolderRemoval::kFailed;
    case FolderListing::OpenOutcome::kEmpty:
    case FolderListing::OpenOutcome::kNotServed: break;
  }
  const std::string_view parent = cut == 0 ? std::string_view("\\") : path.substr(0, cut);
  const std::string_view name = path.substr(cut + 1);
  std::unique_ptr<FolderListing> siblings;
  switch (FolderListing::Open(view, parent, siblings)) {
    case FolderListing::OpenOutcome::kFailed: return FolderRemoval::kFailed;
    case FolderListing::OpenOutcome::kEmpty:
    case FolderListing::OpenOutcome::kNotServed: return FolderRemoval::kGone;
    case FolderListing::OpenOutcome::kOpened: break;
  }
  for (std::optional<ListedEntry> entry = siblings->Next(); entry; entry = siblings->Next()) {
    if (entry->is_folder && entry->name == name) return FolderRemoval::kStillListed;
  }
  return FolderRemoval::kGone;
}

}  // namespace tomeva::tree
