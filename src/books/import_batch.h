// Importing many books at once (a folder copied in): the books are imported in
// batches of one catalog transaction each, so that the catalog commits once
// per batch rather than once per book. A book's result is given only after
// the transaction that holds it has ended, so a book reported imported is
// durable; a process killed while a batch is open leaves none of that batch's
// books in the catalog (the operation journal removes their files at the next
// operation), and none of them had been reported.
#ifndef TOMEVA_BOOKS_IMPORT_BATCH_H_
#define TOMEVA_BOOKS_IMPORT_BATCH_H_

#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
#include <string>

#include "books/book_context.h"
#include "books/book_import.h"

namespace tomeva::books {

// When a batch ends and commits: after this many books, or once it has been
// open this long (other processes wait for the catalog meanwhile), whichever
// comes first.
struct BatchLimits {
  size_t max_books = 256;
  std::chrono::milliseconds max_time{250};
};

// Progress of the book at index (percent as ImportBook reports it); true when
// the user asks to abort.
using BatchProgress = std::function<bool(size_t index, int percent)>;
// The result of the book at index, given once its batch has ended.
using BatchResult = std::function<void(size_t index, const Outcome<PutResult>& outcome)>;

// Imports local_names in order, in batches, as ImportBook would one by one:
// the same checks, the same rows and stored files, the same results, except
// that a book refused by the batch's commit (a full disk) gets kWriteError
// with the commit's reason. A failed book undoes its own changes only and ends
// its batch early. An abort (kAborted) ends the import after its batch: the
// books after it get no result.
void ImportBooks(BookContext& ctx, std::span<const std::string> local_names, CopyFlags flags,
                 const BatchProgress& progress, const BatchResult& on_result,
                 const BatchLimits& limits = {});

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_IMPORT_BATCH_H_
