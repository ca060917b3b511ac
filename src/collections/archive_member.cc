// Locating and copying out books held in collection archives.
#include "collections/archive_member.h"

#include "content/zip_archive.h"
#include "platform/files.h"

namespace tomeva::collections {

std::optional<ArchiveMember> ArchiveMemberOfBook(catalog::Database* db, int64_t book_id) {
  if (db == nullptr) return std::nullopt;
  auto rows = db->Query(
      "SELECT Collections.Folder, Books.Archive, Books.Member FROM Books INNER JOIN Collections "
      "ON Books.CollectionId=Collections.CollectionId WHERE Books.BookId=" +
      std::to_string(book_id) + ";");
  if (!rows.ok() || (*rows)->AtEnd()) return std::nullopt;
  const catalog::ResultSet& row = **rows;
  if (row.IsNull(1) || row.IsNull(2)) return std::nullopt;
  std::string folder = row.Text(0);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return ArchiveMember{folder + row.Text(1), row.Text(2)};
}

namespace {

Result<ZipArchive> OpenHolding(const ArchiveMember& location, bool& gone) {
  gone = !platform::FileExists(location.archive);
  if (gone) return Error{"the book's archive " + location.archive + " is gone"};
  Result<ZipArchive> archive = ZipArchive::Open(location.archive, ZipArchive::Mode::kRead);
  if (!archive.ok()) return archive.error();
  bool present = false;
  for (const ZipEntryInfo& entry : archive->entries()) {
    if (entry.name == location.member) {
      present = true;
      break;
    }
  }
  if (!present) {
    gone = true;
    return Error{"the book " + location.member + " is no longer in its archive " +
                 location.archive};
  }
  return archive;
}

}  // namespace

Result<std::string> ReadMember(const ArchiveMember& location, bool* gone) {
  bool missing = false;
  Result<ZipArchive> archive = OpenHolding(location, missing);
  if (gone != nullptr) *gone = missing;
  if (!archive.ok()) return archive.error();
  return archive->Extract(location.member);
}

Status CopyMemberOut(const ArchiveMember& location, const std::string& target, bool overwrite) {
  if (!overwrite && platform::FileExists(target)) return Error{"the target " + target + " exists"};
  Result<std::string> bytes = ReadMember(location);
  if (!bytes.ok()) return bytes.error();
  return platform::WriteNewFile(target, *bytes,
                                overwrite ? platform::Overwrite::kYes : platform::Overwrite::kNo);
}

}  // namespace tomeva::collections
