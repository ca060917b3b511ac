// Move and rename of books inside the tree.
#include "books/book_move.h"

#include <exception>

#include "books/book_lookup.h"
#include "books/book_storage.h"
#include "books/operation_scope.h"
#include "catalog/property_tree.h"
#include "tree/path_resolution.h"

namespace tomeva::books {
namespace {

using catalog::BookProperties;
using catalog::BookProperty;

void Apply(const catalog::PropertyContext& ctx, const BookProperty& p, const std::string& file) {
  if (p.kind == BookProperty::Kind::kLink) {
    catalog::AddLink(ctx, p, file);
  } else {
    catalog::SetBookColumn(ctx, p, file);
  }
}

void ApplyMove(const catalog::PropertyContext& ctx, const BookProperties& old_list,
               BookProperties& new_list, const std::string& file) {
  for (const BookProperty& o : old_list) {
    BookProperty* match = nullptr;
    for (BookProperty& n : new_list) {
      if (!n.name.empty() && n.name == o.name) match = &n;  // the last one wins
    }
    if (o.kind == BookProperty::Kind::kLink) {
      if (match != nullptr) {
        catalog::ReplaceLink(ctx, o, *match, file);
      } else {
        catalog::RemoveLink(ctx, o, file);
      }
    } else if (match != nullptr) {
      catalog::SetBookColumn(ctx, *match, file);
    } else {
      BookProperty cleared = o;
      cleared.value = ClearedColumnValue(o.column);
      catalog::SetBookColumn(ctx, cleared, file);
    }
    if (match != nullptr) match->name.clear();
  }
  for (const BookProperty& n : new_list) {
    if (!n.name.empty()) Apply(ctx, n, file);
  }
}

MoveResult Move(BookContext& ctx, std::string_view old_name, std::string_view new_name, bool move) {
  if (ReportProgress(ctx, 0)) return MoveResult::kAborted;
  const int32_t key = BookKeyOfPath(ctx, old_name);
  if (key < 0) return MoveResult::kWriteError;
  const catalog::PropertyContext property_ctx = PropertyContextOf(ctx);
  const std::string content_file =
      catalog::ChangeContentOn(property_ctx) ? tree::BookFileOfId(ctx.view, key) : std::string();
  const std::string book_line = "BookId=" + std::to_string(key);
  std::string old_path(old_name);
  std::string new_path(new_name);
  StripCommonTail(old_path, new_path);

  OperationScope scope(ctx.view.db, LibraryRoot(ctx), ctx.journals);
  if (!scope.Begin().ok()) return MoveResult::kWriteError;
  Result<BookProperties> old_list = catalog::BuildPropertyTree(
      property_ctx, tree::ResolveVirtualPath(ctx.view, old_path).value_or(""), book_line);
  if (!old_list.ok()) return MoveResult::kWriteError;
  Result<BookProperties> new_list = catalog::BuildPropertyTree(
      property_ctx, tree::ResolveVirtualPath(ctx.view, new_path).value_or(""), book_line);
  if (!new_list.ok()) return MoveResult::kWriteError;

  if (move) {
    ApplyMove(property_ctx, *old_list, *new_list, content_file);
  } else {
    for (const BookProperty& n : *new_list) Apply(property_ctx, n, content_file);
  }
  OnDeleteCleanup(ctx, StoreFilesOn(ctx), scope);
  if (!scope.Commit().ok()) return MoveResult::kWriteError;
  (void)ReportProgress(ctx, 100);
  return MoveResult::kOk;
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

MoveResult MoveOrCopyBook(BookContext& ctx, std::string_view old_name, std::string_view new_name,
                          bool move) {
  try {
    return Move(ctx, old_name, new_name, move);
  } catch (const std::exception&) {
    return MoveResult::kWriteError;  // the scope has rolled back
  }
}

}  // namespace tomeva::books
