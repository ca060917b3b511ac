// Fuzz target of the SQL literals the catalog writers build
// (catalog/statements.h): whatever the bytes of a value, SqlValue makes exactly
// one literal of it, and the statements built around it (SELECT, InsertRow,
// WhereEqual, WhereNullable) keep their shape. Checked on a real catalog (the
// default schema in a scratch folder), each input in a transaction that is
// rolled back:
//   - "SELECT <literal> AS v, 1 AS sentinel" has exactly those two columns;
//   - for valid UTF-8 without NUL, v is the value SqlValue promises: NULL for
//     "" and "null", the inner text of one well-formed double-quoted literal,
//     the value itself otherwise (digits too: "007" reads back as "007");
//   - InsertRow stores that value in Books.Title, and WhereEqual and
//     WhereNullable on it find the row;
//   - FindOrInsertRow makes a Series row of that name once and then finds it.
// A mismatch aborts, so libFuzzer reports it with the input.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/catalog_file.h"
#include "catalog/database.h"
#include "catalog/statements.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/scratch_catalog.h"

namespace {

using tomeva::catalog::Database;
using tomeva::catalog::ResultSet;
using tomeva::fuzz::Fail;
using tomeva::fuzz::IsValidUtf8;

// What a column holding SqlValue(value) reads as: nullopt for NULL, else its
// text.
std::optional<std::string> ExpectedValue(std::string_view value) {
  if (value.empty() || value == "null") return std::nullopt;
  // One well-formed double-quoted literal is taken as written.
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    std::string inner;
    bool well_formed = true;
    for (size_t i = 1; i + 1 < value.size(); ++i) {
      if (value[i] == '"') {
        if (i + 2 >= value.size() || value[i + 1] != '"') {
          well_formed = false;
          break;
        }
        ++i;
      }
      inner.push_back(value[i]);
    }
    if (well_formed) return inner;
  }
  return std::string(value);
}

// Whether column 0 of the current row of set holds expected.
bool Holds(const ResultSet& set, int column, const std::optional<std::string>& expected) {
  if (!expected) return set.IsNull(column);
  if (set.IsNull(column)) return false;
  return set.Text(column) == *expected;
}

std::string Describe(std::string_view value, std::string_view sql) {
  std::string out = "value [";
  out.append(value).append("] statement [").append(sql).append("]");
  return out;
}


void CheckSelect(Database* db, std::string_view value, bool exact) {
  const std::string sql = "SELECT " + tomeva::catalog::SqlValue(value) + " AS v, 1 AS sentinel;";
  auto set = db->Query(sql);
  if (!set.ok()) {
    if (exact) Fail("a literal did not prepare", Describe(value, sql) + ": " + set.message());
    return;  // a NUL byte, for one, cuts SQLite's reading of a literal short
  }
  ResultSet& rows = **set;
  if (rows.ColumnCount() != 2 || rows.ColumnName(1) != "sentinel" || rows.AtEnd() ||
      rows.Text(1) != "1") {
    Fail("a literal changed the statement around it", Describe(value, sql));
  }
  if (exact && !Holds(rows, 0, ExpectedValue(value))) {
    Fail("a literal reads back as another value", Describe(value, sql) + " read [" +
                                                      rows.Text(0) + "]");
  }
}

// InsertRow, then the row read back and found by the WHERE builders.
void CheckWriters(Database* db, std::string_view value) {
  namespace c = tomeva::catalog;
  const std::string params = "Title=" + std::string(value);
  if (c::InsertRow(db, "Books", params) != c::WriteStatus::kRan) {
    Fail("InsertRow failed", Describe(value, params));
  }
  const std::string key = std::to_string(db->LastInsertKey());
  {
    const std::string select = "SELECT Title FROM Books WHERE BookId=" + key;
    auto set = db->Query(select);
    if (!set.ok() || (*set)->AtEnd() || !Holds(**set, 0, ExpectedValue(value))) {
      Fail("InsertRow stored another value", Describe(value, select));
    }
  }
  if (!ExpectedValue(value)) return;  // NULL equals nothing
  for (const std::string& where : {c::WhereEqual("Books", params), c::WhereNullable("Books", params)}) {
    const std::string count = "SELECT BookId FROM Books WHERE (" + where + ") AND BookId=" + key;
    if (c::QueryText(db, count) != key) Fail("the WHERE builders miss the row", Describe(value, count));
  }
  // Find-or-insert makes the row once and finds it from then on.
  const std::string series = "Name=" + std::string(value);
  const int32_t made = c::FindOrInsertRow(db, "Series", "SeriesId", series, c::FindMode::kFindOrInsert);
  if (made <= 0) Fail("FindOrInsertRow made no row", Describe(value, series));
  for (c::FindMode mode : {c::FindMode::kFindOrInsert, c::FindMode::kFindOnly}) {
    if (c::FindOrInsertRow(db, "Series", "SeriesId", series, mode) != made) {
      Fail("FindOrInsertRow does not find the row it made", Describe(value, series));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static tomeva::fuzz::ScratchCatalog catalog;
  const std::string_view value = tomeva::fuzz::AsText(data, size);
  const bool exact = IsValidUtf8(value) && value.find('\0') == std::string_view::npos;
  Database* db = catalog.db();
  CheckSelect(db, value, exact);
  // Parameter text cannot carry line breaks; the writers are checked without.
  if (exact && value.find_first_of("\r\n") == std::string_view::npos) {
    if (!db->BeginTransaction().ok()) Fail("cannot begin a transaction");
    CheckWriters(db, value);
    if (!db->Rollback().ok()) Fail("cannot roll back");
  }
  return 0;
}
