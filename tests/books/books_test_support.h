// Test support for the book operations: a library in a temporary folder with a
// real catalog (config/schema.sql), the real settings (config/Tomeva.xml), a
// real field host (config/wdx_xml.xml) and FB2 books written on the spot.
#ifndef TOMEVA_TESTS_BOOKS_BOOKS_TEST_SUPPORT_H_
#define TOMEVA_TESTS_BOOKS_BOOKS_TEST_SUPPORT_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "books/book_import.h"
#include "books/field_host_access.h"
#include "support/fb2_book_text.h"
#include "support/temp_dir.h"

namespace tomeva::testing {

class TestLibrary {
 public:
  TestLibrary();
  ~TestLibrary();

  books::BookContext& ctx() { return ctx_; }
  XmlNode settings() const { return settings_->RootElement(); }
  std::string lib() const { return dir_.Path("Lib"); }  // the library folder
  std::string Path(std::string_view relative) const { return dir_.Path(relative); }
  void SetFlag(std::string_view path, bool on);  // "storefiles", "changecont", ...

  // Files written outside the library, in <temp>/in/.
  std::string WriteLocal(std::string_view name, std::string_view bytes) const;
  std::string WriteBook(std::string_view name, const TestBook& book) const;
  books::PutResult Import(const std::string& local_name, books::CopyFlags flags = {});

  void Exec(std::string_view sql) const;
  std::string Text(std::string_view sql) const;  // column 0 of row 0
  std::vector<std::string> Column(std::string_view sql) const;  // column 0 of every row
  int Count(std::string_view table) const;
  std::vector<std::string> LibraryFiles() const;  // relative to lib(), sorted
  std::vector<std::string> List(std::string_view folder) const;
  // A field of file read through a fresh field host, so nothing comes from a cache.
  std::string ReadField(std::string_view reference, const std::string& file) const;

  std::vector<int> progress_calls;
  std::optional<int> abort_at;  // the report of this percent aborts

 private:
  TempDir dir_;
  std::unique_ptr<catalog::Database> db_;
  std::unique_ptr<XmlDocument> settings_;
  std::unique_ptr<content::FieldHost> host_;
  std::unique_ptr<books::FieldHostAccess> access_;
  books::BookContext ctx_;
};

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_BOOKS_BOOKS_TEST_SUPPORT_H_
