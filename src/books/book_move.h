// Move and rename inside the virtual tree. A folder is a set of values, so
// moving a book gives it the target folder's values in place of the source
// folder's, copying adds the target's values, and renaming changes what the
// file name carries (a title). Link rows and book columns change; no file
// moves on disk.
#ifndef TOMEVA_BOOKS_BOOK_MOVE_H_
#define TOMEVA_BOOKS_BOOK_MOVE_H_

#include <string>
#include <string_view>

#include "books/book_context.h"

namespace tomeva::books {

// The outcome of a move or copy.
enum class MoveResult {
  kOk,          // done
  kExists,      // a copy to where the book already is: nothing to add
  kWriteError,  // the old path names no book, the new one no values, the change
                // would change nothing, or it failed; nothing changed
  kAborted,     // the user aborted at 0 %; nothing changed
};

// Cuts the path components both paths end with: when the common tail of the
// two texts holds a "\", both are cut just after its leftmost "\" (and become
// the folders that differ); otherwise, as when the file names differ, both
// stay whole. \G\Poetry\Ode.fb2 and \G\Drama\Ode.fb2 give \G\Poetry\ and
// \G\Drama\.
void StripCommonTail(std::string& old_path, std::string& new_path);

// The value that clears a book column a move takes away: "0" for a counter
// column (its name ends in "No", as SerNo), else "" (NULL).
std::string ClearedColumnValue(std::string_view column);

// Moves (move = true, also a rename) or copies the book old_name names to
// new_name, as one transaction: the property lists of the two paths (after
// StripCommonTail) are applied (a copy adds the new values; a move replaces
// each old value by the new one of the same property, removes or clears old
// values without a new one, and adds the rest; with changecont each change
// is also written into the stored file), then the clean-up runs
// (OnDeleteCleanup with storefiles; its file deletions wait for the commit).
// Progress is reported at 0 % (abort possible) and 100 % (not examined).
// Refused, changing nothing: a new path that names no folder or stands for no
// value, a new name that names another book, and a change that would leave
// the book as it was (a copy there gives kExists). A book column that the old
// file name carried (a title) is kept when the book moves to a folder that
// does not carry it.
Outcome<MoveResult> MoveOrCopyBook(BookContext& ctx, std::string_view old_name,
                                   std::string_view new_name, bool move);

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_BOOK_MOVE_H_
