// The working copy that takes an operation's content changes.
#include "books/content_copy.h"

#include "books/book_storage.h"
#include "catalog/property_tree.h"
#include "platform/files.h"
#include "tree/path_resolution.h"

namespace tomeva::books {

Result<ContentCopy> ContentCopy::Make(const BookContext& ctx, int32_t book_key,
                                      OperationScope& scope) {
  ContentCopy copy;
  if (!catalog::ChangeContentOn(PropertyContextOf(ctx)) || ctx.fields == nullptr) return copy;
  const std::string file = tree::BookFileOfId(ctx.view, book_key);
  if (file.empty() || !platform::FileExists(file)) return copy;
  if (StoredFileInLibrary(ctx, file).empty()) {
    copy.file_ = file;
    return copy;
  }
  Result<std::string> working = scope.MakeWorkingCopy(file);
  if (!working.ok()) {
    return Error{"cannot copy the book file to change its content: " + working.message()};
  }
  copy.stored_ = file;
  copy.file_ = *working;
  return copy;
}

Status ContentCopy::PutInPlace(OperationScope& scope) const {
  if (stored_.empty()) return Status::Ok();
  Status replaced = scope.ReplaceFile(file_, stored_);
  if (!replaced.ok()) return Error{"cannot replace the book file: " + replaced.message()};
  return Status::Ok();
}

}  // namespace tomeva::books
