// Book deletion. The folder a book is deleted from decides what goes: a folder
// that stands for a linked property (a genre, an author) only takes the book
// out of that folder, by removing those link rows; any other folder (titles,
// years) deletes the book itself, its row and, with storefiles on, its stored
// file. The settings' clean-up then removes what was left without purpose.
#ifndef TOMEVA_BOOKS_BOOK_DELETION_H_
#define TOMEVA_BOOKS_BOOK_DELETION_H_

#include <string>
#include <string_view>

#include "books/book_context.h"

namespace tomeva::books {

// The path whose values decide what a deletion of remote_name touches: the
// folder part (up to and including the last "\"), except under "\По авторам",
// where the whole file path is used so the author captured from the file name
// counts too.
std::string DeletionResolutionPath(std::string_view remote_name);

// Deletes the book remote_name names, as one transaction: link rows of the
// path's linked properties (with changecont, those values are also emptied in
// the stored file), or the whole book when there is none; then the clean-up
// (OnDeleteCleanup with storefiles), whose file deletions, like the book's own
// stored file, happen only after the catalog changes are committed. The
// clean-up runs once more after a whole book is deleted, so that the authors
// and series it leaves without books go at once. No other book is ever
// removed. False, with nothing changed and the reason told, when the path
// names no book or anything fails (a catalog write, the stored file's change).
Outcome<bool> DeleteBook(BookContext& ctx, std::string_view remote_name);

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_BOOK_DELETION_H_
