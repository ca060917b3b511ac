// The catalog database as the rest of the system sees it: one connection that runs
// Jet SQL statements, opens forward-only result sets, reports the last inserted key
// and nests transactions. Backends (SQLite today) implement these interfaces;
// OpenCatalog picks one from the connection string that start-up builds.
//
// A Database and the result sets it opened are used by one thread at a time (the
// plugin's entry points hold a process-wide lock around every call).
#ifndef TOMEVA_CATALOG_DATABASE_H_
#define TOMEVA_CATALOG_DATABASE_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace tomeva::catalog {

// A forward-only cursor over a query's rows, positioned on the first row. Column
// accessors on a set that is past its last row (or closed), or with an index out of
// range, read as NULL: IsNull true, Text "", Int 0, DateTime nullopt.
class ResultSet {
 public:
  virtual ~ResultSet() = default;

  // True when the cursor is past the last row; true at once for an empty result.
  virtual bool AtEnd() const = 0;
  // Moves to the next row. An error (also: calling it when AtEnd) leaves the set
  // AtEnd, so a reading loop always terminates.
  virtual Status Next() = 0;
  // Number of columns of the result (0 once closed).
  virtual int ColumnCount() const = 0;
  // Name of column index (0-based) as the query named it; "" when out of range.
  virtual std::string ColumnName(int index) const = 0;
  // Index of the first column whose name equals name, ignoring letter case
  // (Latin and Cyrillic); nullopt when there is none.
  virtual std::optional<int> ColumnIndex(std::string_view name) const = 0;
  // True when the current row's value in column index is NULL.
  virtual bool IsNull(int index) const = 0;
  // The value as text: "" for NULL, numbers as SQLite prints them (2, 2.5, 2.0).
  virtual std::string Text(int index) const = 0;
  // The value as a 32-bit integer: text is converted as SQLite converts it (its
  // leading number, else 0), reals are truncated toward zero, and values beyond the
  // 32-bit range are clamped to it.
  virtual int32_t Int(int index) const = 0;
  // The value as a 64-bit integer, converted as Int converts, without the clamp
  // to 32 bits (file sizes of 2 GiB and more).
  virtual int64_t Int64(int index) const = 0;
  // The value as a date-time: ISO text 'YYYY-MM-DD[ HH:MM[:SS]]' (also with 'T'
  // between date and time, fractional seconds ignored) or a number (a Jet date
  // serial: days since 1899-12-30, the fraction is the time of day); nullopt for
  // NULL, blobs and unreadable text.
  virtual std::optional<std::chrono::sys_seconds> DateTime(int index) const = 0;
  // Closes the set and opens jet_sql on the same connection in its place. On
  // failure the set stays closed (AtEnd) and the error is returned.
  virtual Status Reopen(std::string_view jet_sql) = 0;
  // Releases the rows (and the statement behind them). Idempotent; the destructor
  // closes too.
  virtual void Close() = 0;
};

// A statement in the backend's own SQL with "?" parameters (numbered from 1),
// prepared once and run many times with bound values: the bulk writer's tool
// (thousands of rows a second without translating or preparing each one).
// Values bound stay bound until rebound; Run resets the statement afterwards.
class BoundStatement {
 public:
  virtual ~BoundStatement() = default;
  virtual void BindNull(int index) = 0;
  virtual void BindInt(int index, int64_t value) = 0;
  // The text must outlive the next Run (it is not copied).
  virtual void BindText(int index, std::string_view value) = 0;
  // Runs the statement to its end. The first column of the first row it
  // returned, when it returned one and that value is not NULL.
  virtual Result<std::optional<int64_t>> Run() = 0;
};

// One connection to a catalog. Every SQL text is Jet SQL; a text that cannot be
// translated to the backend's dialect fails the call without running anything.
class Database {
 public:
  virtual ~Database() = default;

  // Runs every statement of jet_sql (statements separated by ";") in order,
  // stopping at the first one that fails. No rows are read. Empty text is an error.
  virtual Status Execute(std::string_view jet_sql) = 0;
  // Opens a result set over the rows of the one statement of jet_sql.
  virtual Result<std::unique_ptr<ResultSet>> Query(std::string_view jet_sql) = 0;
  // As Query, but refuses (without running it) a statement that could change
  // the catalog: listings and path lookups only ever read.
  virtual Result<std::unique_ptr<ResultSet>> ReadQuery(std::string_view jet_sql) = 0;
  // The key the last successful INSERT on this connection gave to the table's
  // auto-numbered key (0 before any insert).
  virtual int64_t LastInsertKey() const = 0;
  // Starts a transaction; a call while one is open starts a nested one, which its
  // Commit folds into the enclosing one and its Rollback undoes alone. Only the
  // outermost Commit makes the changes durable.
  virtual Status BeginTransaction() = 0;
  // Ends the innermost transaction, keeping its changes. When the outermost commit
  // fails, the whole transaction is rolled back and the error returned.
  virtual Status Commit() = 0;
  // Ends the innermost transaction, undoing its changes.
  virtual Status Rollback() = 0;
  // Until EndKeepRows, deletions of rows of table whose key_column is not key
  // are skipped on this connection, silently and without cascading: a clean-up
  // statement of the settings may then remove that one row and no other.
  virtual Status KeepRowsExcept(std::string_view table, std::string_view key_column,
                                int64_t key) = 0;
  virtual Status EndKeepRows() = 0;
  // The catalog file this connection has open.
  virtual std::string FileName() const = 0;
  // Brings the query planner's statistics up to date after many rows changed
  // (a sampled ANALYZE: milliseconds whatever the catalog's size). Listings of
  // distinct values rely on them to read those values off an index.
  virtual Status RefreshStatistics() = 0;
  // Fills the catalog's folder listing tables anew from the rows they are
  // made of, in one transaction (the repair the upgrade runs: rows written by
  // a program that did not keep them). Backends without them do nothing.
  virtual Status RebuildFolderListings() { return Status::Ok(); }
  // Bulk write mode: while on, the connection may hold much more of the catalog
  // in memory (hundreds of MB) so that writing hundreds of thousands of rows
  // does not go back to the file for every index page. Off gives the memory
  // back. Backends without it do nothing.
  virtual Status SetBulkWriteMode(bool /*on*/) { return Status::Ok(); }
  // Inside a write transaction: books inserted until EndBulkBookInsert get
  // their computed key and shown name once, for the whole batch, instead of
  // row by row (see catalog_keys.h). Backends without computed columns do
  // nothing. A rollback of the transaction ends the batch too.
  virtual Status BeginBulkBookInsert() { return Status::Ok(); }
  virtual Status EndBulkBookInsert() { return Status::Ok(); }
  // Inside a write transaction: the books inserted from now on are added to the
  // search index once, when the transaction level this is called in commits,
  // instead of again at every statement that touches them (their insert, each
  // author linked). A rollback of that level ends it too. Backends without a
  // search index do nothing.
  virtual Status DeferSearchIndexing() { return Status::Ok(); }
  // The keys of the books whose title, authors or series have words beginning
  // with every word of text (any order, letter case ignored), best matches
  // first, at most limit of them after skipping offset (see search_index.h).
  // Text is taken as a user typed it: no character of it is an operator.
  // Backends without a search index fail.
  virtual Result<std::vector<int64_t>> SearchBooks(std::string_view /*text*/, int64_t /*limit*/,
                                                   int64_t /*offset*/) {
    return Error{"this catalog cannot be searched"};
  }
  // Join clauses already planned on this connection (see BuildJoinClause), by
  // the table list they join, kept only while the catalog's schema (and so
  // its declared relationships) stays the same. Backends without a memory of
  // them plan every time.
  virtual std::optional<std::string> PlannedJoin(std::string_view /*tables*/) {
    return std::nullopt;
  }
  virtual void RememberJoin(std::string_view /*tables*/, std::string /*clause*/) {}
  // Prepares one statement of the backend's own SQL (see BoundStatement). The
  // statement belongs to this connection and must not outlive it. Backends
  // without it fail.
  virtual Result<std::unique_ptr<BoundStatement>> Prepare(std::string_view native_sql) {
    return Error{"this catalog cannot prepare statement " + std::string(native_sql)};
  }
};

// The bulk write mode of db (Database::SetBulkWriteMode) for as long as it
// lives; nothing when db is null.
class ScopedBulkWrite {
 public:
  explicit ScopedBulkWrite(Database* db) : db_(db) {
    if (db_ != nullptr) (void)db_->SetBulkWriteMode(true);
  }
  ~ScopedBulkWrite() {
    if (db_ != nullptr) (void)db_->SetBulkWriteMode(false);
  }
  ScopedBulkWrite(const ScopedBulkWrite&) = delete;
  ScopedBulkWrite& operator=(const ScopedBulkWrite&) = delete;

 private:
  Database* db_;
};

// Opens the catalog a connection string names ("Provider=...; Data Source=...;
// Persist Security Info=False"). Provider "SQLite" or "SQLite3" (any case) opens an
// existing SQLite file; a missing file is an error, never created here. Jet providers
// (Microsoft.Jet.OLEDB.*, Microsoft.ACE.OLEDB.*) fail with a message saying they
// cannot be served on Linux; any other provider, or none, fails naming it.
// kReadOnly opens a connection that never writes (a reader beside writers in
// other processes, under WAL); a catalog that cannot be written is opened
// read-only in either mode.
enum class CatalogAccess { kReadWrite, kReadOnly };
Result<std::unique_ptr<Database>> OpenCatalog(std::string_view connection_string,
                                              CatalogAccess access = CatalogAccess::kReadWrite);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_DATABASE_H_
