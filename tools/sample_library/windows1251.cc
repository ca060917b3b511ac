// windows-1251 <-> UTF-8. Bytes 0xC0-0xFF are А-я in order; 0x80-0xBF hold the
// other Cyrillic letters (Ё, ё, Ukrainian, Belarusian, Serbian) and typography.
#include "sample_library/windows1251.h"

#include <cstdint>

namespace tomeva {
namespace {

constexpr char32_t kUnassigned = 0xfffd;

// The characters of bytes 0x80-0xBF.
constexpr char32_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201a, 0x0453, 0x201e, 0x2026, 0x2020, 0x2021,  // 80
    0x20ac, 0x2030, 0x0409, 0x2039, 0x040a, 0x040c, 0x040b, 0x040f,  // 88
    0x0452, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,  // 90
    kUnassigned, 0x2122, 0x0459, 0x203a, 0x045a, 0x045c, 0x045b, 0x045f,  // 98
    0x00a0, 0x040e, 0x045e, 0x0408, 0x00a4, 0x0490, 0x00a6, 0x00a7,  // A0
    0x0401, 0x00a9, 0x0404, 0x00ab, 0x00ac, 0x00ad, 0x00ae, 0x0407,  // A8
    0x00b0, 0x00b1, 0x0406, 0x0456, 0x0491, 0x00b5, 0x00b6, 0x00b7,  // B0
    0x0451, 0x2116, 0x0454, 0x00bb, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// The byte for c, or none (-1) when windows-1251 lacks it.
int ByteFor(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  if (c >= 0x0410 && c <= 0x044f) return static_cast<int>(0xc0 + (c - 0x0410));
  if (c == kUnassigned) return -1;
  for (int i = 0; i < 64; ++i) {
    if (kHighHalf[i] == c) return 0x80 + i;
  }
  return -1;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xc0) == 0x80; }

// Decodes the UTF-8 sequence at text[pos]; sets length to its bytes. Returns
// none (0xffffffff) for an invalid, overlong, surrogate or truncated sequence,
// with length 1.
char32_t DecodeAt(std::string_view text, size_t pos, size_t& length) {
  constexpr char32_t kInvalid = 0xffffffff;
  length = 1;
  unsigned char lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) return lead;
  size_t extra;
  char32_t c;
  char32_t minimum;
  if ((lead & 0xe0) == 0xc0) {
    extra = 1, c = lead & 0x1f, minimum = 0x80;
  } else if ((lead & 0xf0) == 0xe0) {
    extra = 2, c = lead & 0x0f, minimum = 0x800;
  } else if ((lead & 0xf8) == 0xf0) {
    extra = 3, c = lead & 0x07, minimum = 0x10000;
  } else {
    return kInvalid;
  }
  if (text.size() - pos <= extra) return kInvalid;
  for (size_t i = 1; i <= extra; ++i) {
    unsigned char byte = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(byte)) return kInvalid;
    c = (c << 6) | (byte & 0x3f);
  }
  if (c < minimum || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) return kInvalid;
  length = extra + 1;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xc0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else {
    out += static_cast<char>(0xe0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  }
}

}  // namespace

std::string Utf8ToWindows1251Xml(std::string_view xml) {
  std::string out;
  out.reserve(xml.size());
  size_t pos = 0;
  while (pos < xml.size()) {
    // Runs of ASCII, most of any document, are copied as they are.
    size_t run = pos;
    while (run < xml.size() && static_cast<unsigned char>(xml[run]) < 0x80) ++run;
    out.append(xml, pos, run - pos);
    pos = run;
    if (pos == xml.size()) break;
    size_t length = 1;
    char32_t c = DecodeAt(xml, pos, length);
    pos += length;
    if (c == 0xffffffff) {
      out += '?';
      continue;
    }
    int byte = ByteFor(c);
    if (byte >= 0) {
      out += static_cast<char>(byte);
    } else {
      out += "&#" + std::to_string(static_cast<uint32_t>(c)) + ';';
    }
  }
  return out;
}

std::string Windows1251ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char ch : text) {
    unsigned char byte = static_cast<unsigned char>(ch);
    if (byte < 0x80) {
      out += ch;
    } else if (byte >= 0xc0) {
      AppendUtf8(out, 0x0410 + (byte - 0xc0));
    } else {
      AppendUtf8(out, kHighHalf[byte - 0x80]);
    }
  }
  return out;
}

}  // namespace tomeva
