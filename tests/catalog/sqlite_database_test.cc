// Tests of the catalog connection string, OpenCatalog and the SQLite backend:
// statements, result sets, the statement cache, transactions and the
// MSysRelationships view.
#include "catalog/sqlite_database.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalog/catalog_file.h"
#include "catalog/catalog_keys.h"
#include "catalog/connection_string.h"
#include "catalog/database.h"
#include "support/temp_dir.h"

namespace tomeva::catalog {
namespace {

using std::chrono::sys_days;
using std::chrono::sys_seconds;
using namespace std::chrono_literals;

constexpr char kTestSchema[] =
    "CREATE TABLE People (Id INTEGER PRIMARY KEY, Name TEXT, Age INTEGER, Born TEXT);"
    "CREATE TABLE Pets (PetId INTEGER PRIMARY KEY, Owner INTEGER REFERENCES People (Id),"
    "                   Name TEXT UNIQUE);";

std::string ConnectionTo(const std::string& path) {
  return "Provider=SQLite; Data Source=" + path + "; Persist Security Info=False";
}

// Creates a catalog from schema at path and opens it.
std::unique_ptr<Database> MakeCatalog(const std::string& path, std::string_view schema) {
  EXPECT_TRUE(CreateCatalogFile(path, schema).ok());
  Result<std::unique_ptr<Database>> opened = OpenCatalog(ConnectionTo(path));
  EXPECT_TRUE(opened.ok()) << opened.message();
  return opened.ok() ? std::move(opened).value() : nullptr;
}

// Every row of jet_sql, its columns' texts joined with "|".
std::vector<std::string> Rows(Database& db, std::string_view jet_sql) {
  std::vector<std::string> rows;
  Result<std::unique_ptr<ResultSet>> set = db.Query(jet_sql);
  EXPECT_TRUE(set.ok()) << set.message();
  if (!set.ok()) return rows;
  for (ResultSet& r = **set; !r.AtEnd();) {
    std::string row;
    for (int i = 0; i < r.ColumnCount(); ++i) row += (i ? "|" : "") + r.Text(i);
    rows.push_back(row);
    EXPECT_TRUE(r.Next().ok());
  }
  return rows;
}

class SqliteDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.Path("catalog.db");
    db_ = MakeCatalog(path_, kTestSchema);
    ASSERT_TRUE(db_);
  }

  // Column 0 of the first row of jet_sql as an integer (-1 on failure or no row).
  int32_t Scalar(std::string_view jet_sql) {
    Result<std::unique_ptr<ResultSet>> set = db_->Query(jet_sql);
    EXPECT_TRUE(set.ok()) << set.message();
    if (!set.ok() || (*set)->AtEnd()) return -1;
    return (*set)->Int(0);
  }

  std::unique_ptr<ResultSet> MustQuery(std::string_view jet_sql) {
    Result<std::unique_ptr<ResultSet>> set = db_->Query(jet_sql);
    EXPECT_TRUE(set.ok()) << set.message();
    return set.ok() ? std::move(set).value() : nullptr;
  }

  testing::TempDir dir_;
  std::string path_;
  std::unique_ptr<Database> db_;
};

TEST(ConnectionStringTest, ParsesKeysIgnoringCaseAndBlanks) {
  ConnectionString parts =
      ParseConnectionString("Provider=SQLite; Data Source=/lib/cat.db; Persist Security Info=False");
  EXPECT_EQ(parts.provider, "SQLite");
  EXPECT_EQ(parts.data_source, "/lib/cat.db");

  parts = ParseConnectionString("  data source = /a b/c.db ;PROVIDER=  sqlite3 ;");
  EXPECT_EQ(parts.provider, "sqlite3");
  EXPECT_EQ(parts.data_source, "/a b/c.db");

  parts = ParseConnectionString("Persist Security Info=False");
  EXPECT_TRUE(parts.provider.empty() && parts.data_source.empty());
  EXPECT_EQ(parts.provider, "");
  EXPECT_EQ(parts.data_source, "");
}

TEST(ConnectionStringTest, KeepsSemicolonsInsideFileNames) {
  EXPECT_EQ(ParseConnectionString("Provider=SQLite; Data Source=/x;y/c.db; Persist Security Info=False")
                .data_source,
            "/x;y/c.db");
  EXPECT_EQ(ParseConnectionString("Data Source=\"/x; a=b/\"\"q\"\".db\"; Provider=SQLite").data_source,
            "/x; a=b/\"q\".db");
  EXPECT_EQ(ParseConnectionString("Data Source='/it''s.db'").data_source, "/it's.db");
}

TEST(OpenCatalogTest, RefusesMissingFileWithoutCreatingIt) {
  testing::TempDir dir;
  const std::string path = dir.Path("missing.db");
  Result<std::unique_ptr<Database>> opened = OpenCatalog(ConnectionTo(path));
  ASSERT_FALSE(opened.ok());
  EXPECT_NE(opened.message().find(path), std::string::npos) << opened.message();
  EXPECT_FALSE(testing::PathExists(path));
  EXPECT_FALSE(OpenCatalog("Provider=SQLite; Persist Security Info=False").ok());
}

TEST(OpenCatalogTest, RefusesAFileThatIsNotADatabase) {
  testing::TempDir dir;
  const std::string path = dir.Path("notes.db");
  testing::WriteFile(path, std::string(4096, 'x'));
  Result<std::unique_ptr<Database>> opened = OpenCatalog(ConnectionTo(path));
  ASSERT_FALSE(opened.ok());
  EXPECT_EQ(opened.message(), "not a Tomeva catalog: " + path);
}

TEST(OpenCatalogTest, RefusesJetAndUnknownProvidersNamingThem) {
  testing::TempDir dir;
  const std::string path = dir.Path("c.db");
  ASSERT_TRUE(CreateCatalogFile(path, kTestSchema).ok());
  for (const char* jet : {"Microsoft.Jet.OLEDB.4.0", "Microsoft.ACE.OLEDB.12.0"}) {
    Result<std::unique_ptr<Database>> opened =
        OpenCatalog(std::string("Provider=") + jet + "; Data Source=" + path);
    ASSERT_FALSE(opened.ok());
    EXPECT_NE(opened.message().find(jet), std::string::npos) << opened.message();
    EXPECT_NE(opened.message().find("Linux"), std::string::npos) << opened.message();
  }
  Result<std::unique_ptr<Database>> unknown = OpenCatalog("Provider=MSDASQL; Data Source=" + path);
  ASSERT_FALSE(unknown.ok());
  EXPECT_NE(unknown.message().find("MSDASQL"), std::string::npos) << unknown.message();
  Result<std::unique_ptr<Database>> none = OpenCatalog("Provider=; Data Source=" + path);
  ASSERT_FALSE(none.ok());
  EXPECT_NE(none.message().find("provider"), std::string::npos) << none.message();
}

TEST(OpenCatalogTest, AcceptsSqliteProviderInAnyCase) {
  testing::TempDir dir;
  const std::string path = dir.Path("c.db");
  ASSERT_TRUE(MakeCatalog(path, kTestSchema));
  for (const char* provider : {"SQLite", "sqlite3", "SQLITE"}) {
    Result<std::unique_ptr<Database>> opened =
        OpenCatalog(std::string("Provider=") + provider + "; Data Source=" + path);
    ASSERT_TRUE(opened.ok()) << provider << ": " << opened.message();
    EXPECT_EQ((*opened)->FileName(), path);
  }
}

TEST(CatalogFileTest, RefusesAnExistingFileAndCleansUpAFailedSchema) {
  testing::TempDir dir;
  const std::string existing = dir.Path("existing.db");
  testing::WriteFile(existing, "keep me");
  EXPECT_FALSE(CreateCatalogFile(existing, kTestSchema).ok());
  EXPECT_EQ(testing::ReadFile(existing), "keep me");

  const std::string broken = dir.Path("broken.db");
  Status status = CreateCatalogFile(broken, "CREATE TABLE a (x); CREATE TABLE oops (");
  ASSERT_FALSE(status.ok());
  EXPECT_FALSE(testing::PathExists(broken));
}

TEST_F(SqliteDatabaseTest, QueryStreamsRowsWithTheirValues) {
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name, Age) VALUES ('Ann', 31)").ok());
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name, Age) VALUES ('Bob', NULL)").ok());
  std::unique_ptr<ResultSet> set = MustQuery("SELECT Id, Name AS Имя, Age FROM People ORDER BY Id");
  ASSERT_TRUE(set);
  ASSERT_EQ(set->ColumnCount(), 3);
  EXPECT_EQ(set->ColumnName(1), "Имя");
  EXPECT_EQ(set->ColumnIndex("AGE"), 2);
  EXPECT_EQ(set->ColumnIndex("имя"), 1);
  EXPECT_EQ(set->ColumnIndex("Missing"), std::nullopt);

  ASSERT_FALSE(set->AtEnd());
  EXPECT_EQ(set->Text(1), "Ann");
  EXPECT_EQ(set->Int(2), 31);
  EXPECT_EQ(set->Text(2), "31");
  EXPECT_FALSE(set->IsNull(2));
  ASSERT_TRUE(set->Next().ok());
  EXPECT_EQ(set->Text(1), "Bob");
  EXPECT_TRUE(set->IsNull(2));
  EXPECT_EQ(set->Text(2), "");
  EXPECT_EQ(set->Int(2), 0);
  ASSERT_TRUE(set->Next().ok());
  EXPECT_TRUE(set->AtEnd());
  // Off the rows every value reads as NULL, and moving on is an error.
  EXPECT_TRUE(set->IsNull(0));
  EXPECT_EQ(set->Text(1), "");
  EXPECT_FALSE(set->Next().ok());
  EXPECT_TRUE(set->AtEnd());
  EXPECT_EQ(set->ColumnName(1), "Имя");  // names stay readable past the end

  std::unique_ptr<ResultSet> empty = MustQuery("SELECT Id FROM People WHERE Id < 0");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->AtEnd());
  EXPECT_EQ(empty->ColumnCount(), 1);
}

TEST_F(SqliteDatabaseTest, ValuesConvertAsSqliteConvertsThem) {
  std::unique_ptr<ResultSet> set =
      MustQuery("SELECT 2.5, 2.0, '42abc', 'abc', 7.9, -7.9, 5000000000, -5000000000");
  ASSERT_TRUE(set);
  EXPECT_EQ(set->Text(0), "2.5");
  EXPECT_EQ(set->Text(1), "2.0");
  EXPECT_EQ(set->Int(2), 42);
  EXPECT_EQ(set->Int(3), 0);
  EXPECT_EQ(set->Int(4), 7);
  EXPECT_EQ(set->Int(5), -7);
  EXPECT_EQ(set->Int(6), INT32_MAX);
  EXPECT_EQ(set->Int(7), INT32_MIN);
  EXPECT_EQ(set->Text(8), "");  // out of range
  EXPECT_TRUE(set->IsNull(-1));
}

TEST_F(SqliteDatabaseTest, DateTimeReadsIsoTextAndJetSerials) {
  std::unique_ptr<ResultSet> set = MustQuery(
      "SELECT '2005-03-07 10:20:30', '2005-03-07', '2005-03-07T10:20', '2005-03-07 10:20:30.250',"
      " 2, 0.25, -1.25, 38418.75, NULL, 'soon', '2005-02-30', '2005-03-07 24:00', '2005-03-07 10:20x'");
  ASSERT_TRUE(set);
  const sys_days march7{std::chrono::year(2005) / 3 / 7};
  const sys_days jet_epoch{std::chrono::year(1899) / 12 / 30};
  EXPECT_EQ(set->DateTime(0), sys_seconds(march7 + 10h + 20min + 30s));
  EXPECT_EQ(set->DateTime(1), sys_seconds(march7));
  EXPECT_EQ(set->DateTime(2), sys_seconds(march7 + 10h + 20min));
  EXPECT_EQ(set->DateTime(3), sys_seconds(march7 + 10h + 20min + 30s));
  EXPECT_EQ(set->DateTime(4), sys_seconds(sys_days{std::chrono::year(1900) / 1 / 1}));
  EXPECT_EQ(set->DateTime(5), sys_seconds(jet_epoch + 6h));
  // Before the epoch the whole part counts days back, the fraction still runs forward.
  EXPECT_EQ(set->DateTime(6), sys_seconds(jet_epoch - std::chrono::days(1) + 6h));
  EXPECT_EQ(set->DateTime(7), sys_seconds(march7 + 18h));
  for (int i = 8; i <= 12; ++i) EXPECT_EQ(set->DateTime(i), std::nullopt) << "column " << i;
  // Reading a number as text first does not change how it reads as a date.
  EXPECT_EQ(set->Text(4), "2");
  EXPECT_EQ(set->DateTime(4), sys_seconds(sys_days{std::chrono::year(1900) / 1 / 1}));
}

TEST_F(SqliteDatabaseTest, ReopenRunsNewSqlInTheSameSet) {
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('Ann')").ok());
  std::unique_ptr<ResultSet> set = MustQuery("SELECT Name FROM People");
  ASSERT_TRUE(set);
  ASSERT_TRUE(set->Reopen("SELECT count(*) AS N, 'x' AS X FROM People").ok());
  EXPECT_EQ(set->ColumnCount(), 2);
  EXPECT_EQ(set->Int(0), 1);
  EXPECT_FALSE(set->Reopen("SELECT Nope FROM People").ok());
  EXPECT_TRUE(set->AtEnd());
  set->Close();
  set->Close();
  EXPECT_EQ(set->ColumnCount(), 0);
  ASSERT_TRUE(set->Reopen("SELECT Name FROM People").ok());
  EXPECT_EQ(set->Text(0), "Ann");
}

TEST_F(SqliteDatabaseTest, RepeatedAndConcurrentTextsGetTheirOwnStatements) {
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('A'); INSERT INTO People (Name) VALUES ('B')").ok());
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('A'); INSERT INTO People (Name) VALUES ('B')").ok());
  const char kNames[] = "SELECT Name FROM People ORDER BY Id";
  for (int round = 0; round < 2; ++round) {
    std::unique_ptr<ResultSet> set = MustQuery(kNames);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->Text(0), "A");
  }
  // Two open sets of one text walk independently.
  std::unique_ptr<ResultSet> first = MustQuery(kNames);
  std::unique_ptr<ResultSet> second = MustQuery(kNames);
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(first->Next().ok());
  ASSERT_TRUE(first->Next().ok());
  EXPECT_EQ(first->Text(0), "A");
  EXPECT_EQ(second->Text(0), "A");
  ASSERT_TRUE(second->Next().ok());
  EXPECT_EQ(second->Text(0), "B");
  first.reset();
  second.reset();

  // A cached statement follows schema changes.
  std::unique_ptr<ResultSet> all = MustQuery("SELECT * FROM People");
  ASSERT_TRUE(all);
  const int columns = all->ColumnCount();
  all.reset();
  ASSERT_TRUE(db_->Execute("ALTER TABLE People ADD COLUMN Extra TEXT").ok());
  all = MustQuery("SELECT * FROM People");
  ASSERT_TRUE(all);
  EXPECT_EQ(all->ColumnCount(), columns + 1);
}

TEST_F(SqliteDatabaseTest, ClosingAPartlyReadSetReleasesItsStatement) {
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('A'); INSERT INTO People (Name) VALUES ('B')").ok());
  std::unique_ptr<ResultSet> set = MustQuery("SELECT Name FROM People");
  ASSERT_TRUE(set);
  set->Close();
  // A statement still running over People would keep the table locked.
  Status dropped = db_->Execute("DROP TABLE Pets; DROP TABLE People");
  EXPECT_TRUE(dropped.ok()) << dropped.message();
}

TEST_F(SqliteDatabaseTest, ResultSetOutlivesItsDatabase) {
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('A'); INSERT INTO People (Name) VALUES ('B')").ok());
  std::unique_ptr<ResultSet> set = MustQuery("SELECT Name FROM People ORDER BY Id");
  ASSERT_TRUE(set);
  db_.reset();
  ASSERT_TRUE(set->Next().ok());
  EXPECT_EQ(set->Text(0), "B");
}

TEST_F(SqliteDatabaseTest, LastInsertKeyIsTheNewRowsKey) {
  EXPECT_EQ(db_->LastInsertKey(), 0);
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('A')").ok());
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('B')").ok());
  EXPECT_EQ(db_->LastInsertKey(), 2);
  EXPECT_EQ(Scalar("SELECT @@IDENTITY AS ID;"), 2);
}

TEST_F(SqliteDatabaseTest, FailingStatementsAreErrorsAndTheConnectionGoesOn) {
  Status missing = db_->Execute("INSERT INTO Nowhere (Name) VALUES ('A')");
  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find("no such table"), std::string::npos) << missing.message();
  EXPECT_NE(missing.message().find("Nowhere"), std::string::npos) << missing.message();

  ASSERT_TRUE(db_->Execute("INSERT INTO Pets (Name) VALUES ('Rex')").ok());
  Status duplicate = db_->Execute("INSERT INTO Pets (Name) VALUES ('Rex')");
  ASSERT_FALSE(duplicate.ok());
  EXPECT_NE(duplicate.message().find("UNIQUE"), std::string::npos) << duplicate.message();
  Status orphan = db_->Execute("INSERT INTO Pets (Owner, Name) VALUES (99, 'Tom')");
  EXPECT_FALSE(orphan.ok()) << "foreign keys are enforced";

  EXPECT_FALSE(db_->Query("SELECT Nope FROM People").ok());
  // A text with several statements stops at the first failure.
  EXPECT_FALSE(db_->Execute("INSERT INTO People (Name) VALUES ('1'); INSERT INTO Nowhere VALUES (1);"
                            " INSERT INTO People (Name) VALUES ('2')")
                   .ok());
  EXPECT_EQ(Scalar("SELECT count(*) FROM People"), 1);
  EXPECT_EQ(Scalar("SELECT count(*) FROM Pets"), 1);
}

TEST_F(SqliteDatabaseTest, EmptyOrUntranslatableTextRunsNothing) {
  EXPECT_FALSE(db_->Execute("").ok());
  EXPECT_FALSE(db_->Execute("  ;  ").ok());
  EXPECT_FALSE(db_->Query("").ok());
  // Runnable as SQLite, but not a Jet statement: it must not run.
  Status pragma = db_->Execute("PRAGMA user_version = 5");
  EXPECT_FALSE(pragma.ok());
  // Still the version the catalog got when it was opened.
  EXPECT_EQ(Scalar("SELECT user_version FROM pragma_user_version"), kCatalogVersion);
  EXPECT_FALSE(db_->Execute("INSERT INTO People (Name) VALUES (\"unterminated)").ok());
  EXPECT_EQ(Scalar("SELECT count(*) FROM People"), 0);
  // A query is one statement.
  EXPECT_FALSE(db_->Query("SELECT 1; SELECT 2").ok());
  EXPECT_EQ(Scalar("SELECT 3;"), 3);
}

TEST_F(SqliteDatabaseTest, TransactionsNestAndRollbackRestores) {
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('gone')").ok());
  ASSERT_TRUE(db_->Rollback().ok());
  EXPECT_EQ(Scalar("SELECT count(*) FROM People"), 0);

  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('outer')").ok());
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('inner undone')").ok());
  ASSERT_TRUE(db_->Rollback().ok());
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('inner kept')").ok());
  ASSERT_TRUE(db_->Commit().ok());
  ASSERT_TRUE(db_->Commit().ok());
  EXPECT_EQ(Rows(*db_, "SELECT Name FROM People ORDER BY Id"),
            (std::vector<std::string>{"outer", "inner kept"}));

  // An inner commit is undone with its enclosing transaction.
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->BeginTransaction().ok());
  ASSERT_TRUE(db_->Execute("INSERT INTO People (Name) VALUES ('x')").ok());
  ASSERT_TRUE(db_->Commit().ok());
  ASSERT_TRUE(db_->Rollback().ok());
  EXPECT_EQ(Scalar("SELECT count(*) FROM People"), 2);

  EXPECT_FALSE(db_->Commit().ok());
  EXPECT_FALSE(db_->Rollback().ok());
}

TEST(RelationshipsViewTest, ListsEveryColumnPairOfDeclaredForeignKeys) {
  testing::TempDir dir;
  std::unique_ptr<Database> db = MakeCatalog(dir.Path("c.db"),
                                             "CREATE TABLE Parent (A INTEGER, B TEXT, PRIMARY KEY (A, B));"
                                             "CREATE TABLE Child (X INTEGER NOT NULL, Y TEXT,"
                                             "  FOREIGN KEY (X, Y) REFERENCES Parent);"
                                             "CREATE TABLE Note (N INTEGER REFERENCES Child (X));");
  ASSERT_TRUE(db);
  // A key without a column list pairs with the referenced primary key, in order.
  EXPECT_EQ(Rows(*db, "SELECT szObject, szColumn, szReferencedObject, szReferencedColumn, grbit, icolumn, "
                      "ccolumn FROM MSysRelationships WHERE szObject = 'CHILD' ORDER BY icolumn"),
            (std::vector<std::string>{"Child|X|Parent|A|0|0|2", "Child|Y|Parent|B|2|1|2"}));
  EXPECT_EQ(Rows(*db, "SELECT szReferencedColumn, grbit FROM MSysRelationships WHERE szObject = 'Note'"),
            std::vector<std::string>{"X|2"});
}

TEST(RelationshipsViewTest, ARealTableTakesPrecedence) {
  testing::TempDir dir;
  std::unique_ptr<Database> db = MakeCatalog(
      dir.Path("c.db"),
      "CREATE TABLE A (Id INTEGER PRIMARY KEY); CREATE TABLE B (AId INTEGER REFERENCES A (Id));"
      "CREATE TABLE msysrelationships (szObject TEXT, szColumn TEXT, szReferencedObject TEXT,"
      "  szReferencedColumn TEXT, grbit INTEGER);"
      "INSERT INTO msysrelationships VALUES ('Books', 'GenreId', 'Genres', 'Id', 0);");
  ASSERT_TRUE(db);
  EXPECT_EQ(Rows(*db, "SELECT szObject, szReferencedObject FROM MSysRelationships"),
            std::vector<std::string>{"Books|Genres"});
}

}  // namespace
}  // namespace tomeva::catalog
