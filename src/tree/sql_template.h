// SQL templates filled with captured values. Values read out of virtual paths
// (folder and file names the user sees, ultimately catalog and book contents)
// are untrusted: whatever they hold, each one reaches the SQL text as a literal
// of its own and never changes the statement around it. Folder listings, path
// resolution and the request templates of the settings share these builders.
#ifndef TOMEVA_TREE_SQL_TEMPLATE_H_
#define TOMEVA_TREE_SQL_TEMPLATE_H_

#include <functional>
#include <string>
#include <string_view>

namespace tomeva::tree {

// The Jet SQL literal standing for exactly the text of value: null for an empty
// value, any other value double-quoted with inner double quotes doubled, digits
// too ("007" stays "007"; a numeric column converts a quoted number when it is
// compared or stored). Unlike catalog::SqlValue, a value that already looks
// like a quoted literal, or reads "null", stays the plain text it is.
std::string TextLiteral(std::string_view value);

// True when name is a plain column reference: one or more identifiers (letters,
// digits, "_", any non-ASCII character, or a [bracketed] name) joined by single
// dots, as in Books.Title. Anything else is taken as an SQL expression.
bool IsColumnReference(std::string_view name);

// "(name=literal)": the condition that a captured value sets, the value as
// TextLiteral, so that it is compared as the text it is.
std::string CaptureCondition(std::string_view name, std::string_view value);

// text written so that, placed inside a quoted part of a template, expansion
// gives it back unchanged: every "'" becomes "'#39'" (close, character code,
// reopen).
std::string TemplateQuotedText(std::string_view text);

// ExpandTemplate (common/template.h) for templates that produce Jet SQL. Each
// bare name is replaced by its value quoted for the place it stands in the SQL
// produced so far: between double quotes with its double quotes doubled, between
// single quotes with its single quotes doubled, inside [brackets] without "]",
// and anywhere else as TextLiteral. A name params does not hold counts as an
// empty value.
std::string ExpandSqlTemplate(std::string_view tmpl, std::string_view params);

// Same, with each bare name's raw value given by lookup(name).
std::string ExpandSqlTemplate(std::string_view tmpl,
                              const std::function<std::string(std::string_view)>& lookup);

}  // namespace tomeva::tree

#endif  // TOMEVA_TREE_SQL_TEMPLATE_H_
