// The catalog rows of collection books, written in bulk: prepared statements
// with bound values and in-memory maps of the authors, genres and series the
// catalog already holds, so that each index line costs a few index probes and
// inserts. The rows are those an imported file gets (Books, Authors,
// BookAuthors, Genres, BookGenres, Series of the default catalog), plus the
// book's collection, archive, member and library id. Written through plain
// INSERTs, so whatever triggers the catalog has maintain their columns.
#ifndef TOMEVA_COLLECTIONS_COLLECTION_ROWS_H_
#define TOMEVA_COLLECTIONS_COLLECTION_ROWS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "catalog/database.h"
#include "collections/inp_line.h"
#include "common/result.h"

namespace tomeva::collections {

class CollectionRows {
 public:
  // Prepares the statements and reads the known keys. The collection row
  // (Collections) for folder and index_file is found or added and its name and
  // version updated; the caller holds a transaction around this.
  static Result<std::unique_ptr<CollectionRows>> Start(catalog::Database* db,
                                                       std::string_view folder,
                                                       std::string_view index_file,
                                                       std::string_view name,
                                                       std::string_view version);

  // The key of the collection's row.
  int64_t collection_id() const { return collection_id_; }
  // True when the collection already lists a book with lib_id.
  bool Has(std::string_view lib_id) const { return books_.count(std::string(lib_id)) != 0; }

  // Adds the book record describes, held as archive's member. Fails (writing
  // nothing the caller's savepoint does not undo) on an SQL error.
  Status Add(const InpRecord& record, std::string_view archive);
  // Removes the collection's book lib_id (its links go with it); false when
  // the collection has no such book.
  Result<bool> Remove(std::string_view lib_id);
  // Deletes authors, series and unnamed genres no book uses any more.
  Status RemoveOrphans();

 private:
  CollectionRows() = default;

  Result<int64_t> AuthorId(const InpAuthor& author);
  Result<int64_t> GenreId(std::string_view code);
  Result<int64_t> SeriesId(std::string_view name);
  Status LoadKnownKeys(catalog::Database* db);

  catalog::Database* db_ = nullptr;
  int64_t collection_id_ = 0;
  std::string added_;  // Books.Added of every book this import adds
  std::unique_ptr<catalog::BoundStatement> insert_book_;
  std::unique_ptr<catalog::BoundStatement> insert_author_;
  std::unique_ptr<catalog::BoundStatement> insert_genre_;
  std::unique_ptr<catalog::BoundStatement> insert_series_;
  std::unique_ptr<catalog::BoundStatement> link_author_;
  std::unique_ptr<catalog::BoundStatement> link_genre_;
  std::unique_ptr<catalog::BoundStatement> delete_book_;
  // Keys by folded names (letter case ignored, Cyrillic included).
  std::unordered_map<std::string, int64_t> authors_;
  std::unordered_map<std::string, int64_t> genres_;
  std::unordered_map<std::string, int64_t> series_;
  // The collection's books by library id.
  std::unordered_map<std::string, int64_t> books_;
};

}  // namespace tomeva::collections

#endif  // TOMEVA_COLLECTIONS_COLLECTION_ROWS_H_
