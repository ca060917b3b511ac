// Book file storage: with the settings flag storefiles on, the library keeps
// its own copy of every book. An import reads and changes a working copy in
// the library folder (OperationScope::MakeWorkingCopy), the settings request getbookpathreq decides from the
// book's catalog data where the book is stored, the book's Link records that
// place, and the working copy is moved there. The clean-up after deletions and
// moves runs the settings' onDelete statements and removes the stored file of
// the book they drop. No stored file is ever created, moved or deleted
// outside the library folder.
#ifndef TOMEVA_BOOKS_BOOK_STORAGE_H_
#define TOMEVA_BOOKS_BOOK_STORAGE_H_

#include <string>
#include <string_view>

#include "books/book_context.h"
#include "books/operation_scope.h"
#include "common/result.h"

namespace tomeva::books {

// The absolute path at which the book of book_line ("BookId=42") is stored:
// requests/getbookpathreq, its names filled from book_line and from the
// content fields of current_file (each value quoted for its place in the
// SQL), gives the path below the library folder; it is made safe
// (SafeRelativePath), resolved against the library folder and numbered ("01"
// before the extension) when a file of that name exists. Writes the book's
// Link (relative to the library folder when root/@relative is on) and creates
// the destination's folders. Fails, writing no Link, when the request gives
// nothing or a path outside the library folder; fails when the Link cannot be
// written or the folders cannot be made.
Result<std::string> BookDestination(const BookContext& ctx, std::string_view book_line,
                                    const std::string& current_file);

// Moves the working copy to destination, never replacing a file there; scope
// deletes it again when the operation fails.
Status PlaceBook(const std::string& working_copy, const std::string& destination,
                 OperationScope& scope);

// The catalog clean-up after a deletion or a move of the book with key
// book_key: the statements of requests/onDelete/delete (several,
// ";"-separated, are allowed; an empty text runs nothing) remove what the
// operation left without purpose (authors, series without books; the book
// itself when it has no author left). They may remove no other book: while
// they run, deletions of other books are skipped. When the book itself is
// removed and delete_files is set, its stored file (inside the library
// folder) is deleted once scope commits. Fails when a statement fails.
Status OnDeleteCleanup(const BookContext& ctx, int32_t book_key, bool delete_files,
                       OperationScope& scope);

// The absolute path of a stored file recorded as link (resolved against the
// library folder) when it lies inside the library folder; "" otherwise.
std::string StoredFileInLibrary(const BookContext& ctx, std::string_view link);

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_BOOK_STORAGE_H_
