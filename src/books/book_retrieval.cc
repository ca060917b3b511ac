// Book retrieval and preview.
#include "books/book_retrieval.h"

#include <exception>

#include "books/book_lookup.h"
#include "collections/archive_member.h"
#include "common/path_rules.h"
#include "platform/files.h"
#include "tree/path_resolution.h"

namespace tomeva::books {

GetResult CopyBookOut(BookContext& ctx, std::string_view remote_name, const std::string& local_name,
                      CopyFlags flags) {
  if (!flags.overwrite && platform::FileExists(local_name)) return GetResult::kExists;
  if (!platform::FolderWritable(std::string(FolderPart(platform::NativePathStyle(), local_name)))) {
    return GetResult::kWriteError;
  }
  if (ReportProgress(ctx, 0)) return GetResult::kAborted;
  std::string stored;
  int32_t key = -1;
  try {
    key = BookKeyOfPath(ctx, remote_name);
    if (key < 0) return GetResult::kNotFound;
    stored = tree::BookFileOfId(ctx.view, key);
  } catch (const std::exception&) {
    return GetResult::kNotFound;  // the path cannot be read as a book's path
  }
  if (stored.empty()) {
    // A book of a collection has no file of its own: it is read from its archive.
    std::optional<collections::ArchiveMember> member =
        collections::ArchiveMemberOfBook(ctx.view.db, key);
    if (!member) return GetResult::kReadError;
    if (Status copied = collections::CopyMemberOut(*member, local_name, flags.overwrite);
        !copied.ok()) {
      if (ctx.log_error) ctx.log_error(copied.message());
      return GetResult::kReadError;
    }
    return ReportProgress(ctx, 100) ? GetResult::kAborted : GetResult::kOk;
  }
  if (!platform::FileExists(stored)) return GetResult::kReadError;
  const Status copied = platform::CopyFile(
      stored, local_name, flags.overwrite ? platform::Overwrite::kYes : platform::Overwrite::kNo);
  if (!copied.ok()) return GetResult::kReadError;
  if (ReportProgress(ctx, 100)) return GetResult::kAborted;
  return GetResult::kOk;
}

std::string LocalFileOf(BookContext& ctx, std::string_view remote_name) {
  try {
    return StoredFileOfPath(ctx, remote_name);
  } catch (const std::exception&) {
    return {};
  }
}

std::optional<std::string> PreviewFileOf(BookContext& ctx, std::string_view remote_name) {
  std::string file = LocalFileOf(ctx, remote_name);
  if (file.empty() || !platform::FileExists(file)) return std::nullopt;
  return file;
}

}  // namespace tomeva::books
