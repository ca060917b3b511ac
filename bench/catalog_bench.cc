// Catalog engine benchmarks on a generated catalog of 100,000 books: find-or-insert
// of author rows (the import's hottest statement) and a listing-style UNION query.
#include <benchmark/benchmark.h>

#include "catalog/database.h"
#include "catalog/statements.h"
#include "catalog_generator.h"

namespace tomeva::bench {
namespace {

std::unique_ptr<catalog::Database> OpenGenerated(int books) {
  const std::string path = CachedCatalog(CatalogShape{books});
  auto db = catalog::OpenCatalog("Provider=SQLite; Data Source=" + path);
  if (!db.ok()) throw std::runtime_error(db.message());
  return std::move(db).value();
}

// Finds authors that exist (the common case when importing a library).
void BM_FindOrInsertRowFindsExistingAuthor(benchmark::State& state) {
  auto db = OpenGenerated(100000);
  const char* lasts[] = {"Толстой", "Чехов", "Пушкин", "Smith", "Asimov"};
  const char* firsts[] = {"Лев", "Антон", "Александр", "Jane", "Arthur"};
  int i = 0;
  for (auto _ : state) {
    std::string params = std::string("Last=") + lasts[i % 5] + "\r\nFirst=" + firsts[i % 5];
    benchmark::DoNotOptimize(catalog::FindOrInsertRow(db.get(), "Authors", "AuthorId", params,
                                                      catalog::FindMode::kFindOrInsert));
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindOrInsertRowFindsExistingAuthor)->Unit(benchmark::kMicrosecond);

// Inserts new authors inside one transaction, rolled back at the end.
void BM_FindOrInsertRowInsertsNewAuthor(benchmark::State& state) {
  auto db = OpenGenerated(100000);
  (void)db->BeginTransaction();
  int i = 0;
  for (auto _ : state) {
    std::string params = "Last=Новый" + std::to_string(i) + "\r\nFirst=Автор";
    benchmark::DoNotOptimize(catalog::FindOrInsertRow(db.get(), "Authors", "AuthorId", params,
                                                      catalog::FindMode::kFindOrInsert));
    ++i;
  }
  (void)db->Rollback();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindOrInsertRowInsertsNewAuthor)->Unit(benchmark::kMicrosecond);

// A listing-style query: two SELECTs joined by UNION, all rows read.
void BM_ListingUnionQuery(benchmark::State& state) {
  auto db = OpenGenerated(100000);
  const std::string sql =
      "SELECT DISTINCT UCase(Left(Authors.Last,1)) AS Name, -1 AS Dir, 0 AS fSize, 0 AS fDate\n"
      "FROM Authors INNER JOIN BookAuthors ON Authors.AuthorId=BookAuthors.AuthorId UNION "
      "SELECT Books.Title & \".fb2\" AS Name, 0 AS Dir, Books.fSize AS fSize, Books.fDate AS fDate\n"
      "FROM Books WHERE (Books.Year=1950) ;";
  int64_t rows = 0;
  for (auto _ : state) {
    auto set = db->Query(sql);
    if (!set.ok()) {
      state.SkipWithError(set.message().c_str());
      break;
    }
    while (!(*set)->AtEnd()) {
      benchmark::DoNotOptimize((*set)->Text(0));
      ++rows;
      (void)(*set)->Next();
    }
  }
  state.counters["rows"] = benchmark::Counter(static_cast<double>(rows) / state.iterations());
  state.counters["peak_kib"] = static_cast<double>(PeakMemoryKib());
}
BENCHMARK(BM_ListingUnionQuery)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tomeva::bench

BENCHMARK_MAIN();
