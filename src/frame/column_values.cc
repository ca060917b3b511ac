// Book column values, remembered per path until the next listing or operation.
#include "frame/column_values.h"

#include "tree/book_columns.h"
#include "tree/path_resolution.h"

namespace tomeva::frame {
namespace {

// More paths than any panel shows at once: past this the memory starts afresh.
constexpr size_t kMaxRemembered = 4096;

}  // namespace

const std::vector<std::string>& ColumnValuesOf(Session& session, std::string_view path) {
  auto found = session.column_values.find(path);
  if (found != session.column_values.end()) return found->second;
  std::vector<std::string> values;
  if (session.started() && session.catalog != nullptr) {
    const tree::CatalogView view = session.View();
    const int32_t book_id = tree::BookIdOfPath(view, path);
    if (book_id >= 0) values = tree::BookColumnValues(view, book_id);
  }
  if (session.column_values.size() >= kMaxRemembered) session.column_values.clear();
  return session.column_values.emplace(std::string(path), std::move(values)).first->second;
}

}  // namespace tomeva::frame
