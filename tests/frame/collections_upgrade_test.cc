// Tests of the catalog upgrade that gives older catalogs what collections need.
#include <gtest/gtest.h>

#include "catalog/catalog_file.h"
#include "catalog/statements.h"
#include "frame/upgrade.h"
#include "support/temp_dir.h"

namespace tomeva::frame {
namespace {

using tomeva::testing::ReadFile;
using tomeva::testing::TempDir;

// The default schema as it was before collections: everything before their section.
std::string SchemaBeforeCollections() {
  const std::string schema = ReadFile(std::string(TOMEVA_SOURCE_DIR) + "/config/schema.sql");
  const size_t cut = schema.find("-- Collections:");
  return schema.substr(0, schema.rfind("-- ----", cut));
}

class CollectionsUpgradeTest : public ::testing::Test {
 protected:
  std::unique_ptr<catalog::Database> Open(const std::string& schema) {
    const std::string path = dir_.Path("catalog.sqlite");
    EXPECT_TRUE(catalog::CreateCatalogFile(path, schema).ok());
    auto db = catalog::OpenCatalog("Provider=SQLite; Data Source=" + path);
    EXPECT_TRUE(db.ok()) << db.message();
    return db.ok() ? std::move(db).value() : nullptr;
  }
  TempDir dir_;
};

TEST_F(CollectionsUpgradeTest, AnOlderCatalogGetsTheCollectionColumnsAndKeepsItsBooks) {
  auto db = Open(SchemaBeforeCollections());
  ASSERT_TRUE(db);
  ASSERT_FALSE(db->Query("SELECT LibId FROM Books").ok());
  ASSERT_TRUE(db->Execute("INSERT INTO Books (Title, Link) VALUES ('Старая', 'a/old.fb2')").ok());

  EXPECT_TRUE(UpgradeCatalog(db.get()));
  EXPECT_TRUE(db->Query("SELECT CollectionId, Archive, Member, LibId FROM Books").ok());
  EXPECT_EQ(catalog::QueryText(db.get(), "SELECT Link FROM Books WHERE Title='Старая'"),
            "a/old.fb2");
  // The library id is unique within a collection.
  ASSERT_TRUE(db->Execute("INSERT INTO Collections (CollectionId, Folder, IndexFile) "
                          "VALUES (1, '/c', 'c.inpx')")
                  .ok());
  ASSERT_TRUE(
      db->Execute("INSERT INTO Books (Title, CollectionId, LibId) VALUES ('A', 1, '7')").ok());
  EXPECT_FALSE(
      db->Execute("INSERT INTO Books (Title, CollectionId, LibId) VALUES ('B', 1, '7')").ok());
  // Run again: nothing left to do.
  EXPECT_TRUE(UpgradeForCollections(db.get()));
}

TEST_F(CollectionsUpgradeTest, ACatalogOfAnotherShapeIsLeftAlone) {
  auto db = Open("CREATE TABLE Notes (NoteId INTEGER PRIMARY KEY, Text TEXT);");
  ASSERT_TRUE(db);
  EXPECT_FALSE(UpgradeForCollections(db.get()));
  EXPECT_FALSE(db->Query("SELECT CollectionId FROM Collections").ok());
  EXPECT_FALSE(UpgradeForCollections(nullptr));
}

}  // namespace
}  // namespace tomeva::frame
