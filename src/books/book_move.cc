// Move and rename of books inside the tree.
#include "books/book_move.h"

#include <exception>
#include <optional>
#include <set>

#include "books/book_lookup.h"
#include "books/book_storage.h"
#include "books/content_copy.h"
#include "books/operation_scope.h"
#include "catalog/property_tree.h"
#include "common/params.h"
#include "tree/path_resolution.h"

namespace tomeva::books {
namespace {

using catalog::BookProperties;
using catalog::BookProperty;

using Movement = Outcome<MoveResult>;

Movement Refused(std::string reason) { return {MoveResult::kWriteError, std::move(reason)}; }

Status Apply(const catalog::PropertyContext& ctx, const BookProperty& p, const std::string& file) {
  return p.kind == BookProperty::Kind::kLink ? catalog::AddLink(ctx, p, file)
                                             : catalog::SetBookColumn(ctx, p, file);
}

// The names (Table.Column) of the values path stands for.
std::set<std::string> ValueNames(const tree::CatalogView& view, std::string_view path) {
  std::set<std::string> names;
  for (const Param& p : SplitParams(tree::ResolveVirtualPath(view, path).value_or(""))) {
    names.insert(p.name);
  }
  return names;
}

// Moves the book from the old list's values to the new list's. An old value
// without a new one is removed, except a book column that the old file name
// carried (a title read from "01 Title.fb2"): that names the book, it does not
// file it, so moving the book to another folder keeps it.
Status ApplyMove(const catalog::PropertyContext& ctx, const BookProperties& old_list,
                 BookProperties& new_list, const std::set<std::string>& folder_names,
                 const std::string& file) {
  for (const BookProperty& o : old_list) {
    BookProperty* match = nullptr;
    for (BookProperty& n : new_list) {
      if (!n.name.empty() && n.name == o.name) match = &n;  // the last one wins
    }
    Status done;
    if (o.kind == BookProperty::Kind::kLink) {
      done = match != nullptr ? catalog::ReplaceLink(ctx, o, *match, file)
                              : catalog::RemoveLink(ctx, o, file);
    } else if (match != nullptr) {
      done = catalog::SetBookColumn(ctx, *match, file);
    } else if (!o.ref_table.empty() || folder_names.contains(o.book_table + "." + o.column)) {
      BookProperty cleared = o;
      cleared.value = ClearedColumnValue(o.column);
      done = catalog::SetBookColumn(ctx, cleared, file);
    }
    if (!done.ok()) return done;
    if (match != nullptr) match->name.clear();
  }
  for (const BookProperty& n : new_list) {
    if (n.name.empty()) continue;
    if (Status done = Apply(ctx, n, file); !done.ok()) return done;
  }
  return Status::Ok();
}

Movement Move(BookContext& ctx, std::string_view old_name, std::string_view new_name, bool move) {
  if (ReportProgress(ctx, 0)) return {MoveResult::kAborted, "aborted"};
  const int32_t key = BookKeyOfPath(ctx, old_name);
  if (key < 0) return Refused("no book of the library is listed under this name");
  if (old_name == new_name) {
    if (!move) return {MoveResult::kExists, "the book is already there"};
    return Refused("the old and the new name are the same");
  }
  const catalog::PropertyContext property_ctx = PropertyContextOf(ctx);
  const std::string book_line = "BookId=" + std::to_string(key);
  std::string old_path(old_name);
  std::string new_path(new_name);
  StripCommonTail(old_path, new_path);
  const std::optional<std::string> old_values = tree::ResolveVirtualPath(ctx.view, old_path);
  const std::optional<std::string> new_values = tree::ResolveVirtualPath(ctx.view, new_path);
  if (!old_values) return Refused("the book's folder is not a folder of the library");
  if (!new_values) return Refused("the target is not a folder or book name of the library");
  // Values the old path's folder stands for; the rest came from its file name.
  const size_t last = old_path.rfind('\\');
  const std::set<std::string> folder_names =
      old_path.ends_with('\\') || last == std::string::npos
          ? ValueNames(ctx.view, old_path)
          : ValueNames(ctx.view, std::string_view(old_path).substr(0, last + 1));
  if (ctx.fields != nullptr) ctx.fields->ForgetReadFiles();

  OperationScope scope(ctx.view.db, LibraryRoot(ctx), ctx.journals);
  if (Status begun = scope.Begin(); !begun.ok()) return Refused(begun.message());
  Result<BookProperties> old_list = catalog::BuildPropertyTree(property_ctx, *old_values, book_line);
  if (!old_list.ok()) return Refused(old_list.message());
  Result<BookProperties> new_list = catalog::BuildPropertyTree(property_ctx, *new_values, book_line);
  if (!new_list.ok()) return Refused(new_list.message());
  if (new_list->empty()) {
    return Refused("the target folder stands for no value the book could be given");
  }
  for (const BookProperty& n : *new_list) {
    if (n.kind == BookProperty::Kind::kColumn && n.ref_table.empty() &&
        n.column == ctx.view.book_id_field && n.value != std::to_string(key)) {
      return Refused("the new name does not name this book");
    }
  }

  const std::string before = BookState(ctx, key);
  Result<ContentCopy> content = ContentCopy::Make(ctx, key, scope);
  if (!content.ok()) return Refused(content.message());
  Status applied;
  if (move) {
    applied = ApplyMove(property_ctx, *old_list, *new_list, folder_names, content->file());
  } else {
    for (const BookProperty& n : *new_list) {
      applied = Apply(property_ctx, n, content->file());
      if (!applied.ok()) break;
    }
  }
  if (!applied.ok()) return Refused(applied.message());
  if (Status cleaned = OnDeleteCleanup(ctx, key, StoreFilesOn(ctx), scope); !cleaned.ok()) {
    return Refused(cleaned.message());
  }
  if (BookState(ctx, key) == before) {
    if (!move) return {MoveResult::kExists, "the book is already there"};
    return Refused("the new name or folder changes nothing the catalog records of the book");
  }
  if (BookExists(ctx, key)) {
    if (Status placed = content->PutInPlace(scope); !placed.ok()) return Refused(placed.message());
  }
  if (Status committed = scope.Commit(); !committed.ok()) return Refused(committed.message());
  (void)ReportProgress(ctx, 100);
  return {MoveResult::kOk, ""};
}

}  // namespace

void StripCommonTail(std::string& old_path, std::string& new_path) {
  size_t common = 0;
  while (common < old_path.size() && common < new_path.size() &&
         old_path[old_path.size() - 1 - common] == new_path[new_path.size() - 1 - common]) {
    ++common;
  }
  const std::string_view tail = std::string_view(old_path).substr(old_path.size() - common);
  const size_t slash = tail.find('\\');
  if (slash == std::string_view::npos) return;
  const size_t cut_from_end = common - slash - 1;  // characters after that "\"
  old_path.resize(old_path.size() - cut_from_end);
  new_path.resize(new_path.size() - cut_from_end);
}

std::string ClearedColumnValue(std::string_view column) {
  return column.size() >= 2 && column.substr(column.size() - 2) == "No" ? "0" : "";
}

Outcome<MoveResult> MoveOrCopyBook(BookContext& ctx, std::string_view old_name,
                                   std::string_view new_name, bool move) {
  try {
    return Move(ctx, old_name, new_name, move);
  } catch (const std::exception& e) {
    return Refused(e.what());  // the scope has rolled back
  }
}

}  // namespace tomeva::books
