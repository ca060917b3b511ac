// Media types and download names of books.
#include "server/book_download.h"

#include <algorithm>

#include "common/utf8.h"
#include "server/request_path.h"

namespace tomeva::server {
namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool IsPlainAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '.' || c == '-' || c == '_' || c == ' ' || c == '(' || c == ')';
}

}  // namespace

std::string BookMediaType(std::string_view file_name) {
  const std::string lower = Utf8Lower(file_name);
  if (EndsWith(lower, ".zip") || EndsWith(lower, ".fbz")) return kZipMediaType;
  return kFb2MediaType;
}

std::string ContentDisposition(std::string_view file_name) {
  std::string ascii;
  for (size_t pos = 0; pos < file_name.size();) {
    const size_t length = std::max<size_t>(1, Utf8SequenceLength(file_name, pos));
    const unsigned char c = static_cast<unsigned char>(file_name[pos]);
    ascii += length == 1 && IsPlainAscii(c) ? static_cast<char>(c) : '_';
    pos += length;
  }
  return "attachment; filename=\"" + ascii + "\"; filename*=UTF-8''" + PercentEncoded(file_name);
}

}  // namespace tomeva::server
