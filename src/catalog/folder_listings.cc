// The listing tables: their definitions, triggers and filling, and the views
// that stand in for them in a read-only catalog of an earlier version.
#include "catalog/folder_listings.h"

#include <string>
#include <utility>
#include <vector>

#include "catalog/schema_edits.h"

namespace tomeva::catalog {
namespace {

constexpr char kWhat[] = "keep the folder listings";

// A trigger of a book's link acts only for books up to the paused key (the
// search index's pause: see search_index.h).
constexpr char kNotPaused[] =
    "NEW.BookId <= coalesce((SELECT min(LastBookBefore) FROM BookSearchPause), NEW.BookId)";

// One listing table.
struct Listing {
  const char* table;
  int version;
  std::string create;
  // Pairs of a trigger's name and the rest of its CREATE TRIGGER statement.
  std::vector<std::pair<std::string, std::string>> triggers;
  // Inserts the rows of the links of the books above a key.
  std::string (*rows_of_books_after)(const std::string& key);
  // Fills the whole table, in its own order.
  std::string fill;
  // The view that stands in for the table.
  std::string view;
  bool (*has_sources)(sqlite3* db);
};

// --- GenreListing ----------------------------------------------------------

constexpr char kGenreRows[] =
    "INSERT OR REPLACE INTO GenreListing (GenreId, BookId, FileName, fSize, fDate) SELECT "
    "BookGenres.GenreId, Books.BookId, Books.FileName, Books.fSize, Books.fDate FROM BookGenres "
    "JOIN Books ON Books.BookId = BookGenres.BookId WHERE ";

std::string GenreUnlink(std::string_view row) {
  const std::string r(row);
  return "DELETE FROM GenreListing WHERE GenreId = " + r + ".GenreId AND BookId = " + r +
         ".BookId; ";
}

std::string GenreLink() {
  return std::string(kGenreRows) +
         "BookGenres.BookId = NEW.BookId AND BookGenres.GenreId = NEW.GenreId; ";
}

bool HasGenreSources(sqlite3* db) {
  return HasColumns(db, "Books", {"BookId", "FileName", "fSize", "fDate"}) &&
         HasColumns(db, "BookGenres", {"BookId", "GenreId"});
}

Listing GenreListing() {
  const std::string not_paused(kNotPaused);
  return Listing{
      "GenreListing",
      kGenreListingVersion,
      "CREATE TABLE IF NOT EXISTS GenreListing (GenreId INTEGER NOT NULL, BookId INTEGER NOT "
      "NULL, FileName TEXT COLLATE NOCASE, fSize INTEGER, fDate TEXT, PRIMARY KEY (GenreId, "
      "BookId)) WITHOUT ROWID",
      {
          {"GenreListingOnLink",
           "AFTER INSERT ON BookGenres WHEN " + not_paused + " BEGIN " + GenreLink() + "END"},
          {"GenreListingOnUnlink",
           "AFTER DELETE ON BookGenres BEGIN " + GenreUnlink("OLD") + "END"},
          {"GenreListingOnRelink", "AFTER UPDATE OF BookId, GenreId ON BookGenres BEGIN " +
                                       GenreUnlink("OLD") + GenreLink() + "END"},
          // A book's listed columns: its links give the genres whose rows
          // hold them, so that no row is looked for by book alone.
          {"GenreListingOnBookChange",
           "AFTER UPDATE OF FileName, fSize, fDate ON Books WHEN " + not_paused +
               " AND (OLD.FileName IS NOT NEW.FileName OR OLD.fSize IS NOT NEW.fSize OR "
               "OLD.fDate IS NOT NEW.fDate) BEGIN UPDATE GenreListing SET FileName = "
               "NEW.FileName, fSize = NEW.fSize, fDate = NEW.fDate WHERE BookId = NEW.BookId AND "
               "GenreId IN (SELECT BookGenres.GenreId FROM BookGenres WHERE BookGenres.BookId = "
               "NEW.BookId); END"},
      },
      [](const std::string& key) { return kGenreRows + ("BookGenres.BookId > " + key); },
      std::string(kGenreRows) + "1 ORDER BY BookGenres.GenreId, Books.BookId",
      "SELECT BookGenres.GenreId AS GenreId, Books.BookId AS BookId, Books.FileName AS FileName, "
      "Books.fSize AS fSize, Books.fDate AS fDate FROM BookGenres JOIN Books ON Books.BookId = "
      "BookGenres.BookId",
      HasGenreSources};
}

// --- AuthorListing ---------------------------------------------------------

// The listed row of each author the condition after it selects, when the
// author has a letter, a shown name and a book.
constexpr char kAuthorRows[] =
    "INSERT OR IGNORE INTO AuthorListing (Letter, FolderName, AuthorId) SELECT Authors.Letter, "
    "Authors.FolderName, Authors.AuthorId FROM Authors WHERE Authors.Letter IS NOT NULL AND "
    "Authors.FolderName IS NOT NULL AND EXISTS (SELECT 1 FROM BookAuthors WHERE "
    "BookAuthors.AuthorId = Authors.AuthorId) AND ";

std::string AuthorListed(std::string_view author) {
  return std::string(kAuthorRows) + "Authors.AuthorId = " + std::string(author) + "; ";
}

// Removes the author's row when no link of it is left.
std::string AuthorUnlisted(std::string_view author) {
  const std::string a(author);
  return "DELETE FROM AuthorListing WHERE AuthorId = " + a +
         " AND Letter = (SELECT Letter FROM Authors WHERE AuthorId = " + a +
         ") AND FolderName = (SELECT FolderName FROM Authors WHERE AuthorId = " + a +
         ") AND NOT EXISTS (SELECT 1 FROM BookAuthors WHERE BookAuthors.AuthorId = " + a + "); ";
}

constexpr char kAuthorOldRowGone[] =
    "DELETE FROM AuthorListing WHERE Letter = OLD.Letter AND FolderName = OLD.FolderName AND "
    "AuthorId = OLD.AuthorId; ";

bool HasAuthorSources(sqlite3* db) {
  return HasColumns(db, "Authors", {"AuthorId", "Letter", "FolderName"}) &&
         HasColumns(db, "BookAuthors", {"BookId", "AuthorId"});
}

Listing AuthorListing() {
  return Listing{
      "AuthorListing",
      kAuthorListingVersion,
      "CREATE TABLE IF NOT EXISTS AuthorListing (Letter TEXT NOT NULL COLLATE NOCASE, FolderName "
      "TEXT NOT NULL COLLATE NOCASE, AuthorId INTEGER NOT NULL, PRIMARY KEY (Letter, FolderName, "
      "AuthorId)) WITHOUT ROWID",
      {
          {"AuthorListingOnLink", "AFTER INSERT ON BookAuthors WHEN " + std::string(kNotPaused) +
                                      " BEGIN " + AuthorListed("NEW.AuthorId") + "END"},
          {"AuthorListingOnUnlink",
           "AFTER DELETE ON BookAuthors BEGIN " + AuthorUnlisted("OLD.AuthorId") + "END"},
          {"AuthorListingOnRelink", "AFTER UPDATE OF BookId, AuthorId ON BookAuthors BEGIN " +
                                        AuthorUnlisted("OLD.AuthorId") +
                                        AuthorListed("NEW.AuthorId") + "END"},
          // A name changed: the letter follows the name at once, the shown
          // name when the catalog's own trigger computes it, in either order;
          // each step removes the row it had and lists the author as it now
          // stands.
          {"AuthorListingOnRename",
           "AFTER UPDATE OF AuthorId, Last, First, Middle, Nick, FolderName ON Authors BEGIN " +
               std::string(kAuthorOldRowGone) + AuthorListed("NEW.AuthorId") + "END"},
          {"AuthorListingOnAuthorDelete",
           "AFTER DELETE ON Authors BEGIN " + std::string(kAuthorOldRowGone) + "END"},
      },
      [](const std::string& key) {
        return kAuthorRows +
               ("Authors.AuthorId IN (SELECT BookAuthors.AuthorId FROM BookAuthors WHERE "
                "BookAuthors.BookId > " +
                key + ")");
      },
      std::string(kAuthorRows) + "1 ORDER BY 1, 2, 3",
      "SELECT Authors.Letter AS Letter, Authors.FolderName AS FolderName, Authors.AuthorId AS "
      "AuthorId FROM Authors WHERE EXISTS (SELECT 1 FROM BookAuthors WHERE BookAuthors.AuthorId = "
      "Authors.AuthorId)",
      HasAuthorSources};
}

const std::vector<Listing>& Listings() {
  static const std::vector<Listing> listings = {GenreListing(), AuthorListing()};
  return listings;
}

}  // namespace

Status AddFolderListings(sqlite3* db, int from) {
  // The index of the books by title letter, widened to the listed columns
  // (its first column is the narrow index's only one, which it replaces).
  if (from < kAuthorListingVersion &&
      HasColumns(db, "Books", {"TitleLetter", "FileName", "fSize", "fDate"})) {
    if (Status s = RunCatalogSql(db,
                                 "DROP INDEX IF EXISTS BooksByTitleLetter; CREATE INDEX IF NOT "
                                 "EXISTS BooksByTitleLetterListed ON Books (TitleLetter, "
                                 "FileName, fSize, fDate)",
                                 kWhat);
        !s.ok()) {
      return s;
    }
  }
  if (!HasTable(db, "BookSearchPause")) return Status::Ok();
  for (const Listing& listing : Listings()) {
    if (from >= listing.version || !listing.has_sources(db)) continue;
    if (Status s = RunCatalogSql(db, listing.create, kWhat); !s.ok()) return s;
    for (const auto& [name, definition] : listing.triggers) {
      if (Status s = ReplaceTrigger(db, name, definition, kWhat); !s.ok()) return s;
    }
    // In the table's order, so that every row is appended.
    if (Status s = RunCatalogSql(db, "DELETE FROM " + std::string(listing.table) + "; " + listing.fill,
                                 kWhat);
        !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

Status RebuildFolderListings(sqlite3* db) { return AddFolderListings(db, 0); }

Status FillListingsOfNewBooks(sqlite3* db, int64_t last_book_before) {
  if (last_book_before < 0) return Status::Ok();
  const std::string key = std::to_string(last_book_before);
  for (const Listing& listing : Listings()) {
    if (!HasTable(db, listing.table)) continue;
    if (Status s = RunCatalogSql(db, listing.rows_of_books_after(key), kWhat); !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

Status ViewFolderListings(sqlite3* db) {
  for (const Listing& listing : Listings()) {
    if (HasTable(db, listing.table) || !listing.has_sources(db)) continue;
    if (Status s = RunCatalogSql(db,
                                 "CREATE TEMP VIEW IF NOT EXISTS " + std::string(listing.table) +
                                     " AS " + listing.view,
                                 "read the folder listings");
        !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

}  // namespace tomeva::catalog
