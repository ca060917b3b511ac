// Indexes set aside while many rows go into tables, and made again once they
// are in. SQLite puts each inserted row into every index of its table at its
// place in the index's order (for a name, anywhere in a B-tree of hundreds of
// thousands of entries), while an index created over a filled table is built
// by one sort: for a collection's index of 600,000 books that is a third of the
// import's time. Unique indexes are never set aside (they keep their
// constraint while the rows go in). Both steps are statements of the caller's
// transaction: other connections never see an index missing, and a rollback
// (or a kill) puts every index back as it was.
#ifndef TOMEVA_CATALOG_DEFERRED_INDEXES_H_
#define TOMEVA_CATALOG_DEFERRED_INDEXES_H_

#include <sqlite3.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace tomeva::catalog {

// An index set aside: its name, the statement that made it and its columns.
struct DeferredIndex {
  std::string name;
  std::string sql;
  std::vector<std::string> columns;
};

// Drops every index of tables that is neither unique nor made by SQLite
// itself, giving back what it takes to make them again. Needs a transaction.
Result<std::vector<DeferredIndex>> SetIndexesAside(sqlite3* db,
                                                   std::initializer_list<std::string_view> tables);

// Makes again the indexes of `indexes` that `which` selects (every one when it
// is empty) and takes them off the list. After a failure the list is not to be
// used again: the caller rolls the transaction back.
Status RestoreIndexes(sqlite3* db, std::vector<DeferredIndex>& indexes,
                      const std::function<bool(const DeferredIndex&)>& which = {});

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_DEFERRED_INDEXES_H_
