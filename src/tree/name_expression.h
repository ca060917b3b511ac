// Names in the virtual folder tree: the name rules of folder definitions,
// compiled to Jet SQL expressions, and the mapping between the text a catalog
// row holds and the name the file manager shows for it.
#ifndef TOMEVA_TREE_NAME_EXPRESSION_H_
#define TOMEVA_TREE_NAME_EXPRESSION_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "common/shown_text.h"

namespace tomeva::tree {

// The Jet SQL expression that computes a display name from the fields of a row,
// compiled from a name rule read from the left:
//   'text'       a literal run (ParseLiteral): "text"+ (inner double quotes doubled)
//   (field)      the field's value: field+
//   (!field)     a number shown as text: str(field)+
//   [ ... ]      shown only when a field written directly inside has a value:
//                iif(<every such field is null (a number: null or 0)>,"",<inner>)+
//                (a group without such a field is always shown)
// Any other character is skipped; the final "+" becomes a space. A rule whose
// groups nest more than 64 deep compiles to the empty text, which no query
// accepts.
// Example: (Books.Title)' '[(Books.Subtitle)] gives
// Books.Title+" "+iif((isnull(Books.Subtitle)),"",Books.Subtitle ) (and a space).
std::string BuildNameExpr(std::string_view rule);

// The longest name shown, in characters and in bytes (the host's name field
// holds 260 bytes with the terminating zero).
inline constexpr size_t kMaxNameCharacters = 255;
inline constexpr size_t kMaxNameBytes = 259;

// The name the file manager shows for the raw text of a listed row: its
// ShownText (separators, control characters and the look-alikes standing for
// them mapped reversibly), cut to kMaxNameCharacters characters and
// kMaxNameBytes bytes without splitting a UTF-8 character. StoredText maps a
// shown name that was not cut back to the row's text.
std::string DisplayName(std::string_view raw);

// Parameter text with StoredText applied to every value, each entry ended by
// CR LF.
std::string StoredCaptures(std::string_view params);

}  // namespace tomeva::tree

#endif  // TOMEVA_TREE_NAME_EXPRESSION_H_
