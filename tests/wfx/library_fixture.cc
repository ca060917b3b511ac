// The end-to-end library fixture.
#include "wfx/library_fixture.h"

#include <filesystem>

#include "catalog/catalog_file.h"

namespace tomeva::testing {

void LibraryTest::SetUp() {
  plugin_ = std::make_unique<PluginHarness>(dir_.Path("plugin"));
  const std::string config = std::string(TOMEVA_SOURCE_DIR) + "/config/";
  WriteSettings(plugin_->folder(), ReadFile(config + "Tomeva.xml"));
  WriteFile(plugin_->folder() + "/wdx_xml.xml", ReadFile(config + "wdx_xml.xml"));
  std::filesystem::create_directories(plugin_->folder() + "/Lib");
  const std::string catalog = plugin_->folder() + "/Tomeva.sqlite";
  ASSERT_TRUE(catalog::CreateCatalogFile(catalog, ReadFile(config + "schema.sql")).ok());
  auto db = catalog::OpenCatalog("Provider=SQLite; Data Source=" + catalog);
  ASSERT_TRUE(db.ok()) << db.message();
  db_ = std::move(db).value();
}

void LibraryTest::Sql(const std::string& jet_sql) {
  Status s = db_->Execute(jet_sql);
  ASSERT_TRUE(s.ok()) << s.message();
}

void LibraryTest::Start() { ASSERT_EQ(plugin_->Init(), 0); }

std::vector<std::string> Names(const std::vector<ListedEntry>& entries) {
  std::vector<std::string> names;
  for (const ListedEntry& e : entries) names.push_back(e.name);
  return names;
}

}  // namespace tomeva::testing
