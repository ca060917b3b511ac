// Book metadata shown beside each book as the host's custom columns: authors,
// title, series and number, genres, year, language, publisher, ISBN and the
// stored file. Every value is read from the catalog (the default catalog's
// Books, Authors, Series and Genres tables), never from the book file, so a
// folder of thousands of books shows its columns at the speed of a listing.
#ifndef TOMEVA_TREE_BOOK_COLUMNS_H_
#define TOMEVA_TREE_BOOK_COLUMNS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tree/catalog_view.h"

namespace tomeva::tree {

// What a column's value is: text, or a whole number the host sorts as one.
enum class ColumnKind { kText, kNumber };

// One column: the field name the host lists (and the column set refers to) and
// the kind of its values.
struct BookColumn {
  std::string_view name;
  ColumnKind kind;
};

// The columns in the order the host numbers them (from 0). Fixed: the host asks
// for them before the session has read its settings.
std::span<const BookColumn> BookColumns();

// The columns a user sees at once beside a book (authors, series, year), in the
// order they are shown.
std::span<const BookColumn> DefaultColumns();

// The values of every column for the book with key book_id, in BookColumns
// order; an empty text is an empty value. Several authors or genres are joined
// with ", " (authors in the order the catalog linked them, genres by name, a
// genre without a name by its code); a number column holds at most nine digits
// (an int32) and is empty for 0, no value or anything else. Empty values throughout when book_id is not a book.
std::vector<std::string> BookColumnValues(const CatalogView& view, int32_t book_id);

}  // namespace tomeva::tree

#endif  // TOMEVA_TREE_BOOK_COLUMNS_H_
