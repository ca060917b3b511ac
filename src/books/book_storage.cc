// Book file storage in the library folder.
#include "books/book_storage.h"

#include "books/field_template.h"
#include "books/stored_names.h"
#include "catalog/statements.h"
#include "common/node_path.h"
#include "common/path_rules.h"
#include "common/text.h"
#include "platform/files.h"
#include "tree/sql_template.h"

namespace tomeva::books {
namespace {

constexpr platform::PathStyle kStyle = platform::NativePathStyle();

bool FileExists(const std::string& path) { return platform::FileExists(path); }

}  // namespace

Result<std::string> MakeWorkingCopy(const BookContext& ctx, const std::string& local_name) {
  const std::string root = LibraryRoot(ctx);
  if (root.empty()) return Error{"the settings name no library folder"};
  Status folder = platform::CreateFolders(root);
  if (!folder.ok()) return folder.error();
  const std::string ext = CutComponent(WithoutControlCharacters(FileExtension(kStyle, local_name)),
                                       kMaxComponentBytes - 8);
  const std::string copy =
      UniqueFileName(kStyle, root + platform::Separator(kStyle) + "tmp" + ext, FileExists);
  Status copied = platform::CopyFile(local_name, copy, platform::Overwrite::kNo);
  if (!copied.ok()) return copied.error();
  return copy;
}

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
  const std::string update = "UPDATE " + table + " SET Link=" + tree::TextLiteral(link) +
                             " WHERE (" + table + "." + std::string(book_line) + ");";
  if (catalog::ExecSql(ctx.view.db, update) != catalog::WriteStatus::kRan) {
    return Error{"cannot record where the book is stored"};
  }
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

void OnDeleteCleanup(const BookContext& ctx, bool delete_files, OperationScope& scope) {
  if (delete_files) {
    std::unique_ptr<catalog::ResultSet> rows = catalog::OpenQuery(
        ctx.view.db, GetPathText(ctx.view.settings_root, "requests/onDelete/select"));
    while (rows && !rows->AtEnd()) {
      std::string file = StoredFileInLibrary(ctx, rows->Text(0));
      if (!file.empty()) scope.DeleteAfterCommit(std::move(file));
      if (!rows->Next().ok()) break;
    }
  }
  const std::string statement = GetPathText(ctx.view.settings_root, "requests/onDelete/delete");
  if (!statement.empty()) (void)catalog::ExecSql(ctx.view.db, statement);
}

}  // namespace tomeva::books
