// Escaping text for XML and HTML, and Atom times.
#include "server/markup.h"

#include <cstdint>
#include <ctime>

namespace tomeva::server {
namespace {

// The code point of the valid UTF-8 sequence at text[pos] and its length; a
// length of 0 when the bytes there are no valid sequence (overlong forms and
// surrogates included).
uint32_t DecodeAt(std::string_view text, size_t pos, size_t& length) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  length = 0;
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  size_t count;
  uint32_t code;
  uint32_t minimum;
  if ((lead & 0xe0) == 0xc0) {
    count = 2, code = lead & 0x1f, minimum = 0x80;
  } else if ((lead & 0xf0) == 0xe0) {
    count = 3, code = lead & 0x0f, minimum = 0x800;
  } else if ((lead & 0xf8) == 0xf0) {
    count = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (pos + count > text.size()) return 0;
  for (size_t i = 1; i < count; ++i) {
    if ((byte(pos + i) & 0xc0) != 0x80) return 0;
    code = (code << 6) | (byte(pos + i) & 0x3f);
  }
  if (code < minimum || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
  length = count;
  return code;
}

bool AllowedInXml(uint32_t code) {
  if (code < 0x20) return code == '\t' || code == '\n' || code == '\r';
  return code != 0xfffe && code != 0xffff;
}

}  // namespace

std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t pos = 0; pos < text.size();) {
    size_t length = 0;
    const uint32_t code = DecodeAt(text, pos, length);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++pos;
      continue;
    }
    switch (code) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (AllowedInXml(code)) out.append(text.substr(pos, length));
    }
    pos += length;
  }
  return out;
}

std::string AtomTime(std::chrono::sys_seconds time) {
  const std::time_t seconds = static_cast<std::time_t>(time.time_since_epoch().count());
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

}  // namespace tomeva::server
