// Two connections to one catalog file, as a file manager and the tomeva program
// share it: readers are not blocked by a writer, and writers take turns without
// "database is locked" failures.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
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
    path_ = dir_.Path("shared.db");
    const std::string& path = path_;
    ASSERT_TRUE(CreateCatalogFile(path, "CREATE TABLE Books (BookId INTEGER PRIMARY KEY, Title TEXT);").ok());
    const std::string connection = "Provider=SQLite; Data Source=" + path + "; Persist Security Info=False";
    Result<std::unique_ptr<Database>> a = OpenCatalog(connection);
    Result<std::unique_ptr<Database>> b = OpenCatalog(connection);
    ASSERT_TRUE(a.ok()) << a.message();
    ASSERT_TRUE(b.ok()) << b.message();
    a_ = std::move(a).value();
    b_ = std::move(b).value();
  }

  // Whether this process has the catalog file mapped into its memory.
  bool CatalogMapped() const {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
      if (line.size() >= path_.size() &&
          line.compare(line.size() - path_.size(), path_.size(), path_) == 0) {
        return true;
      }
    }
    return false;
  }

  static void RunNative(Database& db, const std::string& sql) {
    Result<std::unique_ptr<BoundStatement>> statement = db.Prepare(sql);
    ASSERT_TRUE(statement.ok()) << statement.message();
    Result<std::optional<int64_t>> ran = (*statement)->Run();
    ASSERT_TRUE(ran.ok()) << sql << ": " << ran.message();
  }

  static void InsertTitles(Database& db, int count, const std::string& title) {
    Result<std::unique_ptr<BoundStatement>> insert =
        db.Prepare("INSERT INTO Books (Title) VALUES (?1)");
    ASSERT_TRUE(insert.ok()) << insert.message();
    for (int i = 0; i < count; ++i) {
      (*insert)->BindText(1, title);
      ASSERT_TRUE((*insert)->Run().ok());
    }
  }

  static int64_t TitleBytes(Database& db) {
    Result<std::unique_ptr<ResultSet>> set = db.Query("SELECT sum(len(Title)) FROM Books");
    EXPECT_TRUE(set.ok()) << set.message();
    return set.ok() ? (*set)->Int64(0) : -1;
  }

  static int Count(Database& db) {
    Result<std::unique_ptr<ResultSet>> set = db.Query("SELECT count(*) FROM Books");
    EXPECT_TRUE(set.ok()) << set.message();
    return set.ok() ? (*set)->Int(0) : -1;
  }

  testing::TempDir dir_;
  std::string path_;
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

// A catalog on a local disk is read through a memory map, which the bulk write
// mode sets aside while it is on: every read, mapped or not, sees what the
// other connection committed, after the file grew far past what was mapped
// and after it shrank again.
TEST_F(TwoConnectionsTest, ReadsThroughTheMapSeeTheFileGrowAndShrink) {
  EXPECT_EQ(Count(*a_), 0);
  EXPECT_TRUE(CatalogMapped());
  const std::string title(2000, 'x');
  {
    ScopedBulkWrite bulk(b_.get());
    ASSERT_TRUE(b_->BeginTransaction().ok());
    InsertTitles(*b_, 5000, title);
    ASSERT_TRUE(b_->Commit().ok());
  }
  RunNative(*b_, "PRAGMA wal_checkpoint(TRUNCATE)");
  EXPECT_EQ(Count(*a_), 5000);
  EXPECT_EQ(TitleBytes(*a_), 5000 * 2000);

  RunNative(*b_, "DELETE FROM Books WHERE BookId > 1");
  RunNative(*b_, "VACUUM");
  EXPECT_EQ(Count(*a_), 1);
  EXPECT_EQ(TitleBytes(*a_), 2000);

  // The writer's own map is set aside for its bulk writes and back after.
  {
    ScopedBulkWrite bulk(a_.get());
    ASSERT_TRUE(a_->BeginTransaction().ok());
    InsertTitles(*a_, 3000, title);
    ASSERT_TRUE(a_->Commit().ok());
    EXPECT_EQ(Count(*a_), 3001);
  }
  EXPECT_EQ(Count(*a_), 3001);
  EXPECT_EQ(Count(*b_), 3001);
  EXPECT_EQ(TitleBytes(*b_), 3001 * 2000);
  EXPECT_TRUE(CatalogMapped());
}

}  // namespace
}  // namespace tomeva::catalog
