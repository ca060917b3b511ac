// The expression pattern matcher of the virtual folder tree. Folder and file
// definitions marked as expressions describe their virtual paths in a pattern
// language richer than template patterns: literal runs, captured names, skips,
// alternatives, optional parts, repetitions and an end mark. Matching a path
// against such a pattern yields the field values the path shows.
//
// The language, element by element (spaces, CR and LF between elements are
// ignored; a TAB starts a name):
//   'text' #nn #$hh   a literal run: quoted parts and decimal or hexadecimal
//                     character codes written one after another ('a'#39'b');
//                     there is no doubled-quote escape, a quote is #39
//   Table.Field       a name: captures the text up to the next literal
//   *name             a skip: like a name, but nothing is recorded
//   (a|b|c)           alternatives: the first that matches is taken
//   [a]               an optional part: matched when possible, else left out
//   {a}               a repetition: matched as often as possible, zero times
//                     included; captures get the suffix _0, _1, ... per pass
//                     (nested repetitions add one part each, as in _1_0)
//   .                 end mark: ends the pattern and requires text to remain
// The match is a prefix match: text left over when the pattern ends is ignored.
#ifndef TOMEVA_TREE_EXPRESSION_PATTERN_H_
#define TOMEVA_TREE_EXPRESSION_PATTERN_H_

#include <optional>
#include <string>
#include <string_view>

namespace tomeva {

// Captures of text against an expression pattern as parameter text (lines
// name=value, each ended by CR LF, in the order the captures were made),
// possibly empty; std::nullopt when the text does not match, or when the
// pattern nests deeper than 64 groups or needs more than a fixed budget of
// work. Pattern and text are taken byte by byte, which is exact for literal
// search in UTF-8. Safe to call from any thread.
std::optional<std::string> MatchExpression(std::string_view pattern, std::string_view text);

}  // namespace tomeva

#endif  // TOMEVA_TREE_EXPRESSION_PATTERN_H_
