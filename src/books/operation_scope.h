// One book operation that changes the catalog: its transaction, and the stored
// files it places, sets aside or deletes, so that a failed operation leaves
// the catalog and the library folder as they were, and a successful one
// removes files only once its catalog changes are durable. With a library
// folder the file changes are journaled (operation_journal.h), so that even
// an operation whose process is killed is finished or undone by the next.
#ifndef TOMEVA_BOOKS_OPERATION_SCOPE_H_
#define TOMEVA_BOOKS_OPERATION_SCOPE_H_

#include <string>
#include <utility>
#include <vector>
#include <optional>

#include "books/operation_journal.h"
#include "catalog/database.h"
#include "common/result.h"

namespace tomeva::books {

// Begin, then Commit; anything else (an early return, an exception) rolls the
// operation back when the scope ends. A scope may run inside another (one book
// of a batch): its transaction is then a nested one and its file changes go
// into the enclosing scope's journal; its Commit hands them to the enclosing
// scope, whose own Commit makes them durable, and its Rollback undoes its own
// changes alone. Not copyable.
class OperationScope {
 public:
  // library_root: the library folder, empty when the operation stores no files;
  // journals: where the session keeps its journal between operations (null:
  // the operation makes and deletes its own).
  OperationScope(catalog::Database* db, std::string library_root,
                 JournalKeeper* journals = nullptr)
      : db_(db), library_root_(std::move(library_root)), journals_(journals) {}
  // A scope inside enclosing, which must be open (Begin) and outlive it.
  explicit OperationScope(OperationScope& enclosing)
      : db_(enclosing.db_),
        library_root_(enclosing.library_root_),
        journals_(enclosing.journals_),
        enclosing_(&enclosing),
        recovered_(true) {}
  ~OperationScope();
  OperationScope(const OperationScope&) = delete;
  OperationScope& operator=(const OperationScope&) = delete;

  // Opens the transaction; fails without a catalog. Interrupted operations
  // of the library are settled first.
  Status Begin();

  // Settles interrupted operations of the library now (Begin and the first
  // file change otherwise do it): before the operation makes files of its own,
  // so none of them is ever mistaken for a leftover.
  void SettleInterrupted();

  // Copies source into the library folder under a name no other operation
  // uses (hidden, with source's extension), journaled before it is made, so
  // that an interruption at any point leaves nothing behind. The copy is the
  // operation's to read and change; unless placed, it is deleted when the
  // operation ends. Returns its path.
  Result<std::string> MakeWorkingCopy(const std::string& source);
  // The name MakeWorkingCopy would copy source to, journaled and the
  // operation's like a working copy, but not made: the caller copies (on any
  // thread) and must be done before the scope ends.
  Result<std::string> ReserveWorkingCopy(const std::string& source);
  // Moves the working copy to destination, never replacing a file there; the
  // placed file is deleted again when the operation fails.
  Status PlaceFile(const std::string& working_copy, const std::string& destination);
  // Moves the existing file at path to a free name beside it, so that its name
  // is free for the operation. It is moved back when the operation fails and
  // deleted after a successful commit.
  Status SetAside(const std::string& path);
  // Puts the working copy in the place of the stored file at path: the file
  // is set aside and the copy placed, both undone when the operation fails.
  Status ReplaceFile(const std::string& working_copy, const std::string& path);
  // A file to delete once the operation has committed; deletions run in the
  // order recorded, and a file that cannot be deleted is left. (When it cannot
  // be journaled, Commit fails.)
  void DeleteAfterCommit(std::string path);

  // Commits the transaction, then carries out the deferred deletions. A failed
  // commit rolls everything back and is returned. Inside an enclosing scope the
  // changes are handed to it instead (their files are settled at its Commit).
  Status Commit();
  // Undoes the transaction and the file changes (placed files deleted, files
  // set aside moved back, latest first). Does nothing once committed or rolled
  // back.
  void Rollback();

 private:
  // The journal, started with the first file change; settles others first.
  // Inside an enclosing scope, the enclosing scope's journal.
  Status EnsureJournal();
  OperationJournal* journal();
  // Inside an enclosing scope: ends the nested transaction keeping its changes
  // and hands the files to the enclosing scope.
  Status CommitInto(OperationScope& enclosing);
  // Deletes the working copies that were not placed.
  void DeleteWorkingCopies();
  // Empties the journal (the operation's files are settled) and hands it back.
  void EndJournal(bool forget_commit);

  catalog::Database* db_;
  std::string library_root_;
  JournalKeeper* journals_;
  OperationScope* enclosing_ = nullptr;
  std::optional<OperationJournal> journal_;
  bool recovered_ = false;
  Status journal_failure_;  // a deletion that could not be journaled
  bool open_ = false;
  bool done_ = false;
  std::vector<std::string> working_copies_;  // made and not placed
  int working_copy_count_ = 0;
  std::vector<std::string> placed_;
  std::vector<std::pair<std::string, std::string>> set_aside_;  // (original, aside)
  std::vector<std::string> deferred_deletes_;
};

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_OPERATION_SCOPE_H_
