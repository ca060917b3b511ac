// Importing a collection from its INPX index alone: every book the index lists
// and does not mark deleted becomes a catalog book held in its archive beside
// the index; no book is opened and nothing is copied. Putting the same or a
// newer index again adds the books new to it, removes those it now marks
// deleted and leaves every other book of the collection as the user left it
// (the library id identifies a book within its collection).
//
// Whole archives (.inp files) are written together in transactions of at
// least 100,000 lines, so a kill or a stop leaves the catalog with whole
// archives imported and the rest not, and putting the index again finishes
// the job. Into a catalog without books the whole index is one transaction
// (a third faster: the catalog's indexes are built once, after the last
// line), so a kill or a stop leaves it without books.
#ifndef TOMEVA_COLLECTIONS_COLLECTION_IMPORT_H_
#define TOMEVA_COLLECTIONS_COLLECTION_IMPORT_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/database.h"
#include "common/result.h"

namespace tomeva::collections {

// True when name ends in ".inpx", ignoring letter case.
bool IsCollectionIndexName(std::string_view name);

// What an import did.
struct ImportSummary {
  std::string collection;  // the collection's name
  size_t added = 0;        // new books
  size_t removed = 0;      // books the index now marks deleted
  size_t kept = 0;         // books already in the catalog, left as they were
  size_t skipped_deleted = 0;  // deleted books the catalog did not have
  size_t refused = 0;      // lines refused
  std::vector<std::string> refusals;  // "FILE.inp:LINE: reason", the first kMaxNamedRefusals
  bool aborted = false;    // the user stopped it; committed archives stay imported

  // One text for the user: the counts, then the refused lines one a line.
  std::string Text() const;
};

// At most this many refused lines are named one by one in a summary.
inline constexpr size_t kMaxNamedRefusals = 100;

// Reports progress (0..100); true when the user asks to stop.
using ImportProgressFn = std::function<bool(int percent)>;

// Imports the index at index_path into db. Fails, changing nothing, when the
// index is damaged or the catalog has no collections; otherwise the summary
// says what happened to every line.
Result<ImportSummary> ImportCollection(catalog::Database* db, const std::string& index_path,
                                       const ImportProgressFn& progress);

}  // namespace tomeva::collections

#endif  // TOMEVA_COLLECTIONS_COLLECTION_IMPORT_H_
