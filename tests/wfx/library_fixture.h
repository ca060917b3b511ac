// An end-to-end library: a private Tomeva.wfx beside the default settings, field
// definitions and a fresh catalog made from the default schema, ready to be
// filled by SQL or by importing books.
#ifndef TOMEVA_TESTS_WFX_LIBRARY_FIXTURE_H_
#define TOMEVA_TESTS_WFX_LIBRARY_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "catalog/database.h"
#include "support/temp_dir.h"
#include "wfx/plugin_harness.h"

namespace tomeva::testing {

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Runs Jet SQL on the catalog from outside the plugin (as another process would).
  void Sql(const std::string& jet_sql);
  // Starts the plugin session.
  void Start();

  std::string LibraryFolder() const { return plugin_->folder() + "/Lib"; }

  TempDir dir_;
  std::unique_ptr<PluginHarness> plugin_;
  std::unique_ptr<catalog::Database> db_;
};

// Names of a listing, in the order listed.
std::vector<std::string> Names(const std::vector<ListedEntry>& entries);

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_WFX_LIBRARY_FIXTURE_H_
