// Folder listing: the query of a virtual folder and the entries of its rows.
#include "tree/folder_listing.h"

#include <utility>
#include <vector>

#include "catalog/join_planner.h"
#include "catalog/statements.h"
#include "common/node_path.h"
#include "common/params.h"
#include "common/template.h"
#include "common/text.h"
#include "tree/name_expression.h"
#include "tree/sql_template.h"

namespace tomeva::tree {
namespace {

// The keys of one folder definition, read once.
struct FolderDefinition {
  std::string initial_path;
  std::string content_query;
  std::string name;
  std::string name1;
  std::string dir;
  std::string ext;
  std::string size;
  std::string date;
  std::string usetables;
  std::string tables;
  std::string from;
  std::string where;
  std::string useprops;
};

// The definition's keys; nullopt when one of them cannot be read as text (an
// element holding elements), so that a damaged definition serves nothing.
std::optional<FolderDefinition> ReadFolderDefinition(XmlNode node) {
  try {
    FolderDefinition d;
    d.initial_path = GetPathText(node, "initial-path");
    d.content_query = GetPathText(node, "content-query");
    d.name = GetPathText(node, "name");
    d.name1 = GetPathText(node, "name1");
    d.dir = GetPathText(node, "dir");
    d.ext = GetPathText(node, "ext");
    d.size = GetPathText(node, "size");
    d.date = GetPathText(node, "date");
    d.usetables = GetPathText(node, "usetables");
    d.tables = GetPathText(node, "tables");
    d.from = GetPathText(node, "FROM");
    d.where = GetPathText(node, "WHERE");
    d.useprops = GetPathText(node, "useprops");
    return d;
  } catch (const XmlError&) {
    return std::nullopt;
  }
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// The table names of a "tables" key (separated by ","), one per line for the
// join planner, without the spaces written around them.
std::string TableLines(std::string_view tables) {
  std::string lines;
  std::string rest(tables);
  while (!rest.empty()) {
    std::string name = CutTokenChar(rest, ',');
    std::string_view trimmed = TrimLeftChars(name, " \t");
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t')) {
      trimmed.remove_suffix(1);
    }
    if (!trimmed.empty()) lines += std::string(trimmed) + std::string(kCrLf);
  }
  return lines;
}

// The WHERE condition of a definition: with useprops, one condition per
// captured value, then the definition's own text. The captured values are
// written into the template as quoted text, so no character of theirs can end
// the quoted statement.
std::string WhereText(const FolderDefinition& d, std::string_view params) {
  if (d.useprops != "-1" || params.empty()) return d.where;
  std::string conditions;
  for (const Param& p : SplitParams(params)) {
    conditions += TemplateQuotedText(CaptureCondition(p.name, p.value)) + " AND ";
  }
  if (conditions.empty()) return d.where;
  if (!d.where.empty()) return conditions + "(" + d.where + ")";
  conditions.resize(conditions.size() - 4);  // keeps ") " with its space
  return conditions;
}

// The definition's query template: its content-query, or one quoted SELECT
// statement assembled from its keys.
std::string SelectTemplate(const CatalogView& view, const FolderDefinition& d,
                           std::string_view params) {
  if (!d.content_query.empty()) return d.content_query;
  std::string q = "'SELECT ";
  // The compiled name rule is SQL as it stands: a quote in it is text, not the
  // end of the template's quoted part.
  q += d.name.empty() ? d.name1 : TemplateQuotedText(BuildNameExpr(d.name));
  if (d.dir == "0") {
    q += "+\"" + d.ext + "\" AS Name, 0 AS Dir, " + d.size + " AS fSize, " + d.date +
         " AS fDate";
  } else {
    q += " AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate";
  }
  const std::string from = d.usetables == "-1"
                               ? catalog::BuildJoinClause(view.db, TableLines(d.tables))
                               : d.from;
  if (!from.empty()) q += "\nFROM " + from;
  const std::string where = WhereText(d, params);
  if (!where.empty()) q += "\nWHERE " + where;
  q += "'";
  return q;
}

}  // namespace

std::string ListFolderSql(const CatalogView& view, std::string_view path) {
  if (view.folders.IsNull() || HasLineBreak(path)) return {};
  const std::string text = std::string(path) + "\\";
  std::string result;
  for (XmlNode node : view.folders.ChildElements()) {
    std::optional<FolderDefinition> d = ReadFolderDefinition(node);
    if (!d) continue;
    std::optional<std::string> captured = MatchTemplate(d->initial_path, text);
    if (!captured) continue;
    const std::string params = StoredCaptures(*captured);
    std::string sql = ExpandSqlTemplate(SelectTemplate(view, *d, params), params);
    if (sql.empty()) continue;
    if (!result.empty()) result += " UNION ";
    result += sql;
  }
  if (!result.empty()) result += ";";
  return result;
}

std::optional<int64_t> CountFolderRows(const CatalogView& view, std::string_view path) {
  std::string sql = ListFolderSql(view, path);
  if (sql.empty()) return std::nullopt;
  sql.pop_back();  // the ";"
  std::unique_ptr<catalog::ResultSet> rows = catalog::OpenQuery(
      view.db, "SELECT Count(*) AS Rows FROM (" + sql + ") AS Listing;", catalog::Access::kReadOnly);
  if (!rows || rows->AtEnd() || rows->ColumnCount() < 1) return std::nullopt;
  return rows->Int64(0);
}

FolderListing::FolderListing(std::unique_ptr<catalog::ResultSet> rows) : rows_(std::move(rows)) {}

FolderListing::~FolderListing() = default;

FolderListing::OpenOutcome FolderListing::Open(const CatalogView& view, std::string_view path,
                                               std::unique_ptr<FolderListing>& listing) {
  listing.reset();
  const std::string sql = ListFolderSql(view, path);
  if (sql.empty()) return OpenOutcome::kNotServed;
  std::unique_ptr<catalog::ResultSet> rows = catalog::OpenQuery(view.db, sql, catalog::Access::kReadOnly);
  if (!rows) return OpenOutcome::kFailed;
  auto opened = std::make_unique<FolderListing>(std::move(rows));
  opened->first_ = opened->Next();
  if (!opened->first_) return OpenOutcome::kEmpty;
  listing = std::move(opened);
  return OpenOutcome::kOpened;
}

std::optional<ListedEntry> FolderListing::Next() {
  if (first_) return std::exchange(first_, std::nullopt);
  while (true) {
    std::optional<ListedEntry> entry = ReadRow();
    if (!entry) return std::nullopt;
    if (!entry->name.empty() && entry->name != "." && entry->name != "..") return entry;
  }
}

std::optional<ListedEntry> FolderListing::ReadRow() {
  if (!rows_ || rows_->AtEnd()) return std::nullopt;
  const int columns = rows_->ColumnCount();
  if (columns < 2) {
    // Without a Dir column no row says what it is.
    rows_->Close();
    return std::nullopt;
  }
  ListedEntry entry;
  entry.name = DisplayName(rows_->Text(0));
  entry.is_folder = rows_->Int(1) != 0;
  if (!entry.is_folder) {
    if (columns > 2 && !rows_->IsNull(2)) {
      const int64_t size = rows_->Int64(2);
      entry.size = size > 0 ? static_cast<uint64_t>(size) : 0;
    }
    if (columns > 3 && !rows_->IsNull(3)) entry.time = rows_->DateTime(3);
  }
  // A failing step leaves the set at its end: this row is still shown.
  (void)rows_->Next();
  return entry;
}

}  // namespace tomeva::tree
