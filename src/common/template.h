// The small template language in which SQL texts and file-name masks are
// written. A template is a sequence of
//   - quoted literal parts: 'text' (no doubled-quote escape; a quote is #39),
//   - character codes #13 or #$0D, allowed directly after a quoted part or
//     after whitespace,
//   - bare names: everything up to the next quote, spaces included.
// A template ends with the closing quote of a literal part (or, in file-name
// masks, a final "."): the last character of a template is never read as
// content.
#ifndef TOMEVA_COMMON_TEMPLATE_H_
#define TOMEVA_COMMON_TEMPLATE_H_

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tomeva {

// One run of literal parts read from a template.
struct LiteralRun {
  std::string value;  // the characters the run stands for
  size_t next;        // 0-based position of the first character not consumed
};

// Reads one run of quoted parts and character codes (such as 'ab'#13#10'cd')
// starting at pos, after skipping TAB, LF, CR and space. The run ends at any
// other character, which `next` then names. The last character of text is never
// examined: a quoted part without a closing quote ends before it. A "#" without
// digits, or with a number too large for 32 bits, stands for itself and the
// characters read after it. A character code adds the number's low byte.
LiteralRun ParseLiteral(std::string_view text, size_t pos);

// The template's literal parts with each bare name replaced by
// GetParam(params, name); a name params does not hold expands to nothing.
std::string ExpandTemplate(std::string_view tmpl, std::string_view params);

// Same grammar; each bare name is replaced by lookup(name). Lets callers quote
// values as SQL literals or read them from book files.
std::string ExpandTemplate(std::string_view tmpl,
                           const std::function<std::string(std::string_view)>& lookup);

// Reads values back out of text with a file-name mask, the inverse of
// expansion. Elements of pattern:
//   'lit'    text must begin with the literal run, which is consumed;
//   *'lit'   text up to and including the first occurrence of the run is
//            skipped (all of it when the run is empty or absent);
//   name'lit' the text before the first occurrence of the run is the value of
//            name (all of text when the run is empty); an empty value fails.
// A final "." accepts text left over after the last element; without it text
// must be used up exactly. Returns the parameter text of the captures, each
// ended by CR LF ("" for the patterns "", "'" and "''"), or std::nullopt when
// text does not match.
std::optional<std::string> MatchTemplate(std::string_view pattern, std::string_view text);

}  // namespace tomeva

#endif  // TOMEVA_COMMON_TEMPLATE_H_
