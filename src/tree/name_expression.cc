// Name rules compiled to SQL, and the mapping between stored and shown names.
#include "tree/name_expression.h"

#include <optional>
#include <vector>

#include "common/params.h"
#include "common/shown_text.h"
#include "common/template.h"
#include "common/text.h"
#include "common/utf8.h"

namespace tomeva::tree {
namespace {

// Deepest nesting of [ ] groups a rule may have: each level compiles to a
// nested iif, and the recursion must stay far from the stack's end.
constexpr int kMaxGroupNesting = 64;

// One field written in a rule as (field) or (!field).
struct FieldRef {
  std::string field;
  bool numeric = false;
  size_t next = 0;  // position after the closing ")"
};

// Reads the field whose "(" is at pos; an unclosed field runs to the end.
FieldRef ReadField(std::string_view rule, size_t pos) {
  size_t close = rule.find(')', pos + 1);
  if (close == std::string_view::npos) close = rule.size();
  FieldRef ref;
  std::string_view inner = rule.substr(pos + 1, close - pos - 1);
  ref.numeric = !inner.empty() && inner.front() == '!';
  if (ref.numeric) inner.remove_prefix(1);
  ref.field = std::string(inner);
  ref.next = close < rule.size() ? close + 1 : close;
  return ref;
}

// Position after the quoted part whose "'" is at pos.
size_t SkipQuoted(std::string_view rule, size_t pos) {
  const size_t close = rule.find('\'', pos + 1);
  return close == std::string_view::npos ? rule.size() : close + 1;
}

// Position of the "]" that closes the group whose "[" is at pos (rule.size()
// when it is unclosed). Quoted parts and fields are stepped over, so a bracket
// written in a literal is text.
size_t GroupEnd(std::string_view rule, size_t pos) {
  int depth = 0;
  size_t i = pos;
  while (i < rule.size()) {
    const char c = rule[i];
    if (c == '\'') {
      i = SkipQuoted(rule, i);
      continue;
    }
    if (c == '(') {
      i = ReadField(rule, i).next;
      continue;
    }
    if (c == '[') ++depth;
    if (c == ']' && --depth == 0) return i;
    ++i;
  }
  return rule.size();
}

// The fields standing directly in a group's inner text, not inside a nested
// group.
std::vector<FieldRef> DirectFields(std::string_view inner) {
  std::vector<FieldRef> fields;
  size_t i = 0;
  while (i < inner.size()) {
    const char c = inner[i];
    if (c == '\'') {
      i = SkipQuoted(inner, i);
    } else if (c == '(') {
      FieldRef ref = ReadField(inner, i);
      i = ref.next;
      fields.push_back(std::move(ref));
    } else if (c == '[') {
      const size_t end = GroupEnd(inner, i);
      i = end < inner.size() ? end + 1 : end;
    } else {
      ++i;
    }
  }
  return fields;
}

// The terms of a rule, each followed by "+"; nullopt when its groups nest
// deeper than kMaxGroupNesting below `depth`.
std::optional<std::string> CompileTerms(std::string_view rule, int depth) {
  std::string out;
  size_t pos = 0;
  while (pos < rule.size()) {
    const char c = rule[pos];
    if (c == '\'') {
      LiteralRun run = ParseLiteral(rule, pos);
      if (run.next <= pos) break;  // a quote as the last character reads nothing
      out += DoubleQuoted(run.value) + "+";
      pos = run.next;
    } else if (c == '(') {
      FieldRef ref = ReadField(rule, pos);
      out += ref.numeric ? "str(" + ref.field + ")+" : ref.field + "+";
      pos = ref.next;
    } else if (c == '[') {
      const size_t end = GroupEnd(rule, pos);
      std::string_view inner = rule.substr(pos + 1, end - pos - 1);
      pos = end < rule.size() ? end + 1 : end;
      if (depth >= kMaxGroupNesting) return std::nullopt;
      std::optional<std::string> terms = CompileTerms(inner, depth + 1);
      if (!terms) return std::nullopt;
      if (terms->empty()) continue;
      std::string shown = std::move(*terms);
      shown.back() = ' ';
      std::string conditions;
      for (const FieldRef& ref : DirectFields(inner)) {
        if (!conditions.empty()) conditions += "AND";
        conditions += ref.numeric ? "(((" + ref.field + ")=0)OR(isnull(" + ref.field + ")))"
                                  : "(isnull(" + ref.field + "))";
      }
      // Without a field of its own to test, the group is always shown.
      out += conditions.empty() ? "(" + shown + ")+"
                                : "iif(" + conditions + ",\"\"," + shown + ")+";
    } else {
      ++pos;
    }
  }
  return out;
}

}  // namespace

std::string BuildNameExpr(std::string_view rule) {
  std::string out = CompileTerms(rule, 0).value_or("");
  if (!out.empty()) out.back() = ' ';
  return out;
}

std::string DisplayName(std::string_view raw) {
  std::string out = ShownText(raw);
  // A name of no more bytes than the characters allowed is within both limits.
  if (out.size() <= kMaxNameCharacters && out.size() <= kMaxNameBytes) return out;
  std::string_view cut = Utf8Prefix(out, kMaxNameCharacters);
  cut = Utf8PrefixBytes(cut, kMaxNameBytes);
  out.resize(cut.size());
  return out;
}

std::string StoredCaptures(std::string_view params) {
  std::string out;
  for (const Param& p : SplitParams(params)) {
    out += p.name + "=" + StoredText(p.value) + std::string(kCrLf);
  }
  return out;
}

}  // namespace tomeva::tree
