// Finding a book's bytes through the catalog.
#include "server/book_source.h"

#include "tree/path_resolution.h"

namespace tomeva::server {

std::string BookSource::Key() const {
  // A NUL never occurs in a file or member name, so the two parts stay apart.
  if (member) return member->archive + std::string(1, '\0') + member->member;
  return file;
}

std::optional<BookSource> BookSourceOfId(const tree::CatalogView& view, int32_t id) {
  if (id < 0) return std::nullopt;
  BookSource source;
  source.file = tree::BookFileOfId(view, id);
  if (!source.file.empty()) return source;
  source.member = collections::ArchiveMemberOfBook(view.db, id);
  if (!source.member) return std::nullopt;
  return source;
}

MemberRead ReadMemberBytes(const collections::ArchiveMember& member) {
  MemberRead read;
  bool gone = false;
  Result<std::string> bytes = collections::ReadMember(member, &gone);
  if (bytes.ok()) {
    read.bytes = std::move(bytes).value();
    return read;
  }
  read.failure = gone ? ReadFailure::kMissing : ReadFailure::kUnreadable;
  read.message = bytes.message();
  return read;
}

}  // namespace tomeva::server
