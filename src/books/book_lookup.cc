// Virtual paths to books.
#include "books/book_lookup.h"

#include "catalog/statements.h"
#include "common/node_path.h"
#include "tree/path_resolution.h"

namespace tomeva::books {

bool IsBookPath(std::string_view path) { return !path.empty() && path.back() != '\\'; }

int32_t BookKeyOfPath(const BookContext& ctx, std::string_view path) {
  return IsBookPath(path) ? tree::BookIdOfPath(ctx.view, path) : -1;
}

std::string StoredFileOfPath(const BookContext& ctx, std::string_view path) {
  return IsBookPath(path) ? tree::BookFileOfPath(ctx.view, path) : std::string();
}

bool BookExists(const BookContext& ctx, int32_t key) {
  const std::string& table = ctx.view.book_id_table;
  return catalog::QueryInt(ctx.view.db, "SELECT Count(*) FROM " + table + " WHERE " + table + "." +
                                            ctx.view.book_id_field + "=" + std::to_string(key) +
                                            ";") > 0;
}

std::string BookState(const BookContext& ctx, int32_t key) {
  if (!BookExists(ctx, key)) return {};
  const std::string id = std::to_string(key);
  std::string state = catalog::SelectRowParams(ctx.view.db, ctx.view.book_id_table,
                                               ctx.view.book_id_field + "=" + id);
  XmlNode properties = ctx.view.settings_root.FirstChildElement("properties");
  for (XmlNode multi : properties.ChildElements()) {
    if (multi.Name() != "multi") continue;
    const std::string link_table = GetPathText(multi, "linktable");
    if (link_table.empty()) continue;
    // The link tables' book column is BookId, as in every book line.
    std::unique_ptr<catalog::ResultSet> rows = catalog::OpenQuery(
        ctx.view.db, "SELECT * FROM " + link_table + " WHERE BookId=" + id + " ORDER BY 1, 2;");
    state += "[" + link_table + "]";
    while (rows && !rows->AtEnd()) {
      for (int i = 0; i < rows->ColumnCount(); ++i) state += rows->Text(i) + ",";
      state += ";";
      if (!rows->Next().ok()) break;
    }
  }
  return state;
}

}  // namespace tomeva::books
