// Fuzz target of the ZIP reader (content/zip_archive.h, zip_format.h): the
// input is written to a file and opened as an archive with the default limits;
// the first "*.fb2" entry is found and extracted, as a packed book is read.
// Whatever the bytes, this must end with a value or an error in bounded time
// and memory; an extracted entry has the size and CRC-32 the directory
// records. An archive that extracts is then rewritten with new content for
// that entry: the new content must read back, and a failed rewrite must leave
// the file untouched.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "content/zip_archive.h"
#include "content/zip_format.h"
#include "fuzz/fuzz_support.h"

namespace {

using tomeva::ZipArchive;
using tomeva::fuzz::Fail;

constexpr std::string_view kNewContent =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><FictionBook><description/></FictionBook>";

void CheckRewrite(const std::string& path, std::string_view original, const std::string& name) {
  tomeva::Result<ZipArchive> archive = ZipArchive::Open(path, ZipArchive::Mode::kReadWrite);
  if (!archive.ok()) Fail("an archive that read cannot be opened for writing", archive.message());
  if (!archive->Replace(name, kNewContent, 0x20).ok()) Fail("Replace refused a readable entry");
  const size_t entry_count = archive->entries().size();
  if (tomeva::Status committed = archive->Commit(); !committed.ok()) {
    if (tomeva::fuzz::ReadOrDie(path) != original) {
      Fail("a failed rewrite changed the archive", committed.message());
    }
    return;
  }
  if (archive->entries().size() != entry_count) Fail("the rewrite lost or added entries");
  tomeva::Result<std::string> again = archive->Extract(name);
  if (!again.ok() || *again != kNewContent) {
    Fail("the rewritten entry does not read back", again.ok() ? *again : again.message());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static tomeva::fuzz::ScratchFolder folder;
  const std::string_view bytes = tomeva::fuzz::AsText(data, size);
  const std::string path = folder.Write("book.fb2.zip", bytes);

  std::string name;
  {
    tomeva::Result<ZipArchive> archive = ZipArchive::Open(path, ZipArchive::Mode::kRead);
    if (!archive.ok()) return 0;
    for (const tomeva::ZipEntryInfo& entry : archive->entries()) {
      (void)tomeva::MatchZipMask("*.fb2", entry.name);
    }
    std::optional<tomeva::ZipEntryInfo> entry = archive->FindFirstEntry("*.fb2");
    if (!entry) return 0;
    tomeva::Result<std::string> content = archive->Extract(entry->name);
    if (!content.ok()) return 0;
    if (content->size() != entry->size ||
        tomeva::zip::Crc32(0, *content) != entry->crc32) {
      Fail("an extracted entry differs from its directory record", entry->name);
    }
    name = entry->name;
  }
  CheckRewrite(path, bytes, name);
  return 0;
}
