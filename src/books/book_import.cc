// Book import.
#include "books/book_import.h"

#include <exception>
#include <optional>
#include <set>

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

using Refusal = Outcome<PutResult>;

Refusal Failed(std::string reason) { return {PutResult::kWriteError, std::move(reason)}; }

// Writes the link rows of every multi element of properties for the book of
// book_line. With write_back, the file's occurrences follow the catalog: each
// value is rewritten in the catalog's form, and a value this import has
// already linked (a duplicate within the file) is removed from the file and
// the same index read again. A file that cannot take a write (a damaged body
// cannot be parsed whole) is left as it came and the values are read on.
Status WriteMultiValues(const BookContext& ctx, XmlNode properties, const std::string& file,
                        std::string_view book_line, bool write_back) {
  const catalog::PropertyContext property_ctx = PropertyContextOf(ctx);
  for (XmlNode multi : properties.ChildElements()) {
    if (multi.Name() != "multi") continue;
    XmlNode id = multi.FirstChildElement("id");
    if (!id) continue;
    const std::string link_table = GetPathText(multi, "linktable");
    std::set<std::string> linked;  // link lines of this import, for duplicates
    int k = 0;
    Result<std::string> value_line = BuildRows(ctx, id, file, k);
    // Bounded: an id with a constant field never runs out of values.
    for (int step = 0; step < kMaxMultiValues; ++step) {
      if (!value_line.ok()) return value_line.error();
      if (value_line->empty()) break;
      const std::string link = *value_line + std::string(kCrLf) + std::string(book_line);
      const catalog::InsertIfMissingResult inserted =
          catalog::InsertIfMissing(ctx.view.db, link_table, link);
      if (inserted == catalog::InsertIfMissingResult::kLookupFailed) {
        return Error{"cannot link the book in table " + link_table};
      }
      const bool duplicate = !linked.insert(link).second;
      if (write_back && duplicate) {
        if (catalog::WriteBackFields(property_ctx, id, file,
                                     std::string(TextBeforeChar(*value_line, '=')) + "=-1", k)) {
          --k;  // the next occurrence moved up into this index
        } else {
          write_back = false;
        }
      } else if (write_back && !catalog::WriteBackFields(property_ctx, id, file, *value_line, k)) {
        write_back = false;
      }
      ++k;
      value_line = BuildRows(ctx, id, file, k);
    }
  }
  return Status::Ok();
}

Refusal Import(BookContext& ctx, const std::string& local_name, CopyFlags flags,
               OperationScope* enclosing, PreparedBook* prepared) {
  XmlNode properties = ctx.view.settings_root.FirstChildElement("properties");
  const std::string detect = GetPathText(properties, "detectstring");
  if (!IsImportable(local_name, detect)) {
    return {PutResult::kNotSupported, "not a book the library takes (it accepts " + detect + ")"};
  }
  // The file's work, done here or ahead of time by PrepareBook.
  PreparedBook here;
  if (prepared == nullptr) here = PrepareBook(local_name, std::string());
  PreparedBook& file = prepared != nullptr ? *prepared : here;
  if (!file.exists) return Failed(file.other_kind ? "not a regular file" : "no such file");
  Result<std::optional<XmlDocument>>& header = file.header;
  if (!header.ok()) {
    std::string why = header.message();
    if (why.starts_with(local_name + ": ")) why.erase(0, local_name.size() + 2);
    return Failed("not a readable FB2 book: " + why);
  }
  if (ctx.view.db == nullptr) return Failed("no catalog is open");
  XmlNode book = NodeByPath(properties, "simple/id", /*create=*/false);
  if (!book) return Failed("the settings describe no book row (properties/simple/id)");
  const bool store_files = StoreFilesOn(ctx);
  // The user's own file is only rewritten when the user handed it over (a
  // move); otherwise, with storefiles off, content write-back is skipped.
  const bool write_back = catalog::ChangeContentOn(PropertyContextOf(ctx)) &&
                          (store_files || flags.move) && ctx.fields != nullptr;
  if (ctx.fields != nullptr) ctx.fields->ForgetReadFiles();

  // One transaction of its own, or a nested one inside a batch of books.
  std::optional<OperationScope> scope_holder;
  OperationScope& scope = enclosing != nullptr
                              ? scope_holder.emplace(*enclosing)
                              : scope_holder.emplace(ctx.view.db, LibraryRoot(ctx), ctx.journals);
  std::string current_file = local_name;
  std::optional<std::string> stamp_now;
  if (store_files && !file.working_copy.empty()) {
    // Copied ahead of time into a copy the batch's scope has journaled.
    if (!file.copied.ok()) {
      return Failed("cannot copy the book into the library: " + file.copied.message());
    }
    current_file = file.working_copy;
    stamp_now = file.stamp_after;
  } else if (store_files) {
    scope.SettleInterrupted();
    Result<std::string> copy = scope.MakeWorkingCopy(local_name);
    if (!copy.ok()) return Failed("cannot copy the book into the library: " + copy.message());
    current_file = *copy;
    stamp_now = platform::FileStamp(local_name);
  } else {
    stamp_now = platform::FileStamp(local_name);
  }
  // The fields are read from the header parsed above unless the file changed
  // since (then they are read from the working copy itself).
  if (ctx.fields != nullptr && header->has_value() && stamp_now == file.stamp) {
    // A stored book's fields are read from its working copy, which only this
    // import touches.
    ctx.fields->OfferParsedHeader(current_file, std::move(**header), /*private_copy=*/store_files);
  }
  if (ReportProgress(ctx, 0)) return {PutResult::kAborted, "aborted"};

  // The duplicate test runs inside the write transaction, so that two
  // processes importing the same book at once cannot both find it missing.
  if (Status begun = scope.Begin(); !begun.ok()) return Failed(begun.message());
  const int32_t existing = catalog::QueryInt(
      ctx.view.db,
      ExpandSqlFieldTemplate(GetPathText(ctx.view.settings_root, "requests/bookexists"),
                             current_file, ctx.fields));
  if (existing != -1 && !flags.overwrite) return {PutResult::kExists, "already in the library"};

  std::string key_line;
  if (existing != -1) {
    const std::optional<std::string> key_name = book.Attribute("name");
    if (!key_name) return Failed("the book row has no key name (properties/simple/id/@name)");
    key_line = *key_name + "=" + std::to_string(existing);
    if (store_files) {
      const std::string old_file = tree::BookFileOfId(ctx.view, existing);
      // Only a stored file inside the library is ours to replace.
      if (!old_file.empty() && platform::FileExists(old_file) &&
          !StoredFileInLibrary(ctx, old_file).empty()) {
        if (Status aside = scope.SetAside(old_file); !aside.ok()) {
          return Failed("cannot set the old copy of the book aside: " + aside.message());
        }
      }
    }
  }

  Result<std::string> book_line = BuildRows(ctx, book, current_file, -1, key_line);
  if (!book_line.ok()) return Failed("cannot write the book's row: " + book_line.message());
  if (book_line->empty()) return Failed("the settings give the book no row");
  if (Status linked = WriteMultiValues(ctx, properties, current_file, *book_line, write_back);
      !linked.ok()) {
    return Failed(linked.message());
  }
  if (ReportProgress(ctx, 5)) return {PutResult::kAborted, "aborted"};

  if (store_files) {
    Result<std::string> destination = BookDestination(ctx, *book_line, current_file);
    if (!destination.ok()) return Failed(destination.message());
    if (Status placed = PlaceBook(current_file, *destination, scope); !placed.ok()) {
      return Failed("cannot store the book in the library: " + placed.message());
    }
  }
  if (Status committed = scope.Commit(); !committed.ok()) return Failed(committed.message());
  (void)ReportProgress(ctx, 100);
  return {PutResult::kOk, ""};
}

}  // namespace

PreparedBook PrepareBook(const std::string& local_name, const std::string& working_copy) {
  PreparedBook book;
  book.exists = platform::FileExists(local_name);
  if (!book.exists) {
    book.other_kind = platform::PathExists(local_name);
    return book;
  }
  // The stamp says whether the working copy holds what was parsed here.
  book.stamp = platform::FileStamp(local_name);
  book.header = ParseReadableBook(local_name);
  if (!book.header.ok() || working_copy.empty()) return book;
  book.working_copy = working_copy;
  book.copied = platform::CopyFile(local_name, working_copy, platform::Overwrite::kNo);
  book.stamp_after = platform::FileStamp(local_name);
  return book;
}

Outcome<PutResult> ImportBook(BookContext& ctx, const std::string& local_name,
                              std::string_view /*remote_name*/, CopyFlags flags,
                              OperationScope* enclosing, PreparedBook* prepared) {
  try {
    return Import(ctx, local_name, flags, enclosing, prepared);
  } catch (const std::exception& e) {
    // An error of the settings document or of a content source: the scope has
    // rolled back and the working copy is gone.
    return Failed(e.what());
  }
}

}  // namespace tomeva::books
