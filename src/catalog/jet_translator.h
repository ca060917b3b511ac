// Translation of the catalog's Microsoft Jet (Access) SQL texts into SQLite SQL.
// The catalog's statements are written in Jet's dialect, both by the system and
// by users in the settings document; the SQLite backend runs each one through
// TranslateJetSql before preparing it.
#ifndef TOMEVA_CATALOG_JET_TRANSLATOR_H_
#define TOMEVA_CATALOG_JET_TRANSLATOR_H_

#include <string>
#include <string_view>

#include "catalog/sql_dialect.h"
#include "common/result.h"

namespace tomeva::catalog {

// Rewrites one Jet SQL text (one statement, or several separated by ";") into
// SQLite SQL. A text that cannot be translated is an Error, never a different
// statement.
Result<std::string> TranslateJetSql(std::string_view jet_sql);

// As above, rendered with the rules of `dialect` instead of SQLite's.
Result<std::string> TranslateJetSql(std::string_view jet_sql, const SqlDialect& dialect);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_JET_TRANSLATOR_H_
