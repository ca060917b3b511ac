// Book deletion.
#include "books/book_deletion.h"

#include <exception>

#include "books/book_lookup.h"
#include "books/book_storage.h"
#include "books/operation_scope.h"
#include "catalog/property_tree.h"
#include "catalog/statements.h"
#include "tree/path_resolution.h"

namespace tomeva::books {
namespace {

// Folders under this one show authors; their file names carry the author too.
constexpr std::string_view kByAuthors = "\\По авторам";

bool Delete(BookContext& ctx, std::string_view remote_name) {
  const int32_t key = BookKeyOfPath(ctx, remote_name);
  if (key < 0) return false;
  const catalog::PropertyContext property_ctx = PropertyContextOf(ctx);
  const bool store_files = StoreFilesOn(ctx);
  const std::string content_file =
      catalog::ChangeContentOn(property_ctx) ? tree::BookFileOfId(ctx.view, key) : std::string();
  // The book line's key name is fixed: it also names the link tables' book column.
  const std::string book_line = "BookId=" + std::to_string(key);

  OperationScope scope(ctx.view.db, LibraryRoot(ctx), ctx.journals);
  if (!scope.Begin().ok()) return false;
  const std::string values =
      tree::ResolveVirtualPath(ctx.view, DeletionResolutionPath(remote_name)).value_or("");
  Result<catalog::BookProperties> properties =
      catalog::BuildPropertyTree(property_ctx, values, book_line);
  if (!properties.ok()) return false;
  bool removed_link = false;
  for (const catalog::BookProperty& p : *properties) {
    if (p.kind != catalog::BookProperty::Kind::kLink) continue;
    catalog::RemoveLink(property_ctx, p, content_file);
    removed_link = true;
  }
  OnDeleteCleanup(ctx, store_files, scope);
  if (!removed_link) {
    if (store_files) {
      std::string own_file = StoredFileInLibrary(ctx, tree::BookFileOfId(ctx.view, key));
      if (!own_file.empty()) scope.DeleteAfterCommit(std::move(own_file));
    }
    const std::string& table = ctx.view.book_id_table;
    const std::string statement = "DELETE " + table + ".* FROM " + table + " WHERE (" + table +
                                  "." + ctx.view.book_id_field + "=" + std::to_string(key) + ");";
    if (catalog::ExecSql(ctx.view.db, statement) != catalog::WriteStatus::kRan) return false;
    OnDeleteCleanup(ctx, store_files, scope);
  }
  return scope.Commit().ok();
}

}  // namespace

std::string DeletionResolutionPath(std::string_view remote_name) {
  // "\По авторам" is 11 characters; as UTF-8 bytes the prefix compares the same.
  if (remote_name.substr(0, kByAuthors.size()) == kByAuthors) return std::string(remote_name);
  const size_t last = remote_name.rfind('\\');
  return last == std::string_view::npos ? std::string()
                                        : std::string(remote_name.substr(0, last + 1));
}

bool DeleteBook(BookContext& ctx, std::string_view remote_name) {
  try {
    return Delete(ctx, remote_name);
  } catch (const std::exception&) {
    return false;  // the scope has rolled back
  }
}

}  // namespace tomeva::books
