// The book file that an operation's content changes go into. With changecont
// on, deleting a book from a folder or moving it rewrites values inside its
// stored file; those writes go into a working copy, which takes the stored
// file's place only as part of the operation (journaled, undone when the
// operation fails), so that the stored file always says what the catalog says,
// even when the process is killed half way.
#ifndef TOMEVA_BOOKS_CONTENT_COPY_H_
#define TOMEVA_BOOKS_CONTENT_COPY_H_

#include <cstdint>
#include <string>

#include "books/book_context.h"
#include "books/operation_scope.h"
#include "common/result.h"

namespace tomeva::books {

// One operation's content file of one book. Plain data; the scope owns the copy.
class ContentCopy {
 public:
  // With changecont off or no stored file: file() is "" and nothing is
  // written. A stored file inside the library folder gets a working copy
  // (made now); one outside it is written in place, as the user keeps it.
  static Result<ContentCopy> Make(const BookContext& ctx, int32_t book_key,
                                  OperationScope& scope);

  // The file to write content changes into; "" when none are written.
  const std::string& file() const { return file_; }

  // Puts the working copy in the stored file's place (nothing to do without
  // one). Call only while the book is still in the catalog.
  Status PutInPlace(OperationScope& scope) const;

 private:
  std::string stored_;  // the stored file; "" when there is no working copy
  std::string file_;
};

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_CONTENT_COPY_H_
