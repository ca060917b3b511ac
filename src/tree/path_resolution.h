// Path to book resolution: from a virtual path back to the field values it
// shows, and from those to the book's key and its stored file. Folder paths (a
// final "\") are read with the folder definitions' initial-path patterns, file
// paths with the file definitions' namemask patterns.
#ifndef TOMEVA_TREE_PATH_RESOLUTION_H_
#define TOMEVA_TREE_PATH_RESOLUTION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tree/catalog_view.h"

namespace tomeva::tree {

// The parameter text (Table.Field=value lines, CR LF ended) that the first
// matching definition captures from path, with every value mapped back from its
// shown form (StoredText). A definition whose ex is "-1" is an expression
// pattern (MatchExpression), any other a template pattern (MatchTemplate). ""
// for an empty path; nullopt when no definition matches, and for a path holding
// a line break. The path is matched as given: no "\" is appended.
std::optional<std::string> ResolveVirtualPath(const CatalogView& view, std::string_view path);

// The key of the book path names: the first row of the book table joined with
// the captured values' tables, where every captured value holds
// (CaptureCondition). -1 when the path resolves to nothing, captures no value, or
// the query fails or finds no row.
int32_t BookIdOfPath(const CatalogView& view, std::string_view path);

// The absolute name of the stored file of the book path names (its Link resolved
// against the library folder); "" when there is none.
std::string BookFileOfPath(const CatalogView& view, std::string_view path);

// The absolute name of the stored file of the book with key id; "" when no such
// book or no Link.
std::string BookFileOfId(const CatalogView& view, int32_t id);

// The library folder: the text of the settings' "root", absolute after
// start-up; "" when missing.
std::string LibraryFolder(const CatalogView& view);

}  // namespace tomeva::tree

#endif  // TOMEVA_TREE_PATH_RESOLUTION_H_
