// Creation of a new, empty catalog file from the catalog schema (config/schema.sql),
// the explicit step that makes a catalog where none exists.
#ifndef TOMEVA_CATALOG_CATALOG_FILE_H_
#define TOMEVA_CATALOG_CATALOG_FILE_H_

#include <string>
#include <string_view>

#include "common/result.h"

namespace tomeva::catalog {

// Creates the SQLite catalog file path and runs schema_sql (SQLite SQL, several
// statements, without transaction statements of its own) in one transaction, with
// the Jet functions and collation registered; the file is left in WAL mode. Refuses
// when path already exists (nothing is touched then). On any failure the new file
// is removed again, so no half-made catalog is left behind.
Status CreateCatalogFile(const std::string& path, std::string_view schema_sql);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_CATALOG_FILE_H_
