// Fuzz target of what the server makes of request bytes (server/request_path.h,
// markup.h, book_download.h, book_cover.h): for any input
//   - VirtualPathOfRequest either refuses it or gives a path whose names are
//     never "." or "..", hold no NUL, control character or "\", and which
//     UrlOfVirtualPath writes with nothing but unreserved bytes, "%" and "/";
//   - Escaped leaves no "<", ">" or "\"" and no byte below 0x20 but TAB, LF, CR;
//   - ContentDisposition keeps its ASCII name free of quotes, "\" and line breaks;
//   - DecodeBase64 never reads or writes out of bounds.
// A broken promise aborts, so libFuzzer reports it with the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "server/book_cover.h"
#include "server/book_download.h"
#include "server/markup.h"
#include "server/request_path.h"

namespace {

using namespace tomeva::server;

void Check(bool promise) {
  if (!promise) std::abort();
}

void CheckVirtualPath(std::string_view input) {
  std::string path;
  if (VirtualPathOfRequest(input, path) != PathCheck::kOk) return;
  Check(!path.empty() && path.front() == '\\');
  std::string_view rest = std::string_view(path).substr(1);
  while (!rest.empty()) {
    const size_t separator = rest.find('\\');
    const std::string_view name = rest.substr(0, separator);
    rest = separator == std::string_view::npos ? std::string_view() : rest.substr(separator + 1);
    Check(!name.empty() && name != "." && name != "..");
    for (unsigned char c : name) Check(c >= 0x20 && c != 0x7f);
  }
  for (unsigned char c : UrlOfVirtualPath("/get", path)) {
    Check((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
          c == '-' || c == '.' || c == '_' || c == '~' || c == '%' || c == '/');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckVirtualPath(input);
  for (unsigned char c : Escaped(input)) {
    Check(c != '<' && c != '>' && c != '"' && (c >= 0x20 || c == '\t' || c == '\n' || c == '\r'));
  }
  const std::string disposition = ContentDisposition(input);
  const size_t open = disposition.find("filename=\"") + 10;
  const size_t close = disposition.find("\"; filename*=");
  Check(close != std::string::npos && close >= open);
  for (unsigned char c : std::string_view(disposition).substr(open, close - open)) {
    Check(c >= 0x20 && c < 0x7f && c != '"' && c != '\\');
  }
  (void)DecodeBase64(input);
  return 0;
}
