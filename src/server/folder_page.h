// One page of a virtual folder as the server shows it: the entries the tree's
// own listing gives (so the reader sees what the file manager shows), cut into
// pages, with the catalog record of every book on the page. The catalog counts
// the folder's entries and the listing is read only up to the page's end, so
// the first pages of a folder of a million books cost what a small folder does.
#ifndef TOMEVA_SERVER_FOLDER_PAGE_H_
#define TOMEVA_SERVER_FOLDER_PAGE_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/book_record.h"
#include "server/folder_counts.h"
#include "tree/catalog_view.h"
#include "tree/folder_listing.h"

namespace tomeva::server {

// Entries per page of a feed or a folder page.
inline constexpr size_t kPageSize = 100;

struct PageEntry {
  tree::ListedEntry listed;
  std::string path;                 // the entry's virtual path
  std::optional<BookRecord> book;   // files only, when the path resolves to a book
};

struct FolderPage {
  std::string path;  // the folder's virtual path
  std::vector<PageEntry> entries;
  size_t total = 0;       // entries of the whole folder
  size_t page = 1;        // 1-based
  size_t page_count = 1;  // at least 1, also for an empty folder
  bool has_books = false;
};

enum class PageOutcome { kListed, kNoSuchFolder, kNoSuchPage, kFailed };

// Lists page (1-based) of the folder at virtual path into out. kNoSuchFolder
// when no folder definition serves path; kNoSuchPage for a page past the last
// (page 1 of an empty folder exists). The folder's size comes from counts.
PageOutcome ListFolderPage(const tree::CatalogView& view, std::string_view path, size_t page,
                           FolderCounts& counts, FolderPage& out);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_FOLDER_PAGE_H_
