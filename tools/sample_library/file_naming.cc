// Building the file and folder names of the sample books.
#include "sample_library/file_naming.h"

#include <string_view>

#include "common/utf8.h"

namespace tomeva {

std::string SafeFileNamePart(std::string_view text) {
  static constexpr std::string_view kForbidden = "\\/:*?\"<>|";
  std::string safe;
  safe.reserve(text.size());
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    bool bad = byte < 0x20 || byte == 0x7f || kForbidden.find(c) != std::string_view::npos;
    safe += bad ? '_' : c;
  }
  while (!safe.empty() && (safe.back() == ' ' || safe.back() == '.')) safe.pop_back();
  return safe.empty() ? "_" : safe;
}

int BookNumberWidth(uint64_t count) {
  int width = 1;
  for (uint64_t rest = count; rest >= 10; rest /= 10) ++width;
  return width < 4 ? 4 : width;
}

std::string BookFileStem(uint64_t number, int width, std::string_view last_name,
                         std::string_view title) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < width) {
    digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  }
  return digits + " " + SafeFileNamePart(last_name) + " - " +
         SafeFileNamePart(Utf8PrefixBytes(title, kMaxTitleBytes));
}

std::string FirstLetterFolder(std::string_view last_name) {
  std::string_view first = Utf8Prefix(last_name, 1);
  std::string upper = Utf8Upper(first);
  // Only letters have distinct upper and lower case forms.
  if (first.empty() || upper == Utf8Lower(first)) return "_";
  return upper;
}

}  // namespace tomeva
