// Location paths of field definitions over a book's DOM.
#include "content/book_fields.h"

#include <libxml/tree.h>

#include <algorithm>
#include <vector>

#include "common/node_path.h"
#include "common/text.h"

namespace tomeva::content {
namespace {

// A path split at its "*": lead to the parent, the repeated step, the rest
// below the chosen occurrence. repeated is empty for a path without "*".
struct SplitPath {
  std::string lead;
  std::string repeated;
  std::string rest;
};

SplitPath Split(std::string_view path) {
  SplitPath split;
  std::string rest(path);
  split.lead = CutTokenChar(rest, '*');
  split.repeated = CutTokenChar(rest, '/');
  split.rest = rest;
  return split;
}

std::vector<XmlNode> ChildrenNamed(XmlNode parent, std::string_view name) {
  std::vector<XmlNode> named;
  for (XmlNode child : parent.ChildElements()) {
    if (child.HasName(name)) named.push_back(child);
  }
  return named;
}

bool IsBlankText(const xmlChar* text) {
  for (; text != nullptr && *text != 0; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n') return false;
  }
  return true;
}

// Whether an element has no attributes and holds nothing but blank text (the
// indentation our parser keeps), so that removing it loses nothing.
bool HoldsNothing(XmlNode element) {
  if (element.raw()->properties != nullptr) return false;
  for (const xmlNode* child = element.raw()->children; child != nullptr; child = child->next) {
    if (child->type != XML_TEXT_NODE || !IsBlankText(child->content)) return false;
  }
  return true;
}

bool IsTextNode(const xmlNode* node) {
  return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

int64_t Utf16Length(const xmlChar* text) {
  int64_t length = 0;
  for (; text != nullptr && *text != 0; ++text) {
    if ((*text & 0xC0) != 0x80) ++length;  // each character once
    if (*text >= 0xF0) ++length;           // and a surrogate pair beyond the BMP
  }
  return length;
}

int64_t TextLengthOf(const xmlNode* node) {
  int64_t length = 0;
  if (node->type == XML_ELEMENT_NODE && node->children != nullptr &&
      node->children->next == nullptr && IsTextNode(node->children)) {
    length += Utf16Length(node->children->content);
  }
  if (node->type == XML_ELEMENT_NODE) {
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
      length += TextLengthOf(child);
    }
  }
  return length;
}

}  // namespace

std::string BookPath(XmlNode root, std::string_view path) {
  constexpr std::string_view kDescription = "description/";
  if (!path.starts_with(kDescription)) return std::string(path);
  std::string_view rest = path.substr(kDescription.size());
  if (rest.starts_with('*')) return std::string(path);  // a repeated part: left as written
  const std::string part(rest.substr(0, rest.find('/')));
  if (part.empty() || part.front() == '@') return std::string(path);
  if (NodeByPath(root, std::string(kDescription) + part, /*create=*/false)) return std::string(path);
  if (!NodeByPath(root, part, /*create=*/false)) return std::string(path);
  return std::string(rest);
}

bool HeaderMisplaced(XmlNode root) {
  return root && !NodeByPath(root, "description/title-info", /*create=*/false);
}

std::optional<std::string> ReadPathValue(XmlNode root, std::string_view path, int unit) {
  const SplitPath split = Split(path);
  XmlNode node = NodeByPath(root, split.lead, /*create=*/false);
  if (!split.repeated.empty()) {
    const std::vector<XmlNode> occurrences = ChildrenNamed(node, split.repeated);
    const size_t wanted = static_cast<size_t>(std::max(unit, 0));
    node = wanted < occurrences.size()
               ? NodeByPath(occurrences[wanted], split.rest, /*create=*/false)
               : XmlNode();
  }
  if (!node) return std::nullopt;
  return node.Text();
}

std::string RenderTemplate(XmlNode root, std::string_view path, std::string_view template_text,
                           std::string_view div) {
  const size_t slash =
      path.empty() ? std::string_view::npos : path.substr(0, path.size() - 1).rfind('/');
  const std::string_view parent_path =
      slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  XmlNode parent = NodeByPath(root, parent_path, /*create=*/false);
  if (!parent) throw XmlError("The book has no element at '" + std::string(parent_path) + "'");
  std::string result;
  for (XmlNode element : ChildrenNamed(parent, name)) {
    if (!result.empty()) result += div;
    std::string rest(template_text);
    while (!rest.empty()) {
      result += CutTokenChar(rest, '[');
      const std::string relative = CutTokenChar(rest, ']');
      result += NodeByPath(element, relative, /*create=*/false).TextContent();
    }
  }
  return result;
}

int64_t TextLength(XmlNode node) { return node ? TextLengthOf(node.raw()) : 0; }

bool WritePathValue(XmlNode root, std::string_view path, int unit, std::string_view value) {
  if (!root) throw XmlError("The book has no FictionBook element");
  const SplitPath split = Split(path);
  if (split.repeated.empty()) {
    if (value.empty()) {
      RemovePath(root, split.lead);
    } else {
      NodeByPath(root, split.lead, /*create=*/true).SetText(value);
    }
    return true;
  }
  XmlNode parent = value.empty() ? NodeByPath(root, split.lead, /*create=*/false)
                                 : NodeByPath(root, split.lead, /*create=*/true);
  const std::vector<XmlNode> occurrences = ChildrenNamed(parent, split.repeated);
  const bool exists = unit >= 0 && static_cast<size_t>(unit) < occurrences.size();
  if (value.empty()) {
    if (!exists) return false;
    XmlNode occurrence = occurrences[static_cast<size_t>(unit)];
    if (!split.rest.empty()) {
      RemovePath(occurrence, split.rest);
      if (!HoldsNothing(occurrence)) return true;
    }
    occurrence.Remove();
    return true;
  }
  XmlNode occurrence;
  if (exists) {
    occurrence = occurrences[static_cast<size_t>(unit)];
  } else if (occurrences.empty()) {
    occurrence = parent.InsertElementAt(0, split.repeated);
  } else if (unit >= 0) {
    occurrence = parent.InsertElementAfter(occurrences.back(), split.repeated);
  } else {
    occurrence = parent.InsertElementBefore(occurrences.front(), split.repeated);
  }
  NodeByPath(occurrence, split.rest, /*create=*/true).SetText(value);
  return true;
}

}  // namespace tomeva::content
