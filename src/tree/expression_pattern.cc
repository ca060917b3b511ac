// The expression pattern matcher: the pattern is first read into a tree of
// elements (literal runs decoded once, group boundaries found structurally, so a
// bracket inside a quoted part is plain text), then the tree is matched against
// the text with shared cursor state. Every group commits to its first success,
// so no backtracking reaches back into a finished group; together with a nesting
// limit and a work budget this keeps every call bounded whatever the input.
#include "tree/expression_pattern.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tomeva {
namespace {

// Deepest nesting of (), [] and {} groups a pattern may have.
constexpr int kMaxNesting = 64;
// Units of work one match may spend: one per element visited, one per text
// byte a literal may compare against, one per byte of parameter text written.
constexpr size_t kWorkBudget = 4'000'000;

enum class ElementKind {
  kLiteral,       // fixed text
  kName,          // a captured name or, when it begins with '*', a skip
  kAlternatives,  // ( a | b | ... )
  kOptional,      // [ a ]
  kRepetition,    // { a }
  kEndMark,       // '.': ends the sequence, text must remain
  kStop,          // a closer or '|' that belongs to no enclosing group: ends the
                  // sequence as its own closer would
};

struct Element;
using Sequence = std::vector<Element>;

struct Element {
  ElementKind kind = ElementKind::kStop;
  std::string literal;             // kLiteral: the decoded bytes
  std::string_view name;           // kName: the name as written in the pattern
  std::vector<Sequence> branches;  // kAlternatives: one per alternative;
                                   // kOptional, kRepetition: the body
};

// Which group a sequence is read inside; decides which characters close it.
enum class GroupKind { kTop, kAlternatives, kOptional, kRepetition };

bool IsIgnoredSpace(char c) { return c == ' ' || c == '\n' || c == '\r'; }

bool EndsName(char c) { return std::string_view("'()[]{}|").find(c) != std::string_view::npos; }

bool ClosesGroup(GroupKind group, char c) {
  switch (group) {
    case GroupKind::kAlternatives:
      return c == ')' || c == '|';
    case GroupKind::kOptional:
      return c == ']';
    case GroupKind::kRepetition:
      return c == '}';
    case GroupKind::kTop:
      return false;
  }
  return false;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads a pattern into its element tree. Fails only when groups nest deeper
// than kMaxNesting; an unclosed group or quote runs to the end of the pattern.
class PatternParser {
 public:
  explicit PatternParser(std::string_view pattern) : pattern_(pattern) {}

  std::optional<Sequence> Parse() { return ParseSequence(GroupKind::kTop, 0); }

 private:
  bool AtEnd() const { return pos_ >= pattern_.size(); }

  // Elements up to the closer of `group` (left at the cursor) or the end.
  std::optional<Sequence> ParseSequence(GroupKind group, int depth) {
    Sequence sequence;
    while (true) {
      while (!AtEnd() && IsIgnoredSpace(pattern_[pos_])) ++pos_;
      if (AtEnd()) return sequence;
      const char c = pattern_[pos_];
      if (ClosesGroup(group, c)) return sequence;
      Element element;
      switch (c) {
        case ')':
        case ']':
        case '}':
        case '|':
          ++pos_;
          element.kind = ElementKind::kStop;
          break;
        case '.':
          ++pos_;
          element.kind = ElementKind::kEndMark;
          break;
        case '\'':
        case '#':
          element.kind = ElementKind::kLiteral;
          element.literal = ReadLiteralRun();
          break;
        case '(':
        case '[':
        case '{': {
          if (depth >= kMaxNesting) return std::nullopt;
          std::optional<Element> nested = ParseGroup(depth + 1);
          if (!nested) return std::nullopt;
          element = std::move(*nested);
          break;
        }
        default:
          element.kind = ElementKind::kName;
          element.name = ReadName();
          break;
      }
      sequence.push_back(std::move(element));
    }
  }

  // The group whose opening character is at the cursor, cursor left past its
  // closer.
  std::optional<Element> ParseGroup(int depth) {
    const char open = pattern_[pos_++];
    Element group;
    if (open == '(') {
      group.kind = ElementKind::kAlternatives;
      while (true) {
        std::optional<Sequence> alternative = ParseSequence(GroupKind::kAlternatives, depth);
        if (!alternative) return std::nullopt;
        group.branches.push_back(std::move(*alternative));
        if (AtEnd() || pattern_[pos_] != '|') break;
        ++pos_;
      }
    } else {
      const bool optional = open == '[';
      group.kind = optional ? ElementKind::kOptional : ElementKind::kRepetition;
      std::optional<Sequence> body =
          ParseSequence(optional ? GroupKind::kOptional : GroupKind::kRepetition, depth);
      if (!body) return std::nullopt;
      group.branches.push_back(std::move(*body));
    }
    if (!AtEnd()) ++pos_;  // the closer
    return group;
  }

  // Quoted parts and #nn / #$hh codes written one after another; any other
  // character (a space included) ends the run and stays at the cursor.
  std::string ReadLiteralRun() {
    std::string literal;
    while (!AtEnd()) {
      const char c = pattern_[pos_];
      if (c == '\'') {
        const size_t close = pattern_.find('\'', pos_ + 1);
        const size_t end = close == std::string_view::npos ? pattern_.size() : close;
        literal.append(pattern_.substr(pos_ + 1, end - pos_ - 1));
        pos_ = close == std::string_view::npos ? pattern_.size() : close + 1;
      } else if (c == '#') {
        ReadCharacterCode(literal);
      } else {
        break;
      }
    }
    return literal;
  }

  // Appends the character of the code at the cursor: the low byte of the
  // number, or the '#' (and '$') itself when no digits follow.
  void ReadCharacterCode(std::string& literal) {
    const size_t start = pos_++;
    const bool hex = !AtEnd() && pattern_[pos_] == '$';
    if (hex) ++pos_;
    const size_t digits_start = pos_;
    unsigned value = 0;  // kept modulo 256: only the low byte is used
    while (!AtEnd()) {
      const int digit = hex ? HexDigitValue(pattern_[pos_])
                            : (pattern_[pos_] >= '0' && pattern_[pos_] <= '9'
                                   ? pattern_[pos_] - '0'
                                   : -1);
      if (digit < 0) break;
      value = (value * (hex ? 16 : 10) + static_cast<unsigned>(digit)) & 0xFF;
      ++pos_;
    }
    if (pos_ == digits_start) {
      literal.append(pattern_.substr(start, pos_ - start));
    } else {
      literal.push_back(static_cast<char>(value));
    }
  }

  // A name runs up to the next quote, bracket, brace, parenthesis or bar.
  std::string_view ReadName() {
    const size_t start = pos_;
    while (!AtEnd() && !EndsName(pattern_[pos_])) ++pos_;
    return pattern_.substr(start, pos_ - start);
  }

  std::string_view pattern_;
  size_t pos_ = 0;
};

// Matches an element tree against one text. Cursor, pending name, result and
// suffix are shared by every level of the recursion; groups save and restore
// the parts they are responsible for.
class ExpressionMatcher {
 public:
  explicit ExpressionMatcher(std::string_view text) : text_(text) {}

  std::optional<std::string> Run(const Sequence& pattern) {
    if (!MatchSequence(pattern) || exhausted_) return std::nullopt;
    return std::move(result_);
  }

 private:
  bool TextLeft() const { return text_pos_ < text_.size(); }

  // Takes cost units from the budget; false (and the match abandoned) when
  // the budget cannot pay.
  bool Spend(size_t cost) {
    if (exhausted_ || cost > budget_left_) {
      exhausted_ = true;
      budget_left_ = 0;
      return false;
    }
    budget_left_ -= cost;
    return true;
  }

  bool MatchSequence(const Sequence& sequence) {
    for (const Element& element : sequence) {
      if (!Spend(1)) return false;
      switch (element.kind) {
        case ElementKind::kStop:
          return true;
        case ElementKind::kEndMark:
          return TextLeft();
        case ElementKind::kLiteral:
          if (!TextLeft() || !MatchLiteral(element.literal)) return false;
          break;
        case ElementKind::kName:
          if (!TextLeft()) return false;  // a name wants text to capture
          pending_name_ = element.name;
          break;
        case ElementKind::kAlternatives:
          if (!MatchAlternatives(element.branches)) return false;
          break;
        case ElementKind::kOptional:
          if (!MatchOptional(element.branches.front())) return false;
          break;
        case ElementKind::kRepetition:
          if (!MatchRepetition(element.branches.front())) return false;
          break;
      }
    }
    return true;
  }

  // With a name pending, the literal ends the name's value and is consumed
  // with it; otherwise the text at the cursor must begin with the literal.
  bool MatchLiteral(const std::string& literal) {
    if (pending_name_.empty()) {
      if (!Spend(literal.size())) return false;
      if (text_.substr(text_pos_, literal.size()) != literal) return false;
      text_pos_ += literal.size();
      return true;
    }
    const std::optional<size_t> found = FindLiteral(literal);
    if (!found) return false;  // the name stays pending
    const std::string_view value = text_.substr(text_pos_, *found - text_pos_);
    if (pending_name_.front() != '*') {
      if (!Spend(pending_name_.size() + suffix_.size() + value.size() + 3)) return false;
      result_.append(pending_name_).append(suffix_).append("=").append(value).append("\r\n");
    }
    text_pos_ = *found + literal.size();
    pending_name_ = {};
    return true;
  }

  // Position of the first occurrence of literal at or after the text cursor
  // (an empty literal is never found). The search is confined to the bytes the
  // budget can pay for at literal.size() comparisons each.
  std::optional<size_t> FindLiteral(const std::string& literal) {
    if (literal.empty()) return std::nullopt;
    const size_t remaining = text_.size() - text_pos_;
    const size_t affordable = budget_left_ / literal.size();
    const std::string_view window = text_.substr(text_pos_, std::min(remaining, affordable));
    const size_t offset = window.find(literal);
    if (offset == std::string_view::npos) {
      if (window.size() < remaining) {
        Spend(budget_left_ + 1);  // could not afford to look further
      } else {
        Spend(window.size() * literal.size());
      }
      return std::nullopt;
    }
    if (!Spend((offset + literal.size()) * literal.size())) return std::nullopt;
    return text_pos_ + offset;
  }

  // The first alternative that matches from the group's start is taken. The
  // pending name is shared: an alternative may end it or leave it behind.
  bool MatchAlternatives(const std::vector<Sequence>& alternatives) {
    const size_t start = text_pos_;
    const size_t result_size = result_.size();
    for (const Sequence& alternative : alternatives) {
      text_pos_ = start;
      result_.resize(result_size);
      if (MatchSequence(alternative)) return true;
      if (exhausted_) return false;
    }
    return false;
  }

  // Matches the body when possible; otherwise leaves everything as it was.
  bool MatchOptional(const Sequence& body) {
    const size_t start = text_pos_;
    const size_t result_size = result_.size();
    const std::string_view pending = pending_name_;
    if (!MatchSequence(body)) {
      if (exhausted_) return false;
      text_pos_ = start;
      result_.resize(result_size);
      pending_name_ = pending;
    }
    return true;
  }

  // Matches the body as often as it matches and moves the text cursor on; the
  // first pass that fails or consumes nothing is undone (except for a name it
  // left pending) and ends the repetition.
  bool MatchRepetition(const Sequence& body) {
    const size_t suffix_size = suffix_.size();
    for (size_t pass = 0;; ++pass) {
      if (!Spend(1)) return false;
      const size_t start = text_pos_;
      const size_t result_size = result_.size();
      suffix_.resize(suffix_size);
      suffix_.append("_").append(std::to_string(pass));
      if (!MatchSequence(body) || text_pos_ == start) {
        text_pos_ = start;
        result_.resize(result_size);
        break;
      }
    }
    suffix_.resize(suffix_size);
    return !exhausted_;
  }

  const std::string_view text_;
  size_t text_pos_ = 0;
  std::string_view pending_name_;  // empty when no name is pending
  std::string result_;
  std::string suffix_;
  size_t budget_left_ = kWorkBudget;
  bool exhausted_ = false;
};

}  // namespace

std::optional<std::string> MatchExpression(std::string_view pattern, std::string_view text) {
  if (pattern == "'" || pattern == "''") return std::string();
  std::optional<Sequence> elements = PatternParser(pattern).Parse();
  if (!elements) return std::nullopt;
  return ExpressionMatcher(text).Run(*elements);
}

}  // namespace tomeva
