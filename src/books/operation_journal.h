// The journal of a book operation's file changes, so that an operation cut
// short (the process killed, the machine halted) is finished or undone by the
// next one instead of leaving a stored file without its book row, or a book
// row whose file was set aside.
//
// An operation writes each file change to its journal before making it, in a
// file of <library>/.tomeva-journal/, and holds the journal locked while it
// runs. The journal's first line is the operation's token, fresh for every
// operation. Just before its transaction commits it adds its token to the catalog
// table TomevaJournal, inside that transaction, so the token is there exactly
// when the catalog changes are. A journal whose lock can be taken belongs to
// an operation that ended without removing it: with its token in the catalog
// its remaining file changes are carried out (set-aside and replaced files
// deleted), without it they are undone (placed files deleted, set-aside files
// moved back, working copies deleted).
#ifndef TOMEVA_BOOKS_OPERATION_JOURNAL_H_
#define TOMEVA_BOOKS_OPERATION_JOURNAL_H_

#include <initializer_list>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "catalog/database.h"
#include "common/result.h"
#include "platform/locked_file.h"

namespace tomeva::books {

// The folder of the journals inside the library folder.
inline constexpr std::string_view kJournalFolder = ".tomeva-journal";

class OperationJournal {
 public:
  // Creates a locked journal with a fresh token in library_root's journal folder.
  static Result<OperationJournal> Start(const std::string& library_root);

  const std::string& token() const { return token_; }
  const std::string& library_root() const { return library_root_; }

  // Empties the journal, once its operation's files are settled: an empty
  // journal asks nothing of a recovery.
  Status Clear();
  // Begins the next operation in this (emptied) journal with a fresh token.
  Status Restart();

  // Each records a change the operation is about to make. A working copy is
  // recorded by its name, which no other operation uses, before it is made.
  Status RecordWorkingCopy(const std::string& path);
  Status RecordPlacement(const std::string& working_copy, const std::string& destination);
  Status RecordSetAside(const std::string& original, const std::string& aside);
  Status RecordDeletion(const std::string& path);

  // Deletes the journal file: the operation has ended, either way.
  void Finish();

 private:
  OperationJournal(platform::LockedFile file, std::string library_root,
                   const std::mt19937_64& random)
      : file_(std::move(file)), library_root_(std::move(library_root)), random_(random) {}
  Status Record(std::string_view kind, std::initializer_list<std::string_view> fields);

  platform::LockedFile file_;
  std::string library_root_;
  std::mt19937_64 random_;
  std::string token_;
};

// Keeps a session's journal between its operations, so that an operation does
// not create and delete a file of its own (on ext4 a stream of deleted files
// makes every new one slower to create). Not copyable; the kept journal is
// deleted with the keeper.
class JournalKeeper {
 public:
  JournalKeeper() = default;
  ~JournalKeeper();
  JournalKeeper(const JournalKeeper&) = delete;
  JournalKeeper& operator=(const JournalKeeper&) = delete;

  // The kept journal restarted for a new operation when it belongs to
  // library_root, else a new one.
  Result<OperationJournal> Take(const std::string& library_root);
  // Keeps an emptied journal for the next operation.
  void Keep(OperationJournal journal);
  // Deletes the kept journal (the session ends).
  void Release();

 private:
  std::optional<OperationJournal> kept_;
};

// Adds token to the catalog's journal table (made when missing); run inside the
// operation's transaction, just before it commits.
Status RecordCommit(catalog::Database* db, const std::string& token);
// Removes token from the table once the operation's files are settled.
void ForgetCommit(catalog::Database* db, const std::string& token);

// Finishes or undoes every journal in library_root that no living operation
// holds. Runs outside any transaction. Files are only ever touched inside the
// journal's own entries; an entry that cannot be carried out is skipped.
void RecoverInterruptedOperations(catalog::Database* db, const std::string& library_root);

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_OPERATION_JOURNAL_H_
