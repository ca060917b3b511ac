// Where the server reads a book's bytes from: the book's stored file, or, for
// a book of a collection, the member of the collection's ZIP archive that
// holds it. Only a catalog lookup by book key ever yields one.
#ifndef TOMEVA_SERVER_BOOK_SOURCE_H_
#define TOMEVA_SERVER_BOOK_SOURCE_H_

#include <cstdint>
#include <optional>
#include <string>

#include "collections/archive_member.h"
#include "common/result.h"
#include "tree/catalog_view.h"

namespace tomeva::server {

// A book's bytes: exactly one of file and member is set.
struct BookSource {
  std::string file;  // the stored file (absolute); "" for a collection book
  std::optional<collections::ArchiveMember> member;

  // The file that holds the bytes: the stored file or the archive.
  const std::string& container() const { return member ? member->archive : file; }
  // A key naming the bytes, distinct for every stored file and member.
  std::string Key() const;
};

// The source of the book with key id; nullopt when there is no such book or
// the catalog records neither a stored file nor an archive member for it.
std::optional<BookSource> BookSourceOfId(const tree::CatalogView& view, int32_t id);

// Why a book's bytes could not be read.
enum class ReadFailure {
  kMissing,     // the stored file, the archive or the member is gone
  kUnreadable,  // it is there but cannot be read (damaged, over the limits)
};

// The whole uncompressed bytes of a collection book's member.
struct MemberRead {
  std::optional<std::string> bytes;
  ReadFailure failure = ReadFailure::kMissing;  // when bytes is empty
  std::string message;                          // for the server's log
};
MemberRead ReadMemberBytes(const collections::ArchiveMember& member);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_BOOK_SOURCE_H_
