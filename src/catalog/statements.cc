// Catalog statements and the statement texts the writers build.
#include "catalog/statements.h"

#include <cctype>
#include <optional>
#include <vector>

#include "catalog/catalog_keys.h"
#include "common/params.h"
#include "common/text.h"

namespace tomeva::catalog {
namespace {

bool IsPlainInteger(std::string_view text) {
  if (text.empty()) return false;
  size_t start = text[0] == '-' ? 1 : 0;
  if (start == text.size() || text.size() - start > 9) return false;
  for (size_t i = start; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

// True when text is exactly one double-quoted Jet literal: a quote, then
// characters where every inner quote is doubled, then the closing quote.
bool IsOneQuotedLiteral(std::string_view text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == '"') {
      if (i + 2 >= text.size() || text[i + 1] != '"') return false;
      ++i;
    }
  }
  return true;
}

// Removes the last n characters of text when it is longer than n.
void DropTail(std::string& text, size_t n) {
  if (text.size() > n) text.resize(text.size() - n);
}

std::string Column(std::string_view table, std::string_view name) {
  if (table.empty()) return std::string(name);
  return std::string(table) + "." + std::string(name);
}

// The first row's column 0 through reader, or nullopt without a row.
template <typename Reader>
auto FirstValue(Database* db, std::string_view sql, Access access, Reader reader)
    -> std::optional<decltype(reader(std::declval<ResultSet&>()))> {
  std::unique_ptr<ResultSet> set = OpenQuery(db, sql, access);
  if (!set || set->AtEnd() || set->ColumnCount() < 1) return std::nullopt;
  return reader(*set);
}

// The condition under which a row of table matches params as FindOrInsertRow
// finds it: each column empty or equal to its value; a column with a folded key
// compares that key, so that letter case is ignored in Cyrillic too and the
// key's index finds the row.
std::string FindCondition(std::string_view table, std::string_view params) {
  std::string out;
  for (const Param& p : SplitParams(params)) {
    if (!out.empty()) out += "AND";
    std::optional<std::string_view> key = FoldedKeyColumn(table, p.name);
    if (!key) {
      out += WhereNullable(table, p.name + "=" + p.value);
      continue;
    }
    const std::string column = Column(table, *key);
    out += "((isnull(" + column + "))or((" + column + ")=LCase(" + SqlValue(p.value) + ")))";
  }
  return out;
}

}  // namespace

WriteStatus ExecSql(Database* db, std::string_view sql) {
  if (db == nullptr || sql.empty()) return WriteStatus::kFailed;
  return db->Execute(sql).ok() ? WriteStatus::kRan : WriteStatus::kFailed;
}

std::unique_ptr<ResultSet> OpenQuery(Database* db, std::string_view sql, Access access) {
  if (db == nullptr || sql.empty()) return nullptr;
  Result<std::unique_ptr<ResultSet>> set =
      access == Access::kReadOnly ? db->ReadQuery(sql) : db->Query(sql);
  if (!set.ok()) return nullptr;
  return std::move(set).value();
}

std::string QueryText(Database* db, std::string_view sql, Access access) {
  return FirstValue(db, sql, access, [](ResultSet& set) { return set.Text(0); }).value_or("");
}

int32_t QueryInt(Database* db, std::string_view sql, Access access) {
  return FirstValue(db, sql, access, [](ResultSet& set) { return set.IsNull(0) ? -1 : set.Int(0); })
      .value_or(-1);
}

std::string QueryColumn(Database* db, std::string_view sql) {
  std::unique_ptr<ResultSet> set = OpenQuery(db, sql);
  std::string out;
  if (!set || set->ColumnCount() < 1) return out;
  while (!set->AtEnd()) {
    out += set->Text(0);
    out += kCrLf;
    if (!set->Next().ok()) break;
  }
  return out;
}

std::string QueryRowParams(Database* db, std::string_view sql) {
  std::unique_ptr<ResultSet> set = OpenQuery(db, sql);
  std::string out;
  if (!set) return out;
  for (int i = 0; i < set->ColumnCount(); ++i) {
    out += set->ColumnName(i);
    out += '=';
    if (!set->AtEnd()) out += set->Text(i);
    out += kCrLf;
  }
  return out;
}

std::string SelectRowParams(Database* db, std::string_view table, std::string_view condition) {
  std::string t(table);
  return QueryRowParams(db, "SELECT " + t + ".* FROM " + t + " WHERE " + t + "." +
                                std::string(condition) + ";");
}

std::string SqlValue(std::string_view value) {
  if (value.empty() || value == "null") return "null";
  if (IsOneQuotedLiteral(value)) return std::string(value);
  return DoubleQuoted(value);
}

std::string WhereEqual(std::string_view table, std::string_view params) {
  std::string out;
  for (const Param& p : SplitParams(params)) {
    out += "((" + Column(table, p.name) + ")=" + SqlValue(p.value) + ")AND";
  }
  DropTail(out, 3);
  return out;
}

std::string WhereNullable(std::string_view table, std::string_view params) {
  std::string out;
  for (const Param& p : SplitParams(params)) {
    std::string column = Column(table, p.name);
    out += "((isnull(" + column + "))or((" + column + ")=" + SqlValue(p.value) + "))AND";
  }
  DropTail(out, 3);
  return out;
}

WriteStatus InsertRow(Database* db, std::string_view table, std::string_view params) {
  std::string columns;
  std::string values;
  for (const Param& p : SplitParams(params)) {
    columns = "[" + p.name + "], " + columns;
    values = SqlValue(p.value) + ", " + values;
  }
  if (columns.empty()) return WriteStatus::kNothingToDo;
  columns.resize(columns.size() - 2);
  values.resize(values.size() - 2);
  return ExecSql(db, "INSERT INTO " + std::string(table) + " (" + columns + ") VALUES (" +
                         values + ");");
}

WriteStatus UpdateRows(Database* db, std::string_view table, std::string_view set_params,
                       std::string_view where_params) {
  const std::string prefix = table.empty() ? "" : std::string(table) + ".";
  std::string set;
  for (const Param& p : SplitParams(set_params)) {
    set += " " + prefix + p.name + "=" + SqlValue(p.value) + " ,";
  }
  if (set.empty()) return WriteStatus::kNothingToDo;
  set.back() = ' ';
  std::string where;
  for (const Param& p : SplitParams(where_params)) {
    where += "(" + prefix + p.name + ")=(" + SqlValue(p.value) + ")AND";
  }
  if (where.empty()) return WriteStatus::kNothingToDo;
  where.resize(where.size() - 3);
  return ExecSql(db, "UPDATE " + std::string(table) + " SET" + set + "WHERE " + where + ";");
}

InsertIfMissingResult InsertIfMissing(Database* db, std::string_view table,
                                      std::string_view params) {
  const std::string t(table);
  std::string select = "SELECT ";
  for (const Param& p : SplitParams(params)) select += t + "." + p.name + ", ";
  select[select.size() - 2] = ' ';
  std::unique_ptr<ResultSet> found =
      OpenQuery(db, select + "FROM " + t + " WHERE (" + WhereEqual(table, params) + ");");
  if (!found) return InsertIfMissingResult::kLookupFailed;
  if (!found->AtEnd()) return InsertIfMissingResult::kExists;
  found.reset();
  (void)InsertRow(db, table, params);
  return InsertIfMissingResult::kInserted;
}

int32_t FindOrInsertRow(Database* db, std::string_view table, std::string_view key_field,
                        std::string_view raw_params, FindMode mode) {
  std::string params = JoinParams(raw_params, kCrLf);
  if (params.empty()) return -1;
  const std::string t(table);
  const std::string key(key_field);
  const std::string key_value = TakeParam(params, key_field);

  if (!key_value.empty()) {
    // The key selects the row; it is spliced into the statement, so it must be a
    // plain number.
    if (!IsPlainInteger(key_value)) return -1;
    std::string found = QueryText(
        db, "SELECT " + t + "." + key + " FROM " + t + " WHERE (" + key + "=" + key_value + ");");
    if (found != key_value) return -1;
    (void)UpdateRows(db, table, params, key + "=" + key_value);
    return static_cast<int32_t>(std::stol(key_value));
  }

  const std::vector<Param> entries = SplitParams(params);
  std::string select = "SELECT " + t + "." + key + ", ";
  for (const Param& p : entries) select += t + "." + p.name + ", ";
  select[select.size() - 2] = ' ';
  std::unique_ptr<ResultSet> found =
      OpenQuery(db, select + "FROM " + t + " WHERE (" + FindCondition(table, params) + ");");
  if (!found) return -1;
  if (found->AtEnd() && mode == FindMode::kFindOnly) return -1;
  if (!found->AtEnd() && mode == FindMode::kInsertOnly) return -1;

  if (!found->AtEnd()) {
    // Column i + 1 of the row is entry i of params: they are paired by place,
    // as names may differ in letter case between the two.
    std::string updates;
    bool described = false;
    for (size_t i = 0; i < entries.size(); ++i) {
      const int column = static_cast<int>(i) + 1;
      if (!found->IsNull(column)) {
        described = true;
        continue;
      }
      updates += " " + t + "." + entries[i].name + "=" + SqlValue(entries[i].value) + ",";
    }
    // A row that matched only because every given column was empty is not the
    // row these values describe.
    if (described) {
      std::string found_key = found->Text(0);
      int32_t id = found->Int(0);
      found.reset();
      if (!updates.empty()) {
        updates.back() = ' ';
        (void)ExecSql(db, "UPDATE " + t + " SET" + updates + "WHERE (((" + t + "." + key +
                              ")=" + found_key + "));");
      }
      return id;
    }
  }
  found.reset();
  if (InsertRow(db, table, params) != WriteStatus::kRan) return -1;
  // What SELECT @@IDENTITY gives, without a statement for it.
  return static_cast<int32_t>(db->LastInsertKey());
}

}  // namespace tomeva::catalog
