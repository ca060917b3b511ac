// Text helpers shared by the field sources and the field host: copying a whole
// text value into a value buffer, and cutting text without splitting a UTF-8
// character.
#include "content/field_source.h"

#include <algorithm>
#include <cstring>

namespace tomeva::content {
namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the UTF-8 sequence a lead byte announces; 0 for a byte that
// cannot start a multi-byte sequence.
size_t AnnouncedLength(unsigned char c) {
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::string_view CutUtf8(std::string_view text, size_t max_bytes) {
  text = text.substr(0, std::min(text.size(), max_bytes));
  size_t lead = text.size();
  size_t continuations = 0;
  while (lead > 0 && continuations < 3 &&
         IsContinuation(static_cast<unsigned char>(text[lead - 1]))) {
    --lead;
    ++continuations;
  }
  if (lead == 0) return text;
  --lead;
  const size_t announced = AnnouncedLength(static_cast<unsigned char>(text[lead]));
  if (announced > 0 && text.size() - lead < announced) return text.substr(0, lead);
  return text;
}

void WriteTextValue(std::vector<char>& value, std::string_view text) {
  if (value.size() < text.size() + 1) value.resize(text.size() + 1, '\0');
  if (!text.empty()) std::memcpy(value.data(), text.data(), text.size());
  value[text.size()] = '\0';
}

}  // namespace tomeva::content
