// Join planning from the relationships the catalog declares (MSysRelationships):
// given the tables a query touches, a FROM clause that joins them along declared
// relationships, bringing in intermediate tables where two tables are related only
// through others.
#ifndef TOMEVA_CATALOG_JOIN_PLANNER_H_
#define TOMEVA_CATALOG_JOIN_PLANNER_H_

#include <string>
#include <string_view>

#include "catalog/database.h"

namespace tomeva::catalog {

// A chain of tables (each followed by CR LF) from start down to a table next to
// one of targets (table names, each followed by CR LF), the nearest to the
// targets first; empty when no chain exists. excluded is the table the search
// came from. Names compare ignoring letter case (Cyrillic too) and are given
// back as the catalog's relationships spell them. No table is entered twice on one chain, so a schema whose
// relationships form a cycle still ends.
std::string FindJoinPath(Database* db, std::string_view start, std::string_view targets,
                         std::string_view excluded);

// The FROM clause joining the tables listed one per line (CR LF), each written
// as the list spells it (a table reached through others as the catalog's
// relationships spell it), each new table wrapping the clause so far:
// "T3 INNER JOIN (T2 INNER JOIN (T1) ON c1) ON c2". A table that cannot be
// connected is left out.
std::string BuildJoinClause(Database* db, std::string_view tables);

// "SELECT column FROM <joins> WHERE (name=literal)AND...;" for conditions given
// as parameter text of Table.Column=value lines.
std::string SelectJoined(Database* db, std::string_view column, std::string_view conditions);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_JOIN_PLANNER_H_
