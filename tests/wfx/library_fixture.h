// An end-to-end library: a private Tomeva.wfx beside the default settings, field
// definitions and a fresh catalog made from the default schema, ready to be
// filled by SQL or by importing books.
#ifndef TOMEVA_TESTS_WFX_LIBRARY_FIXTURE_H_
#define TOMEVA_TESTS_WFX_LIBRARY_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/database.h"
#include "support/temp_dir.h"
#include "wfx/plugin_harness.h"

namespace tomeva::testing {

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Runs Jet SQL on the catalog from outside the plugin (as another process would).
  void Sql(const std::string& jet_sql);
  // The text of column 0 of the first row ("" when there is none).
  std::string Query(const std::string& jet_sql);
  // Changes one value of the settings document on disk (before Start).
  void SetSetting(std::string_view node_path, std::string_view text);
  // Starts the plugin session.
  void Start();

  // The book entry points, called as the host calls them.
  int Put(const std::string& local, const std::string& remote, int flags = 0);
  int Get(const std::string& remote, const std::string& local, int flags = 0);
  bool Delete(const std::string& remote);
  int RenMov(const std::string& old_name, const std::string& new_name, bool move);

  // Regular files under the library folder, relative to it, sorted (the
  // session's operation journal apart).
  std::vector<std::string> LibraryFiles() const;

  std::string LibraryFolder() const { return plugin_->folder() + "/Lib"; }

  TempDir dir_;
  std::unique_ptr<PluginHarness> plugin_;
  std::unique_ptr<catalog::Database> db_;
};

// Names of a listing, in the order listed.
std::vector<std::string> Names(const std::vector<ListedEntry>& entries);

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_WFX_LIBRARY_FIXTURE_H_
