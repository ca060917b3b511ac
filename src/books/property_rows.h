// Catalog rows from the property definitions of the settings document: a
// property element (properties/simple/id for the book, the id of a multi
// element for one value of a multi-valued property, nested id elements for
// related rows such as the series) is walked depth first against one book
// file; each element's field lines are read from the file, its row is found or
// written, and its id line ("BookId=42") tells the parent which row stands
// for it.
#ifndef TOMEVA_BOOKS_PROPERTY_ROWS_H_
#define TOMEVA_BOOKS_PROPERTY_ROWS_H_

#include <string>
#include <string_view>

#include "books/book_context.h"
#include "common/result.h"
#include "common/xml_document.h"

namespace tomeva::books {

// The line name=value of one field element for file_name, or "" when the field
// takes its value from the file and the file has none. The value is the
// attribute value when present (even empty); for special="OriginalFileName" the
// file's name (relative to the library folder when root/@relative is on);
// otherwise the content field at attribute path, with ".[index]" appended when
// index >= 0 and every "\" replaced by "/". With q="1" the value becomes an SQL
// literal (catalog::SqlValue). Carriage returns in values become line feeds,
// so a value can never start a line of its own in parameter text. Errors: a
// field without value, OriginalFileName or path; a missing name; a q that is
// not a number.
Result<std::string> FieldLine(const BookContext& ctx, XmlNode field, const std::string& file_name,
                              int index);

// Writes the rows of element and its nested id elements for file_name and
// returns the element's id line, or "" when it yields no row. index (-1 for a
// single value) is passed to the element's own fields; nested elements are
// walked with -1 and written before their parent, whose field lines then hold
// their id lines. key_line, when not empty, is added as the last field line:
// naming the row's key column, it makes the walk update that row in place.
// The attribute mode chooses how the row is found: 1, 3 and -1 find, complete
// or insert it in the child table's table (catalog::FindOrInsertRow), 2 takes
// the key from the child request (an SQL template filled with the field
// lines, each value quoted for its place), any other value writes nothing.
// Errors: a missing or non-numeric mode on an element with field lines, a
// missing name on an element that yields a row, the errors of FieldLine, and
// nesting deeper than 32 elements. Rows written before an error stay; callers
// run the walk inside a transaction.
Result<std::string> BuildRows(const BookContext& ctx, XmlNode element, const std::string& file_name,
                              int index, std::string_view key_line = {});

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_PROPERTY_ROWS_H_
