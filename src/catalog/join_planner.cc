// Join planning over MSysRelationships.
//
// The neighbour and join queries are templates expanded with table names; they
// run through the same statement layer as every other query.
#include "catalog/join_planner.h"

#include <set>

#include "catalog/statements.h"
#include "common/params.h"
#include "common/template.h"
#include "common/text.h"

namespace tomeva::catalog {
namespace {

constexpr std::string_view kNeighbourTemplate =
    "'SELECT MSysRelationships.szObject'#13#10"
    "'FROM MSysRelationships'#13#10"
    "'WHERE ((UCase(MSysRelationships.szReferencedObject)=UCase(\"'t'\")))'#13#10"
    "'UNION SELECT MSysRelationships.szReferencedObject'#13#10"
    "'FROM MSysRelationships'#13#10"
    "'WHERE ((UCase(MSysRelationships.szObject)=UCase(\"'t'\")));'";

constexpr std::string_view kJoinTemplate =
    "'SELECT MSysRelationships.szObject & \".\" & MSysRelationships.szColumn & \"=\" & "
    "MSysRelationships.szReferencedObject & \".\" & MSysRelationships.szReferencedColumn "
    "AS str,'#13#10"
    "'iif((MSysRelationships.grbit=2),iif((MSysRelationships.szObject=\"'t1'\"),\"LEFT\","
    "\"RIGHT\"),\"INNER\") as l'#13#10"
    "'FROM MSysRelationships'#13#10"
    "'WHERE ((UCase(MSysRelationships.szObject)=UCase(\"'t1'\")) AND "
    "(UCase(MSysRelationships.szReferencedObject)=UCase(\"'t2'\"))) OR "
    "((UCase(MSysRelationships.szObject)=UCase(\"'t2'\")) AND "
    "(UCase(MSysRelationships.szReferencedObject)=UCase(\"'t1'\")));'";

const std::string kCrLfText(kCrLf);

bool Contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

// Splits a CR LF list into its non-empty entries.
std::vector<std::string> Lines(std::string_view list) {
  std::vector<std::string> out;
  std::string rest(list);
  while (!rest.empty()) {
    std::string line = CutToken(rest, kCrLf);
    if (!line.empty()) out.push_back(line);
  }
  return out;
}

// Template values are spliced into the relationship queries between double
// quotes; a table name holding a quote cannot be one the catalog declares.
bool IsSafeName(std::string_view name) { return name.find('"') == std::string_view::npos; }

// Table names compare as Jet compares them, ignoring letter case (Cyrillic
// too); they are written into the SQL as the catalog or the caller spells them,
// since SQLite matches names ignoring the case of ASCII letters only.
std::string Key(std::string_view name) { return UpperCaseText(name); }

bool Holds(const std::vector<std::string>& names, std::string_view name) {
  const std::string key = Key(name);
  for (const std::string& n : names) {
    if (Key(n) == key) return true;
  }
  return false;
}

std::string JoinLines(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += n + kCrLfText;
  return out;
}

std::string FindJoinPathAvoiding(Database* db, const std::string& start,
                                 const std::vector<std::string>& targets,
                                 std::string_view excluded, std::set<std::string>& on_path) {
  if (start.empty() || !IsSafeName(start)) return {};
  std::vector<std::string> neighbours;
  for (const std::string& n :
       Lines(QueryColumn(db, ExpandTemplate(kNeighbourTemplate, "t=" + start + kCrLfText)))) {
    if (Key(n) != Key(excluded)) neighbours.push_back(n);
  }
  for (const std::string& target : targets) {
    if (Holds(neighbours, target)) return start + kCrLfText;
  }
  on_path.insert(Key(start));
  for (const std::string& next : neighbours) {
    if (on_path.count(Key(next)) != 0) continue;
    std::string path = FindJoinPathAvoiding(db, next, targets, start, on_path);
    if (!path.empty()) {
      on_path.erase(Key(start));
      return path + start + kCrLfText;
    }
  }
  on_path.erase(Key(start));
  return {};
}

}  // namespace

std::string FindJoinPath(Database* db, std::string_view start, std::string_view targets,
                         std::string_view excluded) {
  std::set<std::string> on_path;
  return FindJoinPathAvoiding(db, std::string(start), Lines(targets), excluded, on_path);
}

namespace {

std::string PlanJoinClause(Database* db, std::string_view table_list) {
  std::string tables(table_list);
  std::string clause = CutToken(tables, kCrLf);
  std::vector<std::string> joined = {clause};
  // Each table is tried once: a path search that brings back tables already
  // attempted cannot loop.
  std::set<std::string> attempted;
  while (!tables.empty()) {
    std::string t = CutToken(tables, kCrLf);
    if (t.empty() || Holds(joined, t)) continue;
    if (!IsSafeName(t)) continue;
    bool added = false;
    for (const std::string& j : joined) {
      if (!IsSafeName(j)) continue;
      std::unique_ptr<ResultSet> join = OpenQuery(
          db, ExpandTemplate(kJoinTemplate, "t1=" + t + kCrLfText + "t2=" + j + kCrLfText));
      if (!join || join->AtEnd() || join->ColumnCount() < 2) continue;
      clause = t + " " + join->Text(1) + " JOIN (" + clause + ") ON " + join->Text(0);
      joined.push_back(t);
      added = true;
      break;
    }
    if (added || !attempted.insert(Key(t)).second) continue;
    std::string path = FindJoinPath(db, t, JoinLines(joined), t);
    tables = path + tables;
  }
  return clause;
}

}  // namespace

std::string BuildJoinClause(Database* db, std::string_view table_list) {
  // Planning asks the catalog's relationships several questions; the answer
  // for a table list only changes with the schema, which the connection
  // watches for.
  if (db != nullptr) {
    if (std::optional<std::string> planned = db->PlannedJoin(table_list)) return *planned;
  }
  std::string clause = PlanJoinClause(db, table_list);
  if (db != nullptr) db->RememberJoin(table_list, clause);
  return clause;
}

std::string SelectJoined(Database* db, std::string_view column, std::string_view conditions) {
  std::string tables = std::string(TextBeforeChar(column, '.')) + kCrLfText;
  std::vector<Param> entries = SplitParams(conditions);
  for (const Param& p : entries) {
    std::string table = std::string(TextBeforeChar(p.name, '.')) + kCrLfText;
    if (!Contains(kCrLfText + tables, kCrLfText + table)) tables += table;
  }
  std::string sql = "SELECT " + std::string(column) + " FROM " + BuildJoinClause(db, tables) +
                    " WHERE ";
  for (const Param& p : entries) sql += "(" + p.name + "=" + SqlValue(p.value) + ")AND";
  sql.resize(sql.size() - 3);
  return sql + ";";
}

}  // namespace tomeva::catalog
