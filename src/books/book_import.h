// Book import: a file copied into the virtual tree becomes a book of the
// catalog. Where it is shown follows from its metadata only, so the target
// path plays no part. The file is checked against the settings' detect string,
// looked up with requests/bookexists, its rows and the rows of its
// multi-valued properties (authors, genres) are written from the property
// definitions, and with storefiles on it is stored in the library folder.
#ifndef TOMEVA_BOOKS_BOOK_IMPORT_H_
#define TOMEVA_BOOKS_BOOK_IMPORT_H_

#include <optional>
#include <string>
#include <string_view>

#include "books/book_context.h"
#include "books/operation_scope.h"
#include "common/result.h"
#include "common/xml_document.h"

namespace tomeva::books {

// The outcome of an import.
enum class PutResult {
  kOk,            // the book is in the catalog (and stored)
  kExists,        // the same book is already there and overwrite was not asked for
  kWriteError,    // the import failed; the catalog and the library are as before
  kAborted,       // the user aborted; the catalog and the library are as before
  kNotSupported,  // the detect string refuses the file; nothing was touched
};

// What can be done for a book's import before its turn, apart from the
// catalog (on another thread, while the catalog takes the books before it):
// the file looked at, its header parsed, its working copy made.
struct PreparedBook {
  bool exists = false;                    // a regular file
  bool other_kind = false;                // a path that is no regular file
  std::optional<std::string> stamp;       // the file's stamp when parsed
  Result<std::optional<XmlDocument>> header = std::optional<XmlDocument>();
  std::string working_copy;               // the copy made (empty: none asked for)
  Status copied;                          // how making the copy went
  std::optional<std::string> stamp_after;  // the file's stamp once copied
};

// Prepares local_name: when it exists, parses its header and, when
// working_copy is not empty, copies it there (a name the import's scope has
// journaled, see OperationScope::ReserveWorkingCopy). Touches no catalog and
// no session state, so it may run on any thread.
PreparedBook PrepareBook(const std::string& local_name, const std::string& working_copy);

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
// book's own changes alone. With prepared (PrepareBook of local_name) its file
// work is taken from there instead of being done again.
Outcome<PutResult> ImportBook(BookContext& ctx, const std::string& local_name,
                              std::string_view remote_name, CopyFlags flags,
                              OperationScope* enclosing = nullptr,
                              PreparedBook* prepared = nullptr);

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_BOOK_IMPORT_H_
