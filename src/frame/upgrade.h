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
bool UpgradeCatalog(catalog::Database* catalog);

}  // namespace tomeva::frame

#endif  // TOMEVA_FRAME_UPGRADE_H_
