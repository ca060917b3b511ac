// Counting folders through the catalog, with a short memory.
#include "server/folder_counts.h"

#include <sys/stat.h>

#include "tree/folder_listing.h"

namespace tomeva::server {
namespace {

// Size and modification time (to the nanosecond) of file; "-" when missing.
std::string FileStamp(const std::string& file) {
  struct stat info {};
  if (stat(file.c_str(), &info) != 0) return "-";
  return std::to_string(info.st_size) + "@" + std::to_string(info.st_mtim.tv_sec) + "." +
         std::to_string(info.st_mtim.tv_nsec);
}

// What changes when anyone commits to the catalog: its file or its log.
std::string CatalogStamp(const tree::CatalogView& view) {
  if (view.db == nullptr) return {};
  const std::string file = view.db->FileName();
  if (file.empty()) return {};
  return FileStamp(file) + " " + FileStamp(file + "-wal");
}

}  // namespace

std::optional<int64_t> FolderCounts::Count(const tree::CatalogView& view, std::string_view path) {
  const std::string stamp = CatalogStamp(view);
  const std::string key(path);
  const auto now = std::chrono::steady_clock::now();
  if (!stamp.empty()) {
    std::lock_guard lock(mutex_);
    auto found = counts_.find(key);
    if (found != counts_.end() && found->second.stamp == stamp &&
        now - found->second.counted < kTrusted) {
      return found->second.count;
    }
  }
  std::optional<int64_t> count = tree::CountFolderRows(view, path);
  if (!count || stamp.empty()) return count;
  std::lock_guard lock(mutex_);
  if (counts_.size() >= capacity_) counts_.clear();  // rarely: a crawler walking every folder
  counts_[key] = Remembered{stamp, now, *count};
  return count;
}

}  // namespace tomeva::server
