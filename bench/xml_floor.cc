// libxml2 parses of whole books and of their headers, plain and zipped.
#include "xml_floor.h"

#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/SAX2.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace tomeva::bench {
namespace {

constexpr size_t kChunk = 16 * 1024;  // the header of a book is a few KiB

bool IsZipped(const std::string& file) {
  auto ends = [&](const char* tail) {
    const size_t n = std::strlen(tail);
    return file.size() >= n && file.compare(file.size() - n, n, tail) == 0;
  };
  return ends(".zip") || ends(".fbz");
}

// An open file descriptor.
class Fd {
 public:
  explicit Fd(const std::string& file) : fd_(open(file.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

uint32_t Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const unsigned char* p) { return Le16(p) | (Le16(p + 2) << 16); }

// Streams the content of a zipped book's first entry (stored or deflated) in
// chunks to sink until sink returns false or the entry ends. False when the
// archive cannot be read.
bool StreamFirstEntry(const std::string& file,
                      const std::function<bool(const char*, size_t)>& sink) {
  Fd fd(file);
  if (fd.get() < 0) return false;
  unsigned char header[30];
  if (read(fd.get(), header, sizeof header) != sizeof header) return false;
  if (std::memcmp(header, "PK\3\4", 4) != 0) return false;
  const uint32_t method = Le16(header + 8);
  const bool sizes_after_data = (Le16(header + 6) & 0x08) != 0;
  uint64_t stored_left = Le32(header + 18);
  const off_t data = 30 + Le16(header + 26) + Le16(header + 28);
  if (lseek(fd.get(), data, SEEK_SET) != data) return false;
  std::vector<char> in(kChunk), out(kChunk);
  if (method == 0) {
    if (sizes_after_data) return false;  // a stored entry's end is only known from its size
    while (stored_left > 0) {
      const ssize_t got =
          read(fd.get(), in.data(), static_cast<size_t>(std::min<uint64_t>(in.size(), stored_left)));
      if (got <= 0) return false;
      stored_left -= static_cast<uint64_t>(got);
      if (!sink(in.data(), static_cast<size_t>(got))) return true;
    }
    return true;
  }
  if (method != 8) return false;
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
  bool ok = true;
  int status = Z_OK;
  while (ok && status != Z_STREAM_END) {
    const ssize_t got = read(fd.get(), in.data(), in.size());
    if (got <= 0) break;
    z.next_in = reinterpret_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(got);
    while (z.avail_in > 0 && status != Z_STREAM_END) {
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(out.size());
      status = inflate(&z, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END) {
        ok = false;
        break;
      }
      if (!sink(out.data(), out.size() - z.avail_out)) {
        inflateEnd(&z);
        return true;
      }
    }
  }
  inflateEnd(&z);
  return ok;
}

// The push parser's state: stop once </description> is seen.
struct HeaderParse {
  xmlParserCtxtPtr ctxt = nullptr;
  bool done = false;
};

void EndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
  xmlSAX2EndElementNs(ctx, localname, prefix, uri);
  auto* parser = static_cast<xmlParserCtxtPtr>(ctx);
  auto* state = static_cast<HeaderParse*>(parser->_private);
  if (std::strcmp(reinterpret_cast<const char*>(localname), "description") == 0) {
    state->done = true;
    xmlStopParser(parser);
  }
}

// Feeds chunks from source into a tree-building push parser until the header
// is complete.
bool ParseHeaderFrom(const std::function<bool(const std::function<bool(const char*, size_t)>&)>&
                         source) {
  xmlSAXHandler sax;
  std::memset(&sax, 0, sizeof sax);
  xmlSAXVersion(&sax, 2);
  sax.endElementNs = EndElement;
  HeaderParse state;
  bool failed = false;
  const bool read_ok = source([&](const char* data, size_t size) {
    if (state.ctxt == nullptr) {
      state.ctxt = xmlCreatePushParserCtxt(&sax, nullptr, data, 0, nullptr);
      if (state.ctxt == nullptr) return false;
      state.ctxt->_private = &state;
      xmlCtxtUseOptions(state.ctxt, XML_PARSE_NONET);
    }
    if (xmlParseChunk(state.ctxt, data, static_cast<int>(size), 0) != 0 && !state.done) {
      failed = true;
    }
    return !state.done && !failed;
  });
  bool ok = read_ok && state.done && !failed;
  if (state.ctxt != nullptr) {
    if (state.ctxt->myDoc != nullptr) xmlFreeDoc(state.ctxt->myDoc);
    xmlFreeParserCtxt(state.ctxt);
  }
  return ok;
}

}  // namespace

bool ParseWholeBook(const std::string& file) {
  xmlDocPtr doc = nullptr;
  if (!IsZipped(file)) {
    doc = xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET);
  } else {
    std::string text;
    if (!StreamFirstEntry(file, [&](const char* data, size_t size) {
          text.append(data, size);
          return true;
        })) {
      return false;
    }
    doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), file.c_str(), nullptr,
                        XML_PARSE_NONET);
  }
  if (doc == nullptr) return false;
  xmlFreeDoc(doc);
  return true;
}

bool ParseBookHeader(const std::string& file) {
  if (IsZipped(file)) {
    return ParseHeaderFrom([&](const std::function<bool(const char*, size_t)>& sink) {
      return StreamFirstEntry(file, sink);
    });
  }
  return ParseHeaderFrom([&](const std::function<bool(const char*, size_t)>& sink) {
    Fd fd(file);
    if (fd.get() < 0) return false;
    std::vector<char> buffer(kChunk);
    for (;;) {
      const ssize_t got = read(fd.get(), buffer.data(), buffer.size());
      if (got <= 0) return got == 0;
      if (!sink(buffer.data(), static_cast<size_t>(got))) return true;
    }
  });
}

}  // namespace tomeva::bench
