// Book column values with a one-book memory.
#include "frame/column_values.h"

#include "tree/book_columns.h"
#include "tree/path_resolution.h"

namespace tomeva::frame {

const std::vector<std::string>& ColumnValuesOf(Session& session, std::string_view path) {
  if (session.last_columns && session.last_columns->path == path) {
    return session.last_columns->values;
  }
  Session::ColumnValues read;
  read.path = std::string(path);
  if (session.started() && session.catalog != nullptr) {
    const tree::CatalogView view = session.View();
    const int32_t book_id = tree::BookIdOfPath(view, path);
    if (book_id >= 0) read.values = tree::BookColumnValues(view, book_id);
  }
  session.last_columns = std::move(read);
  return session.last_columns->values;
}

}  // namespace tomeva::frame
