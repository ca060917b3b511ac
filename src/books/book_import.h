// Book import: a file copied into the virtual tree becomes a book of the
// catalog. Where it is shown follows from its metadata only, so the target
// path plays no part. The file is checked against the settings' detect string,
// looked up with requests/bookexists, its rows and the rows of its
// multi-valued properties (authors, genres) are written from the property
// definitions, and with storefiles on it is stored in the library folder.
#ifndef TOMEVA_BOOKS_BOOK_IMPORT_H_
#define TOMEVA_BOOKS_BOOK_IMPORT_H_

#include <string>
#include <string_view>

#include "books/book_context.h"
#include "books/operation_scope.h"

namespace tomeva::books {

// The outcome of an import.
enum class PutResult {
  kOk,            // the book is in the catalog (and stored)
  kExists,        // the same book is already there and overwrite was not asked for
  kWriteError,    // the import failed; the catalog and the library are as before
  kAborted,       // the user aborted; the catalog and the library are as before
  kNotSupported,  // the detect string refuses the file; nothing was touched
};

// The most values one multi-valued property takes from one book.
inline constexpr int kMaxMultiValues = 1000;

// Imports local_name. The whole import is one transaction: any failure, and an
// abort at 0 % or 5 %, rolls the catalog back and removes every file the
// import made. The user's file is never changed or deleted: with storefiles
// on, metadata is read from and written back (changecont) into a working copy
// that is then moved to the book's destination; with storefiles off, content
// write-back happens only when flags.move says the user handed the file over.
// A book already in the catalog gives kExists, or with flags.overwrite is
// updated in place (same key) and its old stored file replaced. Progress is
// reported at 0, 5 and 100 %; an abort at 100 % no longer undoes the import.
// The outcome's reason says why an import did not succeed.
//
// With enclosing (an open scope of a batch, see import_batch.h) the import is
// a nested transaction of the batch's: kOk then means the book is ready to be
// made durable by the batch's Commit, and any other result has undone the
// book's own changes alone.
Outcome<PutResult> ImportBook(BookContext& ctx, const std::string& local_name,
                              std::string_view remote_name, CopyFlags flags,
                              OperationScope* enclosing = nullptr);

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_BOOK_IMPORT_H_
