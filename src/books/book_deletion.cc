// Book deletion.
#include "books/book_deletion.h"

#include <exception>

#include "books/book_lookup.h"
#include "books/book_storage.h"
#include "books/content_copy.h"
#include "books/operation_scope.h"
#include "catalog/property_tree.h"
#include "catalog/statements.h"
#include "tree/path_resolution.h"

namespace tomeva::books {
namespace {

// Folders under this one show authors; their file names carry the author too.
constexpr std::string_view kByAuthors = "\\По авторам";

using Deletion = Outcome<bool>;

Deletion Refused(std::string reason) { return {false, std::move(reason)}; }

Deletion Delete(BookContext& ctx, std::string_view remote_name) {
  const int32_t key = BookKeyOfPath(ctx, remote_name);
  if (key < 0) return Refused("no book of the library is listed under this name");
  const catalog::PropertyContext property_ctx = PropertyContextOf(ctx);
  const bool store_files = StoreFilesOn(ctx);
  if (ctx.fields != nullptr) ctx.fields->ForgetReadFiles();
  // The book line's key name is fixed: it also names the link tables' book column.
  const std::string book_line = "BookId=" + std::to_string(key);

  OperationScope scope(ctx.view.db, LibraryRoot(ctx), ctx.journals);
  if (Status begun = scope.Begin(); !begun.ok()) return Refused(begun.message());
  const std::string values =
      tree::ResolveVirtualPath(ctx.view, DeletionResolutionPath(remote_name)).value_or("");
  Result<catalog::BookProperties> properties =
      catalog::BuildPropertyTree(property_ctx, values, book_line);
  if (!properties.ok()) return Refused(properties.message());
  bool has_links = false;
  for (const catalog::BookProperty& p : *properties) {
    has_links = has_links || p.kind == catalog::BookProperty::Kind::kLink;
  }
  if (has_links) {
    Result<ContentCopy> content = ContentCopy::Make(ctx, key, scope);
    if (!content.ok()) return Refused(content.message());
    for (const catalog::BookProperty& p : *properties) {
      if (p.kind != catalog::BookProperty::Kind::kLink) continue;
      if (Status removed = catalog::RemoveLink(property_ctx, p, content->file()); !removed.ok()) {
        return Refused(removed.message());
      }
    }
    if (Status cleaned = OnDeleteCleanup(ctx, key, store_files, scope); !cleaned.ok()) {
      return Refused(cleaned.message());
    }
    // The clean-up may have removed the book (its last author went): its
    // file is then deleted, else it takes the changed content.
    if (BookExists(ctx, key)) {
      if (Status placed = content->PutInPlace(scope); !placed.ok()) return Refused(placed.message());
    }
  } else {
    if (store_files) {
      std::string own_file = StoredFileInLibrary(ctx, tree::BookFileOfId(ctx.view, key));
      if (!own_file.empty()) scope.DeleteAfterCommit(std::move(own_file));
    }
    const std::string& table = ctx.view.book_id_table;
    const std::string statement = "DELETE " + table + ".* FROM " + table + " WHERE (" + table +
                                  "." + ctx.view.book_id_field + "=" + std::to_string(key) + ");";
    if (Status deleted = ctx.view.db->Execute(statement); !deleted.ok()) {
      return Refused("cannot delete the book: " + deleted.message());
    }
    if (Status cleaned = OnDeleteCleanup(ctx, key, store_files, scope); !cleaned.ok()) {
      return Refused(cleaned.message());
    }
  }
  if (Status committed = scope.Commit(); !committed.ok()) return Refused(committed.message());
  return {true, ""};
}

}  // namespace

std::string DeletionResolutionPath(std::string_view remote_name) {
  // "\По авторам" is 11 characters; as UTF-8 bytes the prefix compares the same.
  if (remote_name.substr(0, kByAuthors.size()) == kByAuthors) return std::string(remote_name);
  const size_t last = remote_name.rfind('\\');
  return last == std::string_view::npos ? std::string()
                                        : std::string(remote_name.substr(0, last + 1));
}

Outcome<bool> DeleteBook(BookContext& ctx, std::string_view remote_name) {
  try {
    return Delete(ctx, remote_name);
  } catch (const std::exception& e) {
    return {false, e.what()};  // the scope has rolled back
  }
}

}  // namespace tomeva::books
