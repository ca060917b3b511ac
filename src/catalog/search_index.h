// The full-text index of the default catalog's books: each book's title, its
// authors' names and its series name, folded (SearchFold) and split into words
// by SQLite's FTS5 with its built-in unicode61 tokenizer, so that the stock
// sqlite3 shell still reads and integrity-checks the catalog.
//
// The index (table BookSearch, rowid = BookId) is kept current by triggers on
// Books, BookAuthors, Authors and Series that call tomeva_search_fold; a
// catalog of an earlier version gets it, filled for every book, when Tomeva
// opens it. A search matches books whose words begin with every word searched
// for, in any column and any order, ignoring letter case (Latin and Cyrillic)
// and telling "ё" from "е" apart nowhere.
#ifndef TOMEVA_CATALOG_SEARCH_INDEX_H_
#define TOMEVA_CATALOG_SEARCH_INDEX_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace tomeva::catalog {

// The catalog version from which on a catalog carries the search index.
inline constexpr int kSearchIndexVersion = 3;
// The version from which on the index's triggers read the table
// BookSearchPause, so that a transaction can index its new books once, at its
// end, without changing the schema.
inline constexpr int kSearchPauseVersion = 4;

// The folded form of text that the index holds and searches compare: letters
// lowered as the catalog's keys are (Utf8Lower), "ё" written "е".
std::string SearchFold(std::string_view text);

// The FTS5 query that finds the books matching text typed by a user: the
// words the index's tokenizer (on db) splits the folded text into, each
// quoted as a prefix, all of them required. Whatever text holds, the query is
// well-formed and holds no operator of its own; at most kMaxSearchWords words
// of at most kMaxSearchWordBytes bytes each are used. Empty when text holds
// no word. An error only when db's SQLite lacks FTS5.
inline constexpr size_t kMaxSearchWords = 16;
inline constexpr size_t kMaxSearchWordBytes = 64;
Result<std::string> BuildSearchQuery(sqlite3* db, std::string_view text);

// Adds the index, its triggers and its rows for every book to a catalog with
// the default tables (a catalog without them is left alone). Runs inside the
// caller's transaction.
Status AddSearchIndex(sqlite3* db);

// Brings the search index's triggers of a catalog of the previous version to
// those of kSearchPauseVersion (and adds the table they read); nothing on a
// catalog without the index. Runs inside the caller's transaction.
Status UpdateSearchTriggers(sqlite3* db);

// Whether the catalog has the search index.
bool HasSearchIndex(sqlite3* db);

// A bulk insert of books (see SuspendBookInsertTrigger): Suspend stops the
// triggers from indexing books above last_book_before one row at a time;
// Finish indexes them all with one statement and lets the triggers index
// again. Both are part of the caller's transaction and leave the schema as it
// is (on a catalog of kSearchPauseVersion).
// Both do nothing on a catalog without the index.
Status SuspendSearchIndexing(sqlite3* db, int64_t last_book_before);
Status FinishSearchIndexing(sqlite3* db, int64_t last_book_before);
// The largest book key of the catalog (0 without books).
Result<int64_t> LastBookKey(sqlite3* db);
// Merges the search index into one piece, as it would be had its rows come in
// one by one and been merged over time: a search then reads one list per word
// (a third less time for two words over a million books). Half a second for a
// million books; meant for the end of a bulk insert that filled the index.
Status MergeSearchIndex(sqlite3* db);

// SuspendSearchIndexing for the books inserted from now on: gives the largest
// BookId before them, to hand to FinishSearchIndexing (-1 on a catalog
// without the index: nothing was suspended).
Result<int64_t> SuspendSearchIndexingOfNewBooks(sqlite3* db);

// The keys of the books matching text (see BuildSearchQuery), best matches
// first (a match in the title weighs most, then authors, then series), at most
// limit of them after skipping offset. No word in text finds nothing. An error
// when the catalog has no search index (a read-only catalog of an earlier
// version).
Result<std::vector<int64_t>> SearchBooks(sqlite3* db, std::string_view text, int64_t limit,
                                         int64_t offset);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_SEARCH_INDEX_H_
