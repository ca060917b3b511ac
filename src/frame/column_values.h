// The book columns of a file the host shows: its path resolved to a book the
// way every book operation resolves it, and the values read once per path.
#ifndef TOMEVA_FRAME_COLUMN_VALUES_H_
#define TOMEVA_FRAME_COLUMN_VALUES_H_

#include <string>
#include <string_view>
#include <vector>

#include "frame/session.h"

namespace tomeva::frame {

// The values of every book column (tree::BookColumns order) of the book the
// internal path names; empty when it names no book (a folder, a stale name) or
// the session has no catalog. The values of a path are read once and then
// remembered in the session until the next listing or operation.
const std::vector<std::string>& ColumnValuesOf(Session& session, std::string_view path);

}  // namespace tomeva::frame

#endif  // TOMEVA_FRAME_COLUMN_VALUES_H_
