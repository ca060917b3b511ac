// Tests of join planning over the relationships the default schema declares as
// foreign keys: the clauses planned and the rows the planned queries return.
#include "catalog/join_planner.h"

#include "catalog/catalog_fixture.h"
#include "catalog/statements.h"

namespace tomeva::catalog {
namespace {

class JoinPlannerTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    Run("INSERT INTO Authors (AuthorId, Last, First) VALUES (1, 'Толстой', 'Лев'), (2, 'Doe', 'Jane')");
    Run("INSERT INTO Series (SeriesId, Name) VALUES (1, 'Classics')");
    Run("INSERT INTO Books (BookId, Title, SeriesId) VALUES (10, 'Война и мир', 1), (11, 'Ode', NULL)");
    Run("INSERT INTO BookAuthors (BookId, AuthorId) VALUES (10, 1), (11, 2)");
  }
};

TEST_F(JoinPlannerTest, ASingleTableIsItsNameOnceWhateverItsCase) {
  EXPECT_EQ(BuildJoinClause(db(), "Books\r\n"), "Books");
  EXPECT_EQ(BuildJoinClause(db(), "Books\r\nbooks\r\n"), "Books");
}

TEST_F(JoinPlannerTest, AuthorsJoinBooksThroughTheLinkTable) {
  std::string clause = BuildJoinClause(db(), "Books\r\nAuthors\r\n");
  EXPECT_EQ(clause,
            "Authors INNER JOIN (BookAuthors INNER JOIN (Books) ON BookAuthors.BookId=Books.BookId) "
            "ON BookAuthors.AuthorId=Authors.AuthorId");
  EXPECT_EQ(Rows("SELECT Books.Title FROM " + clause + " WHERE Authors.Last=\"Толстой\""),
            "Война и мир");
}

TEST_F(JoinPlannerTest, ANullableForeignKeyIsAnOuterJoin) {
  std::string clause = BuildJoinClause(db(), "Series\r\nBooks\r\n");
  EXPECT_EQ(clause, "Books LEFT JOIN (Series) ON Books.SeriesId=Series.SeriesId");
  std::string reverse = BuildJoinClause(db(), "Books\r\nSeries\r\n");
  EXPECT_EQ(reverse, "Series RIGHT JOIN (Books) ON Books.SeriesId=Series.SeriesId");
  // Every book is kept, also the one without a series.
  EXPECT_EQ(Rows("SELECT Books.Title FROM " + clause + " ORDER BY Books.BookId"),
            "Война и мир|Ode");
  EXPECT_EQ(Rows("SELECT Books.Title FROM " + reverse + " ORDER BY Books.BookId"),
            "Война и мир|Ode");
}

TEST_F(JoinPlannerTest, UnrelatedTablesAreLeftOut) {
  Run("CREATE TABLE Loose (X INTEGER)");
  EXPECT_EQ(BuildJoinClause(db(), "Books\r\nLoose\r\n"), "Books");
}

TEST_F(JoinPlannerTest, APlanIsRememberedUntilTheSchemaChanges) {
  Run("CREATE TABLE Loose (X INTEGER)");
  EXPECT_EQ(BuildJoinClause(db(), "Books\r\nLoose\r\n"), "Books");
  EXPECT_EQ(BuildJoinClause(db(), "Books\r\nLoose\r\n"), "Books");
  // Once Loose declares a relationship to Books, the same tables join.
  Run("DROP TABLE Loose");
  Run("CREATE TABLE Loose (X INTEGER, BookId INTEGER NOT NULL REFERENCES Books(BookId))");
  EXPECT_EQ(BuildJoinClause(db(), "Books\r\nLoose\r\n"),
            "Loose INNER JOIN (Books) ON Loose.BookId=Books.BookId");
}

TEST_F(JoinPlannerTest, FindJoinPathWalksToTheTargets) {
  EXPECT_EQ(FindJoinPath(db(), "AUTHORS", "BOOKS\r\n", "AUTHORS"), "BookAuthors\r\nAUTHORS\r\n");
  EXPECT_EQ(FindJoinPath(db(), "Authors", "books\r\n", "authors"), "BookAuthors\r\nAuthors\r\n");
  EXPECT_EQ(FindJoinPath(db(), "", "BOOKS\r\n", ""), "");
}

TEST_F(JoinPlannerTest, SelectJoinedFindsTheBookFromPathValues) {
  std::string sql = SelectJoined(db(), "Books.BookId", "Authors.Last=Doe\r\nBooks.Title=Ode\r\n");
  EXPECT_EQ(sql,
            "SELECT Books.BookId FROM Authors INNER JOIN (BookAuthors INNER JOIN (Books) ON "
            "BookAuthors.BookId=Books.BookId) ON BookAuthors.AuthorId=Authors.AuthorId WHERE "
            "(Authors.Last=\"Doe\")AND(Books.Title=\"Ode\");");
  EXPECT_EQ(QueryInt(db(), sql), 11);
}

TEST_F(JoinPlannerTest, TablesNamedInCyrillicAreJoinedUnderTheirOwnNames) {
  Run("CREATE TABLE Книги (Код INTEGER PRIMARY KEY, Название TEXT)");
  Run("CREATE TABLE Писатели (Код INTEGER PRIMARY KEY, Фамилия TEXT)");
  Run("CREATE TABLE Авторство (Книга INTEGER NOT NULL REFERENCES Книги(Код), "
      "Писатель INTEGER NOT NULL REFERENCES Писатели(Код))");
  Run("INSERT INTO Книги VALUES (1, 'Война и мир')");
  Run("INSERT INTO Писатели VALUES (7, 'Толстой')");
  Run("INSERT INTO Авторство VALUES (1, 7)");
  const std::string clause = BuildJoinClause(db(), "Книги\r\nПисатели\r\nкниги\r\n");
  EXPECT_EQ(clause,
            "Писатели INNER JOIN (Авторство INNER JOIN (Книги) ON Авторство.Книга=Книги.Код) "
            "ON Авторство.Писатель=Писатели.Код");
  EXPECT_EQ(Rows("SELECT Книги.Название FROM " + clause + " WHERE Писатели.Фамилия=\"Толстой\""),
            "Война и мир");
}

TEST_F(JoinPlannerTest, SelectJoinedCountsATableWhoseNameEndsAnother) {
  std::string sql =
      SelectJoined(db(), "Authors.AuthorId", "BookAuthors.BookId=10\r\nAuthors.Last=Толстой\r\n");
  EXPECT_EQ(QueryInt(db(), sql), 1);
}

TEST_F(JoinPlannerTest, HostileValuesStayLiterals) {
  std::string sql =
      SelectJoined(db(), "Books.BookId", "Books.Title=\"x\" OR 1=1 OR \"\r\n");
  EXPECT_EQ(QueryInt(db(), sql), -1);
}

TEST_F(JoinPlannerTest, ACycleInTheRelationshipsEnds) {
  Run("CREATE TABLE A (AId INTEGER PRIMARY KEY, BId INTEGER NOT NULL REFERENCES B(BId))");
  Run("CREATE TABLE B (BId INTEGER PRIMARY KEY, CId INTEGER NOT NULL REFERENCES C(CId))");
  Run("CREATE TABLE C (CId INTEGER PRIMARY KEY, AId INTEGER NOT NULL REFERENCES A(AId))");
  Run("CREATE TABLE D (DId INTEGER PRIMARY KEY)");
  EXPECT_EQ(FindJoinPath(db(), "A", "D\r\n", "A"), "");
  EXPECT_EQ(BuildJoinClause(db(), "D\r\nA\r\n"), "D");
}

}  // namespace
}  // namespace tomeva::catalog
