// What the book operations receive from the session: the catalog view (database,
// settings, folder and file definitions), the content field host and the host's
// progress callback, plus the settings they read on every call (the library
// folder and the flags storefiles, root/@relative and changecont).
#ifndef TOMEVA_BOOKS_BOOK_CONTEXT_H_
#define TOMEVA_BOOKS_BOOK_CONTEXT_H_

#include <functional>
#include <string>

#include "catalog/content_field_access.h"
#include "catalog/property_tree.h"
#include "tree/catalog_view.h"

namespace tomeva::books {

class JournalKeeper;

// The session state one book operation works on. Borrowed for one call.
struct BookContext {
  tree::CatalogView view;  // db, settings root, folders, files, book table/key
  catalog::ContentFieldAccess* fields = nullptr;  // the session's field host; null: no fields
  std::function<bool(int percent)> progress;      // reports progress; true = user aborts
  std::function<void(const std::string&)> log_error;  // tells the host why; may be empty
  JournalKeeper* journals = nullptr;  // the session's journal between operations; null: none kept
};

// How an operation ended: its result and, when it did not succeed, why, in
// words a user can act on ("the catalog is busy: ...", "the disk is full").
template <typename Code>
struct Outcome {
  Code code;
  std::string reason;  // empty on success
};

// The host's copy flags as the operations understand them.
struct CopyFlags {
  bool overwrite = false;  // an existing target may be replaced
  bool resume = false;     // never acted on: copies always start from the beginning
  bool move = false;       // the host hands the file over (a move, not a copy)
};

// Reports percent through the progress callback; true when the user asks to
// abort. Without a callback nothing is reported and nothing aborts.
bool ReportProgress(const BookContext& ctx, int percent);

// The property tree context (database, settings, book table, fields) of ctx.
catalog::PropertyContext PropertyContextOf(const BookContext& ctx);

// True when the settings flag at path below the settings root is on: its text
// is exactly "-1".
bool SettingFlagOn(const BookContext& ctx, std::string_view path);
// The flag storefiles: the library keeps its own copy of every book.
bool StoreFilesOn(const BookContext& ctx);
// The flag root/@relative: Links are stored relative to the library folder.
bool RelativeLinksOn(const BookContext& ctx);

// The library folder (settings "root") as an absolute, normalised path without
// a trailing separator; "" when the settings name none.
std::string LibraryRoot(const BookContext& ctx);

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_BOOK_CONTEXT_H_
