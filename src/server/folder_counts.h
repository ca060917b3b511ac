// How many entries folders hold, counted by the catalog once and remembered
// for a few seconds while the catalog's files are unchanged, so that a reader
// paging through a folder of many thousand books (and many readers on the same
// big folder) does not have it counted again for every page.
#ifndef TOMEVA_SERVER_FOLDER_COUNTS_H_
#define TOMEVA_SERVER_FOLDER_COUNTS_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tree/catalog_view.h"

namespace tomeva::server {

// Remembered folder counts. Safe for many threads.
class FolderCounts {
 public:
  // How long a count is trusted at most, changes of the catalog aside.
  static constexpr std::chrono::seconds kTrusted{10};

  explicit FolderCounts(size_t capacity) : capacity_(capacity) {}

  // tree::CountFolderRows of path, from memory when it was counted less than
  // kTrusted ago and the catalog file and its write-ahead log still have the
  // size and modification time they had then.
  std::optional<int64_t> Count(const tree::CatalogView& view, std::string_view path);

 private:
  struct Remembered {
    std::string stamp;
    std::chrono::steady_clock::time_point counted;
    int64_t count = 0;
  };
  std::mutex mutex_;
  size_t capacity_;
  std::unordered_map<std::string, Remembered> counts_;  // by folder path
};

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_FOLDER_COUNTS_H_
