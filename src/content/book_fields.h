// The location paths of the "wdx_XML" field definitions applied to a book's
// FictionBook element: reading one value (with "*" marking the repeated
// element whose occurrence the unit number selects), joining every matching
// element through a template, the text length of the body, and writing a value
// back. Paths are slash-separated element names with an optional final
// "@attribute" step; this is not XPath.
#ifndef TOMEVA_CONTENT_BOOK_FIELDS_H_
#define TOMEVA_CONTENT_BOOK_FIELDS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/xml_document.h"

namespace tomeva::content {

// The path that path, written for a well-formed book, stands for in the book
// below root. Real books sometimes put a part of the header (title-info,
// document-info, publish-info, custom-info) directly below FictionBook instead
// of inside <description>: a path "description/<part>/..." then leads to that
// element, when <description> holds no element of that name and root does.
// Any other path is returned unchanged.
std::string BookPath(XmlNode root, std::string_view path);

// Whether root's <description> lacks the <title-info> every FB2 book has, so
// that the header may lie elsewhere in the book (see BookPath).
bool HeaderMisplaced(XmlNode root);

// The value at path below root: an attribute's value or an element's text.
// With a "*" step, occurrence max(unit, 0) of the marked element is taken
// (unit -1 and 0 both give the first). nullopt when nothing is there. Throws
// XmlError when the element found holds elements.
std::optional<std::string> ReadPathValue(XmlNode root, std::string_view path, int unit);

// Join mode: every child named by the last step of path (taken literally) of
// the element the rest of path leads to, rendered through template_text, the
// renderings separated by div (none before the first non-empty one). A
// template alternates literal text and "[relative path]"; when it ends in
// literal text, the element's own text follows it. A path's element gives its
// whole text, that of nested elements included (a paragraph with emphasis);
// one that is missing gives "". Throws XmlError when the parent is missing.
std::string RenderTemplate(XmlNode root, std::string_view path, std::string_view template_text,
                           std::string_view div);

// The number of UTF-16 code units of text in node and below it, counting text
// only where it is the sole child of its element (0 for a null node).
int64_t TextLength(XmlNode node);

// Writes value at path below root, creating missing elements. With a "*"
// step and unit >= 0 the occurrence of that number is written, or a new one is
// added after the last occurrence when there are fewer; unit -1 adds a new
// occurrence before the first. An empty value removes: the node at a path
// without "*", or the chosen occurrence (the element itself, or the node below
// it and then the element too when no attribute and only blank text is left
// in it). Returns false, changing nothing, when an empty value names an
// occurrence that does not exist. Throws XmlError for paths that cannot be
// created and values XML cannot carry.
bool WritePathValue(XmlNode root, std::string_view path, int unit, std::string_view value);

}  // namespace tomeva::content

#endif  // TOMEVA_CONTENT_BOOK_FIELDS_H_
