// Book retrieval and preview: a book of the virtual tree stands for the file
// the catalog stores for it. Copying it out, naming it for a preview and
// opening it in place all turn the virtual path into the stored file's
// absolute path and work on the local file system only; the catalog is read,
// never changed.
#ifndef TOMEVA_BOOKS_BOOK_RETRIEVAL_H_
#define TOMEVA_BOOKS_BOOK_RETRIEVAL_H_

#include <optional>
#include <string>
#include <string_view>

#include "books/book_context.h"

namespace tomeva::books {

// The outcome of copying a book out.
enum class GetResult {
  kOk,         // local_name holds a complete copy of the stored file
  kExists,     // local_name exists and overwrite was not asked for; nothing done
  kAborted,    // the user aborted (at 0 %: nothing copied; at 100 %: the copy stays)
  kNotFound,   // remote_name names no book
  kReadError,  // the book has no stored file, or the copy failed; no partial target
  kWriteError,  // local_name's folder does not exist or cannot be written; nothing done
};

// Copies the stored file of the book remote_name names to local_name. Without
// flags.overwrite an existing local_name gives kExists before anything else,
// with no progress report; so does a target folder that is missing or not
// writable, as kWriteError. Progress is reported at 0 and 100 %. flags.move
// and flags.resume are ignored: the book stays in the catalog and in place.
GetResult CopyBookOut(BookContext& ctx, std::string_view remote_name, const std::string& local_name,
                      CopyFlags flags);

// The absolute path of the stored file of the book remote_name names; "" when
// it names no book (a folder, a path no definition matches, a book without
// Link).
std::string LocalFileOf(BookContext& ctx, std::string_view remote_name);

// LocalFileOf when a file exists there (the host then takes the thumbnail from
// it); nullopt otherwise.
std::optional<std::string> PreviewFileOf(BookContext& ctx, std::string_view remote_name);

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_BOOK_RETRIEVAL_H_
