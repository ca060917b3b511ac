// Which book a virtual path names. Only file paths name books: a folder path
// (ending with "\") stands for the folder's values and names no book, even
// though the folder's values would match the books listed in it.
#ifndef TOMEVA_BOOKS_BOOK_LOOKUP_H_
#define TOMEVA_BOOKS_BOOK_LOOKUP_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "books/book_context.h"

namespace tomeva::books {

// True when path can name a book: not empty and not ending with "\".
bool IsBookPath(std::string_view path);

// The key of the book path names (tree::BookIdOfPath); -1 for a folder path,
// a path no file definition matches and a book not in the catalog.
int32_t BookKeyOfPath(const BookContext& ctx, std::string_view path);

// The absolute path of the stored file of the book path names
// (tree::BookFileOfPath); "" for a folder path and when there is none.
std::string StoredFileOfPath(const BookContext& ctx, std::string_view path);

// True when the catalog holds the book with key key.
bool BookExists(const BookContext& ctx, int32_t key);

// Everything the catalog records of the book with key key, as text: its row
// and its rows in every link table of the settings' multi-valued properties.
// Equal texts before and after an operation mean it changed nothing of the
// book; "" when the book is not there.
std::string BookState(const BookContext& ctx, int32_t key);

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_BOOK_LOOKUP_H_
