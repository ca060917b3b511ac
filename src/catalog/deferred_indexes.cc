// Indexes set aside during bulk inserts, and made again after them.
#include "catalog/deferred_indexes.h"

#include "catalog/schema_edits.h"
#include "catalog/sqlite_database.h"

namespace tomeva::catalog {
namespace {

constexpr std::string_view kWhat = "set the catalog's indexes aside for a bulk insert";

// The index's columns in order (an expression's column has no name: "").
Result<std::vector<std::string>> IndexColumns(sqlite3* db, const std::string& index) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT name FROM pragma_index_info(?1) ORDER BY seqno", -1, &raw,
                         nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    return Error{"cannot read the columns of index " + index + ": " + sqlite3_errmsg(db)};
  }
  SqliteStatementHandle statement(raw);
  sqlite3_bind_text(raw, 1, index.c_str(), static_cast<int>(index.size()), SQLITE_TRANSIENT);
  std::vector<std::string> columns;
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    columns.emplace_back(name != nullptr ? name : "");
  }
  if (step != SQLITE_DONE) {
    return Error{"cannot read the columns of index " + index + ": " + sqlite3_errmsg(db)};
  }
  return columns;
}

// The quoted name for a DROP INDEX statement.
std::string QuotedName(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

Result<std::vector<DeferredIndex>> SetIndexesAside(sqlite3* db,
                                                   std::initializer_list<std::string_view> tables) {
  if (sqlite3_get_autocommit(db)) return Error{"setting indexes aside needs a transaction"};
  std::vector<DeferredIndex> aside;
  for (std::string_view table : tables) {
    sqlite3_stmt* raw = nullptr;
    // Unique indexes are told apart by pragma_index_list; an index SQLite made
    // for a constraint has no statement.
    if (sqlite3_prepare_v2(db,
                           "SELECT s.name, s.sql FROM sqlite_schema AS s JOIN "
                           "pragma_index_list(?1) AS l ON l.name = s.name WHERE s.type = 'index' "
                           "AND s.sql IS NOT NULL AND l.\"unique\" = 0 ORDER BY s.name",
                           -1, &raw, nullptr) != SQLITE_OK) {
      sqlite3_finalize(raw);
      return Error{"cannot " + std::string(kWhat) + ": " + sqlite3_errmsg(db)};
    }
    SqliteStatementHandle statement(raw);
    sqlite3_bind_text(raw, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    std::vector<DeferredIndex> found;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
      DeferredIndex index;
      index.name = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
      index.sql = reinterpret_cast<const char*>(sqlite3_column_text(raw, 1));
      found.push_back(std::move(index));
    }
    if (step != SQLITE_DONE) return Error{"cannot " + std::string(kWhat) + ": " + sqlite3_errmsg(db)};
    statement.reset();
    for (DeferredIndex& index : found) {
      Result<std::vector<std::string>> columns = IndexColumns(db, index.name);
      if (!columns.ok()) return columns.error();
      index.columns = std::move(columns).value();
      if (Status s = RunCatalogSql(db, "DROP INDEX " + QuotedName(index.name), kWhat); !s.ok()) {
        return s.error();
      }
      aside.push_back(std::move(index));
    }
  }
  return aside;
}

Status RestoreIndexes(sqlite3* db, std::vector<DeferredIndex>& indexes,
                      const std::function<bool(const DeferredIndex&)>& which) {
  std::vector<DeferredIndex> kept;
  for (DeferredIndex& index : indexes) {
    if (which && !which(index)) {
      kept.push_back(std::move(index));
      continue;
    }
    if (Status s = RunCatalogSql(db, index.sql, "make the index " + index.name + " again");
        !s.ok()) {
      return s;
    }
  }
  indexes = std::move(kept);
  return Status::Ok();
}

}  // namespace tomeva::catalog
