// Transaction and stored-file bookkeeping of one book operation.
#include "books/operation_scope.h"

#include "common/path_rules.h"
#include "platform/files.h"

namespace tomeva::books {

OperationScope::~OperationScope() { Rollback(); }

Status OperationScope::Begin() {
  if (db_ == nullptr) return Error{"no catalog is open"};
  Status begun = db_->BeginTransaction();
  if (!begun.ok()) return begun;
  open_ = true;
  return Status::Ok();
}

void OperationScope::AddPlacedFile(std::string path) { placed_.push_back(std::move(path)); }

Status OperationScope::SetAside(const std::string& path) {
  const std::string aside =
      UniqueFileName(platform::NativePathStyle(), path + ".old~",
                     [](const std::string& name) { return platform::FileExists(name); });
  Status moved = platform::MoveFile(path, aside, platform::Overwrite::kNo);
  if (!moved.ok()) return moved;
  set_aside_.emplace_back(path, aside);
  return Status::Ok();
}

void OperationScope::DeleteAfterCommit(std::string path) {
  deferred_deletes_.push_back(std::move(path));
}

Status OperationScope::Commit() {
  if (done_) return Error{"the operation has already ended"};
  if (open_) {
    Status committed = db_->Commit();
    open_ = false;  // a failed outermost commit has rolled the transaction back
    if (!committed.ok()) {
      Rollback();
      return committed;
    }
  }
  done_ = true;
  for (const std::string& path : deferred_deletes_) (void)platform::DeleteFile(path);
  for (const auto& [original, aside] : set_aside_) (void)platform::DeleteFile(aside);
  return Status::Ok();
}

void OperationScope::Rollback() {
  if (done_) return;
  done_ = true;
  if (open_) {
    (void)db_->Rollback();
    open_ = false;
  }
  for (auto it = placed_.rbegin(); it != placed_.rend(); ++it) (void)platform::DeleteFile(*it);
  for (auto it = set_aside_.rbegin(); it != set_aside_.rend(); ++it) {
    (void)platform::MoveFile(it->second, it->first, platform::Overwrite::kNo);
  }
}

}  // namespace tomeva::books
