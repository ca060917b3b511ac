// Test support for the book operations.
#include "books/books_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "catalog/catalog_file.h"
#include "catalog/statements.h"
#include "common/node_path.h"
#include "tree/folder_listing.h"

namespace tomeva::testing {
TestLibrary::TestLibrary() {
  const std::string file = dir_.Path("catalog.sqlite");
  EXPECT_TRUE(
      catalog::CreateCatalogFile(file, ReadFile(TOMEVA_SOURCE_DIR "/config/schema.sql")).ok());
  auto opened = catalog::OpenCatalog("Provider=SQLite; Data Source=" + file);
  EXPECT_TRUE(opened.ok()) << opened.message();
  if (opened.ok()) db_ = std::move(opened).value();
  Result<XmlDocument> doc = XmlDocument::LoadFile(TOMEVA_SOURCE_DIR "/config/Tomeva.xml");
  EXPECT_TRUE(doc.ok()) << doc.message();
  settings_ =
      std::make_unique<XmlDocument>(doc.ok() ? std::move(doc).value() : XmlDocument::CreateEmpty());
  XmlNode root = settings_->RootElement();
  SetPathText(root, "root", lib());
  XmlNode plugins = NodeByPath(root, "ContentPlugins", /*create=*/true);
  content::AddBuiltinSources(plugins);
  host_ = std::make_unique<content::FieldHost>(plugins, TOMEVA_SOURCE_DIR "/config", "");
  access_ = std::make_unique<books::FieldHostAccess>(*host_);
  ctx_.view = {
      db_.get(), root,    root.FirstChildElement("folders"), root.FirstChildElement("files"),
      "Books",   "BookId"};
  ctx_.fields = access_.get();
  ctx_.progress = [this](int percent) {
    progress_calls.push_back(percent);
    return abort_at == percent;
  };
}

TestLibrary::~TestLibrary() = default;

void TestLibrary::SetFlag(std::string_view path, bool on) {
  SetPathText(settings(), path, on ? "-1" : "0");
}

std::string TestLibrary::WriteLocal(std::string_view name, std::string_view bytes) const {
  const std::string path = dir_.Path("in/" + std::string(name));
  WriteFile(path, bytes);
  return path;
}

std::string TestLibrary::WriteBook(std::string_view name, const TestBook& book) const {
  return WriteLocal(name, Fb2Text(book));
}

books::PutResult TestLibrary::Import(const std::string& local_name, books::CopyFlags flags) {
  return books::ImportBook(ctx_, local_name, "\\", flags).code;
}

void TestLibrary::Exec(std::string_view sql) const { ASSERT_TRUE(db_->Execute(sql).ok()) << sql; }

std::string TestLibrary::Text(std::string_view sql) const {
  return catalog::QueryText(db_.get(), sql);
}

std::vector<std::string> TestLibrary::Column(std::string_view sql) const {
  std::vector<std::string> values;
  std::unique_ptr<catalog::ResultSet> rows = catalog::OpenQuery(db_.get(), sql);
  while (rows && !rows->AtEnd()) {
    values.push_back(rows->Text(0));
    if (!rows->Next().ok()) break;
  }
  return values;
}

int TestLibrary::Count(std::string_view table) const {
  return catalog::QueryInt(db_.get(), "SELECT Count(*) FROM " + std::string(table) + ";");
}

std::vector<std::string> TestLibrary::LibraryFiles() const {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(lib(), ec)) {
    if (entry.is_regular_file()) files.push_back(entry.path().string().substr(lib().size() + 1));
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> TestLibrary::List(std::string_view folder) const {
  std::vector<std::string> names;
  std::unique_ptr<tree::FolderListing> listing;
  if (tree::FolderListing::Open(ctx_.view, folder, listing) ==
      tree::FolderListing::OpenOutcome::kOpened) {
    while (std::optional<tree::ListedEntry> entry = listing->Next()) names.push_back(entry->name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string TestLibrary::ReadField(std::string_view reference, const std::string& file) const {
  XmlDocument doc = XmlDocument::CreateEmpty();
  XmlNode plugins = doc.CreateRootElement("settings").ChildOrCreate("ContentPlugins");
  content::AddBuiltinSources(plugins);
  content::FieldHost host(plugins, TOMEVA_SOURCE_DIR "/config", "");
  return host.GetFieldValue(reference, file);
}

}  // namespace tomeva::testing
