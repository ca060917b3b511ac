// Path to book resolution over the file and folder definitions.
#include "tree/path_resolution.h"

#include <set>
#include <vector>

#include "catalog/join_planner.h"
#include "catalog/statements.h"
#include "common/node_path.h"
#include "common/params.h"
#include "common/path_rules.h"
#include "common/template.h"
#include "common/text.h"
#include "tree/expression_pattern.h"
#include "tree/name_expression.h"
#include "tree/sql_template.h"

namespace tomeva::tree {
namespace {

bool IsIdentifierChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '_' || u >= 0x80;
}

// The tables a capture name refers to: the part before the first "." of a
// column reference; for an expression, every identifier written directly before
// a "." outside its text literals.
std::vector<std::string> ReferencedTables(std::string_view name) {
  if (IsColumnReference(name)) return {std::string(TextBeforeChar(name, '.'))};
  std::vector<std::string> tables;
  size_t i = 0;
  while (i < name.size()) {
    const char c = name[i];
    if (c == '"') {
      const size_t close = name.find('"', i + 1);
      i = close == std::string_view::npos ? name.size() : close + 1;
    } else if (IsIdentifierChar(c)) {
      const size_t start = i;
      while (i < name.size() && IsIdentifierChar(name[i])) ++i;
      if (i < name.size() && name[i] == '.') tables.emplace_back(name.substr(start, i - start));
      // Skip the field part, so Table.Field counts once.
      while (i < name.size() && (name[i] == '.' || IsIdentifierChar(name[i]))) ++i;
    } else {
      ++i;
    }
  }
  return tables;
}

// "SELECT column FROM <joins> WHERE (name=literal)AND...;" for the captured
// values of params; "" when there is none, so that a pattern that captures
// nothing never picks an arbitrary book.
std::string SelectByCaptures(const CatalogView& view, std::string_view column,
                             std::string_view params) {
  const std::vector<Param> entries = SplitParams(params);
  if (entries.empty()) return {};
  std::string tables;
  std::set<std::string> seen;
  auto add_table = [&](const std::string& table) {
    if (!table.empty() && seen.insert(UpperCaseText(table)).second) {
      tables += table + std::string(kCrLf);
    }
  };
  add_table(std::string(TextBeforeChar(column, '.')));
  std::string conditions;
  for (const Param& p : entries) {
    for (const std::string& table : ReferencedTables(p.name)) add_table(table);
    if (!conditions.empty()) conditions += "AND";
    conditions += CaptureCondition(p.name, p.value);
  }
  return "SELECT " + std::string(column) + " FROM " + catalog::BuildJoinClause(view.db, tables) +
         " WHERE " + conditions + ";";
}

// The text at path below node; nullopt when it cannot be read as text.
std::optional<std::string> ReadText(XmlNode node, std::string_view path) {
  try {
    return GetPathText(node, path);
  } catch (const XmlError&) {
    return std::nullopt;
  }
}

std::string StoredFile(const CatalogView& view, std::string_view link) {
  if (link.empty()) return {};
  return ResolvePath(platform::NativePathStyle(), LibraryFolder(view), link);
}

}  // namespace

std::optional<std::string> ResolveVirtualPath(const CatalogView& view, std::string_view path) {
  if (path.empty()) return std::string();
  if (path.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
  const bool is_folder = path.back() == '\\';
  const XmlNode definitions = is_folder ? view.folders : view.files;
  if (definitions.IsNull()) return std::nullopt;
  const std::string_view key = is_folder ? "initial-path" : "namemask";
  for (XmlNode definition : definitions.ChildElements()) {
    std::optional<std::string> pattern = ReadText(definition, key);
    std::optional<std::string> ex = ReadText(definition, "ex");
    if (!pattern || !ex) continue;
    std::optional<std::string> captured =
        *ex == "-1" ? MatchExpression(*pattern, path) : MatchTemplate(*pattern, path);
    if (captured) return StoredCaptures(*captured);
  }
  return std::nullopt;
}

int32_t BookIdOfPath(const CatalogView& view, std::string_view path) {
  if (view.book_id_table.empty() || view.book_id_field.empty()) return -1;
  std::optional<std::string> params = ResolveVirtualPath(view, path);
  if (!params) return -1;
  const std::string sql =
      SelectByCaptures(view, view.book_id_table + "." + view.book_id_field, *params);
  if (sql.empty()) return -1;
  return catalog::QueryInt(view.db, sql, catalog::Access::kReadOnly);
}

std::string BookFileOfPath(const CatalogView& view, std::string_view path) {
  if (view.book_id_table.empty()) return {};
  std::optional<std::string> params = ResolveVirtualPath(view, path);
  if (!params) return {};
  const std::string sql = SelectByCaptures(view, view.book_id_table + ".Link", *params);
  if (sql.empty()) return {};
  return StoredFile(view, catalog::QueryText(view.db, sql, catalog::Access::kReadOnly));
}

std::string BookFileOfId(const CatalogView& view, int32_t id) {
  if (view.book_id_table.empty() || view.book_id_field.empty()) return {};
  const std::string& table = view.book_id_table;
  return StoredFile(view, catalog::QueryText(view.db, "SELECT " + table + ".Link FROM " + table +
                                                          " WHERE (" + table + "." +
                                                          view.book_id_field +
                                                          ")=" + std::to_string(id) + ";"));
}

std::string LibraryFolder(const CatalogView& view) {
  return ReadText(view.settings_root, "root").value_or("");
}

}  // namespace tomeva::tree
