// One book operation that changes the catalog: its transaction, and the stored
// files it places, sets aside or deletes, so that a failed operation leaves
// the catalog and the library folder as they were, and a successful one
// removes files only once its catalog changes are durable.
#ifndef TOMEVA_BOOKS_OPERATION_SCOPE_H_
#define TOMEVA_BOOKS_OPERATION_SCOPE_H_

#include <string>
#include <utility>
#include <vector>

#include "catalog/database.h"
#include "common/result.h"

namespace tomeva::books {

// Begin, then Commit; anything else (an early return, an exception) rolls the
// operation back when the scope ends. Not copyable.
class OperationScope {
 public:
  explicit OperationScope(catalog::Database* db) : db_(db) {}
  ~OperationScope();
  OperationScope(const OperationScope&) = delete;
  OperationScope& operator=(const OperationScope&) = delete;

  // Opens the transaction; fails without a catalog.
  Status Begin();

  // A file this operation put in place: deleted again when it fails.
  void AddPlacedFile(std::string path);
  // Moves the existing file at path to a free name beside it, so that its name
  // is free for the operation. It is moved back when the operation fails and
  // deleted after a successful commit.
  Status SetAside(const std::string& path);
  // A file to delete once the operation has committed; deletions run in the
  // order recorded, and a file that cannot be deleted is left.
  void DeleteAfterCommit(std::string path);

  // Commits the transaction, then carries out the deferred deletions. A failed
  // commit rolls everything back and is returned.
  Status Commit();
  // Undoes the transaction and the file changes (placed files deleted, files
  // set aside moved back, latest first). Does nothing once committed or rolled
  // back.
  void Rollback();

 private:
  catalog::Database* db_;
  bool open_ = false;
  bool done_ = false;
  std::vector<std::string> placed_;
  std::vector<std::pair<std::string, std::string>> set_aside_;  // (original, aside)
  std::vector<std::string> deferred_deletes_;
};

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_OPERATION_SCOPE_H_
