// The columns Tomeva computes in the default catalog: case-folded keys that
// case-blind lookups find rows by (Cyrillic letters folded too), and the
// unique names the default settings show books, authors and series under.
//
// They are ordinary columns with ordinary (NOCASE or BINARY) indexes, kept up
// to date by triggers that call Tomeva's own SQL functions, so that every
// index of the catalog is ordered the way any SQLite orders it: the stock
// sqlite3 shell reads and integrity-checks the catalog, and its attempts to
// write the tables that carry such columns fail with "no such function"
// instead of leaving a key or a name out of date.
#ifndef TOMEVA_CATALOG_CATALOG_KEYS_H_
#define TOMEVA_CATALOG_CATALOG_KEYS_H_

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "catalog/deferred_indexes.h"
#include "common/result.h"

namespace tomeva::catalog {

// The catalog version (PRAGMA user_version) from which on a catalog carries the
// computed columns and its indexes follow SQLite's own NOCASE.
inline constexpr int kCatalogKeysVersion = 2;
// The version of a catalog that Tomeva writes: the keys, the search index of
// search_index.h (version 3), its triggers reading BookSearchPause (version 4),
// the genre listing (version 5) and the author listing (version 6) of
// folder_listings.h.
inline constexpr int kCatalogVersion = 6;

// The column of table that holds the case-folded key of column (Authors.Last ->
// LastKey, Books.Title -> TitleKey, Series.Name -> NameKey, Genres.Code ->
// CodeKey); nullopt for other columns. Names compare ignoring ASCII case.
std::optional<std::string_view> FoldedKeyColumn(std::string_view table, std::string_view column);

// Whether column of table is one Tomeva computes (a key or a shown name): it
// identifies a row but is never written with a value of its own.
bool IsComputedColumn(std::string_view table, std::string_view column);

// The column a shown-name column is made from (Series.FolderName -> Name,
// Authors.FolderName -> FullName); nullopt for other columns. A folder that
// names no row yet (a book moved into a new series) names the row whose source
// column holds the shown text, when that text is shown as itself.
std::optional<std::string_view> ShownNameSource(std::string_view table, std::string_view column);

// Brings the catalog on db to kCatalogVersion: adds Books.Compressed where
// the book table lacks it (the oldest catalogs), then the computed columns,
// their indexes and triggers to the default tables it has (a table lacking a
// column they are computed from is left alone), fills them, rebuilds every
// index in SQLite's own NOCASE order, adds and fills the search index (a
// catalog of version 2 gets only that) and records the version. One transaction;
// a catalog already at the version is left untouched. The functions of
// RegisterJetFunctions must be registered on db.
Status UpdateCatalogKeys(sqlite3* db);

// Makes a connection to a catalog ready for use: UpdateCatalogKeys, except
// that a read-only catalog of an earlier version, which cannot be reindexed,
// is read in the order its indexes were written in (UseLegacyNoCase), so that
// lookups through them still find their rows. An error when a writable catalog
// could not be brought up to date (another process holding it for longer than
// the busy timeout, a damaged file): using it with indexes in the other order
// could corrupt them.
Status PrepareCatalogKeys(sqlite3* db);

// A bulk insert of books inside one write transaction, at a fraction of the
// cost of keeping each new book's key and shown name by trigger: Suspend drops
// the trigger that computes them on insert and gives the largest BookId before
// the insert; Finish computes them for every book above that with two
// statements over the whole batch (new books have the highest keys, so no
// earlier book's name changes) and puts the trigger back. Into a catalog
// without books, the indexes of the book and link tables are set aside too
// (deferred_indexes.h) and made again by Finish, each by one sort. All of it is
// part of the transaction: other connections never see a trigger or an index
// missing, and a rollback restores them. A catalog without the trigger gives
// last_book_before -1: nothing to do.
struct BookBulkInsert {
  int64_t last_book_before = -1;
  std::vector<DeferredIndex> indexes_aside;
};
Result<BookBulkInsert> SuspendBookInsertTrigger(sqlite3* db);
Status FinishBookInserts(sqlite3* db, BookBulkInsert& insert);

// The catalog's recorded version (PRAGMA user_version); nullopt when it cannot
// be read.
std::optional<int> CatalogVersion(sqlite3* db);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_CATALOG_KEYS_H_
