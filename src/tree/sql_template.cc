// Quoting of captured values for SQL templates and conditions.
#include "tree/sql_template.h"

#include "common/params.h"
#include "common/template.h"
#include "common/text.h"

namespace tomeva::tree {
namespace {

bool IsBlank(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

bool IsIdentifierChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '_' || u >= 0x80;
}

// Where the SQL text produced so far stands: the kind of token a value put
// there becomes part of.
enum class SqlContext { kCode, kDoubleQuoted, kSingleQuoted, kBracketed };

// The context after text follows one of the given kind. A doubled quote inside
// a literal leaves and re-enters it, which ends in the same place.
SqlContext Advance(SqlContext context, std::string_view text) {
  for (char c : text) {
    switch (context) {
      case SqlContext::kCode:
        if (c == '"') context = SqlContext::kDoubleQuoted;
        if (c == '\'') context = SqlContext::kSingleQuoted;
        if (c == '[') context = SqlContext::kBracketed;
        break;
      case SqlContext::kDoubleQuoted:
        if (c == '"') context = SqlContext::kCode;
        break;
      case SqlContext::kSingleQuoted:
        if (c == '\'') context = SqlContext::kCode;
        break;
      case SqlContext::kBracketed:
        if (c == ']') context = SqlContext::kCode;
        break;
    }
  }
  return context;
}

// value as it must be written in context so that it stays one token there and
// leaves the context unchanged.
std::string QuoteFor(SqlContext context, std::string_view value) {
  switch (context) {
    case SqlContext::kCode:
      return TextLiteral(value);
    case SqlContext::kDoubleQuoted:
      return ReplaceAll(value, "\"", "\"\"");
    case SqlContext::kSingleQuoted:
      return ReplaceAll(value, "'", "''");
    case SqlContext::kBracketed: {
      std::string out;
      for (char c : value) {
        if (c != ']') out.push_back(c);
      }
      return out;
    }
  }
  return {};
}

}  // namespace

std::string TextLiteral(std::string_view value) {
  if (value.empty()) return "null";
  return DoubleQuoted(value);
}

bool IsColumnReference(std::string_view name) {
  size_t pos = 0;
  while (true) {
    if (pos < name.size() && name[pos] == '[') {
      const size_t close = name.find(']', pos + 1);
      if (close == std::string_view::npos || close == pos + 1) return false;
      pos = close + 1;
    } else {
      const size_t start = pos;
      while (pos < name.size() && IsIdentifierChar(name[pos])) ++pos;
      if (pos == start) return false;
    }
    if (pos == name.size()) return true;
    if (name[pos] != '.') return false;
    ++pos;
  }
}

std::string CaptureCondition(std::string_view name, std::string_view value) {
  return "(" + std::string(name) + "=" + TextLiteral(value) + ")";
}

std::string TemplateQuotedText(std::string_view text) { return ReplaceAll(text, "'", "'#39'"); }

std::string ExpandSqlTemplate(std::string_view tmpl, std::string_view params) {
  return ExpandSqlTemplate(tmpl,
                           [params](std::string_view name) { return GetParam(params, name); });
}

std::string ExpandSqlTemplate(std::string_view tmpl,
                              const std::function<std::string(std::string_view)>& lookup) {
  // The same walk as ExpandTemplate, keeping track of where the SQL written so
  // far stands so that each value is quoted for its place.
  std::string out;
  SqlContext context = SqlContext::kCode;
  const size_t n = tmpl.size();
  size_t pos = 0;
  while (pos + 1 < n) {
    if (IsBlank(tmpl[pos]) || tmpl[pos] == '\'') {
      LiteralRun run = ParseLiteral(tmpl, pos);
      out += run.value;
      context = Advance(context, run.value);
      pos = run.next;
    } else {
      // A bare name runs to the next quote, never including the last character.
      size_t end = tmpl.find('\'', pos);
      if (end == std::string_view::npos) end = n - 1;
      out += QuoteFor(context, lookup(tmpl.substr(pos, end - pos)));
      pos = end;
    }
  }
  return out;
}

}  // namespace tomeva::tree
