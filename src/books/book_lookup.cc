// Virtual paths to books.
#include "books/book_lookup.h"

#include "tree/path_resolution.h"

namespace tomeva::books {

bool IsBookPath(std::string_view path) { return !path.empty() && path.back() != '\\'; }

int32_t BookKeyOfPath(const BookContext& ctx, std::string_view path) {
  return IsBookPath(path) ? tree::BookIdOfPath(ctx.view, path) : -1;
}

std::string StoredFileOfPath(const BookContext& ctx, std::string_view path) {
  return IsBookPath(path) ? tree::BookFileOfPath(ctx.view, path) : std::string();
}

}  // namespace tomeva::books
