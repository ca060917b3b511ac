// Running schema scripts and reading what the catalog's schema holds.
#include "catalog/schema_edits.h"

namespace tomeva::catalog {

Status RunCatalogSql(sqlite3* db, const std::string& sql, std::string_view what) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message != nullptr ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return Error{"cannot " + std::string(what) + ": " + text};
  }
  return Status::Ok();
}

bool HasTable(sqlite3* db, const char* name) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1",
                         -1, &raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    return false;
  }
  sqlite3_bind_text(raw, 1, name, -1, SQLITE_STATIC);
  const bool has = sqlite3_step(raw) == SQLITE_ROW && sqlite3_column_int(raw, 0) > 0;
  sqlite3_finalize(raw);
  return has;
}

bool HasColumns(sqlite3* db, std::string_view table,
                std::initializer_list<std::string_view> columns) {
  const std::string t(table);
  for (std::string_view column : columns) {
    const std::string c(column);
    if (sqlite3_table_column_metadata(db, "main", t.c_str(), c.c_str(), nullptr, nullptr, nullptr,
                                      nullptr, nullptr) != SQLITE_OK) {
      return false;
    }
  }
  return true;
}

Status ReplaceTrigger(sqlite3* db, const std::string& name, const std::string& definition,
                      std::string_view what) {
  return RunCatalogSql(db, "DROP TRIGGER IF EXISTS " + name + "; CREATE TRIGGER " + name + " " +
                               definition,
                       what);
}

}  // namespace tomeva::catalog
