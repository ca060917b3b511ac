// Test support for the virtual folder tree: a real SQLite catalog made from
// config/schema.sql, and catalog views over settings documents.
#ifndef TOMEVA_TESTS_TREE_TREE_TEST_SUPPORT_H_
#define TOMEVA_TESTS_TREE_TREE_TEST_SUPPORT_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/database.h"
#include "common/xml_document.h"
#include "support/temp_dir.h"
#include "tree/catalog_view.h"
#include "tree/folder_listing.h"

namespace tomeva::testing {

// An empty default catalog in a temporary folder, open for the test's length.
class TestCatalog {
 public:
  TestCatalog();
  catalog::Database* db() const { return db_.get(); }
  // Runs sql (several statements allowed); fails the test when it fails.
  void Exec(std::string_view sql) const;
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  std::unique_ptr<catalog::Database> db_;
};

// A parsed settings document; fails the test when it does not parse.
XmlDocument ParseSettings(std::string_view xml);
// The default settings shipped in config/Tomeva.xml.
XmlDocument LoadDefaultSettings();

// The view of doc's <settings> over db, with the default book table
// (Books.BookId) and library folder.
tree::CatalogView ViewOf(const XmlDocument& doc, catalog::Database* db,
                         std::string_view library = "/lib");

// Every entry of the listing of path (empty unless it opens), sorted by name.
std::vector<tree::ListedEntry> ListAll(const tree::CatalogView& view, std::string_view path);
// The names of ListAll.
std::vector<std::string> ListNames(const tree::CatalogView& view, std::string_view path);

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_TREE_TREE_TEST_SUPPORT_H_
