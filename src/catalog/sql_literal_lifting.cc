// Literal lifting: a small SQLite tokenizer that knows just enough of the
// grammar (quotes, comments, parentheses, a few keywords) to tell where a
// literal stands.
#include "catalog/sql_literal_lifting.h"

#include <charconv>
#include <cstddef>
#include <initializer_list>
#include <utility>


namespace tomeva::catalog {
namespace {

// The most literals one text has lifted; beyond it the text stays as it is
// (SQLite numbers parameters up to 32766).
constexpr size_t kMaxLifted = 2000;

enum class TokenKind { kWord, kText, kNumber, kSymbol, kQuotedName, kBlob, kParameter };

struct Token {
  TokenKind kind = TokenKind::kSymbol;
  size_t begin = 0;
  size_t end = 0;         // one past the token's last byte
  std::string_view text;  // the token as written
};

bool IsWordStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}

bool IsWordPart(unsigned char c) {
  return IsWordStart(c) || (c >= '0' && c <= '9') || c == '$';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether written equals the upper-case keyword, ignoring ASCII letter case.
bool SameKeyword(std::string_view written, std::string_view keyword) {
  if (written.size() != keyword.size()) return false;
  for (size_t i = 0; i < written.size(); ++i) {
    char c = written[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != keyword[i]) return false;
  }
  return true;
}

// The value of a text literal as written ('it''s' gives it's).
std::string TextValue(std::string_view written) {
  std::string value;
  value.reserve(written.size());
  for (size_t i = 1; i + 1 < written.size(); ++i) {
    value.push_back(written[i]);
    if (written[i] == '\'') ++i;  // the second quote of a doubled one
  }
  return value;
}

// Splits sql into tokens; nullopt for a text it cannot follow (an unterminated
// quote or comment, a NUL byte): such a text is left to SQLite as it is.
std::optional<std::vector<Token>> Tokenize(std::string_view sql) {
  // SQLite reads a text only up to a NUL; such a text is left to it as it is.
  if (sql.find('\0') != std::string_view::npos) return std::nullopt;
  std::vector<Token> tokens;
  size_t i = 0;
  const size_t n = sql.size();
  while (i < n) {
    const char c = sql[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      const size_t close = sql.find("*/", i + 2);
      if (close == std::string_view::npos) return std::nullopt;
      i = close + 2;
      continue;
    }
    Token token;
    token.begin = i;
    if (c == '\'') {
      token.kind = TokenKind::kText;
      ++i;
      for (;;) {
        if (i >= n) return std::nullopt;
        if (sql[i] == '\'') {
          if (i + 1 < n && sql[i + 1] == '\'') {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
    } else if ((c == 'x' || c == 'X') && i + 1 < n && sql[i + 1] == '\'') {
      token.kind = TokenKind::kBlob;
      const size_t close = sql.find('\'', i + 2);
      if (close == std::string_view::npos) return std::nullopt;
      i = close + 1;
    } else if (c == '"' || c == '`' || c == '[') {
      token.kind = TokenKind::kQuotedName;
      const char close = c == '[' ? ']' : c;
      ++i;
      for (;;) {
        if (i >= n) return std::nullopt;
        if (sql[i] == close) {
          if (close != ']' && i + 1 < n && sql[i + 1] == close) {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
    } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(sql[i + 1]))) {
      token.kind = TokenKind::kNumber;
      while (i < n && (IsWordPart(static_cast<unsigned char>(sql[i])) || sql[i] == '.' ||
                       ((sql[i] == '+' || sql[i] == '-') && (sql[i - 1] == 'e' || sql[i - 1] == 'E')))) {
        ++i;
      }
    } else if (IsWordStart(static_cast<unsigned char>(c))) {
      token.kind = TokenKind::kWord;
      while (i < n && IsWordPart(static_cast<unsigned char>(sql[i]))) ++i;
    } else if (c == '?' || c == ':' || c == '@' || c == '$' || c == '#') {
      token.kind = TokenKind::kParameter;
      ++i;
    } else {
      token.kind = TokenKind::kSymbol;
      static constexpr std::string_view kTwoCharacterSymbols[] = {"<=", ">=", "<>", "!=", "==",
                                                                  "||", "<<", ">>", "->"};
      size_t length = 1;
      for (std::string_view symbol : kTwoCharacterSymbols) {
        if (sql.substr(i, 2) == symbol) length = 2;
      }
      i += length;
    }
    token.end = i;
    token.text = sql.substr(token.begin, token.end - token.begin);
    tokens.push_back(token);
  }
  return tokens;
}

bool IsWord(const Token& token, std::string_view word) {
  return token.kind == TokenKind::kWord && SameKeyword(token.text, word);
}

bool IsSymbol(const Token& token, std::string_view symbol) {
  return token.kind == TokenKind::kSymbol && token.text == symbol;
}

// Whether the text is one statement that takes parameters and holds none
// already.
bool TakesParameters(const std::vector<Token>& tokens) {
  if (tokens.empty()) return false;
  static constexpr std::string_view kDataStatements[] = {"SELECT", "INSERT", "UPDATE", "DELETE",
                                                         "REPLACE", "WITH", "VALUES"};
  bool data = false;
  for (std::string_view word : kDataStatements) data = data || IsWord(tokens.front(), word);
  if (!data) return false;
  bool ended = false;  // a ';' outside parentheses was seen
  int depth = 0;
  for (const Token& token : tokens) {
    if (token.kind == TokenKind::kParameter) return false;
    if (IsSymbol(token, ";") && depth == 0) {
      ended = true;
      continue;
    }
    if (ended) return false;  // a second statement
    if (IsSymbol(token, "(")) ++depth;
    if (IsSymbol(token, ")")) --depth;
  }
  return true;
}

// The clause a token stands in. SQLite also reads a text literal as a name
// where it expects a name (FROM 'table' 'alias', INSERT INTO t ('column'),
// SET 'column' = ...), so only the clauses where every literal is a value lift
// theirs.
enum class Clause {
  kOther,       // the start of a statement, LIMIT, set operators: nothing is lifted
  kSelectList,  // SELECT ... (an unnamed column is named by its text)
  kReturning,   // RETURNING ..., named like a select list
  kFrom,        // FROM ... (tables, aliases, join conditions)
  kInto,        // INTO table (columns)
  kSet,         // SET column = value, ...
  kCondition,   // WHERE ..., HAVING ...
  kValues,      // VALUES (...)
  kOrdering,    // ORDER BY, GROUP BY, WINDOW (a number names a column)
};

// Where a token stands, for each level of parentheses.
struct Place {
  Clause clause = Clause::kOther;
  // Inside parentheses of a select list: an unnamed column is named by all of
  // its text, a subquery's included.
  bool within_select_list = false;
};

// The clause a keyword starts, if it starts one.
std::optional<Clause> ClauseStartedBy(const Token& token) {
  if (token.kind != TokenKind::kWord) return std::nullopt;
  static constexpr std::pair<std::string_view, Clause> kStarts[] = {
      {"SELECT", Clause::kSelectList}, {"RETURNING", Clause::kReturning},
      {"FROM", Clause::kFrom},         {"INTO", Clause::kInto},
      {"SET", Clause::kSet},           {"WHERE", Clause::kCondition},
      {"HAVING", Clause::kCondition},  {"VALUES", Clause::kValues},
      {"ORDER", Clause::kOrdering},    {"GROUP", Clause::kOrdering},
      {"WINDOW", Clause::kOrdering},   {"LIMIT", Clause::kOther},
      {"UNION", Clause::kOther},       {"EXCEPT", Clause::kOther},
      {"INTERSECT", Clause::kOther},   {"DO", Clause::kOther},
  };
  for (const auto& [word, clause] : kStarts) {
    if (SameKeyword(token.text, word)) return clause;
  }
  return std::nullopt;
}

bool IsAnyOf(const Token& token, std::initializer_list<std::string_view> symbols) {
  for (std::string_view symbol : symbols) {
    if (IsSymbol(token, symbol)) return true;
  }
  return false;
}

// Whether a literal after `previous` is a value that may become a parameter.
bool Liftable(const Place& place, const Token& literal, const Token* previous) {
  if (place.within_select_list || previous == nullptr) return false;
  const bool after_comparison =
      IsAnyOf(*previous, {"=", "==", "<>", "!=", "<", ">", "<=", ">="});
  switch (place.clause) {
    case Clause::kCondition:
    case Clause::kValues:
      // A number follows a comparison or opens an argument or list item: after
      // an arithmetic operator or a keyword its text may matter.
      return literal.kind == TokenKind::kText || after_comparison ||
             IsAnyOf(*previous, {"(", ","});
    case Clause::kSet:
      // Only the value of an assignment; its left side names a column.
      return after_comparison;
    default:
      return false;
  }
}

}  // namespace

std::optional<LiftedSql> LiftLiterals(std::string_view sql) {
  std::optional<std::vector<Token>> tokens = Tokenize(sql);
  if (!tokens || !TakesParameters(*tokens)) return std::nullopt;

  LiftedSql lifted;
  std::vector<Place> places(1);
  size_t copied = 0;  // sql before this offset is in lifted.text
  const Token* previous = nullptr;
  auto lift = [&](const Token& token, LiftedValue value) {
    lifted.text.append(sql.substr(copied, token.begin - copied));
    lifted.values.push_back(std::move(value));
    lifted.text += "?" + std::to_string(lifted.values.size());
    copied = token.end;
  };
  for (const Token& token : *tokens) {
    Place& place = places.back();
    if (IsSymbol(token, "(")) {
      Place inner = place;
      inner.within_select_list = place.within_select_list ||
                                 place.clause == Clause::kSelectList ||
                                 place.clause == Clause::kReturning;
      places.push_back(inner);
    } else if (IsSymbol(token, ")")) {
      if (places.size() > 1) places.pop_back();
    } else if (std::optional<Clause> clause = ClauseStartedBy(token)) {
      place.clause = *clause;
    } else if (lifted.values.size() < kMaxLifted && Liftable(place, token, previous)) {
      if (token.kind == TokenKind::kText) {
        lift(token, LiftedValue{.is_integer = false, .integer = 0, .text = TextValue(token.text)});
      } else if (token.kind == TokenKind::kNumber) {
        int64_t value = 0;
        const char* first = token.text.data();
        const char* last = first + token.text.size();
        const bool digits_only =
            token.text.find_first_not_of("0123456789") == std::string_view::npos;
        const auto [end, error] = std::from_chars(first, last, value);
        if (digits_only && error == std::errc() && end == last) {
          lift(token, LiftedValue{.is_integer = true, .integer = value, .text = {}});
        }
      }
    }
    previous = &token;
  }
  if (lifted.values.empty()) return std::nullopt;
  lifted.text.append(sql.substr(copied));
  return lifted;
}

}  // namespace tomeva::catalog
