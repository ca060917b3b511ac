// Catalog upgrade: the Compressed column of the book table.
#include "frame/upgrade.h"

namespace tomeva::frame {
namespace {

bool HasCompressedColumn(catalog::Database& catalog) {
  auto probe = catalog.Query("select Compressed from books");
  return probe.ok();
}

}  // namespace

bool UpgradeCatalog(catalog::Database* catalog) {
  if (catalog == nullptr) return false;
  if (HasCompressedColumn(*catalog)) return true;
  (void)catalog->Execute("ALTER TABLE Books ADD COLUMN Compressed SMALLINT");
  return HasCompressedColumn(*catalog);
}

}  // namespace tomeva::frame
