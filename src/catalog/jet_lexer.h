// Tokenizer of Microsoft Jet SQL texts: words, [bracketed names], "double" and
// 'single' quoted text literals, #date# literals, numbers and operators. Used by
// the Jet translator; it decodes literals so the translator can re-quote them
// for the target engine.
#ifndef TOMEVA_CATALOG_JET_LEXER_H_
#define TOMEVA_CATALOG_JET_LEXER_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace tomeva::catalog {

// What a token is.
enum class JetTokenKind {
  kWord,         // a name or keyword as written (also @@IDENTITY)
  kBracketName,  // [name]; text holds the name without brackets
  kText,         // a text literal; text holds its value, quotes undone
  kNumber,       // a numeric literal as written
  kDate,         // a #date# literal; text holds "YYYY-MM-DD HH:MM:SS"
  kSymbol,       // an operator or punctuation: ( ) , ; . * + - / \ ^ & = < > <= >= <>
  kEnd,          // the end of the text
};

// One token of a Jet SQL text.
struct JetToken {
  JetTokenKind kind = JetTokenKind::kEnd;
  std::string text;
  size_t offset = 0;  // byte offset of the token's first character
};

// The tokens of jet_sql, always ended by one kEnd token. Line breaks and other
// blank space separate tokens. An unterminated literal or name, an invalid date
// or a character Jet SQL does not use is an Error naming the position.
Result<std::vector<JetToken>> TokenizeJetSql(std::string_view jet_sql);

// The text of a Jet date literal without its # signs (2005-03-07, 3/7/2005,
// either with an optional time such as 10:30, 10:30:15 or 10:30 PM; or a time
// alone, which Jet dates on 1899-12-30) as "YYYY-MM-DD HH:MM:SS"; nullopt when
// it is not a valid date.
std::optional<std::string> ParseJetDate(std::string_view text);

// "position N" (N counting characters from 1) of byte offset in text, for
// error messages.
std::string JetPosition(std::string_view text, size_t offset);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_JET_LEXER_H_
