// Cover bytes and their base64 form.
#include "sample_library/cover_image.h"

#include <cstring>

#include "sample_library/sample_random.h"

namespace tomeva {

std::string MakeCoverImage(uint64_t seed) {
  static constexpr unsigned char kHeader[] = {0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 'J',
                                              'F',  'I',  'F',  0x00, 0x01, 0x01, 0x00,
                                              0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
  static constexpr std::string_view kEnd = "\xff\xd9";
  SampleRandom random(SampleRandom::Derive(seed, 0x636f766572));
  size_t size = static_cast<size_t>(random.Between(1536, 4096));
  std::string bytes(size, '\0');
  std::memcpy(bytes.data(), kHeader, sizeof kHeader);
  size_t end = size - kEnd.size();
  for (size_t pos = sizeof kHeader; pos < end;) {
    uint64_t bits = random.Next();
    for (int i = 0; i < 8 && pos < end; ++i, bits >>= 8) {
      bytes[pos++] = static_cast<char>(bits & 0xff);
    }
  }
  std::memcpy(bytes.data() + end, kEnd.data(), kEnd.size());
  return bytes;
}

std::string Base64Lines(std::string_view bytes, size_t line_length) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  size_t encoded_size = (bytes.size() + 2) / 3 * 4;
  size_t breaks = line_length == 0 || encoded_size == 0 ? 0 : (encoded_size - 1) / line_length;
  std::string out(encoded_size + breaks, '\0');
  char* next = out.data();
  size_t column = 0;
  auto put = [&](char c) {
    if (line_length != 0 && column == line_length) {
      *next++ = '\n';
      column = 0;
    }
    *next++ = c;
    ++column;
  };
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t i = 0; i < bytes.size(); i += 3) {
    size_t left = bytes.size() - i;
    uint32_t group = static_cast<uint32_t>(data[i]) << 16;
    if (left > 1) group |= static_cast<uint32_t>(data[i + 1]) << 8;
    if (left > 2) group |= data[i + 2];
    put(kAlphabet[(group >> 18) & 63]);
    put(kAlphabet[(group >> 12) & 63]);
    put(left > 1 ? kAlphabet[(group >> 6) & 63] : '=');
    put(left > 2 ? kAlphabet[group & 63] : '=');
  }
  return out;
}

}  // namespace tomeva
