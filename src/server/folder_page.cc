// Paging a folder's listing and looking up the books on the page.
#include "server/folder_page.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "server/request_path.h"
#include "tree/path_resolution.h"

namespace tomeva::server {

PageOutcome ListFolderPage(const tree::CatalogView& view, std::string_view path, size_t page,
                           FolderCounts& counts, FolderPage& out) {
  out = FolderPage();
  out.path = std::string(path);
  out.page = page;
  if (page == 0) return PageOutcome::kNoSuchPage;
  std::unique_ptr<tree::FolderListing> listing;
  switch (tree::FolderListing::Open(view, path, listing)) {
    case tree::FolderListing::OpenOutcome::kNotServed: return PageOutcome::kNoSuchFolder;
    case tree::FolderListing::OpenOutcome::kFailed: return PageOutcome::kFailed;
    case tree::FolderListing::OpenOutcome::kEmpty: break;
    case tree::FolderListing::OpenOutcome::kOpened: break;
  }
  const size_t first = (page - 1) * kPageSize;
  if (listing != nullptr) {
    // The catalog counts the folder; the listing is read only as far as the
    // page's last entry. Without a count the whole listing is read for it.
    const std::optional<int64_t> rows = counts.Count(view, path);
    const size_t end = rows ? first + kPageSize : SIZE_MAX;
    size_t seen = 0;
    while (seen < end) {
      std::optional<tree::ListedEntry> entry = listing->Next();
      if (!entry) break;
      if (seen >= first) out.entries.push_back({std::move(*entry), std::string(), std::nullopt});
      ++seen;
    }
    out.total = rows ? std::max(static_cast<size_t>(*rows), seen) : seen;
  }
  listing.reset();  // its statement is done with before the lookups run
  out.page_count = out.total == 0 ? 1 : (out.total + kPageSize - 1) / kPageSize;
  if (page > out.page_count) return PageOutcome::kNoSuchPage;
  std::vector<int32_t> ids(out.entries.size(), -1);
  for (size_t i = 0; i < out.entries.size(); ++i) {
    PageEntry& entry = out.entries[i];
    entry.path = VirtualChild(path, entry.listed.name);
    if (!entry.listed.is_folder && view.db != nullptr) ids[i] = tree::BookIdOfPath(view, entry.path);
  }
  if (view.db == nullptr) return PageOutcome::kListed;
  std::map<int32_t, BookRecord> books = ReadBookRecords(*view.db, ids);
  for (size_t i = 0; i < out.entries.size(); ++i) {
    auto found = books.find(ids[i]);
    if (found == books.end()) continue;
    out.entries[i].book = found->second;
    out.has_books = true;
  }
  return PageOutcome::kListed;
}

}  // namespace tomeva::server
