// Upgrade of older catalogs in place.
#ifndef TOMEVA_FRAME_UPGRADE_H_
#define TOMEVA_FRAME_UPGRADE_H_

#include "catalog/database.h"

namespace tomeva::frame {

// Adds the column Books.Compressed (SMALLINT) when the catalog lacks it. A
// catalog that has it, or that cannot be altered, is left unchanged. Returns true
// when the column exists afterwards. (Opening a catalog already brings the
// default tables' computed keys and shown names up to date and rebuilds the
// indexes of an earlier version's catalog: catalog/catalog_keys.h.)
// Also adds what collections need (UpgradeForCollections) and fills the folder
// listing tables anew (rows an older program wrote without keeping them are
// listed again); false when that fails.
bool UpgradeCatalog(catalog::Database* catalog);

// Gives a catalog with a Books table but without collections the Collections
// table and the book columns CollectionId, Archive, Member and LibId with their
// index (as config/schema.sql declares them), all in one transaction. Run at
// every open (a probe when there is nothing to do) and by the upgrade. True
// when the catalog has them afterwards.
bool UpgradeForCollections(catalog::Database* catalog);

}  // namespace tomeva::frame

#endif  // TOMEVA_FRAME_UPGRADE_H_
