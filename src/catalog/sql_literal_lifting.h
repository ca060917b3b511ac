// Lifting the literal values out of an SQLite statement text into numbered
// parameters, so that statements differing only in their values (an import
// writes the same INSERTs and lookups for every book, each with the book's own
// values spliced in by the settings' templates) share one prepared statement.
//
// Only literals whose replacement by a parameter cannot change what the
// statement means are lifted: in WHERE and HAVING conditions and VALUES lists
// text literals and whole numbers that follow a comparison, an opening
// parenthesis or a comma; in SET clauses the assigned values. Select lists
// (an unnamed column is named by its text, subqueries included), FROM clauses
// and column lists (SQLite reads a text literal as a name there), ORDER BY and
// GROUP BY (a number names a column) keep theirs. Only a text of one SELECT,
// INSERT, UPDATE, DELETE, REPLACE, WITH or VALUES statement is lifted (schema
// statements and trigger bodies take no parameters); a text that already holds
// parameters is left as it is.
#ifndef TOMEVA_CATALOG_SQL_LITERAL_LIFTING_H_
#define TOMEVA_CATALOG_SQL_LITERAL_LIFTING_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tomeva::catalog {

// One lifted literal: a text (quotes undone) or a whole number.
struct LiftedValue {
  bool is_integer = false;
  int64_t integer = 0;
  std::string text;
};

// A statement text with its literals lifted: `text` holds ?1, ?2 ... where the
// literals were, and values[i] is what ?(i+1) must be bound to.
struct LiftedSql {
  std::string text;
  std::vector<LiftedValue> values;
};

// The text of sql with its liftable literals lifted; nullopt when nothing is
// lifted (sql is then used as it is).
std::optional<LiftedSql> LiftLiterals(std::string_view sql);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_SQL_LITERAL_LIFTING_H_
