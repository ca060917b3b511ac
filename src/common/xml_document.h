// A small RAII DOM over libxml2 for books and settings: XmlDocument owns a parsed
// document, XmlNode is a non-owning handle to one of its nodes. Loading reports
// failures as values; misuse of the tree (reading the text of an element that holds
// elements, names XML cannot carry, writing through a null handle) throws XmlError.
// All text in and out is UTF-8 whatever encoding the document is stored in.
#ifndef TOMEVA_COMMON_XML_DOCUMENT_H_
#define TOMEVA_COMMON_XML_DOCUMENT_H_

#include <libxml/tree.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace tomeva {

// An error of the XML tree raised by XmlNode operations.
class XmlError : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// How a document is parsed.
struct XmlParseOptions {
  // Input larger than this many bytes is refused with an error. With
  // stop_after_element set, only the bytes read before parsing stops count.
  size_t max_bytes = 64u << 20;
  // When not empty: parsing stops right after the end tag of the first element of
  // this local name (e.g. "description" of an FB2 book) and the partial tree built
  // so far is the document. Whatever follows is neither read nor checked. A partial
  // document is for reading; saving it would drop the rest of the file.
  std::string stop_after_element;
};

// A non-owning handle to a node of an XmlDocument: normally an element or an
// attribute, though child lists also hand out text, comment and other nodes. The
// handle may be null. It stays valid while the node is in its document; removing
// the node (through any handle) leaves every other handle to it dangling.
//
// Names: an element matches a name without ':' by its local name, whatever its
// namespace; a name "prefix:local" matches by the prefix as written in the file.
// An attribute matches its name as written: "href" an attribute without prefix,
// "l:href" the href attribute whose namespace is bound to the prefix l.
class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(xmlNode* node) : node_(node) {}

  bool IsNull() const { return node_ == nullptr; }
  explicit operator bool() const { return node_ != nullptr; }
  bool IsElement() const;
  bool IsAttribute() const;

  // Local name of an element or attribute as written (no prefix, no namespace
  // URI); the target of a processing instruction; "#text", "#cdata-section",
  // "#comment" for those nodes; "" for a null handle.
  std::string Name() const;
  // Whether this node matches name under the naming rules above (elements and
  // attributes) or has exactly that Name() (other nodes).
  bool HasName(std::string_view name) const;

  // An attribute's value; an element's text: the content of its text, CDATA and
  // entity-reference children ("" when it has none). Throws XmlError("Element does
  // not contain a single text node") when the element has element children. Text,
  // CDATA, comment and PI nodes give their content; a null handle gives "".
  std::string Text() const;
  // As Text, except that the text of child elements is included, in document
  // order: the whole text of mixed content such as <p>a <emphasis>b</emphasis></p>.
  std::string TextContent() const;
  // Replaces the children of an element with one text node holding utf8 (none for
  // ""), or sets an attribute's value. Throws XmlError on a null handle and on
  // text that is not valid UTF-8 or holds characters XML cannot carry.
  void SetText(std::string_view utf8);

  // Value of the named attribute of this element; nullopt when missing.
  std::optional<std::string> Attribute(std::string_view name) const;
  // The named attribute node of this element; null when missing.
  XmlNode AttributeNode(std::string_view name) const;
  // Sets (adding when missing) the named attribute. A prefix must be bound to a
  // namespace in scope. Throws XmlError on a null or non-element handle, an
  // invalid name, an unbound prefix or a value as SetText refuses.
  void SetAttribute(std::string_view name, std::string_view value);
  // The named attribute node, added with an empty value when missing.
  XmlNode AttributeOrCreate(std::string_view name);
  // Removes the named attribute; false when there was none.
  bool RemoveAttribute(std::string_view name);

  // The first child element matching name; null when none.
  XmlNode FirstChildElement(std::string_view name) const;
  // The first child element matching name, appended as the last child when missing.
  XmlNode ChildOrCreate(std::string_view name);
  // Number of child nodes of every kind: elements, text, comments...
  size_t ChildNodeCount() const;
  // The child node at index among all child nodes; null when out of range.
  XmlNode ChildNodeAt(size_t index) const;
  // The child elements, in document order.
  std::vector<XmlNode> ChildElements() const;

  // Inserts a new element before the child node at index (among all child nodes;
  // index >= ChildNodeCount() appends) and returns it. The new element takes this
  // element's namespace; a "prefix:local" name takes the namespace bound to prefix.
  // Throws XmlError on a null or non-element handle or an invalid name.
  XmlNode InsertElementAt(size_t index, std::string_view name);
  // Inserts a new element right after / before sibling, which must be a child of
  // this element (XmlError otherwise).
  XmlNode InsertElementAfter(XmlNode sibling, std::string_view name);
  XmlNode InsertElementBefore(XmlNode sibling, std::string_view name);

  // The parent element (for an attribute: the element holding it); null for the
  // root element and for a null handle.
  XmlNode Parent() const;
  // Unlinks and frees this node with everything below it (an attribute is removed
  // from its element). This handle becomes null; a null handle does nothing.
  void Remove();

  xmlNode* raw() const { return node_; }

  friend bool operator==(const XmlNode& a, const XmlNode& b) { return a.node_ == b.node_; }

 private:
  // Text, or with nested TextContent.
  std::string ElementText(bool nested) const;

  xmlNode* node_ = nullptr;
};

// An XML document, owning its libxml2 tree. Movable, not copyable.
class XmlDocument {
 public:
  // Parses the file at path. Errors name the file, the line and the parser's
  // message. Any encoding its declaration or byte-order mark names is accepted.
  // External entities and DTDs are never read and the network is never used.
  static Result<XmlDocument> LoadFile(const std::string& path, const XmlParseOptions& options = {});
  // Parses text the same way.
  static Result<XmlDocument> LoadText(std::string_view text, const XmlParseOptions& options = {});
  // Receives the next piece of a text; false once parsing is over.
  using PieceFeed = std::function<bool(std::string_view piece)>;
  // Parses a text handed over piece by piece, as LoadText parses it whole:
  // read calls feed with each piece in order and may stop once feed returns
  // false (parsing stopped or failed), so that a stop_after_element parse reads
  // no further than it needs. A failure of read fails the load.
  static Result<XmlDocument> LoadPieces(const std::function<Status(const PieceFeed& feed)>& read,
                                        const XmlParseOptions& options = {});
  // A new document without a root element.
  static XmlDocument CreateEmpty();
  // Takes ownership of a document libxml2 built; crlf_line_ends: see Serialize.
  static XmlDocument Adopt(xmlDoc* doc, bool crlf_line_ends = false);

  XmlDocument(XmlDocument&&) noexcept = default;
  XmlDocument& operator=(XmlDocument&&) noexcept = default;
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;
  ~XmlDocument() = default;

  // The root element; null when there is none.
  XmlNode RootElement() const;
  // Creates the root element of a document that has none, in the default
  // namespace ns_uri when that is not empty. Throws XmlError when a root exists
  // or the name is invalid.
  XmlNode CreateRootElement(std::string_view name, std::string_view ns_uri = {});
  // The encoding named by the XML declaration as written; "" when none.
  std::string DeclaredEncoding() const;
  // The document as bytes in its declared encoding (UTF-8 when none, and then
  // declared as UTF-8); characters that encoding cannot hold are written as
  // character references. The tree is written as it is: no reformatting, blank
  // text kept, and a document parsed from text whose first line break is CR LF
  // is written with CR LF line breaks throughout, so a loaded and saved file
  // differs only where it was changed.
  Result<std::string> Serialize() const;
  // Writes Serialize() to path + ".tmp~" and renames that over path, so a failed
  // save never leaves a half-written file at path. An existing file keeps its
  // permissions.
  Status SaveFile(const std::string& path) const;

  xmlDoc* raw() const { return doc_.get(); }

 private:
  struct DocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
  };
  explicit XmlDocument(xmlDoc* doc) : doc_(doc) {}

  std::unique_ptr<xmlDoc, DocDeleter> doc_;
  bool crlf_line_ends_ = false;
};

}  // namespace tomeva

#endif  // TOMEVA_COMMON_XML_DOCUMENT_H_
