// A real SQLite catalog with the default schema in a temporary folder, and a
// database wrapper that records the SQL text every statement was given.
#ifndef TOMEVA_TESTS_CATALOG_CATALOG_FIXTURE_H_
#define TOMEVA_TESTS_CATALOG_CATALOG_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalog/catalog_file.h"
#include "catalog/database.h"
#include "catalog/sqlite_database.h"
#include "support/temp_dir.h"

namespace tomeva::catalog {

// Forwards to a real database and keeps the Jet SQL texts it was given.
class RecordingDatabase : public Database {
 public:
  explicit RecordingDatabase(Database* real) : real_(real) {}
  Status Execute(std::string_view sql) override {
    texts.emplace_back(sql);
    return real_->Execute(sql);
  }
  Result<std::unique_ptr<ResultSet>> Query(std::string_view sql) override {
    texts.emplace_back(sql);
    return real_->Query(sql);
  }
  Result<std::unique_ptr<ResultSet>> ReadQuery(std::string_view sql) override {
    texts.emplace_back(sql);
    return real_->ReadQuery(sql);
  }
  Status KeepRowsExcept(std::string_view table, std::string_view column, int64_t key) override {
    return real_->KeepRowsExcept(table, column, key);
  }
  Status EndKeepRows() override { return real_->EndKeepRows(); }
  int64_t LastInsertKey() const override { return real_->LastInsertKey(); }
  Status BeginTransaction() override { return real_->BeginTransaction(); }
  Status Commit() override { return real_->Commit(); }
  Status Rollback() override { return real_->Rollback(); }
  std::string FileName() const override { return real_->FileName(); }
  Status RefreshStatistics() override { return real_->RefreshStatistics(); }
  Result<std::vector<int64_t>> SearchBooks(std::string_view text, int64_t limit,
                                           int64_t offset) override {
    return real_->SearchBooks(text, limit, offset);
  }

  std::vector<std::string> texts;

 private:
  Database* real_;
};

class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string schema = testing::ReadFile(std::string(TOMEVA_SOURCE_DIR) + "/config/schema.sql");
    ASSERT_FALSE(schema.empty());
    path_ = dir_.Path("catalog.sqlite");
    ASSERT_TRUE(CreateCatalogFile(path_, schema).ok());
    auto db = OpenCatalog("Provider=SQLite; Data Source=" + path_ + "; Persist Security Info=False");
    ASSERT_TRUE(db.ok()) << db.message();
    db_ = std::move(db).value();
    recording_ = std::make_unique<RecordingDatabase>(db_.get());
  }

  // Runs statements that must succeed.
  void Run(std::string_view sql) {
    Status s = db_->Execute(sql);
    ASSERT_TRUE(s.ok()) << s.message() << "\n" << sql;
  }
  // Column 0 of every row, joined by "|".
  std::string Rows(std::string_view sql) {
    auto set = db_->Query(sql);
    if (!set.ok()) return "error: " + set.message();
    std::string out;
    while (!(*set)->AtEnd()) {
      if (!out.empty()) out += "|";
      for (int i = 0; i < (*set)->ColumnCount(); ++i) {
        if (i) out += ",";
        out += (*set)->IsNull(i) ? "NULL" : (*set)->Text(i);
      }
      if (!(*set)->Next().ok()) break;
    }
    return out;
  }
  // Closes the catalog and runs sql on its file through a plain SQLite
  // connection (to make it what an earlier version wrote).
  void RewriteCatalog(const std::string& sql) {
    db_.reset();
    recording_.reset();
    Result<SqliteConnectionHandle> raw = OpenSqliteConnection(path_, SQLITE_OPEN_READWRITE);
    ASSERT_TRUE(raw.ok()) << raw.message();
    ASSERT_EQ(sqlite3_exec(raw->get(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(raw->get());
  }
  // Opens the catalog file again, writable, as Tomeva opens it.
  void Reopen() {
    auto db = OpenCatalog("Provider=SQLite; Data Source=" + path_ + "; Persist Security Info=False");
    ASSERT_TRUE(db.ok()) << db.message();
    db_ = std::move(db).value();
    recording_ = std::make_unique<RecordingDatabase>(db_.get());
  }
  Database* db() { return db_.get(); }
  RecordingDatabase* recorded() { return recording_.get(); }
  const std::string& last_text() const { return recording_->texts.back(); }

  testing::TempDir dir_;
  std::string path_;
  std::unique_ptr<Database> db_;
  std::unique_ptr<RecordingDatabase> recording_;
};

}  // namespace tomeva::catalog

#endif  // TOMEVA_TESTS_CATALOG_CATALOG_FIXTURE_H_
