// Access to ZIP archives holding books (".fb2.zip", ".fbz"): list the entries,
// find one by a wildcard mask, extract an entry whole, and replace an entry's
// content by rewriting the archive. Entries may be stored or deflated; data
// descriptors and ZIP64 records are understood. Every size and offset read from
// the file is checked against the file before use, so a damaged or hostile
// archive gives an error rather than a crash, a hang or a huge allocation.
#ifndef TOMEVA_CONTENT_ZIP_ARCHIVE_H_
#define TOMEVA_CONTENT_ZIP_ARCHIVE_H_

#include <cstdint>
#include <map>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "content/zip_format.h"

namespace tomeva {

// Bounds on what extracting one entry may produce.
struct ZipLimits {
  uint64_t max_entry_size = 256ull << 20;  // uncompressed bytes of one entry
  uint32_t max_ratio = 200;                // uncompressed / compressed, checked for
                                           // entries over 1 MiB; 0 turns it off
};

// What the central directory says about one entry.
struct ZipEntryInfo {
  std::string name;  // as stored, folders included ("books/Book.fb2")
  uint64_t compressed_size = 0;
  uint64_t size = 0;
  uint16_t method = 0;
  uint32_t crc32 = 0;
};

// True when name matches mask ignoring letter case: "*" any run (separators too),
// "?" one character; "*" and "*.*" match every name.
bool MatchZipMask(std::string_view mask, std::string_view name);

// An open ZIP archive. Movable, not copyable; the file stays open until the
// object goes away. Replacements not yet committed are dropped with the object.
class ZipArchive {
 public:
  enum class Mode { kRead, kReadWrite };

  // Opens the existing archive at path and reads its central directory. Fails,
  // creating nothing, when the path is empty or missing, or the file is not a
  // readable ZIP archive. kReadWrite also needs the file to be writable.
  static Result<ZipArchive> Open(const std::string& path, Mode mode, ZipLimits limits = {});

  ZipArchive(ZipArchive&&) noexcept = default;
  ZipArchive& operator=(ZipArchive&&) noexcept = default;
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;
  ~ZipArchive() = default;

  // The entries in central directory order (replacements already applied).
  const std::vector<ZipEntryInfo>& entries() const { return entries_; }

  // The first entry, in central directory order, whose name matches mask.
  std::optional<ZipEntryInfo> FindFirstEntry(std::string_view mask) const;

  // The whole uncompressed content of the first entry named exactly entry_name,
  // checked against its recorded size and CRC-32. Fails for a missing, encrypted
  // or damaged entry, an unsupported method, or an entry over the limits.
  Result<std::string> Extract(std::string_view entry_name) const;

  // Receives uncompressed content piece by piece; returns false to stop.
  using PieceSink = std::function<bool(std::string_view piece)>;
  // Hands the content of the entry Extract would give to sink piece by piece,
  // as it is inflated, until sink returns false (then the rest is never read)
  // or the content ends. Content read to its end is checked as Extract checks
  // it; content cut short by sink is checked only as far as it was read.
  Status ExtractPieces(std::string_view entry_name, const PieceSink& sink) const;

  // Replaces the content of an existing entry (deflated, with the given external
  // attributes, e.g. 0x20) in memory; written by Commit. Needs kReadWrite.
  // Attributes without the upper 16 bits keep the entry's Unix mode there. The
  // entry keeps its name, time and comment; content over max_entry_size fails.
  Status Replace(std::string_view entry_name, std::string_view content,
                 uint32_t external_attributes);

  // Writes pending replacements: a new archive beside the old one (path + ".tmp~"),
  // every other entry copied byte for byte (compressed data unchanged), then
  // renamed over the old file, which is reopened. Without pending changes it
  // does nothing. On failure the old file is left as it was.
  Status Commit();

 private:
  // An owned POSIX file descriptor.
  class ScopedFd {
   public:
    ScopedFd() = default;
    explicit ScopedFd(int fd) : fd_(fd) {}
    ScopedFd(ScopedFd&& other) noexcept : fd_(other.Release()) {}
    ScopedFd& operator=(ScopedFd&& other) noexcept;
    ~ScopedFd();
    int get() const { return fd_; }
    int Release();

   private:
    int fd_ = -1;
  };

  // New content of an entry, waiting for Commit.
  struct Replacement {
    std::string content;
    std::string compressed;  // raw deflate stream
    uint32_t crc32 = 0;
    uint32_t external_attributes = 0;
  };

  // An entry's local header and where its data starts.
  struct LocalEntry {
    zip::LocalHeader header;
    uint64_t data_offset = 0;
  };

  ZipArchive() = default;

  std::optional<size_t> FindIndex(std::string_view entry_name) const;
  // Bytes [offset, offset + length) of the archive file.
  Result<std::string> ReadAt(uint64_t offset, uint64_t length) const;
  // The local header of record, with header and data checked to lie before
  // the central directory.
  Result<LocalEntry> ReadLocalEntry(const zip::CentralRecord& record) const;
  Status ExtractRecord(const zip::CentralRecord& record, const PieceSink& sink) const;
  // Writes the archive with the pending replacements to the open file out_fd.
  Status WriteUpdatedArchive(int out_fd) const;

  std::string path_;
  Mode mode_ = Mode::kRead;
  ZipLimits limits_;
  ScopedFd file_;
  uint64_t file_size_ = 0;
  zip::EndRecord end_;
  std::vector<zip::CentralRecord> records_;
  std::vector<ZipEntryInfo> entries_;
  std::map<size_t, Replacement> pending_;  // by index into records_
};

}  // namespace tomeva

#endif  // TOMEVA_CONTENT_ZIP_ARCHIVE_H_
