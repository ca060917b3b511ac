// Catalog statements: the one place that runs SQL on the catalog connection and
// builds the statements every writer shares (insert a row from parameter text,
// update rows, SQL literals, find-or-insert a row and return its key). All SQL here
// is Jet SQL text; the connection translates it. No operation lets an engine error
// escape: failures come back as status codes, -1, empty text or a null set.
//
// A null Database stands for a session without a catalog: every call then fails
// the way a failing statement does.
#ifndef TOMEVA_CATALOG_STATEMENTS_H_
#define TOMEVA_CATALOG_STATEMENTS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "catalog/database.h"

namespace tomeva::catalog {

// Outcome of the writing operations.
enum class WriteStatus {
  kRan = 0,          // the statement ran
  kFailed = 1,       // the statement failed, or was empty
  kNothingToDo = 2,  // missing input: no statement was run
};

// Whether a query may change the catalog (Database::ReadQuery).
enum class Access { kAny, kReadOnly };

WriteStatus ExecSql(Database* db, std::string_view sql);
// The open result set, or null when sql is empty or fails (also: when access is
// kReadOnly and the statement could write).
std::unique_ptr<ResultSet> OpenQuery(Database* db, std::string_view sql,
                                     Access access = Access::kAny);
// Column 0 of the first row as text; empty when the query failed or gave no row.
std::string QueryText(Database* db, std::string_view sql, Access access = Access::kAny);
// Column 0 of the first row as an integer; -1 when the query failed or gave no row.
int32_t QueryInt(Database* db, std::string_view sql, Access access = Access::kAny);
// Column 0 of every row, each followed by CR LF.
std::string QueryColumn(Database* db, std::string_view sql);
// "name=value" CR LF for each column of the first row (empty values when there is
// no row); empty when the query failed.
std::string QueryRowParams(Database* db, std::string_view sql);
// QueryRowParams of "SELECT table.* FROM table WHERE table.condition;".
std::string SelectRowParams(Database* db, std::string_view table, std::string_view condition);

// The Jet SQL literal for a raw value: null for an empty value or "null"; one
// well-formed double-quoted literal as written; anything else, digits included,
// double-quoted with inner quotes doubled, so that "007" stays the text "007"
// (a numeric column converts a quoted number when storing or comparing it).
// Whatever the value, the result is exactly one literal.
std::string SqlValue(std::string_view value);
// ((table.name)=literal)AND... for every entry of params.
std::string WhereEqual(std::string_view table, std::string_view params);
// ((isnull(col))or((col)=literal))AND... for every entry of params.
std::string WhereNullable(std::string_view table, std::string_view params);

WriteStatus InsertRow(Database* db, std::string_view table, std::string_view params);
WriteStatus UpdateRows(Database* db, std::string_view table, std::string_view set_params,
                       std::string_view where_params);

enum class InsertIfMissingResult { kInserted = 0, kExists = 1, kLookupFailed = 2 };
InsertIfMissingResult InsertIfMissing(Database* db, std::string_view table,
                                      std::string_view params);

enum class FindMode {
  kFindOrInsert = 0,
  kInsertOnly = 1,  // -1 when a matching row exists
  kFindOnly = 2,    // -1 when none exists
};
// The key (column key_field) of the row params describes, filling its empty
// columns or inserting it as needed; -1 when there is no such row and none could
// be made. A key entry in params selects the row by key (it must be a plain
// integer); its other entries are then written into that row.
int32_t FindOrInsertRow(Database* db, std::string_view table, std::string_view key_field,
                        std::string_view params, FindMode mode);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_STATEMENTS_H_
