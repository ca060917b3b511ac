// Reading genres.tsv and filling the catalog's Genres table.
#include "cli/genre_names.h"

#include <sqlite3.h>

#include "catalog/jet_functions.h"
#include "catalog/sqlite_database.h"

namespace tomeva::cli {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

Status Exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
    return catalog::SqliteError(db, sql);
  }
  return Status::Ok();
}

}  // namespace

std::vector<GenreName> ParseGenreNames(std::string_view tsv) {
  if (tsv.substr(0, 3) == "\xEF\xBB\xBF") tsv.remove_prefix(3);
  std::vector<GenreName> genres;
  while (!tsv.empty()) {
    size_t end = tsv.find('\n');
    std::string_view line = tsv.substr(0, end);
    tsv = end == std::string_view::npos ? std::string_view() : tsv.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    size_t tab = line.find('\t');
    std::string_view code = Trimmed(line.substr(0, tab));
    if (code.empty()) continue;
    GenreName genre{std::string(code), std::nullopt};
    if (tab != std::string_view::npos) {
      std::string_view name = Trimmed(line.substr(tab + 1));
      if (!name.empty()) genre.name = std::string(name);
    }
    genres.push_back(std::move(genre));
  }
  return genres;
}

Result<int> StoreGenreNames(const std::string& catalog_path,
                            const std::vector<GenreName>& genres) {
  Result<catalog::SqliteConnectionHandle> opened =
      catalog::OpenSqliteConnection(catalog_path, SQLITE_OPEN_READWRITE);
  if (!opened.ok()) return opened.error();
  sqlite3* db = opened->get();
  // The catalog's own NOCASE collation orders the Code index; use the same one.
  if (Status status = catalog::RegisterJetFunctions(db); !status.ok()) return status.error();
  if (Status status = Exec(db, "BEGIN"); !status.ok()) return status.error();
  constexpr const char* kInsert = "INSERT OR IGNORE INTO Genres (Code, Name) VALUES (?1, ?2)";
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, kInsert, -1, &raw, nullptr) != SQLITE_OK) {
    Error error = catalog::SqliteError(db, kInsert);
    (void)Exec(db, "ROLLBACK");
    return error;
  }
  catalog::SqliteStatementHandle insert(raw);
  int added = 0;
  for (const GenreName& genre : genres) {
    sqlite3_reset(insert.get());
    sqlite3_bind_text(insert.get(), 1, genre.code.data(), static_cast<int>(genre.code.size()),
                      SQLITE_TRANSIENT);
    if (genre.name) {
      sqlite3_bind_text(insert.get(), 2, genre.name->data(), static_cast<int>(genre.name->size()),
                        SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(insert.get(), 2);
    }
    if (sqlite3_step(insert.get()) != SQLITE_DONE) {
      Error error = catalog::SqliteError(db, kInsert);
      insert.reset();
      (void)Exec(db, "ROLLBACK");
      return error;
    }
    added += sqlite3_changes(db);
  }
  insert.reset();
  if (Status status = Exec(db, "COMMIT"); !status.ok()) {
    (void)Exec(db, "ROLLBACK");
    return status.error();
  }
  return added;
}

}  // namespace tomeva::cli
