// The SQLite backend of the catalog: owning handles for SQLite connections and
// statements, and the Database implementation over an existing SQLite file.
#ifndef TOMEVA_CATALOG_SQLITE_DATABASE_H_
#define TOMEVA_CATALOG_SQLITE_DATABASE_H_

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>

#include "catalog/database.h"
#include "common/result.h"

namespace tomeva::catalog {

// Closes a connection (sqlite3_close_v2: statements still alive finish the close).
struct SqliteConnectionCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteConnectionHandle = std::unique_ptr<sqlite3, SqliteConnectionCloser>;

// Finalizes a prepared statement.
struct SqliteStatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqliteStatementHandle = std::unique_ptr<sqlite3_stmt, SqliteStatementFinalizer>;

// Opens path with the sqlite3_open_v2 flags given (serialized threading mode is
// added) and extended result codes on. The error names the file and SQLite's reason.
Result<SqliteConnectionHandle> OpenSqliteConnection(const std::string& path, int flags);

// What an SQLite result code means to a user ("the catalog is busy: ...", "the
// disk is full"); empty for codes that need SQLite's own message.
std::string_view SqliteFailureMeaning(int code);

// An error carrying the connection's last message, after what its code means to
// a user, and, when not empty, the SQL text it concerns.
Error SqliteError(sqlite3* db, std::string_view sql);

// Opens the existing SQLite catalog at path (never creating it) as a Database: WAL
// journal, synchronous=NORMAL, foreign keys on, a 15 s busy timeout, the Jet
// functions and collation registered and the MSysRelationships view in place.
// Prepared statements and Jet translations are cached per connection. read_only
// opens a connection that never writes and leaves the journal mode as it is.
Result<std::unique_ptr<Database>> OpenSqliteDatabase(const std::string& path,
                                                     bool read_only = false);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_SQLITE_DATABASE_H_
