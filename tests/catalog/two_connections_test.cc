// Two connections to one catalog file, as a file manager and the tomeva program
// share it: readers are not blocked by a writer, and writers take turns without
// "database is locked" failures.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "catalog/catalog_file.h"
#include "catalog/database.h"
#include "support/temp_dir.h"

namespace tomeva::catalog {
namespace {

class TwoConnectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = dir_.Path("shared.db");
    ASSERT_TRUE(CreateCatalogFile(path, "CREATE TABLE Books (BookId INTEGER PRIMARY KEY, Title TEXT);").ok());
    const std::string connection = "Provider=SQLite; Data Source=" + path + "; Persist Security Info=False";
    Result<std::unique_ptr<Database>> a = OpenCatalog(connection);
    Result<std::unique_ptr<Database>> b = OpenCatalog(connection);
    ASSERT_TRUE(a.ok()) << a.message();
    ASSERT_TRUE(b.ok()) << b.message();
    a_ = std::move(a).value();
    b_ = std::move(b).value();
  }

  static int Count(Database& db) {
    Result<std::unique_ptr<ResultSet>> set = db.Query("SELECT count(*) FROM Books");
    EXPECT_TRUE(set.ok()) << set.message();
    return set.ok() ? (*set)->Int(0) : -1;
  }

  testing::TempDir dir_;
  std::unique_ptr<Database> a_;
  std::unique_ptr<Database> b_;
};

TEST_F(TwoConnectionsTest, ReaderSeesCommittedRowsWhileAWriterWorks) {
  ASSERT_TRUE(a_->Execute("INSERT INTO Books (Title) VALUES ('first')").ok());
  ASSERT_TRUE(a_->BeginTransaction().ok());
  ASSERT_TRUE(a_->Execute("INSERT INTO Books (Title) VALUES ('pending')").ok());
  EXPECT_EQ(Count(*b_), 1);  // not blocked, and not seeing uncommitted rows
  ASSERT_TRUE(a_->Commit().ok());
  EXPECT_EQ(Count(*b_), 2);

  // Both write in turn, each in its own transaction.
  for (int round = 0; round < 3; ++round) {
    for (Database* db : {b_.get(), a_.get()}) {
      ASSERT_TRUE(db->BeginTransaction().ok());
      Status inserted = db->Execute("INSERT INTO Books (Title) VALUES ('turn')");
      ASSERT_TRUE(inserted.ok()) << inserted.message();
      Status committed = db->Commit();
      ASSERT_TRUE(committed.ok()) << committed.message();
    }
  }
  EXPECT_EQ(Count(*a_), 8);
  EXPECT_EQ(Count(*b_), 8);
}

TEST_F(TwoConnectionsTest, SecondWriterWaitsForTheFirstInsteadOfFailing) {
  ASSERT_TRUE(a_->BeginTransaction().ok());
  ASSERT_TRUE(a_->Execute("INSERT INTO Books (Title) VALUES ('a')").ok());
  Status b_result;
  std::thread writer([&] {
    Status begun = b_->BeginTransaction();
    if (!begun.ok()) {
      b_result = begun;
      return;
    }
    b_result = b_->Execute("INSERT INTO Books (Title) VALUES ('b')");
    Status committed = b_->Commit();
    if (b_result.ok()) b_result = committed;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Status committed = a_->Commit();
  writer.join();
  ASSERT_TRUE(committed.ok()) << committed.message();
  ASSERT_TRUE(b_result.ok()) << b_result.message();
  EXPECT_EQ(Count(*a_), 2);
}

}  // namespace
}  // namespace tomeva::catalog
