// An INPX index: a ZIP archive describing a library distribution. It holds
// collection.info (name, file name, type, description, one a line),
// version.info (one line, usually a date), optionally structure.info (the
// field names of the .inp lines) and one .inp file per archive of books:
// NAME.inp describes the archive NAME.zip beside the index. Old indexes keep
// the collection information in the ZIP comment instead.
#ifndef TOMEVA_COLLECTIONS_INPX_INDEX_H_
#define TOMEVA_COLLECTIONS_INPX_INDEX_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "collections/inp_line.h"
#include "common/result.h"
#include "content/zip_archive.h"

namespace tomeva::collections {

// One .inp member of an index.
struct InpFile {
  std::string member;   // its name in the index ("fb2-000024-030559.inp")
  std::string archive;  // the archive it describes by default ("fb2-000024-030559.zip")
  uint64_t size = 0;    // uncompressed bytes, for progress
};

// An opened index: what it says about the collection, the layout of its lines
// and its .inp members in name order. Reading a member's text is separate, so
// that only one member is in memory at a time.
class InpxIndex {
 public:
  // Opens the index at path and reads its small members. Fails for a file that
  // is not a readable ZIP archive, an unreadable structure.info, or an index
  // without .inp members.
  static Result<InpxIndex> Open(const std::string& path);

  const std::string& name() const { return name_; }        // the collection's name
  const std::string& version() const { return version_; }  // version.info's line, or ""
  const InpLayout& layout() const { return layout_; }
  const std::vector<InpFile>& files() const { return files_; }
  uint64_t total_size() const { return total_size_; }

  // The text of one .inp member, checked against its CRC.
  Result<std::string> ReadFile(const InpFile& file) const;

 private:
  explicit InpxIndex(ZipArchive archive) : archive_(std::move(archive)) {}

  ZipArchive archive_;
  std::string name_;
  std::string version_;
  InpLayout layout_;
  std::vector<InpFile> files_;
  uint64_t total_size_ = 0;
};

}  // namespace tomeva::collections

#endif  // TOMEVA_COLLECTIONS_INPX_INDEX_H_
