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

std::string FindJoinPathAvoiding(Database* db, const std::string& start,
                                 std::string_view targets, std::string_view excluded,
                                 std::set<std::string>& on_path) {
  if (start.empty() || !IsSafeName(start)) return {};
  std::string neighbours =
      kCrLfText + UpperCaseText(QueryColumn(db, ExpandTemplate(kNeighbourTemplate,
                                                               "t=" + start + kCrLfText)));
  neighbours = ReplaceAll(neighbours, kCrLfText + std::string(excluded) + kCrLfText, kCrLfText);
  for (const std::string& target : Lines(targets)) {
    if (Contains(neighbours, kCrLfText + target + kCrLfText)) return start + kCrLfText;
  }
  on_path.insert(start);
  for (const std::string& next : Lines(neighbours)) {
    if (on_path.count(next) != 0) continue;
    std::string path = FindJoinPathAvoiding(db, next, targets, start, on_path);
    if (!path.empty()) {
      on_path.erase(start);
      return path + start + kCrLfText;
    }
  }
  on_path.erase(start);
  return {};
}

}  // namespace

std::string FindJoinPath(Database* db, std::string_view start, std::string_view targets,
                         std::string_view excluded) {
  std::set<std::string> on_path;
  return FindJoinPathAvoiding(db, std::string(start), targets, excluded, on_path);
}

std::string BuildJoinClause(Database* db, std::string_view table_list) {
  std::string tables = UpperCaseText(table_list);
  std::string clause = CutToken(tables, kCrLf);
  std::string joined = kCrLfText + clause + kCrLfText;
  // Each table is tried once: a path search that brings back tables already
  // attempted cannot loop.
  std::set<std::string> attempted;
  while (!tables.empty()) {
    std::string t = CutToken(tables, kCrLf);
    if (t.empty() || Contains(joined, kCrLfText + t + kCrLfText)) continue;
    if (!IsSafeName(t)) continue;
    bool added = false;
    for (const std::string& j : Lines(joined)) {
      if (!IsSafeName(j)) continue;
      std::unique_ptr<ResultSet> join = OpenQuery(
          db, ExpandTemplate(kJoinTemplate, "t1=" + t + kCrLfText + "t2=" + j + kCrLfText));
      if (!join || join->AtEnd() || join->ColumnCount() < 2) continue;
      clause = t + " " + join->Text(1) + " JOIN (" + clause + ") ON " + join->Text(0);
      joined += t + kCrLfText;
      added = true;
      break;
    }
    if (added || !attempted.insert(t).second) continue;
    std::string path = FindJoinPath(db, t, std::string_view(joined).substr(2), t);
    tables = path + tables;
  }
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
