// Import benchmarks: books::ImportBooks (what `tomeva put -r` runs: batches of
// one transaction) of generated book files with the default settings
// (storefiles on), every file of a folder in turn, into a new catalog
// and into a copy of a generated catalog that already holds --catalog-books
// books; books/s counts every file handed over (a reissue of a book already
// imported gives "exists" and counts too).
//
// import_phases imports one book at a time (books::ImportBook, one transaction
// each, as Double Commander's FsPutFile does) and splits the time of an import
// into parsing, SQL and file copying by measuring the phases separately with
// the same components: right after each book's import, platform::CopyFile
// copies the same file once more as the import copies it (to a new name,
// without replacing), which is the file copying; after the whole import (the
// reported time), a fresh field host reads the default fields (DefaultFields:
// those the default settings use) of every file, which is the parsing; SQL is
// what remains of the import's time.
//
// copy_out copies every book of a library of the files back out as the file
// manager does: each "По названиям" letter listed, then each listed book
// copied out through books::CopyBookOut (its path resolved as FsGetFile
// resolves it); the floor copies the same stored files with platform::CopyFile
// into the same kind of folder. Importing is not timed.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "bench_library.h"
#include "bench_main.h"
#include "books/book_import.h"
#include "books/book_retrieval.h"
#include "books/import_batch.h"
#include "catalog_generator.h"
#include "common/node_path.h"
#include "default_fields.h"
#include "platform/files.h"
#include "tree/folder_listing.h"

namespace tomeva::bench {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string WorkFolder(const std::string& what) {
  return BenchCacheFolder() + "/work/" + what + "-" + std::to_string(getpid());
}

struct ImportCounts {
  int64_t imported = 0, existing = 0, failed = 0;

  void Add(books::PutResult result) {
    if (result == books::PutResult::kOk) {
      ++imported;
    } else if (result == books::PutResult::kExists) {
      ++existing;
    } else {
      ++failed;
    }
  }
};

// Every file imported as `tomeva put -r` imports them: in batches.
ImportCounts ImportAll(BenchLibrary& library, const std::vector<std::string>& files) {
  ImportCounts counts;
  books::ImportBooks(
      library.ctx(), files, books::CopyFlags{}, [](size_t, int) { return false; },
      [&](size_t, const books::Outcome<books::PutResult>& outcome) { counts.Add(outcome.code); });
  return counts;
}

void SetCounts(benchmark::State& state, const ImportCounts& counts, size_t files,
               int64_t peak_kib = -1) {
  const double iterations = static_cast<double>(std::max<int64_t>(1, state.iterations()));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(files));
  state.counters["books"] = static_cast<double>(files);
  state.counters["imported"] = static_cast<double>(counts.imported) / iterations;
  state.counters["exists"] = static_cast<double>(counts.existing) / iterations;
  state.counters["failed"] = static_cast<double>(counts.failed) / iterations;
  state.counters["peak_kib"] = static_cast<double>(peak_kib >= 0 ? peak_kib : PeakMemoryKib());
}

// Every file of files imported into a library made from catalog_template
// (empty: a new catalog). Setting the library up and removing it are not timed.
void ImportSet(benchmark::State& state, const std::vector<std::string>& files,
               const std::string& catalog_template) {
  const std::string work = WorkFolder("import");
  ImportCounts total;
  int64_t peak_kib = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      BenchLibrary library(work, catalog_template);
      state.ResumeTiming();
      const ImportCounts counts = ImportAll(library, files);
      state.PauseTiming();
      // While the catalog is still mapped, so that its pages are told apart.
      peak_kib = std::max(peak_kib, PeakMemoryKib());
      total.imported += counts.imported;
      total.existing += counts.existing;
      total.failed += counts.failed;
    }
    state.ResumeTiming();
  }
  if (total.failed > 0) state.SkipWithError("some books failed to import");
  SetCounts(state, total, files.size(), peak_kib);
}

// The import of files into a new catalog, one book at a time, each book's
// import followed at once by a copy of the same file as the import makes it
// (so that both meet the file system in the same state); then the parsing of
// every file measured apart.
void ImportPhases(benchmark::State& state, const std::vector<std::string>& files) {
  const std::string work = WorkFolder("phases");
  ImportCounts total;
  double import_s = 0, parse_s = 0, copy_s = 0;
  for (auto _ : state) {
    BenchLibrary library(work, "");
    const std::string copies = work + "/copies";
    std::filesystem::remove_all(copies);
    std::filesystem::create_directories(copies);
    double import_time = 0;
    for (size_t i = 0; i < files.size(); ++i) {
      Clock::time_point start = Clock::now();
      total.Add(books::ImportBook(library.ctx(), files[i], "\\", books::CopyFlags{}).code);
      import_time += SecondsSince(start);
      start = Clock::now();
      if (!platform::CopyFile(files[i], copies + "/" + std::to_string(i), platform::Overwrite::kNo)
               .ok()) {
        state.SkipWithError("copy failed");
      }
      copy_s += SecondsSince(start);
    }
    import_s += import_time;

    // Parsing: the default fields through a field host of its own, so that
    // nothing comes from the import's cache.
    XmlDocument settings = DefaultSettings();
    XmlNode plugins = NodeByPath(settings.RootElement(), "ContentPlugins", /*create=*/true);
    content::AddBuiltinSources(plugins);
    content::FieldHost host(plugins, std::string(TOMEVA_SOURCE_DIR) + "/config", "");
    const DefaultFields fields(settings.RootElement());
    int values = 0;
    const Clock::time_point start = Clock::now();
    for (const std::string& file : files) values += fields.ReadAll(host, file);
    parse_s += SecondsSince(start);
    benchmark::DoNotOptimize(values);
    state.SetIterationTime(import_time);
  }
  if (total.failed > 0) state.SkipWithError("some books failed to import");
  SetCounts(state, total, files.size());
  const double per_book_ms =
      1000.0 / static_cast<double>(std::max<int64_t>(1, state.iterations())) /
      static_cast<double>(std::max<size_t>(1, files.size()));
  state.counters["import_ms_per_book"] = import_s * per_book_ms;
  state.counters["parse_ms_per_book"] = parse_s * per_book_ms;
  state.counters["copy_ms_per_book"] = copy_s * per_book_ms;
  state.counters["sql_ms_per_book"] = (import_s - parse_s - copy_s) * per_book_ms;
}

// The names of a folder's entries; empty when it does not open.
std::vector<std::string> ListedNames(books::BookContext& ctx, const std::string& folder) {
  std::vector<std::string> names;
  std::unique_ptr<tree::FolderListing> listing;
  if (tree::FolderListing::Open(ctx.view, folder, listing) !=
      tree::FolderListing::OpenOutcome::kOpened) {
    return names;
  }
  while (auto entry = listing->Next()) names.push_back(entry->name);
  return names;
}

void CopyOut(benchmark::State& state, const std::vector<std::string>& files, bool floor) {
  const std::string work = WorkFolder(floor ? "copyout-floor" : "copyout");
  BenchLibrary library(work, "");
  ImportAll(library, files);
  const std::string out = work + "/out";
  int64_t copied = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    // The stored files, found before the floor's timing starts.
    std::vector<std::pair<std::string, std::string>> stored;  // (source, target)
    if (floor) {
      for (const std::string& letter : ListedNames(library.ctx(), "\\По названиям")) {
        const std::string folder = "\\По названиям\\" + letter;
        for (const std::string& name : ListedNames(library.ctx(), folder)) {
          stored.emplace_back(books::LocalFileOf(library.ctx(), folder + "\\" + name),
                              out + "/" + name);
        }
      }
    }
    state.ResumeTiming();
    if (floor) {
      for (const auto& [source, target] : stored) {
        if (!platform::CopyFile(source, target, platform::Overwrite::kNo).ok()) {
          state.SkipWithError(("cannot copy " + source).c_str());
          return;
        }
        ++copied;
      }
      continue;
    }
    for (const std::string& letter : ListedNames(library.ctx(), "\\По названиям")) {
      const std::string folder = "\\По названиям\\" + letter;
      for (const std::string& name : ListedNames(library.ctx(), folder)) {
        if (books::CopyBookOut(library.ctx(), folder + "\\" + name, out + "/" + name,
                               books::CopyFlags{}) != books::GetResult::kOk) {
          state.SkipWithError(("cannot copy out " + name).c_str());
          return;
        }
        ++copied;
      }
    }
  }
  state.SetItemsProcessed(copied);
  state.counters["ms_per_book"] = benchmark::Counter(
      static_cast<double>(copied) / 1000.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["peak_kib"] = static_cast<double>(PeakMemoryKib());
}

}  // namespace
}  // namespace tomeva::bench

int main(int argc, char** argv) {
  using namespace tomeva::bench;
  const BenchOptions options = TakeBenchOptions(&argc, argv);
  const std::string base =
      options.catalog_books > 0 ? CachedCatalog(CatalogShape{options.catalog_books}) : "";
  if (options.prepare_only) {  // prints the catalog's path for bench/run
    if (!base.empty()) std::printf("%s\n", base.c_str());
    return 0;
  }
  std::vector<std::string> all_files;
  std::string all_names;
  for (const std::string& folder : options.books) {
    const std::vector<std::string> files = BookFilesIn(folder);
    all_files.insert(all_files.end(), files.begin(), files.end());
    if (!all_names.empty()) all_names += '+';
    all_names += SetName(folder);
    const std::string name = "import/" + SetName(folder);
    // Real time: the import waits for its preparing thread, which the
    // benchmark thread's CPU time would not count.
    benchmark::RegisterBenchmark((name + "/new_catalog").c_str(), ImportSet, files, std::string())
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    for (bool floor : {false, true}) {
      benchmark::RegisterBenchmark(
          ("copy_out/" + SetName(folder) + (floor ? "/floor" : "/plugin")).c_str(), CopyOut, files,
          floor)
          ->Iterations(1)
          ->UseRealTime()
          ->Unit(benchmark::kMillisecond);
    }
    if (!base.empty()) {
      benchmark::RegisterBenchmark(
          (name + "/catalog_of_" + std::to_string(options.catalog_books)).c_str(), ImportSet,
          files, base)
          ->Iterations(1)
          ->UseRealTime()
          ->Unit(benchmark::kMillisecond);
    }
  }
  if (!all_files.empty()) {
    benchmark::RegisterBenchmark(("import_phases/" + all_names).c_str(), ImportPhases, all_files)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  return RunBenchmarks(argc, argv, options.results);
}
