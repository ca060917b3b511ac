// Book file storage in the library folder.
#include "books/book_storage.h"

#include "books/field_template.h"
#include "books/stored_names.h"
#include "catalog/statements.h"
#include "common/node_path.h"
#include "common/path_rules.h"
#include "common/text.h"
#include "platform/files.h"
#include "tree/path_resolution.h"
#include "tree/sql_template.h"

namespace tomeva::books {
namespace {

constexpr platform::PathStyle kStyle = platform::NativePathStyle();

bool FileExists(const std::string& path) { return platform::FileExists(path); }

}  // namespace

Result<std::string> BookDestination(const BookContext& ctx, std::string_view book_line,
                                    const std::string& current_file) {
  const std::string root = LibraryRoot(ctx);
  if (root.empty()) return Error{"the settings name no library folder"};
  const std::string root_dir = root + platform::Separator(kStyle);

  const std::string request =
      ExpandSqlFieldTemplate(GetPathText(ctx.view.settings_root, "requests/getbookpathreq"),
                             current_file, ctx.fields, book_line);
  const std::string relative = SafeRelativePath(catalog::QueryText(ctx.view.db, request));
  if (relative.empty()) return Error{"the catalog gives no place to store the book"};
  const std::string full = ResolvePath(kStyle, root_dir, relative);
  if (!IsInsideFolder(root, full)) {
    return Error{"the book's place lies outside the library folder: " + full};
  }
  const std::string destination = UniqueFileName(kStyle, full, FileExists);

  const std::string link =
      RelativeLinksOn(ctx) ? RelativePath(kStyle, root_dir, destination) : destination;
  const std::string& table = ctx.view.book_id_table;
  // The key as a literal of its own, as every value is: the statement then has
  // one shape for every book and is translated once, not once per key.
  const std::string update = "UPDATE " + table + " SET Link=" + tree::TextLiteral(link) +
                             " WHERE (" + catalog::WhereEqual(table, book_line) + ");";
  Status recorded = ctx.view.db->Execute(update);
  if (!recorded.ok()) return Error{"cannot record where the book is stored: " + recorded.message()};
  Status folders = platform::CreateFolders(std::string(FolderPart(kStyle, destination)));
  if (!folders.ok()) return folders.error();
  return destination;
}

Status PlaceBook(const std::string& working_copy, const std::string& destination,
                 OperationScope& scope) {
  return scope.PlaceFile(working_copy, destination);
}

std::string StoredFileInLibrary(const BookContext& ctx, std::string_view link) {
  if (link.empty()) return {};
  const std::string root = LibraryRoot(ctx);
  if (root.empty()) return {};
  std::string path = ResolvePath(kStyle, root, link);
  return IsInsideFolder(root, path) ? path : std::string();
}

Status OnDeleteCleanup(const BookContext& ctx, int32_t book_key, bool delete_files,
                       OperationScope& scope) {
  const std::string statement = GetPathText(ctx.view.settings_root, "requests/onDelete/delete");
  if (statement.empty()) return Status::Ok();
  catalog::Database* db = ctx.view.db;
  const std::string& table = ctx.view.book_id_table;
  const std::string& key_field = ctx.view.book_id_field;
  const std::string stored = delete_files ? StoredFileInLibrary(ctx, tree::BookFileOfId(ctx.view, book_key))
                                          : std::string();
  Status kept = db->KeepRowsExcept(table, key_field, book_key);
  if (!kept.ok()) return kept;
  Status cleaned = db->Execute(statement);
  Status ended = db->EndKeepRows();
  if (!cleaned.ok()) return Error{"the clean-up (requests/onDelete) failed: " + cleaned.message()};
  if (!ended.ok()) return ended;
  const int32_t remaining = catalog::QueryInt(
      db, "SELECT Count(*) FROM " + table + " WHERE " + table + "." + key_field + "=" +
              std::to_string(book_key) + ";");
  if (remaining < 0) return Error{"cannot read the catalog after the clean-up"};
  if (remaining == 0 && !stored.empty()) scope.DeleteAfterCommit(stored);
  return Status::Ok();
}

}  // namespace tomeva::books
