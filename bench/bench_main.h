// The shared main of the benchmark programs: their own options are taken off
// the command line before Google Benchmark reads it, the benchmarks the options
// call for are registered at run time, and besides the usual console output
// every run is written as one tab-separated line to a results file, which
// bench/run turns into its table.
#ifndef TOMEVA_BENCH_BENCH_MAIN_H_
#define TOMEVA_BENCH_BENCH_MAIN_H_

#include <string>
#include <vector>

namespace tomeva::bench {

struct BenchOptions {
  std::vector<std::string> books;  // --books DIR (repeatable): folders of generated books
  int catalog_books = 0;           // --catalog-books N: books of the generated catalog
  std::string results;             // --results FILE: where the result lines go
  bool prepare_only = false;       // --prepare: make the cached data, run nothing
};

// Removes the options above from argv (adjusting argc) and returns them.
// Exits with a message when an option lacks its value.
BenchOptions TakeBenchOptions(int* argc, char** argv);

// The book files (.fb2, .fb2.zip, .fbz) directly in folder, sorted by name.
std::vector<std::string> BookFilesIn(const std::string& folder);

// The last path component of folder, naming a set of books in benchmark names.
std::string SetName(const std::string& folder);

// Initialises Google Benchmark with the rest of argv, runs the registered
// benchmarks and writes one line per run to results (when not empty):
//   name, iterations, real and CPU time per iteration in ms, then counter=value pairs
//   (items_per_second among them), tab-separated; a failed run has "error"
//   and its message after the name. Returns the process exit code.
int RunBenchmarks(int argc, char** argv, const std::string& results);

}  // namespace tomeva::bench

#endif  // TOMEVA_BENCH_BENCH_MAIN_H_
