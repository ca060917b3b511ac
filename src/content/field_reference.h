// Field references: the text "source.field.unit" by which callers name a field
// of a field source, e.g. "wdx_tc.FullName", "wdx_XML.AuthorLast.[1]",
// "wdx_tc[0].Ext". Each of the first two parts is a name, optionally followed by
// a bracketed index hint ("name[i]" or "[i]") that points straight at the entry
// when the name there matches.
#ifndef TOMEVA_CONTENT_FIELD_REFERENCE_H_
#define TOMEVA_CONTENT_FIELD_REFERENCE_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tomeva::content {

// The three parts of a field reference; each is empty when missing.
struct FieldReference {
  std::string source;
  std::string field;
  std::string unit;
};

// Splits reference at its first and second "." (a part ends at the first "."
// after the previous one, so names holding "." cannot be referenced).
FieldReference SplitFieldReference(std::string_view reference);

// The integer text denotes: leading blanks, then an optional sign, then decimal
// digits or hexadecimal digits after "$" or "0x". Anything else, trailing
// characters included, and values outside int give nullopt.
std::optional<int> ParseIndex(std::string_view text);

// Position of the entry name refers to among names, or -1. A name ending in
// "[i]" with a readable i is cut before "[" and i is tried first: it is the
// answer when 0 <= i < names.size() and the cut name is empty or equals
// names[i]. Otherwise the first entry equal to the (cut) name, compared
// exactly, is the answer. An unreadable index keeps the name whole; an empty
// name finds nothing.
int FindEntry(std::string_view name, const std::vector<std::string>& names);

// Unit number of a reference's unit part for a field whose units text is
// units ("a|b|c"): -1 for an empty part, n for "[n]" (whatever the field's
// units), otherwise the unit the part names as FindEntry finds it among the
// units. nullopt when the part names no unit of the field.
std::optional<int> ResolveUnit(std::string_view unit_part, std::string_view units);

}  // namespace tomeva::content

#endif  // TOMEVA_CONTENT_FIELD_REFERENCE_H_
