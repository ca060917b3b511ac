// Books that live as members of a collection's ZIP archives: where the
// catalog says such a book is, and copying it out of its archive. Only the
// archive's central directory and the member's own bytes are read; nothing is
// ever written into an archive.
#ifndef TOMEVA_COLLECTIONS_ARCHIVE_MEMBER_H_
#define TOMEVA_COLLECTIONS_ARCHIVE_MEMBER_H_

#include <cstdint>
#include <optional>
#include <string>

#include "catalog/database.h"
#include "common/result.h"

namespace tomeva::collections {

// Where a collection book's bytes are.
struct ArchiveMember {
  std::string archive;  // absolute path of the ZIP archive
  std::string member;   // the member's name in it
};

// The archive member holding the book with key book_id; nullopt for a book of
// one's own (or no such book, or a catalog without collections).
std::optional<ArchiveMember> ArchiveMemberOfBook(catalog::Database* db, int64_t book_id);

// The member's uncompressed bytes (stored or deflated, checked against its
// CRC and bounded by the archive reader's limits); only the central directory
// and the member itself are read. The error says plainly when the archive or
// the member is gone, and then *gone (when given) is set; it is cleared for
// any other outcome.
Result<std::string> ReadMember(const ArchiveMember& location, bool* gone = nullptr);

// Copies the member's uncompressed bytes (stored or deflated, checked against
// its CRC) to target: written beside it and renamed into place when complete,
// so a failure leaves no partial target. Without overwrite an existing target
// is an error. The error says plainly when the archive or the member is gone.
Status CopyMemberOut(const ArchiveMember& location, const std::string& target, bool overwrite);

}  // namespace tomeva::collections

#endif  // TOMEVA_COLLECTIONS_ARCHIVE_MEMBER_H_
