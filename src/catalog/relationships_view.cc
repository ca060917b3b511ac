// Builds the MSysRelationships view of a SQLite catalog from its declared foreign
// keys, so that relationships are declared once, as ordinary foreign keys.
#include "catalog/relationships_view.h"

#include "catalog/sqlite_database.h"

namespace tomeva::catalog {
namespace {

constexpr const char kFindExisting[] =
    "SELECT 1 FROM main.sqlite_schema WHERE type IN ('table', 'view') "
    "AND lower(name) = 'msysrelationships'";

// One row per column pair of every foreign key of every table in the main schema.
// A key written without its referenced columns ("REFERENCES Series") refers to the
// referenced table's primary key: its seq-th column pairs with the (seq+1)-th
// primary key column.
constexpr const char kCreateView[] = R"sql(
CREATE TEMP VIEW MSysRelationships AS
SELECT m.name COLLATE NOCASE AS szObject,
       fk."from" COLLATE NOCASE AS szColumn,
       fk."table" COLLATE NOCASE AS szReferencedObject,
       coalesce(fk."to", pk.name) COLLATE NOCASE AS szReferencedColumn,
       fk.seq AS icolumn,
       (SELECT count(*) FROM pragma_foreign_key_list(m.name, 'main') AS k
         WHERE k.id = fk.id) AS ccolumn,
       CASE WHEN col."notnull" <> 0 OR col.pk > 0 THEN 0 ELSE 2 END AS grbit
  FROM main.sqlite_schema AS m
  JOIN pragma_foreign_key_list(m.name, 'main') AS fk
  LEFT JOIN pragma_table_info(m.name, 'main') AS col
         ON lower(col.name) = lower(fk."from")
  LEFT JOIN pragma_table_info(fk."table", 'main') AS pk
         ON fk."to" IS NULL AND pk.pk = fk.seq + 1
 WHERE m.type = 'table'
)sql";

}  // namespace

Status EnsureRelationshipsView(sqlite3* db) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, kFindExisting, -1, &raw, nullptr) != SQLITE_OK) {
    return SqliteError(db, kFindExisting);
  }
  SqliteStatementHandle find(raw);
  const int step = sqlite3_step(find.get());
  if (step == SQLITE_ROW) return Status::Ok();  // the catalog's own table is used
  if (step != SQLITE_DONE) return SqliteError(db, kFindExisting);
  find.reset();

  if (sqlite3_exec(db, kCreateView, nullptr, nullptr, nullptr) != SQLITE_OK) {
    return SqliteError(db, kCreateView);
  }
  return Status::Ok();
}

}  // namespace tomeva::catalog
