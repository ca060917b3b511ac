// Catalog upgrade: the Compressed column of the book table, the table and
// columns that record which collection archive holds a book, and the folder
// listing tables filled anew.
#include "frame/upgrade.h"

namespace tomeva::frame {
namespace {

bool HasCompressedColumn(catalog::Database& catalog) {
  auto probe = catalog.Query("select Compressed from books");
  return probe.ok();
}

bool HasCollectionColumns(catalog::Database& catalog) {
  return catalog.Query("select CollectionId, Archive, Member, LibId from Books").ok() &&
         catalog.Query("select CollectionId from Collections").ok();
}

// The collections part of config/schema.sql, statement by statement.
constexpr const char* kCollectionStatements[] = {
    "CREATE TABLE IF NOT EXISTS Collections (CollectionId INTEGER PRIMARY KEY, "
    "Name TEXT COLLATE NOCASE, Folder TEXT NOT NULL, IndexFile TEXT NOT NULL, Version TEXT, "
    "UNIQUE (Folder, IndexFile))",
    "ALTER TABLE Books ADD COLUMN CollectionId INTEGER REFERENCES Collections (CollectionId)",
    "ALTER TABLE Books ADD COLUMN Archive TEXT",
    "ALTER TABLE Books ADD COLUMN Member TEXT",
    "ALTER TABLE Books ADD COLUMN LibId TEXT",
    "CREATE UNIQUE INDEX IF NOT EXISTS BooksByCollectionLibId ON Books (CollectionId, LibId) "
    "WHERE CollectionId IS NOT NULL",
};

bool AddCollectionColumns(catalog::Database& catalog) {
  if (!catalog.BeginTransaction().ok()) return false;
  for (const char* sql : kCollectionStatements) {
    Result<std::unique_ptr<catalog::BoundStatement>> statement = catalog.Prepare(sql);
    if (!statement.ok() || !(*statement)->Run().ok()) {
      (void)catalog.Rollback();
      return false;
    }
  }
  return catalog.Commit().ok();
}

}  // namespace

bool UpgradeCatalog(catalog::Database* catalog) {
  if (catalog == nullptr) return false;
  (void)UpgradeForCollections(catalog);
  if (!HasCompressedColumn(*catalog)) {
    (void)catalog->Execute("ALTER TABLE Books ADD COLUMN Compressed SMALLINT");
    if (!HasCompressedColumn(*catalog)) return false;
  }
  return catalog->RebuildFolderListings().ok();
}

bool UpgradeForCollections(catalog::Database* catalog) {
  if (catalog == nullptr) return false;
  if (HasCollectionColumns(*catalog)) return true;
  // A catalog of another shape (no book table) is not ours to change.
  if (!catalog->Query("select BookId from Books").ok()) return false;
  return AddCollectionColumns(*catalog) && HasCollectionColumns(*catalog);
}

}  // namespace tomeva::frame
