// The XML DOM wrapper: safe push parsing (optionally stopping after one element),
// byte-exact serialisation in the declared encoding, atomic saves, and the node
// operations of XmlNode.
#include "common/xml_document.h"

#include <fcntl.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tomeva {
namespace {

constexpr size_t kChunkBytes = 64 * 1024;
// A parse that stops after an element (a book's header) is fed in smaller
// pieces: the parser converts each piece it is given to UTF-8 whole (a
// single-byte encoding through iconv), and a header ends within the first few
// KiB of a book, so a 64 KiB piece is mostly converted for nothing.
constexpr size_t kStoppingPieceBytes = 4 * 1024;
// Never XML_PARSE_NOENT, XML_PARSE_DTDLOAD or XML_PARSE_DTDVALID: external
// entities and DTDs stay unread. Blanks are kept so that a saved book differs
// from the loaded one only where it was changed. XML_PARSE_HUGE lets a text
// node pass 10 MB (a large cover), within our own limit on the input
// (max_bytes); it also lifts libxml2's guard against entity expansion, so it is
// switched off again as soon as the document declares an entity
// (OnEntityDecl).
constexpr int kParseFlags = XML_PARSE_NONET | XML_PARSE_HUGE;

const xmlChar* Chars(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }
std::string_view View(const xmlChar* text) {
  return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}

// Takes ownership of a string libxml2 allocated.
std::string TakeXmlString(xmlChar* text) {
  std::string result(View(text));
  xmlFree(text);
  return result;
}

void InitLibxmlOnce() {
  static const bool initialized = (xmlInitParser(), true);
  (void)initialized;
}

// Whether text is well-formed UTF-8 made only of characters XML 1.0 can carry.
bool IsXmlText(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0;
    size_t length = 0;
    if (c < 0x80) {
      cp = c;
      length = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      length = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      length = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      length = 4;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length]) return false;  // overlong form
    const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
    if (!allowed) return false;
    i += length;
  }
  return true;
}

void RequireXmlText(std::string_view text) {
  if (!IsXmlText(text)) {
    throw XmlError("Text is not valid UTF-8 or holds a character XML cannot carry");
  }
}

// Splits "prefix:local" (prefix empty when there is no ':').
std::pair<std::string, std::string> SplitQualifiedName(std::string_view name) {
  const size_t colon = name.find(':');
  if (colon == std::string_view::npos) return {std::string(), std::string(name)};
  return {std::string(name.substr(0, colon)), std::string(name.substr(colon + 1))};
}

// The namespace a new element or attribute named name gets below parent: the one
// bound to its prefix, or fallback for an unprefixed name. Throws on an invalid
// name or an unbound prefix.
xmlNs* ResolveNewName(xmlNode* parent, std::string_view name, xmlNs* fallback, std::string& local) {
  const std::string whole(name);
  auto [prefix, local_part] = SplitQualifiedName(name);
  if (prefix.empty()) {
    if (name.empty() || xmlValidateNCName(Chars(whole), 0) != 0) {
      throw XmlError("Invalid XML name '" + whole + "'");
    }
    local = std::move(local_part);
    return fallback;
  }
  if (xmlValidateQName(Chars(whole), 0) != 0 || xmlValidateNCName(Chars(local_part), 0) != 0) {
    throw XmlError("Invalid XML name '" + whole + "'");
  }
  xmlNs* ns = xmlSearchNs(parent->doc, parent, Chars(prefix));
  if (ns == nullptr) throw XmlError("Namespace prefix '" + prefix + "' is not declared");
  local = std::move(local_part);
  return ns;
}

// "prefix:local" of an element or attribute, or just its name without prefix.
std::string QualifiedName(const xmlChar* name, const xmlNs* ns) {
  std::string result;
  if (ns != nullptr && ns->prefix != nullptr) {
    result.append(View(ns->prefix));
    result.push_back(':');
  }
  result.append(View(name));
  return result;
}

bool ElementMatches(const xmlNode* node, std::string_view name) {
  if (node->type != XML_ELEMENT_NODE) return false;
  if (name.find(':') == std::string_view::npos && View(node->name) == name) return true;
  return QualifiedName(node->name, node->ns) == name;
}

bool AttributeMatches(const xmlAttr* attr, std::string_view name) {
  return QualifiedName(attr->name, attr->ns) == name;
}

// Whether node keeps a list of child nodes of its own (entity references point
// their child pointer at the shared entity declaration instead).
bool HasOwnChildren(const xmlNode* node) {
  return node != nullptr && (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE);
}

void FreeChildren(xmlNode* node) {
  xmlNode* child = node->children;
  while (child != nullptr) {
    xmlNode* next = child->next;
    xmlUnlinkNode(child);
    xmlFreeNode(child);
    child = next;
  }
}

// ---------------------------------------------------------------------------
// Parsing

// What one parse learns through the libxml2 callbacks.
struct ParseState {
  std::string stop_after_element;
  bool stopped = false;
  std::string first_fatal;  // first fatal error, "line N: message"
  std::string first_error;  // first error of any kind, for when no fatal came
};

ParseState& StateOf(void* parser_context) {
  return *static_cast<ParseState*>(static_cast<xmlParserCtxt*>(parser_context)->_private);
}

// The message on one line, without the trailing line break libxml2 adds.
std::string TrimmedMessage(std::string message) {
  for (char& c : message) {
    if (c == '\n') c = ' ';
  }
  while (!message.empty() && message.back() == ' ') message.pop_back();
  return message;
}

#if LIBXML_VERSION >= 21200
void OnStructuredError(void* user_data, const xmlError* error) {
#else
void OnStructuredError(void* user_data, xmlErrorPtr error) {
#endif
  if (user_data == nullptr || error == nullptr || error->level < XML_ERR_ERROR) return;
  ParseState& state = StateOf(user_data);
  std::string text = TrimmedMessage(error->message != nullptr ? error->message : "parse error");
  if (error->line > 0) text = "line " + std::to_string(error->line) + ": " + text;
  if (state.first_error.empty()) state.first_error = text;
  if (error->level == XML_ERR_FATAL && state.first_fatal.empty()) state.first_fatal = text;
}

// Receives the few messages libxml2 sends without a parser context (encoding
// conversion failures) while a ScopedGenericErrors is alive; keeps the first.
void OnGenericError(void* context, const char* format, ...) {
  auto* first_message = static_cast<std::string*>(context);
  if (first_message == nullptr || !first_message->empty()) return;
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  *first_message = TrimmedMessage(buffer);
}

// Routes libxml2's context-free messages of this thread into first_message and
// restores the previous handler when it goes out of scope, so nothing is printed
// to stderr and no other thread or later caller is affected. (libxml2 keeps this
// handler per thread; encoding failures reach no per-parser handler.)
class ScopedGenericErrors {
 public:
  explicit ScopedGenericErrors(std::string* first_message)
      : saved_handler_(xmlGenericError), saved_context_(xmlGenericErrorContext) {
    xmlSetGenericErrorFunc(first_message, OnGenericError);
  }
  ~ScopedGenericErrors() { xmlSetGenericErrorFunc(saved_context_, saved_handler_); }
  ScopedGenericErrors(const ScopedGenericErrors&) = delete;
  ScopedGenericErrors& operator=(const ScopedGenericErrors&) = delete;

 private:
  xmlGenericErrorFunc saved_handler_;
  void* saved_context_;
};

// Declares the entity as usual, and from then on parses with libxml2's own
// limits on entity expansion and text size, which XML_PARSE_HUGE lifts.
void OnEntityDecl(void* context, const xmlChar* name, int type, const xmlChar* public_id,
                  const xmlChar* system_id, xmlChar* content) {
  xmlSAX2EntityDecl(context, name, type, public_id, system_id, content);
  static_cast<xmlParserCtxt*>(context)->options &= ~XML_PARSE_HUGE;
}

void OnEndElementNs(void* context, const xmlChar* local_name, const xmlChar* prefix, const xmlChar* uri) {
  xmlSAX2EndElementNs(context, local_name, prefix, uri);
  ParseState& state = StateOf(context);
  if (!state.stopped && View(local_name) == state.stop_after_element) {
    state.stopped = true;
    xmlStopParser(static_cast<xmlParserCtxt*>(context));
  }
}

struct ParserDeleter {
  void operator()(xmlParserCtxt* context) const {
    if (context->myDoc != nullptr) xmlFreeDoc(context->myDoc);
    context->myDoc = nullptr;
    xmlFreeParserCtxt(context);
  }
};
using ParserPtr = std::unique_ptr<xmlParserCtxt, ParserDeleter>;

// One push parse: Feed() the input in pieces, then Finish().
class PushParse {
 public:
  PushParse(const XmlParseOptions& options, std::string source, const char* url)
      : options_(options), source_(std::move(source)), generic_errors_(&state_.first_error) {
    InitLibxmlOnce();
    state_.stop_after_element = options.stop_after_element;
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    xmlSAXVersion(&sax, 2);
    sax.serror = OnStructuredError;
    sax.entityDecl = OnEntityDecl;
    if (!options.stop_after_element.empty()) sax.endElementNs = OnEndElementNs;
    parser_.reset(xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, url));
    if (parser_ != nullptr) {
      parser_->_private = &state_;
      xmlCtxtUseOptions(parser_.get(), kParseFlags);
    }
  }

  // Parses the next piece; false once parsing is over (stopped, failed or too big).
  bool Feed(const char* data, size_t size) {
    if (parser_ == nullptr) return false;
    while (size > 0 && !Done()) {
      if (fed_bytes_ >= options_.max_bytes) {
        too_big_ = true;
        break;
      }
      const size_t most = options_.stop_after_element.empty() ? kChunkBytes : kStoppingPieceBytes;
      const size_t piece = std::min({size, most, options_.max_bytes - fed_bytes_});
      NoteLineEnd(std::string_view(data, piece));
      const int rc = xmlParseChunk(parser_.get(), data, static_cast<int>(piece), 0);
      if (rc != 0 && !state_.stopped) failed_ = true;
      fed_bytes_ += piece;
      data += piece;
      size -= piece;
    }
    return !Done();
  }

  Result<XmlDocument> Finish() && {
    if (parser_ == nullptr) return Error{"Cannot create an XML parser"};
    if (too_big_) {
      return Error{source_ + " is larger than the limit of " + std::to_string(options_.max_bytes) +
                   " bytes"};
    }
    if (!Done() && xmlParseChunk(parser_.get(), nullptr, 0, 1) != 0 && !state_.stopped) {
      failed_ = true;
    }
    if (fed_bytes_ == 0) return Error{source_ + " is empty"};
    if (failed_ || !parser_->wellFormed || parser_->myDoc == nullptr ||
        xmlDocGetRootElement(parser_->myDoc) == nullptr) {
      std::string reason = !state_.first_fatal.empty() ? state_.first_fatal
                           : !state_.first_error.empty() ? state_.first_error
                                                         : "not a well-formed XML document";
      return Error{source_ + ": " + reason};
    }
    xmlDoc* doc = std::exchange(parser_->myDoc, nullptr);
    // A stopped parse never reaches the end of the document, where the declared
    // encoding is normally copied into it.
    if (doc->encoding == nullptr) {
      const xmlChar* declared = parser_->encoding;
      if (declared == nullptr && parser_->inputNr > 0 && parser_->inputTab[0] != nullptr) {
        declared = parser_->inputTab[0]->encoding;
      }
      if (declared != nullptr) doc->encoding = xmlStrdup(declared);
    }
    return XmlDocument::Adopt(doc, crlf_line_ends_);
  }

 private:
  // Takes the file's line ends from its first line break: CR LF or LF alone.
  void NoteLineEnd(std::string_view piece) {
    if (line_end_known_ || piece.empty()) return;
    const size_t lf = piece.find('\n');
    if (lf == std::string_view::npos) {
      previous_byte_ = piece.back();
      return;
    }
    line_end_known_ = true;
    crlf_line_ends_ = (lf > 0 ? piece[lf - 1] : previous_byte_) == '\r';
  }

  bool Done() const { return failed_ || too_big_ || state_.stopped; }

  const XmlParseOptions& options_;
  std::string source_;
  ParseState state_;
  ScopedGenericErrors generic_errors_;
  ParserPtr parser_;
  size_t fed_bytes_ = 0;
  bool failed_ = false;
  bool too_big_ = false;
  bool line_end_known_ = false;
  bool crlf_line_ends_ = false;
  char previous_byte_ = '\0';
};

// A file descriptor closed when it goes out of scope.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  // Closes now, reporting whether close succeeded.
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

std::string ErrnoText() { return std::strerror(errno); }

int WriteToString(void* context, const char* buffer, int length) {
  static_cast<std::string*>(context)->append(buffer, static_cast<size_t>(length));
  return length;
}

}  // namespace

// ---------------------------------------------------------------------------
// XmlDocument

XmlDocument XmlDocument::Adopt(xmlDoc* doc, bool crlf_line_ends) {
  XmlDocument adopted(doc);
  adopted.crlf_line_ends_ = crlf_line_ends;
  return adopted;
}

Result<XmlDocument> XmlDocument::LoadText(std::string_view text, const XmlParseOptions& options) {
  PushParse parse(options, "XML text", nullptr);
  parse.Feed(text.data(), text.size());
  return std::move(parse).Finish();
}

Result<XmlDocument> XmlDocument::LoadPieces(const std::function<Status(const PieceFeed& feed)>& read,
                                            const XmlParseOptions& options) {
  PushParse parse(options, "XML text", nullptr);
  Status status = read([&parse](std::string_view piece) { return parse.Feed(piece.data(), piece.size()); });
  if (!status.ok()) return status.error();
  return std::move(parse).Finish();
}

Result<XmlDocument> XmlDocument::LoadFile(const std::string& path, const XmlParseOptions& options) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return Error{"Cannot open " + path + ": " + ErrnoText()};
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return Error{"Cannot read " + path + ": " + ErrnoText()};
  if (S_ISDIR(info.st_mode)) return Error{"Cannot read " + path + ": it is a folder"};
  if (options.stop_after_element.empty() && S_ISREG(info.st_mode) &&
      static_cast<uint64_t>(info.st_size) > options.max_bytes) {
    return Error{path + " is larger than the limit of " + std::to_string(options.max_bytes) + " bytes"};
  }
  PushParse parse(options, path, path.c_str());
  std::string buffer(kChunkBytes, '\0');
  while (true) {
    const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return Error{"Cannot read " + path + ": " + ErrnoText()};
    }
    if (got == 0 || !parse.Feed(buffer.data(), static_cast<size_t>(got))) break;
  }
  return std::move(parse).Finish();
}

XmlDocument XmlDocument::CreateEmpty() {
  InitLibxmlOnce();
  xmlDoc* doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
  if (doc == nullptr) throw std::bad_alloc();
  return XmlDocument(doc);
}

XmlNode XmlDocument::RootElement() const { return XmlNode(doc_ ? xmlDocGetRootElement(doc_.get()) : nullptr); }

XmlNode XmlDocument::CreateRootElement(std::string_view name, std::string_view ns_uri) {
  if (!doc_) throw XmlError("Cannot add a root element to a moved-from document");
  if (xmlDocGetRootElement(doc_.get()) != nullptr) throw XmlError("The document already has a root element");
  const std::string whole(name);
  if (name.empty() || xmlValidateNCName(Chars(whole), 0) != 0) {
    throw XmlError("Invalid XML name '" + whole + "'");
  }
  xmlNode* root = xmlNewDocNode(doc_.get(), nullptr, Chars(whole), nullptr);
  if (root == nullptr) throw std::bad_alloc();
  xmlDocSetRootElement(doc_.get(), root);
  if (!ns_uri.empty()) {
    const std::string uri(ns_uri);
    xmlSetNs(root, xmlNewNs(root, Chars(uri), nullptr));
  }
  return XmlNode(root);
}

std::string XmlDocument::DeclaredEncoding() const {
  return doc_ && doc_->encoding != nullptr ? std::string(View(doc_->encoding)) : std::string();
}

Result<std::string> XmlDocument::Serialize() const {
  if (!doc_) return Error{"Cannot serialize a moved-from document"};
  InitLibxmlOnce();
  // An explicit encoding even for UTF-8: without one libxml2 would write every
  // non-ASCII character as a character reference.
  const char* encoding = doc_->encoding != nullptr ? reinterpret_cast<const char*>(doc_->encoding) : "UTF-8";
  std::string libxml_message;
  ScopedGenericErrors generic_errors(&libxml_message);
  std::string out;
  xmlSaveCtxt* save = xmlSaveToIO(WriteToString, nullptr, &out, encoding, 0);
  if (save == nullptr) return Error{std::string("Cannot write text in the encoding ") + encoding};
  const long written = xmlSaveDoc(save, doc_.get());
  const int closed = xmlSaveClose(save);
  if (written < 0 || closed < 0) {
    return Error{"Cannot serialize the XML document" + (libxml_message.empty() ? "" : ": " + libxml_message)};
  }
  // Parsing turned every CR LF into LF; a file written with CR LF gets them back.
  // Only where a line feed is the byte 0x0A (not in UTF-16 and the like).
  if (crlf_line_ends_ && !out.empty() && out.front() == '<') {
    std::string with_cr;
    with_cr.reserve(out.size() + out.size() / 32);
    for (char c : out) {
      if (c == '\n') with_cr.push_back('\r');
      with_cr.push_back(c);
    }
    return with_cr;
  }
  return out;
}

Status XmlDocument::SaveFile(const std::string& path) const {
  Result<std::string> bytes = Serialize();
  if (!bytes.ok()) return bytes.error();
  const std::string temp = path + ".tmp~";
  auto fail = [&](const std::string& what) {
    const std::string reason = ErrnoText();
    ::unlink(temp.c_str());
    return Error{"Cannot save " + path + ": " + what + ": " + reason};
  };
  UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (fd.get() < 0) return Error{"Cannot save " + path + ": cannot create " + temp + ": " + ErrnoText()};
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    if (::fchmod(fd.get(), existing.st_mode & 07777) != 0) return fail("cannot keep its permissions");
  }
  const std::string& data = bytes.value();
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = ::write(fd.get(), data.data() + done, data.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return fail("cannot write " + temp);
    }
    done += static_cast<size_t>(put);
  }
  if (::fsync(fd.get()) != 0) return fail("cannot write " + temp);
  if (!fd.Close()) return fail("cannot write " + temp);
  if (::rename(temp.c_str(), path.c_str()) != 0) return fail("cannot replace it");
  return Status::Ok();
}

// ---------------------------------------------------------------------------
// XmlNode

bool XmlNode::IsElement() const { return node_ != nullptr && node_->type == XML_ELEMENT_NODE; }
bool XmlNode::IsAttribute() const { return node_ != nullptr && node_->type == XML_ATTRIBUTE_NODE; }

std::string XmlNode::Name() const {
  if (node_ == nullptr) return std::string();
  switch (node_->type) {
    case XML_TEXT_NODE:
      return "#text";
    case XML_CDATA_SECTION_NODE:
      return "#cdata-section";
    case XML_COMMENT_NODE:
      return "#comment";
    default:
      return std::string(View(node_->name));
  }
}

bool XmlNode::HasName(std::string_view name) const {
  if (node_ == nullptr) return false;
  if (node_->type == XML_ELEMENT_NODE) return ElementMatches(node_, name);
  if (node_->type == XML_ATTRIBUTE_NODE) return AttributeMatches(reinterpret_cast<xmlAttr*>(node_), name);
  return Name() == name;
}

std::string XmlNode::Text() const { return ElementText(/*nested=*/false); }

std::string XmlNode::TextContent() const { return ElementText(/*nested=*/true); }

std::string XmlNode::ElementText(bool nested) const {
  if (node_ == nullptr) return std::string();
  switch (node_->type) {
    case XML_ELEMENT_NODE: {
      std::string text;
      for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
        switch (child->type) {
          case XML_ELEMENT_NODE:
            if (!nested) throw XmlError("Element does not contain a single text node");
            text.append(XmlNode(child).ElementText(nested));
            break;
          case XML_TEXT_NODE:
          case XML_CDATA_SECTION_NODE:
            text.append(View(child->content));
            break;
          case XML_ENTITY_REF_NODE:
            text.append(TakeXmlString(xmlNodeGetContent(child)));
            break;
          default:  // comments and processing instructions hold no text
            break;
        }
      }
      return text;
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      return std::string(View(node_->content));
    default:
      return TakeXmlString(xmlNodeGetContent(node_));
  }
}

void XmlNode::SetText(std::string_view utf8) {
  if (node_ == nullptr) throw XmlError("Cannot set the text of a null node");
  RequireXmlText(utf8);
  const std::string value(utf8);
  switch (node_->type) {
    case XML_ELEMENT_NODE:
      FreeChildren(node_);
      if (!value.empty()) {
        xmlNode* text = xmlNewDocTextLen(node_->doc, Chars(value), static_cast<int>(value.size()));
        if (text == nullptr || xmlAddChild(node_, text) == nullptr) throw std::bad_alloc();
      }
      break;
    case XML_ATTRIBUTE_NODE: {
      auto* attr = reinterpret_cast<xmlAttr*>(node_);
      // xmlSetNsProp stores the value as plain text (no entity parsing).
      xmlSetNsProp(attr->parent, attr->ns, attr->name, Chars(value));
      break;
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      xmlNodeSetContentLen(node_, Chars(value), static_cast<int>(value.size()));
      break;
    default:
      throw XmlError("Cannot set the text of node '" + Name() + "'");
  }
}

std::optional<std::string> XmlNode::Attribute(std::string_view name) const {
  XmlNode attr = AttributeNode(name);
  if (!attr) return std::nullopt;
  return attr.Text();
}

XmlNode XmlNode::AttributeNode(std::string_view name) const {
  if (!IsElement()) return XmlNode();
  for (xmlAttr* attr = node_->properties; attr != nullptr; attr = attr->next) {
    if (AttributeMatches(attr, name)) return XmlNode(reinterpret_cast<xmlNode*>(attr));
  }
  return XmlNode();
}

void XmlNode::SetAttribute(std::string_view name, std::string_view value) {
  if (!IsElement()) throw XmlError("Cannot set attribute '" + std::string(name) + "' of a node that is not an element");
  RequireXmlText(value);
  const std::string text(value);
  if (XmlNode existing = AttributeNode(name)) {
    auto* attr = reinterpret_cast<xmlAttr*>(existing.raw());
    xmlSetNsProp(node_, attr->ns, attr->name, Chars(text));
    return;
  }
  std::string local;
  xmlNs* ns = ResolveNewName(node_, name, nullptr, local);
  if (xmlNewNsProp(node_, ns, Chars(local), Chars(text)) == nullptr) throw std::bad_alloc();
}

XmlNode XmlNode::AttributeOrCreate(std::string_view name) {
  if (XmlNode existing = AttributeNode(name)) return existing;
  SetAttribute(name, "");
  return AttributeNode(name);
}

bool XmlNode::RemoveAttribute(std::string_view name) {
  XmlNode attr = AttributeNode(name);
  if (!attr) return false;
  xmlRemoveProp(reinterpret_cast<xmlAttr*>(attr.raw()));
  return true;
}

XmlNode XmlNode::FirstChildElement(std::string_view name) const {
  if (!IsElement()) return XmlNode();
  for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
    if (ElementMatches(child, name)) return XmlNode(child);
  }
  return XmlNode();
}

XmlNode XmlNode::ChildOrCreate(std::string_view name) {
  if (XmlNode existing = FirstChildElement(name)) return existing;
  return InsertElementAt(ChildNodeCount(), name);
}

size_t XmlNode::ChildNodeCount() const {
  if (!HasOwnChildren(node_)) return 0;
  size_t count = 0;
  for (xmlNode* child = node_->children; child != nullptr; child = child->next) ++count;
  return count;
}

XmlNode XmlNode::ChildNodeAt(size_t index) const {
  if (!HasOwnChildren(node_)) return XmlNode();
  xmlNode* child = node_->children;
  for (; child != nullptr && index > 0; child = child->next) --index;
  return XmlNode(child);
}

std::vector<XmlNode> XmlNode::ChildElements() const {
  std::vector<XmlNode> elements;
  if (!IsElement()) return elements;
  for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) elements.emplace_back(child);
  }
  return elements;
}

namespace {

// A new, unlinked element for parent; throws on a non-element parent or bad name.
xmlNode* NewChildElement(xmlNode* parent, std::string_view name) {
  if (parent == nullptr || parent->type != XML_ELEMENT_NODE) {
    throw XmlError("Cannot add element '" + std::string(name) + "' to a node that is not an element");
  }
  std::string local;
  xmlNs* ns = ResolveNewName(parent, name, parent->ns, local);
  xmlNode* element = xmlNewDocNode(parent->doc, ns, Chars(local), nullptr);
  if (element == nullptr) throw std::bad_alloc();
  return element;
}

void RequireChildOf(xmlNode* parent, XmlNode sibling) {
  if (parent == nullptr || sibling.IsNull() || sibling.raw()->parent != parent ||
      sibling.IsAttribute()) {
    throw XmlError("The sibling node is not a child of this element");
  }
}

}  // namespace

XmlNode XmlNode::InsertElementAt(size_t index, std::string_view name) {
  xmlNode* element = NewChildElement(node_, name);
  xmlNode* at = ChildNodeAt(index).raw();
  xmlNode* added = at != nullptr ? xmlAddPrevSibling(at, element) : xmlAddChild(node_, element);
  if (added == nullptr) {
    xmlFreeNode(element);
    throw XmlError("Cannot insert element '" + std::string(name) + "'");
  }
  return XmlNode(added);
}

XmlNode XmlNode::InsertElementAfter(XmlNode sibling, std::string_view name) {
  RequireChildOf(node_, sibling);
  xmlNode* element = NewChildElement(node_, name);
  return XmlNode(xmlAddNextSibling(sibling.raw(), element));
}

XmlNode XmlNode::InsertElementBefore(XmlNode sibling, std::string_view name) {
  RequireChildOf(node_, sibling);
  xmlNode* element = NewChildElement(node_, name);
  return XmlNode(xmlAddPrevSibling(sibling.raw(), element));
}

XmlNode XmlNode::Parent() const {
  if (node_ == nullptr || node_->parent == nullptr) return XmlNode();
  if (node_->parent->type != XML_ELEMENT_NODE) return XmlNode();
  return XmlNode(node_->parent);
}

void XmlNode::Remove() {
  if (node_ == nullptr) return;
  if (node_->type == XML_ATTRIBUTE_NODE) {
    xmlRemoveProp(reinterpret_cast<xmlAttr*>(node_));
  } else {
    xmlUnlinkNode(node_);
    xmlFreeNode(node_);
  }
  node_ = nullptr;
}

}  // namespace tomeva
