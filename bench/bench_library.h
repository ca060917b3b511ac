// A library for the import benchmarks, set up as the plugin's session sets up
// its own: a catalog (new, or a copy of a generated one), the default settings
// (config/Tomeva.xml, storefiles on) with the library folder inside a work
// folder, and a content field host with the built-in sources reading
// config/wdx_xml.xml.
#ifndef TOMEVA_BENCH_BENCH_LIBRARY_H_
#define TOMEVA_BENCH_BENCH_LIBRARY_H_

#include <memory>
#include <string>

#include "books/book_context.h"
#include "books/field_host_access.h"
#include "books/operation_journal.h"
#include "catalog/database.h"
#include "common/xml_document.h"
#include "content/field_host.h"

namespace tomeva::bench {

// The default settings document (config/Tomeva.xml).
XmlDocument DefaultSettings();

class BenchLibrary {
 public:
  // Empties work_folder and sets the library up in it. catalog_template: a
  // catalog file copied in as the library's catalog; empty for a new one.
  // Throws std::runtime_error when something cannot be set up.
  BenchLibrary(const std::string& work_folder, const std::string& catalog_template);
  // Closes the catalog and removes the work folder.
  ~BenchLibrary();
  BenchLibrary(const BenchLibrary&) = delete;
  BenchLibrary& operator=(const BenchLibrary&) = delete;

  books::BookContext& ctx() { return ctx_; }
  catalog::Database* db() const { return db_.get(); }
  XmlNode settings() const { return settings_.RootElement(); }
  const std::string& library_folder() const { return library_folder_; }

 private:
  std::string work_folder_;
  std::string library_folder_;
  std::unique_ptr<catalog::Database> db_;
  XmlDocument settings_;
  std::unique_ptr<content::FieldHost> host_;
  std::unique_ptr<books::FieldHostAccess> access_;
  books::JournalKeeper journals_;  // as a plugin session keeps its journal
  books::BookContext ctx_;
};

}  // namespace tomeva::bench

#endif  // TOMEVA_BENCH_BENCH_LIBRARY_H_
