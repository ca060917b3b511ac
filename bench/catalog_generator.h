// Generated catalogs for the benchmarks: the default schema filled directly with
// rows (no book files), deterministic for a shape and cached in the benchmark
// cache folder under a name made of the shape.
#ifndef TOMEVA_BENCH_CATALOG_GENERATOR_H_
#define TOMEVA_BENCH_CATALOG_GENERATOR_H_

#include <cstdint>
#include <string>

namespace tomeva::bench {

// How many rows a generated catalog holds. Book b (1-based) has author
// (b % authors) + 1 and genre (b % genres) + 1; the big_genre_books books
// after the first `books` all belong to genre 1. Author a is called
// GeneratedAuthorName(a); titles begin with one of 16 words, four of them
// starting with "S" (a quarter of the books).
struct CatalogShape {
  int books = 100000;
  int authors = 0;          // 0: one author per 10 books
  int genres = 40;          // named "Жанр 1", "Жанр 2", ...
  int big_genre_books = 0;  // books of genre 1 beyond the even spread

  int AuthorCount() const;
  // The part of the cached file name that tells shapes apart; it ends with a
  // hash of config/schema.sql.
  std::string Key() const;
};

// The folder generated catalogs and book files are kept in between runs:
// $TOMEVA_BENCH_CACHE, else <temp folder>/tomeva-bench. Created when missing.
std::string BenchCacheFolder();

// The catalog of shape in the cache folder, generated when it is not there yet.
// Generation writes a temporary file that is renamed into place when complete,
// so an interrupted run never leaves a partial catalog behind. Returns the path.
std::string CachedCatalog(const CatalogShape& shape);

// Creates (or reuses, when it already exists with the same shape) a catalog file
// at path with the default schema and shape's rows. Returns the path.
std::string GenerateCatalog(const std::string& path, const CatalogShape& shape);

// "Last First" of generated author a (1-based), as the authors folder shows it.
std::string GeneratedAuthorName(int author);

// Peak resident memory of this process so far, in KiB.
int64_t PeakMemoryKib();

// The text of a file of the source tree (config/...).
std::string SourceFile(const std::string& relative);

}  // namespace tomeva::bench

#endif  // TOMEVA_BENCH_CATALOG_GENERATOR_H_
