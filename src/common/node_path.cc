// Node paths over the XmlNode DOM: walking, reading, writing and removing by a
// slash path of element and '@attribute' steps.
#include "common/node_path.h"

namespace tomeva {
namespace {

std::string_view WithoutTrailingSlash(std::string_view path) {
  if (!path.empty() && path.back() == '/') path.remove_suffix(1);
  return path;
}

}  // namespace

XmlNode FindTopNode(const XmlDocument& doc, std::string_view name) {
  xmlDoc* raw = doc.raw();
  if (raw == nullptr) return XmlNode();
  for (xmlNode* child = raw->children; child != nullptr; child = child->next) {
    if (child->type == XML_DTD_NODE) continue;
    XmlNode node(child);
    if (node.HasName(name)) return node;
  }
  return XmlNode();
}

XmlNode NodeByPath(XmlNode node, std::string_view path, bool create) {
  XmlNode current = node;
  std::string_view rest = path;
  while (!rest.empty() && current) {
    const size_t slash = rest.find('/');
    const std::string_view step = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (!current.IsElement()) {
      // Only elements have children and attributes; an attribute step ends a path.
      if (create) throw XmlError("Cannot add '" + std::string(step) + "' below node '" + current.Name() + "'");
      return XmlNode();
    }
    if (!step.empty() && step.front() == '@') {
      const std::string_view name = step.substr(1);
      current = create ? current.AttributeOrCreate(name) : current.AttributeNode(name);
    } else {
      current = create ? current.ChildOrCreate(step) : current.FirstChildElement(step);
    }
  }
  return current;
}

std::string GetPathText(XmlNode node, std::string_view path) {
  XmlNode target = NodeByPath(node, path, /*create=*/false);
  return target ? target.Text() : std::string();
}

void SetPathText(XmlNode node, std::string_view path, std::string_view value) {
  if (!node) throw XmlError("Cannot set '" + std::string(path) + "' below a null node");
  const size_t at = path.find('@');
  if (at == std::string_view::npos) {
    NodeByPath(node, path, /*create=*/true).SetText(value);
    return;
  }
  const std::string_view element_path = WithoutTrailingSlash(path.substr(0, at));
  const std::string_view attribute = WithoutTrailingSlash(path.substr(at + 1));
  NodeByPath(node, element_path, /*create=*/true).SetAttribute(attribute, value);
}

int NodeIndex(XmlNode node) {
  if (!node || node.IsAttribute() || node.raw()->parent == nullptr) return -1;
  int index = 0;
  for (xmlNode* child = node.raw()->parent->children; child != nullptr; child = child->next) {
    if (child == node.raw()) return index;
    ++index;
  }
  return -1;
}

void RemoveNode(XmlNode node) { node.Remove(); }

void RemovePath(XmlNode node, std::string_view path) {
  path = WithoutTrailingSlash(path);
  const size_t at = path.find('@');
  if (at != std::string_view::npos) {
    XmlNode parent = NodeByPath(node, WithoutTrailingSlash(path.substr(0, at)), /*create=*/false);
    if (parent) parent.RemoveAttribute(path.substr(at + 1));
    return;
  }
  const size_t slash = path.rfind('/');
  const std::string_view parent_path = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (name.empty()) return;
  XmlNode parent = NodeByPath(node, parent_path, /*create=*/false);
  if (XmlNode child = parent.FirstChildElement(name)) child.Remove();
}

}  // namespace tomeva
