// Test support for the virtual folder tree.
#include "tree/tree_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "catalog/catalog_file.h"
#include "common/node_path.h"

namespace tomeva::testing {

TestCatalog::TestCatalog() {
  const std::string file = dir_.Path("catalog.sqlite");
  const std::string schema = ReadFile(std::string(TOMEVA_SOURCE_DIR) + "/config/schema.sql");
  EXPECT_FALSE(schema.empty());
  Status created = catalog::CreateCatalogFile(file, schema);
  EXPECT_TRUE(created.ok()) << created.message();
  auto opened = catalog::OpenCatalog("Provider=SQLite; Data Source=" + file +
                                     "; Persist Security Info=False");
  if (opened.ok()) {
    db_ = std::move(opened).value();
  } else {
    ADD_FAILURE() << opened.message();
  }
}

void TestCatalog::Exec(std::string_view sql) const {
  ASSERT_NE(db_, nullptr);
  Status status = db_->Execute(sql);
  ASSERT_TRUE(status.ok()) << status.message();
}

XmlDocument ParseSettings(std::string_view xml) {
  Result<XmlDocument> doc = XmlDocument::LoadText(xml);
  if (!doc.ok()) {
    ADD_FAILURE() << doc.message();
    return XmlDocument::CreateEmpty();
  }
  return std::move(doc).value();
}

XmlDocument LoadDefaultSettings() {
  Result<XmlDocument> doc =
      XmlDocument::LoadFile(std::string(TOMEVA_SOURCE_DIR) + "/config/Tomeva.xml");
  if (!doc.ok()) {
    ADD_FAILURE() << doc.message();
    return XmlDocument::CreateEmpty();
  }
  return std::move(doc).value();
}

tree::CatalogView ViewOf(const XmlDocument& doc, catalog::Database* db, std::string_view library) {
  tree::CatalogView view;
  view.db = db;
  view.settings_root = doc.RootElement();
  if (view.settings_root) {
    view.folders = view.settings_root.FirstChildElement("folders");
    view.files = view.settings_root.FirstChildElement("files");
    SetPathText(view.settings_root, "root", library);
  }
  view.book_id_table = "Books";
  view.book_id_field = "BookId";
  return view;
}

std::vector<tree::ListedEntry> ListAll(const tree::CatalogView& view, std::string_view path) {
  std::vector<tree::ListedEntry> entries;
  std::unique_ptr<tree::FolderListing> listing;
  if (tree::FolderListing::Open(view, path, listing) != tree::FolderListing::OpenOutcome::kOpened) {
    return entries;
  }
  while (std::optional<tree::ListedEntry> entry = listing->Next()) entries.push_back(*entry);
  std::sort(entries.begin(), entries.end(),
            [](const tree::ListedEntry& a, const tree::ListedEntry& b) { return a.name < b.name; });
  return entries;
}

std::vector<std::string> ListNames(const tree::CatalogView& view, std::string_view path) {
  std::vector<std::string> names;
  for (const tree::ListedEntry& entry : ListAll(view, path)) names.push_back(entry.name);
  return names;
}

}  // namespace tomeva::testing
