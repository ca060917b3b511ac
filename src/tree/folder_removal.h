// Removing a virtual folder. A folder exists only while the catalog gives it
// entries, so removing one changes nothing in the catalog: it succeeds once the
// folder is gone by itself (its books were deleted or taken out of it) and is
// refused while it still shows.
#ifndef TOMEVA_TREE_FOLDER_REMOVAL_H_
#define TOMEVA_TREE_FOLDER_REMOVAL_H_

#include <string_view>

#include "tree/catalog_view.h"

namespace tomeva::tree {

// What removing a folder would find.
enum class FolderRemoval {
  kGone,         // the folder lists nothing and its parent no longer lists it
  kNotEmpty,     // the folder still lists books or folders
  kStillListed,  // empty, but a fixed folder its parent always shows (or the root)
  kFailed,       // a listing query could not run
};

// Checks the folder path ("\" separated, without a trailing "\").
FolderRemoval CheckFolderRemoval(const CatalogView& view, std::string_view path);

}  // namespace tomeva::tree

#endif  // TOMEVA_TREE_FOLDER_REMOVAL_H_
