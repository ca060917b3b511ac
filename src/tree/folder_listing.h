// Folder listing: a virtual folder exists only as one SQL query built on the
// spot from the folder definitions of the settings document. ListFolderSql
// turns a virtual folder path into that query; FolderListing runs it and hands
// out its rows one entry at a time, as the host's find calls want them.
#ifndef TOMEVA_TREE_FOLDER_LISTING_H_
#define TOMEVA_TREE_FOLDER_LISTING_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/database.h"
#include "tree/catalog_view.h"

namespace tomeva::tree {

// The complete listing query for a virtual folder path ("\" separated, the root
// is "\"): one SELECT of the columns Name, Dir, fSize, fDate per folder
// definition whose initial-path matches path + "\", joined with " UNION " and
// ended by ";". Captured values are mapped back from their shown form
// (StoredText) and always enter the SQL as literals of their own. Empty when no
// definition serves the path, and for a path holding a line break.
std::string ListFolderSql(const CatalogView& view, std::string_view path);

// The number of rows the listing query of path gives, counted by the catalog
// without reading them (so a folder of a million books is counted as quickly
// as its index allows); nullopt when no definition serves path or the count
// fails. Rows that FolderListing::Next passes over (empty, "." and ".." names)
// are counted too.
std::optional<int64_t> CountFolderRows(const CatalogView& view, std::string_view path);

// One entry of a listing, as the host shows it.
struct ListedEntry {
  std::string name;  // DisplayName of column 1: no "/", no NUL, at most 259 bytes
  bool is_folder = false;
  uint64_t size = 0;                              // files only; 0 when null or negative
  std::optional<std::chrono::sys_seconds> time;   // files only; nullopt when null
};

// An open listing: the query's rows are read one per Next call, so memory stays
// flat whatever the folder's size. Each listing owns its own result set on the
// session's connection, which must outlive it.
class FolderListing {
 public:
  enum class OpenOutcome {
    kOpened,     // listing holds the open listing, its first entry ready
    kNotServed,  // no folder definition serves the path (the folder does not exist)
    kEmpty,      // served, but the query gave no entry (an empty folder)
    kFailed,     // served, but the query could not run
  };

  // Builds and opens the listing of path. listing is set only with kOpened and
  // reset otherwise. A query whose rows lack the Dir column lists nothing and
  // reports kEmpty.
  static OpenOutcome Open(const CatalogView& view, std::string_view path,
                          std::unique_ptr<FolderListing>& listing);

  // Lists the rows of an open result set (columns Name, Dir, fSize, fDate);
  // Open is the usual way in.
  explicit FolderListing(std::unique_ptr<catalog::ResultSet> rows);
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;
  ~FolderListing();

  // The next entry; nullopt at the end or on an error of the query. Rows whose
  // shown name is empty, "." or ".." are passed over: the host could not open
  // them.
  std::optional<ListedEntry> Next();

 private:
  // Reads the current row and advances; nullopt at the end or on an error.
  std::optional<ListedEntry> ReadRow();

  std::unique_ptr<catalog::ResultSet> rows_;
  std::optional<ListedEntry> first_;  // read by Open, handed out by the first Next
};

}  // namespace tomeva::tree

#endif  // TOMEVA_TREE_FOLDER_LISTING_H_
