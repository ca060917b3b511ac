// Transaction and stored-file bookkeeping of one book operation.
#include "books/operation_scope.h"

#include <algorithm>

#include "books/stored_names.h"
#include "common/path_rules.h"
#include "platform/files.h"

namespace tomeva::books {

OperationScope::~OperationScope() { Rollback(); }

void OperationScope::SettleInterrupted() {
  if (recovered_ || library_root_.empty() || db_ == nullptr) return;
  recovered_ = true;
  RecoverInterruptedOperations(db_, library_root_);
}

OperationJournal* OperationScope::journal() {
  if (enclosing_ != nullptr) return enclosing_->journal();
  return journal_ ? &*journal_ : nullptr;
}

Status OperationScope::EnsureJournal() {
  if (enclosing_ != nullptr) return enclosing_->EnsureJournal();
  if (journal_ || library_root_.empty()) return Status::Ok();
  SettleInterrupted();
  Result<OperationJournal> journal =
      journals_ ? journals_->Take(library_root_) : OperationJournal::Start(library_root_);
  if (!journal.ok()) return journal.error();
  journal_.emplace(std::move(journal).value());
  return Status::Ok();
}

Status OperationScope::Begin() {
  if (db_ == nullptr) return Error{"no catalog is open"};
  if (!open_) SettleInterrupted();
  Status begun = db_->BeginTransaction();
  if (!begun.ok()) return begun;
  open_ = true;
  return Status::Ok();
}

Result<std::string> OperationScope::ReserveWorkingCopy(const std::string& source) {
  if (library_root_.empty()) return Error{"the settings name no library folder"};
  Status folder = platform::CreateFolders(library_root_);
  if (!folder.ok()) return folder.error();
  Status journaled = EnsureJournal();
  if (!journaled.ok()) return journaled.error();
  // The operation's token makes the name its own: no other operation, in this
  // process or another, ever makes a file of that name. Scopes inside one
  // another share the token and the outermost one numbers their copies.
  OperationScope* outermost = this;
  while (outermost->enclosing_ != nullptr) outermost = outermost->enclosing_;
  const std::string extension =
      CutComponent(WithoutControlCharacters(FileExtension(platform::NativePathStyle(), source)),
                   kMaxComponentBytes - 64);
  const std::string copy = library_root_ + platform::Separator(platform::NativePathStyle()) +
                           ".tomeva-work-" + journal()->token() + "-" +
                           std::to_string(++outermost->working_copy_count_) + extension;
  journaled = journal()->RecordWorkingCopy(copy);
  if (!journaled.ok()) return journaled.error();
  working_copies_.push_back(copy);
  return copy;
}

Result<std::string> OperationScope::MakeWorkingCopy(const std::string& source) {
  Result<std::string> copy = ReserveWorkingCopy(source);
  if (!copy.ok()) return copy;
  Status copied = platform::CopyFile(source, *copy, platform::Overwrite::kNo);
  if (!copied.ok()) return copied.error();
  return copy;
}

Status OperationScope::ReplaceFile(const std::string& working_copy, const std::string& path) {
  Status aside = SetAside(path);
  if (!aside.ok()) return aside;
  return PlaceFile(working_copy, path);
}

Status OperationScope::PlaceFile(const std::string& working_copy, const std::string& destination) {
  Status journaled = EnsureJournal();
  if (journaled.ok() && journal()) journaled = journal()->RecordPlacement(working_copy, destination);
  if (!journaled.ok()) return journaled;
  Status moved = platform::MoveFile(working_copy, destination, platform::Overwrite::kNo);
  if (!moved.ok()) return moved;
  placed_.push_back(destination);
  std::erase(working_copies_, working_copy);
  return Status::Ok();
}

Status OperationScope::SetAside(const std::string& path) {
  const std::string aside =
      UniqueFileName(platform::NativePathStyle(), path + ".old~",
                     [](const std::string& name) { return platform::FileExists(name); });
  Status journaled = EnsureJournal();
  if (journaled.ok() && journal()) journaled = journal()->RecordSetAside(path, aside);
  if (!journaled.ok()) return journaled;
  Status moved = platform::MoveFile(path, aside, platform::Overwrite::kNo);
  if (!moved.ok()) return moved;
  set_aside_.emplace_back(path, aside);
  return Status::Ok();
}

void OperationScope::DeleteAfterCommit(std::string path) {
  Status journaled = EnsureJournal();
  if (journaled.ok() && journal()) journaled = journal()->RecordDeletion(path);
  if (!journaled.ok() && journal_failure_.ok()) journal_failure_ = journaled;
  deferred_deletes_.push_back(std::move(path));
}

Status OperationScope::Commit() {
  if (done_) return Error{"the operation has already ended"};
  if (!journal_failure_.ok()) {
    Rollback();
    return journal_failure_;
  }
  if (enclosing_ != nullptr) return CommitInto(*enclosing_);
  if (open_) {
    // The token commits with the catalog changes, telling a recovery that this
    // operation's files are to be finished rather than undone.
    if (journal_) {
      Status recorded = RecordCommit(db_, journal_->token());
      if (!recorded.ok()) {
        Rollback();
        return recorded;
      }
    }
    Status committed = db_->Commit();
    open_ = false;  // a failed outermost commit has rolled the transaction back
    if (!committed.ok()) {
      Rollback();
      return committed;
    }
  }
  done_ = true;
  DeleteWorkingCopies();
  for (const std::string& path : deferred_deletes_) (void)platform::DeleteFile(path);
  for (const auto& [original, aside] : set_aside_) (void)platform::DeleteFile(aside);
  EndJournal(/*forget_commit=*/true);
  return Status::Ok();
}

Status OperationScope::CommitInto(OperationScope& enclosing) {
  if (open_) {
    Status committed = db_->Commit();
    open_ = false;
    if (!committed.ok()) {
      Rollback();
      return committed;
    }
  }
  done_ = true;
  // The copies that were not placed are nobody's now; the other files are
  // settled with the enclosing operation.
  DeleteWorkingCopies();
  auto append = [](auto& to, auto& from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
    from.clear();
  };
  append(enclosing.placed_, placed_);
  append(enclosing.set_aside_, set_aside_);
  append(enclosing.deferred_deletes_, deferred_deletes_);
  return Status::Ok();
}

void OperationScope::DeleteWorkingCopies() {
  for (const std::string& copy : working_copies_) {
    if (platform::FileExists(copy)) (void)platform::DeleteFile(copy);
  }
  working_copies_.clear();
}

void OperationScope::EndJournal(bool forget_commit) {
  if (!journal_) return;
  // The journal is emptied before its token leaves the catalog: a journal
  // that still listed the files while its token was gone would be undone.
  const bool cleared = journal_->Clear().ok();
  if (forget_commit) ForgetCommit(db_, journal_->token());
  if (journals_ && cleared) {
    journals_->Keep(std::move(*journal_));
  } else {
    journal_->Finish();
  }
  journal_.reset();
}

void OperationScope::Rollback() {
  if (done_) return;
  done_ = true;
  if (open_) {
    (void)db_->Rollback();
    open_ = false;
  }
  DeleteWorkingCopies();
  for (auto it = placed_.rbegin(); it != placed_.rend(); ++it) (void)platform::DeleteFile(*it);
  for (auto it = set_aside_.rbegin(); it != set_aside_.rend(); ++it) {
    (void)platform::MoveFile(it->second, it->first, platform::Overwrite::kNo);
  }
  EndJournal(/*forget_commit=*/false);
}

}  // namespace tomeva::books
