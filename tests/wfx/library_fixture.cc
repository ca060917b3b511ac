// The end-to-end library fixture.
#include "wfx/library_fixture.h"

#include <algorithm>
#include <filesystem>

#include "catalog/catalog_file.h"
#include "catalog/statements.h"
#include "common/node_path.h"
#include "common/xml_document.h"

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

std::string LibraryTest::Query(const std::string& jet_sql) {
  return catalog::QueryText(db_.get(), jet_sql);
}

void LibraryTest::SetSetting(std::string_view node_path, std::string_view text) {
  const std::string file = plugin_->folder() + "/Tomeva.xml";
  auto doc = XmlDocument::LoadFile(file);
  ASSERT_TRUE(doc.ok()) << doc.message();
  SetPathText(doc->RootElement(), node_path, text);
  ASSERT_TRUE(doc->SaveFile(file).ok());
}

void LibraryTest::Start() { ASSERT_EQ(plugin_->Init(), 0); }

int LibraryTest::Put(const std::string& local, const std::string& remote, int flags) {
  auto put = reinterpret_cast<int (*)(char*, char*, int)>(plugin_->Export("FsPutFile"));
  std::string l = local, r = remote;
  return put(l.data(), r.data(), flags);
}

int LibraryTest::Get(const std::string& remote, const std::string& local, int flags) {
  auto get = reinterpret_cast<int (*)(char*, char*, int, RemoteInfoStruct*)>(
      plugin_->Export("FsGetFile"));
  std::string r = remote, l = local;
  return get(r.data(), l.data(), flags, nullptr);
}

bool LibraryTest::Delete(const std::string& remote) {
  auto del = reinterpret_cast<BOOL (*)(char*)>(plugin_->Export("FsDeleteFile"));
  std::string r = remote;
  return del(r.data()) != FALSE;
}

int LibraryTest::RenMov(const std::string& old_name, const std::string& new_name, bool move) {
  auto ren = reinterpret_cast<int (*)(char*, char*, BOOL, BOOL, RemoteInfoStruct*)>(
      plugin_->Export("FsRenMovFile"));
  std::string o = old_name, n = new_name;
  return ren(o.data(), n.data(), move ? TRUE : FALSE, FALSE, nullptr);
}

std::vector<std::string> LibraryTest::LibraryFiles() const {
  std::vector<std::string> files;
  const std::string lib = LibraryFolder();
  std::error_code ec;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(lib, ec)) {
    const std::string relative = entry.path().string().substr(lib.size() + 1);
    // The session keeps its operation journal there while it runs.
    if (relative.starts_with(".tomeva-journal/")) continue;
    if (entry.is_regular_file()) files.push_back(relative);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> Names(const std::vector<ListedEntry>& entries) {
  std::vector<std::string> names;
  for (const ListedEntry& e : entries) names.push_back(e.name);
  return names;
}

}  // namespace tomeva::testing
