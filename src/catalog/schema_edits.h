// Small steps shared by the parts of the catalog that add tables, columns and
// triggers of their own to the default catalog and keep them (the computed
// keys, the search index, the genre listing): running a script, asking the
// schema what it has and replacing a trigger.
#ifndef TOMEVA_CATALOG_SCHEMA_EDITS_H_
#define TOMEVA_CATALOG_SCHEMA_EDITS_H_

#include <sqlite3.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "common/result.h"

namespace tomeva::catalog {

// Runs sql (one or more statements) on db; a failure reads "cannot <what>:
// <SQLite's message>".
Status RunCatalogSql(sqlite3* db, const std::string& sql, std::string_view what);

// Whether the catalog's schema has a table of that name.
bool HasTable(sqlite3* db, const char* name);

// Whether table has every one of columns.
bool HasColumns(sqlite3* db, std::string_view table,
                std::initializer_list<std::string_view> columns);

// Drops the trigger name where it exists and creates it as "CREATE TRIGGER
// name definition".
Status ReplaceTrigger(sqlite3* db, const std::string& name, const std::string& definition,
                      std::string_view what);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_SCHEMA_EDITS_H_
