// The genre listing of the default catalog: table GenreListing holds, for each
// link of a book to a genre, the columns a genre folder lists (the book's
// shown name, size and date), keyed by genre and then book. A genre's books
// are then read from one run of neighbouring pages instead of one page of the
// book table per book, which is spread over the whole file.
//
// Triggers on BookGenres and Books keep it: a link made, changed or removed,
// and a book's listed columns changed. While a transaction inserts books whose
// derived rows are made at its end (the pause of search_index.h), links of the
// new books are left out and FillGenreListingOfNewBooks adds them. The table
// is derived: the stock sqlite3 shell reads and integrity-checks it, and a
// catalog of an earlier version gets it, filled, when Tomeva opens it
// writable.
#ifndef TOMEVA_CATALOG_GENRE_LISTING_H_
#define TOMEVA_CATALOG_GENRE_LISTING_H_

#include <sqlite3.h>

#include <cstdint>

#include "common/result.h"

namespace tomeva::catalog {

// The catalog version from which on a catalog carries the genre listing.
inline constexpr int kGenreListingVersion = 5;

// Adds the table, its triggers and its rows for every link to a catalog with
// the default tables and the search index's pause table (a catalog without
// them is left alone). Runs inside the caller's transaction.
Status AddGenreListing(sqlite3* db);

// Adds the rows of the links of every book above last_book_before, made while
// the triggers left them out; before the pause ends. Nothing on a catalog
// without the listing or for a negative key (nothing was paused).
Status FillGenreListingOfNewBooks(sqlite3* db, int64_t last_book_before);

// For a read-only catalog of an earlier version, which cannot be given the
// table: a view of the same name and columns over BookGenres and Books, in
// the connection's temporary schema, so that the default genre folder lists
// its books (at the speed it had before). Nothing where the table exists or
// the default tables are missing.
Status ViewGenreListing(sqlite3* db);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_GENRE_LISTING_H_
