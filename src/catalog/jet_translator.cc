// The Jet SQL translator: a recursive-descent parser over the Jet tokens that
// writes the equivalent statement for the target engine while it parses.
// Expressions carry their rendered text, how tightly it binds, and what kind of
// value they are (a text literal, a number...), because Jet's "+" and "&" and
// its case-insensitive comparisons depend on the operands' kinds.
#include "catalog/jet_translator.h"

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "catalog/jet_lexer.h"

namespace tomeva::catalog {
namespace {

// Deeper nesting than this is refused rather than risking the stack.
constexpr int kMaxDepth = 200;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
           return up(x) == up(y);
         });
}

// Words of the Jet grammar that never name a table, column or alias unbracketed.
bool IsReserved(std::string_view word) {
  static constexpr std::string_view kWords[] = {
      "ALL",      "AND",         "AS",     "ASC",    "BETWEEN", "BY",   "DELETE", "DESC",
      "DISTINCT", "DISTINCTROW", "EQV",    "EXISTS", "FALSE",   "FROM", "GROUP",  "HAVING",
      "IMP",      "IN",          "INNER",  "INSERT", "INTO",    "IS",   "JOIN",   "LEFT",
      "LIKE",     "MOD",         "NOT",    "NULL",   "ON",      "OR",   "ORDER",  "OUTER",
      "PERCENT",  "RIGHT",       "SELECT", "SET",    "TOP",     "TRUE", "UNION",  "UPDATE",
      "VALUES",   "WHERE",       "XOR"};
  for (std::string_view w : kWords) {
    if (EqualsNoCase(word, w)) return true;
  }
  return false;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// What an expression is, as far as Jet's operator rules care.
enum class Kind {
  kText,         // a text literal
  kNumber,       // a numeric literal (True and False included)
  kNull,         // the Null literal
  kNonNullText,  // the result of "&", never Null
  kBoolean,      // a truth value (comparison, IsNull, Not, And...): Jet's True is -1,
                 // the engine's 1
  kFraction,     // a number "/" or "^" made: Jet writes 2.0 as "2"
  kOther,
};

struct Operand {
  Operand() = default;
  Operand(SqlFragment sql_in, Kind kind_in = Kind::kOther, std::string literal_in = {})
      : sql(std::move(sql_in)), kind(kind_in), literal(std::move(literal_in)) {}

  SqlFragment sql;
  Kind kind = Kind::kOther;
  std::string literal;    // the value of a text literal
  bool identity = false;  // @@IDENTITY
};

// A table of a FROM clause, for finding the target of UPDATE and DELETE.
struct TableRef {
  std::string name;   // as written; empty for a subquery
  std::string alias;  // as written; empty when none
  std::string rendered_name;
  std::string rendered_alias;
};

struct FromClause {
  std::string sql;
  std::vector<TableRef> tables;
  bool joined = false;  // a join or a list of several tables
};

// One member of a (possibly compound) SELECT.
struct SelectCore {
  std::string body;      // SELECT ... HAVING ...
  std::string order_by;  // "ORDER BY ..." or empty
  std::string limit;     // the TOP count or empty
};

// A Like pattern rewritten from Jet's wildcards to SQL's.
struct SqlLikePattern {
  std::string pattern;
  bool escaped = false;  // needs ESCAPE '\'
};

// Jet's * and ? become % and _; a literal %, _ or \ is escaped. Patterns with
// character lists ([a-c]) or digit places (#) have no LIKE form: nullopt.
std::optional<SqlLikePattern> ToSqlLikePattern(std::string_view jet) {
  SqlLikePattern out;
  for (char c : jet) {
    switch (c) {
      case '*':
        out.pattern.push_back('%');
        break;
      case '?':
        out.pattern.push_back('_');
        break;
      case '#':
      case '[':
        return std::nullopt;
      case '%':
      case '_':
      case '\\':
        out.pattern.push_back('\\');
        out.pattern.push_back(c);
        out.escaped = true;
        break;
      default:
        out.pattern.push_back(c);
    }
  }
  return out;
}

Precedence Next(Precedence p) { return static_cast<Precedence>(static_cast<int>(p) + 1); }

SqlFragment Binary(const SqlFragment& lhs, std::string_view op, const SqlFragment& rhs,
                   Precedence p) {
  return {Parenthesized(lhs, p) + " " + std::string(op) + " " + Parenthesized(rhs, Next(p)), p};
}

// A comparison operand: anything binding looser than arithmetic is wrapped.
std::string ComparisonOperand(const SqlFragment& x) {
  return Parenthesized(x, Precedence::kAdditive);
}

class Translator {
 public:
  Translator(std::string_view source, std::vector<JetToken> tokens, const SqlDialect& dialect)
      : source_(source), tokens_(std::move(tokens)), dialect_(dialect) {}

  Result<std::string> Run() {
    std::string out;
    while (!error_) {
      while (AcceptSymbol(";")) {
      }
      if (Peek().kind == JetTokenKind::kEnd) break;
      std::string statement = Statement();
      if (!error_ && !AtSymbol(";") && Peek().kind != JetTokenKind::kEnd) {
        Unexpected();
      }
      if (error_) break;
      if (!out.empty()) out += " ";
      out += statement + ";";
    }
    if (error_) return *error_;
    if (out.empty()) return Error{"Jet SQL: empty statement"};
    return out;
  }

 private:
  // Counts nesting while alive; fails the translation past kMaxDepth.
  class DepthGuard {
   public:
    explicit DepthGuard(Translator& t) : t_(t) {
      if (++t_.depth_ > kMaxDepth) t_.Fail("text nested too deeply");
    }
    ~DepthGuard() { --t_.depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

   private:
    Translator& t_;
  };

  // ---- Tokens ----------------------------------------------------------------

  const JetToken& Peek(size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  void Advance() {
    if (pos_ + 1 < tokens_.size()) ++pos_;
  }
  bool AtWord(std::string_view word, size_t ahead = 0) const {
    const JetToken& t = Peek(ahead);
    return t.kind == JetTokenKind::kWord && EqualsNoCase(t.text, word);
  }
  bool AtSymbol(std::string_view symbol, size_t ahead = 0) const {
    const JetToken& t = Peek(ahead);
    return t.kind == JetTokenKind::kSymbol && t.text == symbol;
  }
  bool AcceptWord(std::string_view word) {
    if (!AtWord(word)) return false;
    Advance();
    return true;
  }
  bool AcceptSymbol(std::string_view symbol) {
    if (!AtSymbol(symbol)) return false;
    Advance();
    return true;
  }
  void ExpectWord(std::string_view word) {
    if (!AcceptWord(word)) Expected(word);
  }
  void ExpectSymbol(std::string_view symbol) {
    if (!AcceptSymbol(symbol)) Expected("\"" + std::string(symbol) + "\"");
  }
  // A token that can name a table, column or alias.
  bool IsName(const JetToken& t) const {
    return t.kind == JetTokenKind::kBracketName ||
           (t.kind == JetTokenKind::kWord && !IsReserved(t.text) && t.text[0] != '@');
  }
  std::string Render(const JetToken& name) const {
    return dialect_.Identifier(name.text, name.kind == JetTokenKind::kBracketName);
  }

  static std::string Describe(const JetToken& t) {
    switch (t.kind) {
      case JetTokenKind::kEnd:
        return "end of text";
      case JetTokenKind::kText:
        return "text literal";
      case JetTokenKind::kDate:
        return "date literal";
      case JetTokenKind::kNumber:
        return "number " + t.text;
      case JetTokenKind::kBracketName:
        return "[" + t.text + "]";
      default:
        return "\"" + t.text + "\"";
    }
  }

  // ---- Errors ----------------------------------------------------------------
  // The first failure is kept; the cursor then rests on the end token, so every
  // parsing loop ends quickly and nothing more is reported.

  void FailAt(const JetToken& at, const std::string& problem) {
    if (!error_) {
      error_ = Error{"Jet SQL: " + problem + " at " + JetPosition(source_, at.offset)};
    }
    pos_ = tokens_.size() - 1;
  }
  void Fail(const std::string& problem) { FailAt(Peek(), problem); }
  void Expected(std::string_view what) {
    Fail("expected " + std::string(what) + ", found " + Describe(Peek()));
  }
  void Unexpected() { Fail("unexpected " + Describe(Peek())); }

  // ---- Statements ------------------------------------------------------------

  std::string Statement() {
    if (AtWord("SELECT")) return SelectStatement();
    if (AtWord("INSERT")) return Insert();
    if (AtWord("UPDATE")) return Update();
    if (AtWord("DELETE")) return Delete();
    if (AtWord("ALTER") || AtWord("CREATE") || AtWord("DROP")) return Definition();
    Fail("unsupported statement " + Describe(Peek()));
    return {};
  }

  // SELECT ... [UNION [ALL] SELECT ...] [ORDER BY ...].
  std::string SelectStatement() {
    DepthGuard guard(*this);
    std::vector<SelectCore> members;
    std::vector<std::string> unions;
    members.push_back(Select());
    while (!error_ && AcceptWord("UNION")) {
      unions.push_back(AcceptWord("ALL") ? "UNION ALL" : "UNION");
      members.push_back(Select());
    }
    if (members.size() == 1) {
      const SelectCore& m = members[0];
      std::string out = m.body;
      if (!m.order_by.empty()) out += " " + m.order_by;
      if (!m.limit.empty()) out += " " + dialect_.Limit(m.limit);
      return out;
    }
    // In a union the last ORDER BY sorts the whole result. A member with its
    // own TOP (or an inner ORDER BY) becomes a subquery so that its limit stays
    // its own.
    std::string out;
    for (size_t i = 0; i < members.size(); ++i) {
      const SelectCore& m = members[i];
      const bool last = i + 1 == members.size();
      std::string member = m.body;
      const std::string own_order = last ? std::string() : m.order_by;
      if (!own_order.empty() || !m.limit.empty()) {
        if (!own_order.empty()) member += " " + own_order;
        if (!m.limit.empty()) member += " " + dialect_.Limit(m.limit);
        member = "SELECT * FROM (" + member + ")";
      }
      if (i > 0) out += " " + unions[i - 1] + " ";
      out += member;
    }
    if (!members.back().order_by.empty()) out += " " + members.back().order_by;
    return out;
  }

  SelectCore Select() {
    SelectCore core;
    ExpectWord("SELECT");
    core.body = "SELECT ";
    const bool distinct = AcceptWord("DISTINCT") || AcceptWord("DISTINCTROW");
    if (distinct) {
      core.body += "DISTINCT ";
    } else {
      AcceptWord("ALL");
    }
    if (AcceptWord("TOP")) {
      const JetToken& count = Peek();
      if (count.kind != JetTokenKind::kNumber || !AllDigits(count.text)) {
        Expected("a whole number after TOP");
      } else {
        core.limit = count.text;
        Advance();
        if (AtWord("PERCENT")) Fail("TOP ... PERCENT cannot be translated");
      }
    }
    const std::vector<ResultColumnSql> columns = ResultColumns();
    std::string rest;
    if (AcceptWord("FROM")) rest += " FROM " + FromList().sql;
    if (AcceptWord("WHERE")) rest += " WHERE " + Expression().sql.text;
    bool grouped = false;
    if (AcceptWord("GROUP")) {
      ExpectWord("BY");
      rest += " GROUP BY " + ExpressionList();
      grouped = true;
    }
    if (AcceptWord("HAVING")) rest += " HAVING " + Expression().sql.text;
    if (AcceptWord("ORDER")) {
      ExpectWord("BY");
      core.order_by = "ORDER BY " + OrderList();
    }
    if (distinct && !grouped && core.order_by.empty() && ConstantsAsideHelp(columns)) {
      core.body = DistinctWithConstantsAside(columns, rest);
    } else {
      core.body += JoinColumns(columns) + rest;
    }
    return core;
  }

  // One result column as translated: its text with any alias, the alias alone,
  // and whether the value is a plain literal.
  struct ResultColumnSql {
    std::string text;
    std::string alias{};
    bool constant = false;
  };

  static std::string JoinColumns(const std::vector<ResultColumnSql>& columns) {
    std::string out;
    for (const ResultColumnSql& c : columns) out += (out.empty() ? "" : ", ") + c.text;
    return out;
  }

  // A DISTINCT whose result columns mix values with literals (a listing's
  // "-1 AS Dir, 0 AS fSize") keeps SQLite from reading distinct values off an
  // index, which it can for the values alone. When every value is named, the
  // distinct values are selected first and the literals added around them.
  static bool ConstantsAsideHelp(const std::vector<ResultColumnSql>& columns) {
    bool any_constant = false;
    bool any_value = false;
    for (const ResultColumnSql& c : columns) {
      if (c.constant) {
        any_constant = true;
      } else if (c.alias.empty()) {
        return false;
      } else {
        any_value = true;
      }
    }
    return any_constant && any_value;
  }

  static std::string DistinctWithConstantsAside(const std::vector<ResultColumnSql>& columns,
                                                const std::string& rest) {
    std::string outer;
    std::string inner;
    for (const ResultColumnSql& c : columns) {
      outer += (outer.empty() ? "" : ", ") + (c.constant ? c.text : c.alias);
      if (!c.constant) inner += (inner.empty() ? "" : ", ") + c.text;
    }
    return "SELECT " + outer + " FROM (SELECT DISTINCT " + inner + rest + ")";
  }

  std::vector<ResultColumnSql> ResultColumns() {
    std::vector<ResultColumnSql> out;
    do {
      out.push_back(ResultColumn());
    } while (!error_ && AcceptSymbol(","));
    return out;
  }

  ResultColumnSql ResultColumn() {
    if (AcceptSymbol("*")) return {"*"};
    if (IsName(Peek()) && AtSymbol(".", 1) && AtSymbol("*", 2)) {
      std::string table = Render(Peek());
      Advance();
      Advance();
      Advance();
      return {table + ".*"};
    }
    const size_t start = pos_;
    Operand value = Expression();
    ResultColumnSql column;
    column.text = value.sql.text;
    column.constant = IsPlainLiteral(start, pos_);
    if (AcceptWord("AS")) {
      column.alias = AliasName();
      column.text += " AS " + column.alias;
    } else if (value.identity) {
      column.text += " AS ID";  // Jet's identity query is read as column ID
    }
    return column;
  }

  // Whether tokens [from, to) are one number or text literal, or a signed number.
  bool IsPlainLiteral(size_t from, size_t to) const {
    auto literal = [](const JetToken& t) {
      return t.kind == JetTokenKind::kNumber || t.kind == JetTokenKind::kText;
    };
    if (to == from + 1) return literal(tokens_[from]);
    return to == from + 2 && tokens_[from].kind == JetTokenKind::kSymbol &&
           (tokens_[from].text == "-" || tokens_[from].text == "+") &&
           tokens_[from + 1].kind == JetTokenKind::kNumber;
  }

  std::string AliasName() {
    if (!IsName(Peek())) {
      Expected("a name after AS");
      return {};
    }
    std::string out = Render(Peek());
    Advance();
    return out;
  }

  std::string ExpressionList() {
    std::string out;
    do {
      if (!out.empty()) out += ", ";
      out += Expression().sql.text;
    } while (!error_ && AcceptSymbol(","));
    return out;
  }

  std::string OrderList() {
    std::string out;
    do {
      if (!out.empty()) out += ", ";
      out += Expression().sql.text;
      if (AcceptWord("DESC")) {
        out += " DESC";
      } else if (AcceptWord("ASC")) {
        out += " ASC";
      }
    } while (!error_ && AcceptSymbol(","));
    return out;
  }

  // INSERT INTO t [(c, ...)] VALUES (...) | SELECT ...
  std::string Insert() {
    ExpectWord("INSERT");
    ExpectWord("INTO");
    if (!IsName(Peek())) {
      Expected("a table name");
      return {};
    }
    std::string out = "INSERT INTO " + Render(Peek());
    Advance();
    if (AtSymbol("(") && !AtWord("SELECT", 1)) {
      Advance();
      std::string columns;
      do {
        if (!columns.empty()) columns += ", ";
        columns += ColumnName().second;
      } while (!error_ && AcceptSymbol(","));
      ExpectSymbol(")");
      out += " (" + columns + ")";
    }
    if (AcceptWord("VALUES")) {
      // Several rows, which Jet lacks, are taken too: their meaning is plain.
      out += " VALUES ";
      do {
        if (out.back() == ')') out += ", ";
        ExpectSymbol("(");
        out += "(" + ExpressionList() + ")";
        ExpectSymbol(")");
      } while (!error_ && AcceptSymbol(","));
    } else if (AtWord("SELECT")) {
      out += " " + SelectStatement();
    } else {
      Expected("VALUES or SELECT");
    }
    return out;
  }

  // A column name, optionally qualified: {qualifier as written, rendered
  // column}. SQLite takes no qualifier in INSERT and SET column lists.
  std::pair<std::string, std::string> ColumnName() {
    if (!IsName(Peek())) {
      Expected("a column name");
      return {};
    }
    const JetToken& first = Peek();
    Advance();
    if (!AtSymbol(".")) return {std::string(), Render(first)};
    Advance();
    const JetToken& column = Peek();
    if (column.kind != JetTokenKind::kWord && column.kind != JetTokenKind::kBracketName) {
      Expected("a column name");
      return {};
    }
    Advance();
    return {first.text, Render(column)};
  }

  struct Assignment {
    size_t token = 0;  // where the column stands, for messages
    std::string qualifier;
    std::string column;
    std::string value;
  };

  // UPDATE t SET [t.]c = v, ... [WHERE ...], and UPDATE over joins.
  std::string Update() {
    const size_t start = pos_;
    ExpectWord("UPDATE");
    AcceptWord("DISTINCTROW");  // Access writes it; it changes nothing here
    FromClause target = FromList();
    ExpectWord("SET");
    std::vector<Assignment> sets;
    do {
      Assignment a;
      a.token = pos_;
      std::tie(a.qualifier, a.column) = ColumnName();
      ExpectSymbol("=");
      a.value = Expression().sql.text;
      sets.push_back(std::move(a));
    } while (!error_ && AcceptSymbol(","));
    std::string where;
    if (AcceptWord("WHERE")) where = " WHERE " + Expression().sql.text;
    if (error_) return {};

    if (!target.joined) {
      const TableRef& table = target.tables.front();
      if (table.name.empty()) {
        FailAt(tokens_[start], "UPDATE of a subquery cannot be translated");
        return {};
      }
      std::string out = "UPDATE " + table.rendered_name;
      if (!table.alias.empty()) out += " AS " + table.rendered_alias;
      out += " SET ";
      for (size_t i = 0; i < sets.size(); ++i) {
        const Assignment& a = sets[i];
        if (!a.qualifier.empty() && !Names(table, a.qualifier)) {
          FailAt(tokens_[a.token],
                 "SET names a column of " + a.qualifier + ", a table this UPDATE does not change");
          return {};
        }
        if (i > 0) out += ", ";
        out += a.column + " = " + a.value;
      }
      return out + where;
    }

    // Over joins: every SET column must name the one table that changes. The
    // new values are computed by a query over the same joins, and the table's
    // rows are updated from it by row identity.
    std::string qualifier;
    for (const Assignment& a : sets) {
      if (a.qualifier.empty()) {
        FailAt(tokens_[a.token], "UPDATE over joins needs table-qualified SET columns");
        return {};
      }
      if (qualifier.empty()) {
        qualifier = a.qualifier;
      } else if (!EqualsNoCase(qualifier, a.qualifier)) {
        FailAt(tokens_[a.token], "UPDATE of several tables in one statement cannot be translated");
        return {};
      }
    }
    const TableRef* table = FindTable(target, qualifier, sets.front().token);
    if (table == nullptr) return {};
    const std::string ref = table->alias.empty() ? table->rendered_name : table->rendered_alias;
    std::string assignments, values;
    for (size_t i = 0; i < sets.size(); ++i) {
      const std::string column = "jet_v" + std::to_string(i + 1);
      if (i > 0) assignments += ", ";
      assignments += sets[i].column + " = jet_u." + column;
      values += ", " + sets[i].value + " AS " + column;
    }
    return "UPDATE " + table->rendered_name + " SET " + assignments + " FROM (SELECT " +
           dialect_.RowId(ref) + " AS jet_rowid" + values + " FROM " + target.sql + where +
           ") AS jet_u WHERE " + dialect_.RowId(table->rendered_name) + " = jet_u.jet_rowid";
  }

  // DELETE [*|t.*] FROM t [joins] [WHERE ...].
  std::string Delete() {
    ExpectWord("DELETE");
    AcceptWord("DISTINCTROW");  // Access writes it; it changes nothing here
    std::string qualifier;
    size_t qualifier_token = pos_;
    if (!AcceptSymbol("*") && IsName(Peek()) && AtSymbol(".", 1) && AtSymbol("*", 2)) {
      qualifier = Peek().text;
      Advance();
      Advance();
      Advance();
      if (AtSymbol(",")) {
        Fail("DELETE from several tables in one statement cannot be translated");
        return {};
      }
    }
    ExpectWord("FROM");
    const size_t from_token = pos_;
    FromClause from = FromList();
    std::string where;
    if (AcceptWord("WHERE")) where = " WHERE " + Expression().sql.text;
    if (error_) return {};

    const TableRef* table = nullptr;
    if (!qualifier.empty()) {
      table = FindTable(from, qualifier, qualifier_token);
    } else if (from.joined) {
      FailAt(tokens_[from_token], "DELETE over joins must name its table (DELETE t.* FROM ...)");
    } else {
      table = &from.tables.front();
    }
    if (table == nullptr) return {};
    if (table->name.empty()) {
      FailAt(tokens_[from_token], "DELETE from a subquery cannot be translated");
      return {};
    }
    if (!from.joined && table->alias.empty() && from.sql == table->rendered_name) {
      return "DELETE FROM " + table->rendered_name + where;
    }
    const std::string ref = table->alias.empty() ? table->rendered_name : table->rendered_alias;
    return "DELETE FROM " + table->rendered_name + " WHERE " + dialect_.RowId("") + " IN (SELECT " +
           dialect_.RowId(ref) + " FROM " + from.sql + where + ")";
  }

  // ALTER / CREATE / DROP: the tokens as written, with literals and bracketed
  // names rewritten.
  std::string Definition() {
    std::string out;
    std::vector<size_t> open;  // unmatched "(" tokens
    const JetToken* previous = nullptr;
    while (Peek().kind != JetTokenKind::kEnd && !AtSymbol(";")) {
      const JetToken& t = Peek();
      const bool is_symbol = t.kind == JetTokenKind::kSymbol;
      if (is_symbol && t.text == "(") open.push_back(pos_);
      if (is_symbol && t.text == ")") {
        if (open.empty()) {
          Fail("unbalanced \")\"");
          return {};
        }
        open.pop_back();
      }
      std::string piece;
      switch (t.kind) {
        case JetTokenKind::kBracketName:
          piece = Render(t);
          break;
        case JetTokenKind::kText:
          piece = dialect_.TextLiteral(t.text);
          break;
        case JetTokenKind::kDate:
          piece = dialect_.DateLiteral(t.text);
          break;
        case JetTokenKind::kWord:
          piece = AtWord("TRUE") ? "-1" : AtWord("FALSE") ? "0" : t.text;
          break;
        default:
          piece = t.text;
      }
      if (previous != nullptr) {
        const bool tight_after = previous->kind == JetTokenKind::kSymbol &&
                                 (previous->text == "(" || previous->text == ".");
        const bool tight_before =
            is_symbol && (t.text == "," || t.text == ")" || t.text == "." ||
                          (t.text == "(" && previous->kind != JetTokenKind::kSymbol));
        if (!tight_after && !tight_before) out += " ";
      }
      out += piece;
      previous = &t;
      Advance();
    }
    if (!open.empty()) FailAt(tokens_[open.back()], "unbalanced \"(\"");
    return out;
  }

  // The table of `from` that qualifier names (its alias, or its name when it
  // has none); fails with a message when none or several do.
  const TableRef* FindTable(const FromClause& from, std::string_view qualifier, size_t token) {
    const TableRef* found = nullptr;
    for (const TableRef& t : from.tables) {
      if (!Names(t, qualifier)) continue;
      if (found != nullptr) {
        FailAt(tokens_[token], "table " + std::string(qualifier) + " is ambiguous");
        return nullptr;
      }
      found = &t;
    }
    if (found == nullptr) {
      FailAt(tokens_[token], "table " + std::string(qualifier) + " is not in the FROM clause");
    }
    return found;
  }

  static bool Names(const TableRef& t, std::string_view qualifier) {
    return t.alias.empty() ? !t.name.empty() && EqualsNoCase(t.name, qualifier)
                           : EqualsNoCase(t.alias, qualifier);
  }

  // ---- FROM clauses ----------------------------------------------------------

  FromClause FromList() {
    FromClause out;
    do {
      FromClause item = JoinChain();
      if (!out.sql.empty()) {
        out.sql += ", ";
        out.joined = true;
      }
      Merge(out, std::move(item));
    } while (!error_ && AcceptSymbol(","));
    return out;
  }

  static void Merge(FromClause& into, FromClause item) {
    into.sql += item.sql;
    into.joined = into.joined || item.joined;
    for (TableRef& t : item.tables) into.tables.push_back(std::move(t));
  }

  FromClause JoinChain() {
    FromClause left = FromPrimary();
    while (!error_) {
      std::string kind;
      if (AtWord("INNER") && AtWord("JOIN", 1)) {
        kind = "INNER JOIN";
        Advance();
        Advance();
      } else if (AtWord("LEFT") || AtWord("RIGHT")) {
        kind = AtWord("LEFT") ? "LEFT JOIN" : "RIGHT JOIN";
        Advance();
        AcceptWord("OUTER");
        ExpectWord("JOIN");
      } else if (AcceptWord("JOIN")) {
        kind = "INNER JOIN";
      } else {
        break;
      }
      FromClause right = FromPrimary();
      ExpectWord("ON");
      std::string condition = Expression().sql.text;
      left.sql += " " + kind + " ";
      Merge(left, std::move(right));
      left.sql += " ON " + condition;
      left.joined = true;
    }
    return left;
  }

  // A table [AS alias], a parenthesised join, or (SELECT ...) [AS] alias.
  FromClause FromPrimary() {
    DepthGuard guard(*this);
    FromClause out;
    if (AcceptSymbol("(")) {
      if (AtWord("SELECT")) {
        out.sql = "(" + SelectStatement() + ")";
        ExpectSymbol(")");
        TableRef ref;
        const bool as = AcceptWord("AS");
        if (IsName(Peek())) {
          ref.alias = Peek().text;
          ref.rendered_alias = Render(Peek());
          out.sql += " AS " + ref.rendered_alias;
          Advance();
        } else if (as) {
          Expected("a name after AS");
        }
        out.tables.push_back(std::move(ref));
        return out;
      }
      out = FromList();
      ExpectSymbol(")");
      out.sql = "(" + out.sql + ")";
      return out;
    }
    if (!IsName(Peek())) {
      Expected("a table name");
      return out;
    }
    TableRef ref;
    ref.name = Peek().text;
    ref.rendered_name = Render(Peek());
    Advance();
    out.sql = ref.rendered_name;
    const bool as = AcceptWord("AS");
    if (IsName(Peek())) {
      ref.alias = Peek().text;
      ref.rendered_alias = Render(Peek());
      out.sql += " AS " + ref.rendered_alias;
      Advance();
    } else if (as) {
      Expected("a name after AS");
    }
    out.tables.push_back(std::move(ref));
    return out;
  }

  // ---- Expressions, loosest binding first -------------------------------------

  Operand Expression() {
    DepthGuard guard(*this);
    return Or();
  }

  Operand Or() {
    Operand left = And();
    while (!error_ && AcceptWord("OR")) {
      Operand right = And();
      left = {Binary(left.sql, "OR", right.sql, Precedence::kOr), Kind::kBoolean};
    }
    return left;
  }

  Operand And() {
    Operand left = Not();
    while (!error_ && AcceptWord("AND")) {
      Operand right = Not();
      left = {Binary(left.sql, "AND", right.sql, Precedence::kAnd), Kind::kBoolean};
    }
    return left;
  }

  Operand Not() {
    if (!AcceptWord("NOT")) return Comparison();
    DepthGuard guard(*this);
    Operand operand = Not();
    return {{"NOT " + Parenthesized(operand.sql, Precedence::kNot), Precedence::kNot},
            Kind::kBoolean};
  }

  Operand Comparison() {
    Operand left = Concatenation();
    while (!error_) {
      const JetToken& t = Peek();
      if (t.kind == JetTokenKind::kSymbol && (t.text == "=" || t.text == "<>" || t.text == "<" ||
                                              t.text == "<=" || t.text == ">" || t.text == ">=")) {
        const std::string op = t.text;
        Advance();
        Operand right = Concatenation();
        const Precedence p =
            (op == "=" || op == "<>") ? Precedence::kEquality : Precedence::kRelational;
        // Equality with a text that has no letter is the same whatever the
        // case: the comparison is left plain, so that a numeric column
        // compared with '42' is still looked up through its index.
        const bool letterless_equality = (op == "=" || op == "<>") && IsLetterlessText(right);
        left = {{ComparisonOperand(CaseFolded(JetTruthValue(left),
                                              right.kind == Kind::kText && !letterless_equality)) +
                     " " + op + " " + ComparisonOperand(JetTruthValue(right).sql),
                 p},
                Kind::kBoolean};
        continue;
      }
      if (AcceptWord("IS")) {
        const bool negated = AcceptWord("NOT");
        ExpectWord("NULL");
        left = {{ComparisonOperand(left.sql) + (negated ? " IS NOT NULL" : " IS NULL"),
                 Precedence::kEquality},
                Kind::kBoolean};
        continue;
      }
      bool negated = false;
      if (AtWord("NOT") && (AtWord("IN", 1) || AtWord("LIKE", 1) || AtWord("BETWEEN", 1))) {
        negated = true;
        Advance();
      }
      if (AcceptWord("IN")) {
        left = In(left, negated);
      } else if (AcceptWord("LIKE")) {
        left = Like(left, negated);
      } else if (AcceptWord("BETWEEN")) {
        Operand low = Concatenation();
        ExpectWord("AND");
        Operand high = Concatenation();
        const bool text = low.kind == Kind::kText || high.kind == Kind::kText;
        left = {{ComparisonOperand(CaseFolded(left, text)) +
                     (negated ? " NOT BETWEEN " : " BETWEEN ") + ComparisonOperand(low.sql) +
                     " AND " + ComparisonOperand(high.sql),
                 Precedence::kEquality},
                Kind::kBoolean};
      } else {
        break;
      }
    }
    return left;
  }

  // A truth value compared with a value: as Jet has it, -1 for True (the
  // engine's truth values are 1 and 0), so that IsNull(x)=True and
  // (a>b)=True hold when they should. Any other operand is left as it is.
  Operand JetTruthValue(const Operand& x) const {
    if (x.kind != Kind::kBoolean) return x;
    return {{"-" + Parenthesized(x.sql, Precedence::kAtom), Precedence::kUnary}, Kind::kOther};
  }

  // Whether x is a text literal without an ASCII letter (the only characters
  // whose case the engine's case-blind comparison folds).
  bool IsLetterlessText(const Operand& x) const {
    if (x.kind != Kind::kText || x.sql.text != dialect_.TextLiteral(x.literal)) return false;
    for (char c : x.literal) {
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return false;
    }
    return true;
  }

  // The left side of a comparison; compared without regard to case when either
  // side is a text literal, as Jet compares text.
  SqlFragment CaseFolded(const Operand& left, bool other_is_text) const {
    if (left.kind == Kind::kText || other_is_text) return dialect_.CaseInsensitive(left.sql);
    return left.sql;
  }

  Operand In(const Operand& left, bool negated) {
    ExpectSymbol("(");
    std::string list;
    bool text = false;
    if (AtWord("SELECT")) {
      list = SelectStatement();
    } else {
      do {
        Operand item = Expression();
        text = text || item.kind == Kind::kText;
        if (!list.empty()) list += ", ";
        list += item.sql.text;
      } while (!error_ && AcceptSymbol(","));
    }
    ExpectSymbol(")");
    return {
        {ComparisonOperand(CaseFolded(left, text)) + (negated ? " NOT IN (" : " IN (") + list + ")",
         Precedence::kEquality},
        Kind::kBoolean};
  }

  Operand Like(const Operand& left, bool negated) {
    Operand pattern = Concatenation();
    if (pattern.kind == Kind::kText) {
      if (std::optional<SqlLikePattern> sql = ToSqlLikePattern(pattern.literal)) {
        std::string text = ComparisonOperand(left.sql) + (negated ? " NOT LIKE " : " LIKE ") +
                           dialect_.TextLiteral(sql->pattern);
        if (sql->escaped) text += " ESCAPE " + dialect_.TextLiteral("\\");
        return {{text, Precedence::kEquality}, Kind::kBoolean};
      }
    }
    SqlFragment match = dialect_.JetLike(left.sql, pattern.sql);
    if (!negated) return {match, Kind::kBoolean};
    return {{"NOT " + Parenthesized(match, Precedence::kNot), Precedence::kNot}, Kind::kBoolean};
  }

  // "&": Jet joins the texts and takes Null as empty text.
  Operand Concatenation() {
    Operand left = Additive();
    while (!error_ && AcceptSymbol("&")) {
      Operand right = Additive();
      left = {dialect_.Operator(JetOperator::kConcat, NullAsEmpty(left), NullAsEmpty(right)),
              Kind::kNonNullText};
    }
    return left;
  }

  SqlFragment NullAsEmpty(const Operand& x) const {
    switch (x.kind) {
      case Kind::kText:
      case Kind::kNumber:
      case Kind::kNonNullText:
        return x.sql;
      case Kind::kNull:
        return {dialect_.TextLiteral("")};
      case Kind::kFraction:
        // Jet writes a whole number without ".0" (4/2 gives "2"), as CStr does.
        if (std::optional<Result<SqlFragment>> text = dialect_.Function("CStr", {x.sql});
            text && text->ok()) {
          return dialect_.EmptyIfNull(text->value());
        }
        break;
      case Kind::kBoolean:
      case Kind::kOther:
        break;
    }
    return dialect_.EmptyIfNull(x.sql);
  }

  Operand Additive() {
    Operand left = Modulo();
    while (!error_) {
      if (AcceptSymbol("+")) {
        Operand right = Modulo();
        const Kind kind = left.kind == Kind::kText || right.kind == Kind::kText
                              ? Kind::kOther
                              : FractionOf(left, right);
        left = {Plus(left, right), kind};
      } else if (AcceptSymbol("-")) {
        Operand right = Modulo();
        left = {Binary(left.sql, "-", right.sql, Precedence::kAdditive), FractionOf(left, right)};
      } else {
        break;
      }
    }
    return left;
  }

  // kFraction when either operand of an arithmetic operator is one.
  static Kind FractionOf(const Operand& a, const Operand& b) {
    return a.kind == Kind::kFraction || b.kind == Kind::kFraction ? Kind::kFraction : Kind::kOther;
  }

  // Jet's "+": with a text literal it joins texts (Null propagates); with a
  // number literal it adds; between two other operands the engine decides by
  // the values.
  SqlFragment Plus(const Operand& left, const Operand& right) const {
    if (left.kind == Kind::kText || right.kind == Kind::kText) {
      return dialect_.Operator(JetOperator::kConcat, left.sql, right.sql);
    }
    if (left.kind == Kind::kNumber || right.kind == Kind::kNumber || left.kind == Kind::kNull ||
        right.kind == Kind::kNull) {
      return Binary(left.sql, "+", right.sql, Precedence::kAdditive);
    }
    return dialect_.Operator(JetOperator::kVariantAdd, left.sql, right.sql);
  }

  Operand Modulo() {
    Operand left = IntegerDivision();
    while (!error_ && AcceptWord("MOD")) {
      Operand right = IntegerDivision();
      left = {Binary(left.sql, "%", right.sql, Precedence::kMultiplicative)};
    }
    return left;
  }

  Operand IntegerDivision() {
    Operand left = Multiplicative();
    while (!error_ && AcceptSymbol("\\")) {
      Operand right = Multiplicative();
      left = {dialect_.Operator(JetOperator::kIntegerDivide, left.sql, right.sql)};
    }
    return left;
  }

  Operand Multiplicative() {
    Operand left = Unary();
    while (!error_) {
      if (AcceptSymbol("*")) {
        Operand right = Unary();
        left = {Binary(left.sql, "*", right.sql, Precedence::kMultiplicative),
                FractionOf(left, right)};
      } else if (AcceptSymbol("/")) {
        Operand right = Unary();
        left = {dialect_.Operator(JetOperator::kDivide, left.sql, right.sql), Kind::kFraction};
      } else {
        break;
      }
    }
    return left;
  }

  Operand Unary() {
    if (AcceptSymbol("+")) {
      DepthGuard guard(*this);
      return Unary();
    }
    if (!AcceptSymbol("-")) return Power();
    DepthGuard guard(*this);
    Operand operand = Unary();
    // "- -x" must never become "--", which starts a comment.
    const bool wrap = operand.sql.precedence < Precedence::kUnary ||
                      (!operand.sql.text.empty() && operand.sql.text[0] == '-');
    Operand out;
    out.sql = {"-" + (wrap ? "(" + operand.sql.text + ")" : operand.sql.text), Precedence::kUnary};
    out.kind = operand.kind == Kind::kNumber || operand.kind == Kind::kFraction ? operand.kind
                                                                                : Kind::kOther;
    return out;
  }

  Operand Power() {
    Operand base = Primary();
    while (!error_ && AcceptSymbol("^")) {
      Operand exponent = (AtSymbol("-") || AtSymbol("+")) ? Unary() : Primary();
      base = {dialect_.Operator(JetOperator::kPower, base.sql, exponent.sql), Kind::kFraction};
    }
    return base;
  }

  Operand Primary() {
    const JetToken& t = Peek();
    switch (t.kind) {
      case JetTokenKind::kNumber:
        Advance();
        return {{t.text}, Kind::kNumber};
      case JetTokenKind::kText:
        Advance();
        return {{dialect_.TextLiteral(t.text)}, Kind::kText, t.text};
      case JetTokenKind::kDate:
        Advance();
        return {{dialect_.DateLiteral(t.text)}};
      case JetTokenKind::kBracketName:
        return ColumnReference();
      case JetTokenKind::kSymbol:
        if (AcceptSymbol("(")) return Parenthesised();
        break;
      case JetTokenKind::kWord:
        if (EqualsNoCase(t.text, "@@IDENTITY")) {
          Advance();
          Operand out{dialect_.LastInsertId()};
          out.identity = true;
          return out;
        }
        if (t.text[0] == '@') break;
        if (AcceptWord("TRUE")) return {{"-1", Precedence::kUnary}, Kind::kNumber};
        if (AcceptWord("FALSE")) return {{"0"}, Kind::kNumber};
        if (AcceptWord("NULL")) return {{"NULL"}, Kind::kNull};
        if (AcceptWord("EXISTS")) {
          ExpectSymbol("(");
          if (!AtWord("SELECT")) {
            Expected("SELECT");
            return {};
          }
          std::string query = SelectStatement();
          ExpectSymbol(")");
          return {{"EXISTS (" + query + ")"}, Kind::kBoolean};
        }
        if (AtSymbol("(", 1) && (!IsReserved(t.text) || AtWord("LEFT") || AtWord("RIGHT"))) {
          return FunctionCall();
        }
        if (IsReserved(t.text)) break;
        return ColumnReference();
      case JetTokenKind::kEnd:
        break;
    }
    Unexpected();
    return {};
  }

  // After "(": a subquery or a parenthesised expression.
  Operand Parenthesised() {
    DepthGuard guard(*this);
    if (AtWord("SELECT")) {
      std::string query = SelectStatement();
      ExpectSymbol(")");
      return {{"(" + query + ")"}};
    }
    Operand inner = Expression();
    ExpectSymbol(")");
    inner.sql = {"(" + inner.sql.text + ")", Precedence::kAtom};
    inner.identity = false;
    return inner;
  }

  // name, table.name, [table].[name]...
  Operand ColumnReference() {
    std::string out = Render(Peek());
    Advance();
    while (AtSymbol(".") &&
           (Peek(1).kind == JetTokenKind::kWord || Peek(1).kind == JetTokenKind::kBracketName)) {
      Advance();
      out += "." + Render(Peek());
      Advance();
    }
    return {{out}};
  }

  Operand FunctionCall() {
    const JetToken& name = Peek();
    Advance();
    Advance();  // "("
    std::vector<SqlFragment> args;
    std::string written;  // the arguments as passed through unchanged
    bool rewritable = true;
    if (AtSymbol("*") && AtSymbol(")", 1)) {
      Advance();
      written = "*";
      rewritable = false;
    } else if (!AtSymbol(")")) {
      if (AcceptWord("DISTINCT")) {
        written = "DISTINCT ";
        rewritable = false;
      }
      do {
        args.push_back(Expression().sql);
        written += (args.size() > 1 ? ", " : "") + args.back().text;
      } while (!error_ && AcceptSymbol(","));
    }
    ExpectSymbol(")");
    if (error_) return {};
    if (rewritable) {
      if (std::optional<Result<SqlFragment>> call = dialect_.Function(name.text, args)) {
        if (!call->ok()) {
          FailAt(name, call->message());
          return {};
        }
        return {call->value(), EqualsNoCase(name.text, "IsNull") ? Kind::kBoolean : Kind::kOther};
      }
    }
    return {{name.text + "(" + written + ")"}};
  }

  std::string_view source_;
  std::vector<JetToken> tokens_;
  const SqlDialect& dialect_;
  size_t pos_ = 0;
  int depth_ = 0;
  std::optional<Error> error_;
};

}  // namespace

Result<std::string> TranslateJetSql(std::string_view jet_sql, const SqlDialect& dialect) {
  Result<std::vector<JetToken>> tokens = TokenizeJetSql(jet_sql);
  if (!tokens.ok()) return tokens.error();
  return Translator(jet_sql, std::move(tokens).value(), dialect).Run();
}

Result<std::string> TranslateJetSql(std::string_view jet_sql) {
  return TranslateJetSql(jet_sql, SqliteDialect());
}

}  // namespace tomeva::catalog
