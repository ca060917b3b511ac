// A catalog of the default schema (config/schema.sql) in a scratch folder,
// made and opened once for all the inputs of a fuzz target; failing to make it
// aborts.
#ifndef TOMEVA_TESTS_FUZZ_SCRATCH_CATALOG_H_
#define TOMEVA_TESTS_FUZZ_SCRATCH_CATALOG_H_

#include <memory>
#include <string>

#include "catalog/catalog_file.h"
#include "catalog/database.h"
#include "fuzz/fuzz_support.h"

namespace tomeva::fuzz {

class ScratchCatalog {
 public:
  ScratchCatalog() {
    const std::string path = folder_.Path("catalog.sqlite");
    const std::string schema = ReadOrDie(ConfigFolder() + "/schema.sql");
    if (!catalog::CreateCatalogFile(path, schema).ok()) Fail("cannot create", path);
    auto db = catalog::OpenCatalog("Provider=SQLite; Data Source=" + path +
                                   "; Persist Security Info=False");
    if (!db.ok()) Fail("cannot open the catalog", db.message());
    db_ = std::move(db).value();
  }

  catalog::Database* db() { return db_.get(); }

 private:
  ScratchFolder folder_;
  std::unique_ptr<catalog::Database> db_;
};

}  // namespace tomeva::fuzz

#endif  // TOMEVA_TESTS_FUZZ_SCRATCH_CATALOG_H_
