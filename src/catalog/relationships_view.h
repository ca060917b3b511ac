// The MSysRelationships table that relationship-driven queries read, made from the
// foreign keys a SQLite catalog declares.
#ifndef TOMEVA_CATALOG_RELATIONSHIPS_VIEW_H_
#define TOMEVA_CATALOG_RELATIONSHIPS_VIEW_H_

#include <sqlite3.h>

#include "common/result.h"

namespace tomeva::catalog {

// When the catalog's main schema has no table or view named MSysRelationships (in
// any letter case), creates the connection's TEMP VIEW MSysRelationships with one
// row per column pair of every declared foreign key: szObject (the referencing
// table), szColumn, szReferencedObject, szReferencedColumn (text, NOCASE; a key
// without a column list refers to the referenced table's primary key columns),
// icolumn (the pair's position in its key), ccolumn (the key's column count) and
// grbit: 2 when the referencing column may be NULL (neither NOT NULL nor part of
// the primary key), which marks an outer join, else 0. A real table or view of that
// name is left to be used as it is.
Status EnsureRelationshipsView(sqlite3* db);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_RELATIONSHIPS_VIEW_H_
