// The listing tables of the default catalog: tables that hold, side by side,
// the columns a big default folder lists, so that listing it reads a run of
// neighbouring pages instead of one page elsewhere in the file per entry.
//
// GenreListing holds, for each link of a book to a genre, the book's listed
// name, size and date, keyed by genre and then book (a genre folder's books
// are spread over the whole book table). AuthorListing holds each author that
// has a book, keyed by letter, shown name and key (one letter's authors, with
// no look into the links per author to leave out those without books). The
// books of a title letter are read from an index that holds their listed
// columns (BooksByTitleLetterListed), without a look into the book table per
// book.
//
// Triggers on the links, the books and the authors keep them. While a
// transaction inserts books whose derived rows are made at its end (the pause
// of search_index.h), links of the new books are left out and
// FillListingsOfNewBooks adds them. The tables are derived: the stock sqlite3
// shell reads and integrity-checks them, and a catalog of an earlier version
// gets them, filled, when Tomeva opens it writable.
#ifndef TOMEVA_CATALOG_FOLDER_LISTINGS_H_
#define TOMEVA_CATALOG_FOLDER_LISTINGS_H_

#include <sqlite3.h>

#include <cstdint>

#include "common/result.h"

namespace tomeva::catalog {

// The catalog versions from which on a catalog carries each listing: the
// genre listing from 5, the author listing and the title letter's index from 6.
inline constexpr int kGenreListingVersion = 5;
inline constexpr int kAuthorListingVersion = 6;

// Adds the listings a catalog of version from lacks (tables, triggers, and
// rows for every link) to a catalog with the default tables and the search
// index's pause table (a catalog without them is left alone). Runs inside the
// caller's transaction.
Status AddFolderListings(sqlite3* db, int from);

// Adds the rows of the links of every book above last_book_before, which the
// triggers left out; before the pause ends. Nothing on a catalog without the
// listings or for a negative key (nothing was paused).
Status FillListingsOfNewBooks(sqlite3* db, int64_t last_book_before);

// Fills every listing the catalog has anew (tables, triggers and title
// index made again where missing), inside the caller's transaction.
Status RebuildFolderListings(sqlite3* db);

// For a read-only catalog of an earlier version, which cannot be given the
// tables: views of the same names and columns over the links, books and
// authors, in the connection's temporary schema, so that the default folders
// list as they did before. Nothing for a listing the catalog has, or without
// the default tables.
Status ViewFolderListings(sqlite3* db);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_FOLDER_LISTINGS_H_
