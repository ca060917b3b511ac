// The SQLite rendering rules of the Jet translator. Jet functions SQLite lacks,
// or implements differently, become calls of the jet_* functions registered by
// RegisterJetFunctions.
#include "catalog/sql_dialect.h"

#include <sqlite3.h>

#include <string>

namespace tomeva::catalog {

std::string Parenthesized(const SqlFragment& fragment, Precedence needed) {
  if (fragment.precedence >= needed) return fragment.text;
  return "(" + fragment.text + ")";
}

namespace {

std::string Quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  for (char c : text) {
    out.push_back(c);
    if (c == quote) out.push_back(quote);
  }
  out.push_back(quote);
  return out;
}

std::string JoinArgs(const std::vector<SqlFragment>& args) {
  std::string out;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) out += ", ";
    out += args[i].text;
  }
  return out;
}

SqlFragment Call(std::string_view function, const std::vector<SqlFragment>& args) {
  return {std::string(function) + "(" + JoinArgs(args) + ")", Precedence::kAtom};
}

// The lower-case name of a Jet function without VBA's "$" suffix (Left$).
std::string NormalizedName(std::string_view name) {
  std::string out(name);
  if (!out.empty() && out.back() == '$') out.pop_back();
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));  // ASCII only, any locale
  }
  return out;
}

Error ArgumentCountError(std::string_view name) {
  return Error{"wrong number of arguments to " + std::string(name)};
}

// A date part of a stored "YYYY-MM-DD HH:MM:SS" text as a number.
SqlFragment DatePart(std::string_view strftime_code, const SqlFragment& date) {
  return {"CAST(strftime('" + std::string(strftime_code) + "', " + date.text + ") AS INTEGER)",
          Precedence::kAtom};
}

class Sqlite final : public SqlDialect {
 public:
  std::string Identifier(std::string_view name, bool bracketed) const override {
    // A bare Jet name that SQLite reserves (Last, First, Order...) is quoted too.
    if (bracketed || name.empty() ||
        sqlite3_keyword_check(name.data(), static_cast<int>(name.size())) != 0) {
      return Quoted(name, '"');
    }
    return std::string(name);
  }

  std::string TextLiteral(std::string_view text) const override { return Quoted(text, '\''); }

  std::string DateLiteral(std::string_view iso) const override { return Quoted(iso, '\''); }

  SqlFragment EmptyIfNull(const SqlFragment& x) const override {
    return {"IFNULL(" + x.text + ", '')", Precedence::kAtom};
  }

  SqlFragment CaseInsensitive(const SqlFragment& x) const override {
    // SQLite's NOCASE folds ASCII letters only; lookups that must ignore the
    // case of other letters compare a folded key column (catalog_keys.h).
    return {Parenthesized(x, Precedence::kAtom) + " COLLATE NOCASE", Precedence::kUnary};
  }

  SqlFragment Operator(JetOperator op, const SqlFragment& lhs,
                       const SqlFragment& rhs) const override {
    switch (op) {
      case JetOperator::kConcat:
        return {Parenthesized(lhs, Precedence::kConcat) + " || " +
                    Parenthesized(rhs, Precedence::kUnary),
                Precedence::kConcat};
      case JetOperator::kVariantAdd:
        return Call("jet_add", {lhs, rhs});
      case JetOperator::kDivide:
        // SQLite divides two integers without a remainder; Jet never does.
        return {"CAST(" + lhs.text + " AS REAL) / " + Parenthesized(rhs, Precedence::kConcat),
                Precedence::kMultiplicative};
      case JetOperator::kIntegerDivide:
        return Call("jet_idiv", {lhs, rhs});
      case JetOperator::kPower:
        return Call("jet_pow", {lhs, rhs});
    }
    return Call("jet_add", {lhs, rhs});
  }

  SqlFragment JetLike(const SqlFragment& value, const SqlFragment& pattern) const override {
    return Call("jet_like", {value, pattern});
  }

  std::string Limit(std::string_view count) const override { return "LIMIT " + std::string(count); }

  SqlFragment LastInsertId() const override { return {"last_insert_rowid()", Precedence::kAtom}; }

  std::string RowId(std::string_view table_ref) const override {
    if (table_ref.empty()) return "rowid";
    return std::string(table_ref) + ".rowid";
  }

  std::optional<Result<SqlFragment>> Function(std::string_view name,
                                              const std::vector<SqlFragment>& args) const override {
    const std::string key = NormalizedName(name);
    const size_t n = args.size();
    auto count_is = [&](size_t low, size_t high) { return n >= low && n <= high; };

    if (key == "iif") {
      if (n != 3) return ArgumentCountError(name);
      return SqlFragment{
          "CASE WHEN " + args[0].text + " THEN " + args[1].text + " ELSE " + args[2].text + " END",
          Precedence::kAtom};
    }
    if (key == "isnull") {
      if (n != 1) return ArgumentCountError(name);
      return SqlFragment{"(" + Parenthesized(args[0], Precedence::kAdditive) + " IS NULL)",
                         Precedence::kAtom};
    }
    // BookMatches(key, text): whether the book of that key matches the search
    // text (search_index.h); the index is read once for the whole statement.
    if (key == "bookmatches") {
      if (n != 2) return ArgumentCountError(name);
      return SqlFragment{"(" + Parenthesized(args[0], Precedence::kAdditive) +
                             " IN (SELECT BookSearch.rowid FROM BookSearch WHERE BookSearch MATCH "
                             "tomeva_search_query(" + args[1].text + ")))",
                         Precedence::kAtom};
    }
    if (key == "nz") {
      if (!count_is(1, 2)) return ArgumentCountError(name);
      return Call("IFNULL", {args[0], n == 2 ? args[1] : SqlFragment{"''"}});
    }
    // Jet functions with a jet_* counterpart of the same arguments.
    struct Mapped {
      const char* jet;
      const char* sqlite;
      size_t min_args;
      size_t max_args;
    };
    static constexpr Mapped kMapped[] = {
        {"ucase", "jet_ucase", 1, 1},   {"lcase", "jet_lcase", 1, 1}, {"left", "jet_left", 2, 2},
        {"right", "jet_right", 2, 2},   {"mid", "jet_mid", 2, 3},     {"len", "jet_len", 1, 1},
        {"instr", "jet_instr", 2, 4},   {"str", "jet_str", 1, 1},     {"val", "jet_val", 1, 1},
        {"cstr", "jet_cstr", 1, 1},     {"cint", "jet_cint", 1, 1},   {"clng", "jet_clng", 1, 1},
        {"format", "jet_format", 1, 2}, {"round", "jet_round", 1, 2}, {"trim", "trim", 1, 1},
        {"ltrim", "ltrim", 1, 1},       {"rtrim", "rtrim", 1, 1},
    };
    for (const Mapped& m : kMapped) {
      if (key != m.jet) continue;
      if (!count_is(m.min_args, m.max_args)) return ArgumentCountError(name);
      return Call(m.sqlite, args);
    }
    struct Part {
      const char* jet;
      const char* code;
    };
    static constexpr Part kDateParts[] = {{"year", "%Y"}, {"month", "%m"},  {"day", "%d"},
                                          {"hour", "%H"}, {"minute", "%M"}, {"second", "%S"}};
    for (const Part& p : kDateParts) {
      if (key != p.jet) continue;
      if (n != 1) return ArgumentCountError(name);
      return DatePart(p.code, args[0]);
    }
    if (key == "now" || key == "date" || key == "time") {
      if (n != 0) return ArgumentCountError(name);
      if (key == "now") return SqlFragment{"datetime('now', 'localtime')"};
      if (key == "date") return SqlFragment{"datetime('now', 'localtime', 'start of day')"};
      return SqlFragment{"time('now', 'localtime')"};
    }
    return std::nullopt;
  }
};

}  // namespace

const SqlDialect& SqliteDialect() {
  static const Sqlite dialect;
  return dialect;
}

}  // namespace tomeva::catalog
