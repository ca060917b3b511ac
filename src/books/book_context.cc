// Session settings and callbacks as the book operations read them.
#include "books/book_context.h"

#include "common/node_path.h"
#include "common/path_rules.h"
#include "tree/path_resolution.h"

namespace tomeva::books {

bool ReportProgress(const BookContext& ctx, int percent) {
  return ctx.progress ? ctx.progress(percent) : false;
}

catalog::PropertyContext PropertyContextOf(const BookContext& ctx) {
  catalog::PropertyContext property_ctx;
  property_ctx.db = ctx.view.db;
  property_ctx.settings_root = ctx.view.settings_root;
  property_ctx.book_id_table = ctx.view.book_id_table;
  property_ctx.fields = ctx.fields;
  return property_ctx;
}

bool SettingFlagOn(const BookContext& ctx, std::string_view path) {
  return GetPathText(ctx.view.settings_root, path) == "-1";
}

bool StoreFilesOn(const BookContext& ctx) { return SettingFlagOn(ctx, "storefiles"); }

bool RelativeLinksOn(const BookContext& ctx) { return SettingFlagOn(ctx, "root/@relative"); }

std::string LibraryRoot(const BookContext& ctx) {
  const std::string root = tree::LibraryFolder(ctx.view);
  if (root.empty()) return {};
  return ResolvePath(platform::NativePathStyle(), root, ".");
}

}  // namespace tomeva::books
