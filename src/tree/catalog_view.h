// What the virtual folder tree needs of the session: the catalog connection and
// the parts of the settings document that define folders and files. The session
// owns all of it; the tree only borrows it for the length of one call.
#ifndef TOMEVA_TREE_CATALOG_VIEW_H_
#define TOMEVA_TREE_CATALOG_VIEW_H_

#include <string>

#include "catalog/database.h"
#include "common/xml_document.h"

namespace tomeva::tree {

// The session state a listing or a resolution reads. Never global: callers pass
// it in.
struct CatalogView {
  catalog::Database* db = nullptr;  // null: no catalog, every query fails
  XmlNode settings_root;            // <settings>; "root" holds the absolute library folder
  XmlNode folders;                  // <folders>: folder definitions in document order
  XmlNode files;                    // <files>: file definitions in document order
  std::string book_id_table;        // properties/simple/id/table
  std::string book_id_field;        // properties/simple/id/@name
};

}  // namespace tomeva::tree

#endif  // TOMEVA_TREE_CATALOG_VIEW_H_
