// Reading Basic credentials out of an Authorization header.
#include "server/basic_auth.h"

#include "server/book_cover.h"

namespace tomeva::server {
namespace {

// Longest header value read: far more than any real user name and password.
constexpr size_t kMaxHeaderSize = 4096;

bool IsBase64Char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '+' || c == '/';
}

bool HasControlCharacter(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return true;
  }
  return false;
}

}  // namespace

std::optional<Credentials> ParseBasicAuthorization(std::string_view header) {
  if (header.size() > kMaxHeaderSize) return std::nullopt;
  constexpr std::string_view kScheme = "basic";
  if (header.size() <= kScheme.size()) return std::nullopt;
  for (size_t i = 0; i < kScheme.size(); ++i) {
    char c = header[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kScheme[i]) return std::nullopt;
  }
  std::string_view token = header.substr(kScheme.size());
  if (token.front() != ' ') return std::nullopt;
  while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
  while (!token.empty() && token.back() == ' ') token.remove_suffix(1);
  // One token of base64 letters, then at most two '=' of padding that make
  // its length a multiple of four.
  size_t letters = 0;
  while (letters < token.size() && IsBase64Char(token[letters])) ++letters;
  const size_t padding = token.size() - letters;
  if (letters == 0 || padding > 2 || token.substr(letters).find_first_not_of('=') !=
                                         std::string_view::npos) {
    return std::nullopt;
  }
  if (padding > 0 && token.size() % 4 != 0) return std::nullopt;
  std::optional<std::string> decoded = DecodeBase64(token);
  if (!decoded || HasControlCharacter(*decoded)) return std::nullopt;
  const size_t colon = decoded->find(':');
  if (colon == std::string::npos || colon == 0) return std::nullopt;
  return Credentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

}  // namespace tomeva::server
