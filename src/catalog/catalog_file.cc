// Creates a catalog file from schema SQL text, never overwriting an existing file.
#include "catalog/catalog_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "catalog/catalog_keys.h"
#include "catalog/jet_functions.h"
#include "catalog/sqlite_database.h"

namespace tomeva::catalog {
namespace {

Status Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message != nullptr ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return Error{"SQLite: " + text};
  }
  return Status::Ok();
}

// Fills the empty file at path with the schema.
Status BuildCatalog(const std::string& path, std::string_view schema_sql) {
  Result<SqliteConnectionHandle> db = OpenSqliteConnection(path, SQLITE_OPEN_READWRITE);
  if (!db.ok()) return db.error();
  sqlite3* handle = db->get();
  if (Status status = RegisterJetFunctions(handle); !status.ok()) return status;
  if (Status status = Exec(handle, "PRAGMA foreign_keys=ON; BEGIN"); !status.ok()) return status;
  if (Status status = Exec(handle, std::string(schema_sql)); !status.ok()) {
    (void)Exec(handle, "ROLLBACK");
    return Error{"the catalog schema failed: " + status.message()};
  }
  if (Status status = Exec(handle, "COMMIT"); !status.ok()) {
    (void)Exec(handle, "ROLLBACK");
    return status;
  }
  // The default tables get the columns Tomeva computes.
  if (Status status = UpdateCatalogKeys(handle); !status.ok()) return status;
  return Exec(handle, "PRAGMA journal_mode=WAL");
}

}  // namespace

Status CreateCatalogFile(const std::string& path, std::string_view schema_sql) {
  if (path.empty()) return Error{"no catalog file is named"};
  // O_EXCL makes "refuse when the file exists" atomic: another process creating
  // the same file at the same moment cannot be overwritten.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int error = errno;
    if (error == EEXIST) return Error{"the catalog file " + path + " already exists"};
    return Error{"cannot create the catalog file " + path + ": " + std::strerror(error)};
  }
  ::close(fd);
  Status status = BuildCatalog(path, schema_sql);
  if (!status.ok()) {
    // The connection is closed by now, so SQLite has removed its own journal.
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return Error{"cannot create the catalog file " + path + ": " + status.message()};
  }
  return Status::Ok();
}

}  // namespace tomeva::catalog
