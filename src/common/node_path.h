// Node paths: short slash paths such as "properties/simple/id" or "root/@relative"
// that address elements and attributes below a node, so that settings and field
// definitions can be read and written with one-line calls.
//
// A path is a list of steps separated by '/'. A step is the name of a child
// element (the first one of that name) or '@' followed by the name of an
// attribute; an attribute step ends the path. Names follow the matching rules of
// XmlNode. The empty path denotes the starting node; a trailing '/' is ignored.
#ifndef TOMEVA_COMMON_NODE_PATH_H_
#define TOMEVA_COMMON_NODE_PATH_H_

#include <string>
#include <string_view>

#include "common/xml_document.h"

namespace tomeva {

// The first top-level node of doc (elements, comments and processing
// instructions are scanned in order; the document type declaration is not)
// whose name is name; null when there is none.
XmlNode FindTopNode(const XmlDocument& doc, std::string_view name);

// The node path leads to from node. With create, missing elements and attributes
// along the path are added (elements as last children, attributes empty); without
// it the result is null as soon as a step is missing. A null node gives null.
// Throws XmlError when create meets a step it cannot add (a step below an
// attribute, an invalid name).
XmlNode NodeByPath(XmlNode node, std::string_view path, bool create);

// The text of the node at path (an element's text or an attribute's value); ""
// when the path leads nowhere. Never adds nodes. Throws XmlError when the element
// found holds child elements.
std::string GetPathText(XmlNode node, std::string_view path);

// Stores value at path, creating whatever is missing on the way: as the attribute
// value when the path has an '@' step, else as the element's text (replacing its
// children). Throws XmlError for a null node or a path that cannot be created.
void SetPathText(XmlNode node, std::string_view path, std::string_view value);

// Position (0-based) of node among all child nodes of its parent; -1 for a null
// node, an attribute or a node without parent.
int NodeIndex(XmlNode node);

// Removes node (an element with everything below it, or an attribute) from the
// tree; a null node does nothing.
void RemoveNode(XmlNode node);

// Removes the one node path names: the attribute of an '@' step, else the first
// child element named by the last step. Nothing happens when the parent is
// missing; nothing is ever created.
void RemovePath(XmlNode node, std::string_view path);

}  // namespace tomeva

#endif  // TOMEVA_COMMON_NODE_PATH_H_
