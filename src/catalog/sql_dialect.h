// The rendering rules of a target SQL engine, used by the Jet translator: how
// identifiers, literals, concatenation, Jet's variant "+", row limits and Jet
// functions are written for that engine. The translator parses Jet SQL once and
// asks the dialect for every construct whose spelling differs between engines;
// standard SQL (AND, OR, comparisons, joins, UNION...) it writes itself.
#ifndef TOMEVA_CATALOG_SQL_DIALECT_H_
#define TOMEVA_CATALOG_SQL_DIALECT_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace tomeva::catalog {

// Binding strength of a rendered expression in the target engine, weakest
// first. The translator parenthesises an operand whose precedence is lower
// than its operator needs.
enum class Precedence {
  kOr = 1,
  kAnd,
  kNot,
  kEquality,        // = <> IS IN LIKE BETWEEN
  kRelational,      // < <= > >=
  kAdditive,        // + -
  kMultiplicative,  // * / %
  kConcat,          // ||
  kUnary,           // unary -, COLLATE
  kAtom,            // literals, names, calls, parenthesised text
};

// A piece of rendered SQL and how tightly it binds.
struct SqlFragment {
  std::string text;
  Precedence precedence = Precedence::kAtom;
};

// fragment.text, in parentheses when its precedence is below `needed`.
std::string Parenthesized(const SqlFragment& fragment, Precedence needed);

// Operators whose rendering depends on the engine.
enum class JetOperator {
  kConcat,         // "+" with a text literal operand: text concatenation, Null propagates
  kVariantAdd,     // "+" between two other operands: numbers add, texts concatenate
  kDivide,         // "/": always a fractional division
  kIntegerDivide,  // "\"
  kPower,          // "^"
};

// The rules of one target engine. Implementations are stateless.
class SqlDialect {
 public:
  virtual ~SqlDialect() = default;

  // A table, column or alias name. `bracketed` tells that the Jet text wrote
  // it in [brackets]; such a name is always quoted.
  virtual std::string Identifier(std::string_view name, bool bracketed) const = 0;
  // A text literal holding exactly `text`.
  virtual std::string TextLiteral(std::string_view text) const = 0;
  // A date-time literal; `iso` is "YYYY-MM-DD HH:MM:SS".
  virtual std::string DateLiteral(std::string_view iso) const = 0;
  // x, or the empty text when x is Null (Jet's "&" operand rule).
  virtual SqlFragment EmptyIfNull(const SqlFragment& x) const = 0;
  // x compared without regard to letter case (Jet compares text that way).
  virtual SqlFragment CaseInsensitive(const SqlFragment& x) const = 0;
  // The binary operator `op` applied to lhs and rhs.
  virtual SqlFragment Operator(JetOperator op, const SqlFragment& lhs,
                               const SqlFragment& rhs) const = 0;
  // Jet's Like against a pattern known only when the statement runs.
  virtual SqlFragment JetLike(const SqlFragment& value, const SqlFragment& pattern) const = 0;
  // The clause that keeps the first `count` rows ("LIMIT n").
  virtual std::string Limit(std::string_view count) const = 0;
  // The key the last INSERT on the connection produced (Jet's @@IDENTITY).
  virtual SqlFragment LastInsertId() const = 0;
  // The row identity of `table_ref` (a rendered name or alias; empty: the
  // statement's own table).
  virtual std::string RowId(std::string_view table_ref) const = 0;
  // The call of Jet function `name` (any letter case, a trailing "$" allowed)
  // with rendered arguments; nullopt when the name is not a Jet function this
  // dialect rewrites (the caller then writes the call unchanged), an Error when
  // the number of arguments is wrong.
  virtual std::optional<Result<SqlFragment>> Function(
      std::string_view name, const std::vector<SqlFragment>& args) const = 0;
};

// The SQLite rules. Translated statements call the functions that
// RegisterJetFunctions (catalog/jet_functions.h) installs.
const SqlDialect& SqliteDialect();

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_SQL_DIALECT_H_
