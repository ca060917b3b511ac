// Generated catalogs for the benchmarks: the default schema filled directly with
// rows (no book files), deterministic for a size.
#ifndef TOMEVA_BENCH_CATALOG_GENERATOR_H_
#define TOMEVA_BENCH_CATALOG_GENERATOR_H_

#include <cstdint>
#include <string>

namespace tomeva::bench {

struct CatalogShape {
  int books = 100000;
  int authors = 0;          // 0: one author per 10 books
  int big_genre_books = 0;  // books of the first genre, beyond the even spread
};

// Creates (or reuses, when it already exists with the same shape) a catalog file
// at path with the default schema and shape's rows. Returns the path.
std::string GenerateCatalog(const std::string& path, const CatalogShape& shape);

// Peak resident memory of this process so far, in KiB.
int64_t PeakMemoryKib();

// The text of a file of the source tree (config/...).
std::string SourceFile(const std::string& relative);

}  // namespace tomeva::bench

#endif  // TOMEVA_BENCH_CATALOG_GENERATOR_H_
