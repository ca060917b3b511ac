// The genre listing's table, its triggers, its filling and the view that
// stands in for it in a read-only catalog of an earlier version.
#include "catalog/genre_listing.h"

#include <string>
#include <utility>
#include <vector>

#include "catalog/schema_edits.h"

namespace tomeva::catalog {
namespace {

constexpr char kWhat[] = "keep the genre listing";

constexpr char kCreateTable[] =
    "CREATE TABLE IF NOT EXISTS GenreListing (GenreId INTEGER NOT NULL, BookId INTEGER NOT NULL, "
    "FileName TEXT COLLATE NOCASE, fSize INTEGER, fDate TEXT, PRIMARY KEY (GenreId, BookId)) "
    "WITHOUT ROWID";

// The listed rows of the links the condition after it selects.
constexpr char kListedRows[] =
    "INSERT OR REPLACE INTO GenreListing (GenreId, BookId, FileName, fSize, fDate) SELECT "
    "BookGenres.GenreId, Books.BookId, Books.FileName, Books.fSize, Books.fDate FROM BookGenres "
    "JOIN Books ON Books.BookId = BookGenres.BookId WHERE ";

// A trigger of a book's row or link acts only for books up to the paused key
// (the search index's pause: see search_index.h).
constexpr char kNotPaused[] =
    "NEW.BookId <= coalesce((SELECT min(LastBookBefore) FROM BookSearchPause), NEW.BookId)";

std::string Unlink(std::string_view row) {
  const std::string r(row);
  return "DELETE FROM GenreListing WHERE GenreId = " + r + ".GenreId AND BookId = " + r +
         ".BookId; ";
}

std::string Link() {
  return std::string(kListedRows) + "BookGenres.BookId = NEW.BookId AND BookGenres.GenreId = "
                                    "NEW.GenreId; ";
}

// Pairs of a trigger's name and the rest of its CREATE TRIGGER statement.
std::vector<std::pair<std::string, std::string>> Triggers() {
  const std::string not_paused(kNotPaused);
  return {
      {"GenreListingOnLink",
       "AFTER INSERT ON BookGenres WHEN " + not_paused + " BEGIN " + Link() + "END"},
      {"GenreListingOnUnlink", "AFTER DELETE ON BookGenres BEGIN " + Unlink("OLD") + "END"},
      {"GenreListingOnRelink",
       "AFTER UPDATE OF BookId, GenreId ON BookGenres BEGIN " + Unlink("OLD") + Link() + "END"},
      // A book's listed columns: its links give the genres whose rows hold
      // them, so that no row is looked for by book alone.
      {"GenreListingOnBookChange",
       "AFTER UPDATE OF FileName, fSize, fDate ON Books WHEN " + not_paused +
           " AND (OLD.FileName IS NOT NEW.FileName OR OLD.fSize IS NOT NEW.fSize OR OLD.fDate IS "
           "NOT NEW.fDate) BEGIN UPDATE GenreListing SET FileName = NEW.FileName, fSize = "
           "NEW.fSize, fDate = NEW.fDate WHERE BookId = NEW.BookId AND GenreId IN (SELECT "
           "BookGenres.GenreId FROM BookGenres WHERE BookGenres.BookId = NEW.BookId); END"},
  };
}

bool HasDefaultTables(sqlite3* db) {
  return HasColumns(db, "Books", {"BookId", "FileName", "fSize", "fDate"}) &&
         HasColumns(db, "BookGenres", {"BookId", "GenreId"});
}

}  // namespace

Status AddGenreListing(sqlite3* db) {
  if (!HasDefaultTables(db) || !HasTable(db, "BookSearchPause")) return Status::Ok();
  if (Status s = RunCatalogSql(db, kCreateTable, kWhat); !s.ok()) return s;
  for (const auto& [name, definition] : Triggers()) {
    if (Status s = ReplaceTrigger(db, name, definition, kWhat); !s.ok()) return s;
  }
  // In the table's order, so that every row is appended.
  return RunCatalogSql(db,
                       "DELETE FROM GenreListing; " + std::string(kListedRows) +
                           "1 ORDER BY BookGenres.GenreId, Books.BookId",
                       kWhat);
}

Status FillGenreListingOfNewBooks(sqlite3* db, int64_t last_book_before) {
  if (last_book_before < 0 || !HasTable(db, "GenreListing")) return Status::Ok();
  return RunCatalogSql(
      db, std::string(kListedRows) + "BookGenres.BookId > " + std::to_string(last_book_before),
      kWhat);
}

Status ViewGenreListing(sqlite3* db) {
  if (HasTable(db, "GenreListing") || !HasDefaultTables(db)) return Status::Ok();
  return RunCatalogSql(db,
                       "CREATE TEMP VIEW IF NOT EXISTS GenreListing AS SELECT BookGenres.GenreId "
                       "AS GenreId, Books.BookId AS BookId, Books.FileName AS FileName, "
                       "Books.fSize AS fSize, Books.fDate AS fDate FROM BookGenres JOIN Books ON "
                       "Books.BookId = BookGenres.BookId",
                       "read the genre listing");
}

}  // namespace tomeva::catalog
