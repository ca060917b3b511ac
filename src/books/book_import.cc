// Book import.
#include "books/book_import.h"

#include <exception>
#include <optional>

#include "books/book_storage.h"
#include "books/field_template.h"
#include "books/import_check.h"
#include "books/operation_scope.h"
#include "books/property_rows.h"
#include "catalog/property_tree.h"
#include "catalog/statements.h"
#include "common/node_path.h"
#include "common/params.h"
#include "common/text.h"
#include "platform/files.h"
#include "tree/path_resolution.h"

namespace tomeva::books {
namespace {

// Deletes the working copy when the import ends without placing it.
class WorkingCopy {
 public:
  WorkingCopy() = default;
  ~WorkingCopy() {
    if (!path_.empty()) (void)platform::DeleteFile(path_);
  }
  WorkingCopy(const WorkingCopy&) = delete;
  WorkingCopy& operator=(const WorkingCopy&) = delete;

  void Own(std::string path) { path_ = std::move(path); }
  // The file has moved on (placed): nothing to delete any more.
  void Release() { path_.clear(); }

 private:
  std::string path_;
};

// Writes the link rows of every multi element of properties for the book of
// book_line. With write_back, the file's occurrences follow the catalog: a new
// value is rewritten in the catalog's form, a value the book already has (a
// duplicate within the file) is removed from the file and the same index read
// again.
Status WriteMultiValues(const BookContext& ctx, XmlNode properties, const std::string& file,
                        std::string_view book_line, bool write_back) {
  const catalog::PropertyContext property_ctx = PropertyContextOf(ctx);
  for (XmlNode multi : properties.ChildElements()) {
    if (multi.Name() != "multi") continue;
    XmlNode id = multi.FirstChildElement("id");
    if (!id) continue;
    const std::string link_table = GetPathText(multi, "linktable");
    int k = 0;
    Result<std::string> value_line = BuildRows(ctx, id, file, k);
    // Bounded: an id with a constant field never runs out of values, and a
    // duplicate the file write does not remove would be read again forever.
    for (int step = 0; step < kMaxMultiValues; ++step) {
      if (!value_line.ok()) return value_line.error();
      if (value_line->empty()) break;
      const std::string link = *value_line + std::string(kCrLf) + std::string(book_line);
      const catalog::InsertIfMissingResult inserted =
          catalog::InsertIfMissing(ctx.view.db, link_table, link);
      if (write_back && inserted == catalog::InsertIfMissingResult::kInserted) {
        catalog::WriteBackFields(property_ctx, id, file, *value_line, k);
      } else if (write_back && inserted == catalog::InsertIfMissingResult::kExists) {
        catalog::WriteBackFields(property_ctx, id, file,
                                 std::string(TextBeforeChar(*value_line, '=')) + "=-1", k);
        --k;
      }
      ++k;
      value_line = BuildRows(ctx, id, file, k);
    }
  }
  return Status::Ok();
}

PutResult Import(BookContext& ctx, const std::string& local_name, CopyFlags flags) {
  XmlNode properties = ctx.view.settings_root.FirstChildElement("properties");
  if (!IsImportable(local_name, GetPathText(properties, "detectstring"))) {
    return PutResult::kNotSupported;
  }
  if (!platform::FileExists(local_name) || !IsReadableBook(local_name)) {
    return PutResult::kWriteError;
  }
  const bool store_files = StoreFilesOn(ctx);
  // The user's own file is only rewritten when the user handed it over (a
  // move); otherwise, with storefiles off, content write-back is skipped.
  const bool write_back = catalog::ChangeContentOn(PropertyContextOf(ctx)) &&
                          (store_files || flags.move) && ctx.fields != nullptr;

  OperationScope scope(ctx.view.db, LibraryRoot(ctx), ctx.journals);
  WorkingCopy working_copy;
  std::string current_file = local_name;
  if (store_files) {
    scope.SettleInterrupted();
    Result<std::string> copy = MakeWorkingCopy(ctx, local_name);
    if (!copy.ok()) return PutResult::kWriteError;
    current_file = *copy;
    working_copy.Own(current_file);
    if (!scope.AddWorkingCopy(current_file).ok()) return PutResult::kWriteError;
  }
  if (ReportProgress(ctx, 0)) return PutResult::kAborted;

  XmlNode book = NodeByPath(properties, "simple/id", /*create=*/false);
  if (!book) return PutResult::kWriteError;
  const int32_t existing = catalog::QueryInt(
      ctx.view.db,
      ExpandSqlFieldTemplate(GetPathText(ctx.view.settings_root, "requests/bookexists"),
                             current_file, ctx.fields));
  if (existing != -1 && !flags.overwrite) return PutResult::kExists;

  if (!scope.Begin().ok()) return PutResult::kWriteError;
  std::string key_line;
  if (existing != -1) {
    const std::optional<std::string> key_name = book.Attribute("name");
    if (!key_name) return PutResult::kWriteError;
    key_line = *key_name + "=" + std::to_string(existing);
    if (store_files) {
      const std::string old_file = tree::BookFileOfId(ctx.view, existing);
      // Only a stored file inside the library is ours to replace.
      if (!old_file.empty() && platform::FileExists(old_file) &&
          !StoredFileInLibrary(ctx, old_file).empty() && !scope.SetAside(old_file).ok()) {
        return PutResult::kWriteError;
      }
    }
  }

  Result<std::string> book_line = BuildRows(ctx, book, current_file, -1, key_line);
  if (!book_line.ok() || book_line->empty()) return PutResult::kWriteError;
  if (!WriteMultiValues(ctx, properties, current_file, *book_line, write_back).ok()) {
    return PutResult::kWriteError;
  }
  if (ReportProgress(ctx, 5)) return PutResult::kAborted;

  if (store_files) {
    Result<std::string> destination = BookDestination(ctx, *book_line, current_file);
    if (!destination.ok()) return PutResult::kWriteError;
    if (!PlaceBook(current_file, *destination, scope).ok()) return PutResult::kWriteError;
    working_copy.Release();
  }
  if (!scope.Commit().ok()) return PutResult::kWriteError;
  (void)ReportProgress(ctx, 100);
  return PutResult::kOk;
}

}  // namespace

PutResult ImportBook(BookContext& ctx, const std::string& local_name,
                     std::string_view /*remote_name*/, CopyFlags flags) {
  try {
    return Import(ctx, local_name, flags);
  } catch (const std::exception&) {
    // An error of the settings document or of a content source: the scope has
    // rolled back and the working copy is gone.
    return PutResult::kWriteError;
  }
}

}  // namespace tomeva::books
