// Folder listing benchmarks with the default settings on a generated catalog of
// 200,000 books: a genre folder of about 10,000 books and the top level of the
// authors folder. Peak memory is reported beside the times.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "catalog/database.h"
#include "catalog_generator.h"
#include "common/node_path.h"
#include "common/xml_document.h"
#include "tree/folder_listing.h"

namespace tomeva::bench {
namespace {

struct Library {
  std::unique_ptr<catalog::Database> db;
  std::optional<XmlDocument> settings;
  tree::CatalogView view;
};

Library& TheLibrary() {
  static Library library = [] {
    Library lib;
    std::string path =
        (std::filesystem::temp_directory_path() / "tomeva-bench-listing-200k.sqlite").string();
    GenerateCatalog(path, CatalogShape{195000, 0, 5000});
    auto db = catalog::OpenCatalog("Provider=SQLite; Data Source=" + path);
    if (!db.ok()) throw std::runtime_error(db.message());
    lib.db = std::move(db).value();
    auto doc = XmlDocument::LoadText(SourceFile("config/Tomeva.xml"));
    if (!doc.ok()) throw std::runtime_error(doc.message());
    lib.settings.emplace(std::move(doc).value());
    XmlNode root = FindTopNode(*lib.settings, "settings");
    lib.view.db = lib.db.get();
    lib.view.settings_root = root;
    lib.view.folders = root.FirstChildElement("folders");
    lib.view.files = root.FirstChildElement("files");
    lib.view.book_id_table = "Books";
    lib.view.book_id_field = "BookId";
    return lib;
  }();
  return library;
}

void ListFolder(benchmark::State& state, const std::string& path) {
  Library& lib = TheLibrary();
  int64_t entries = 0;
  for (auto _ : state) {
    std::unique_ptr<tree::FolderListing> listing;
    auto outcome = tree::FolderListing::Open(lib.view, path, listing);
    if (outcome != tree::FolderListing::OpenOutcome::kOpened) {
      state.SkipWithError("folder did not open");
      break;
    }
    while (auto entry = listing->Next()) {
      benchmark::DoNotOptimize(entry->name);
      ++entries;
    }
  }
  state.counters["entries"] =
      benchmark::Counter(static_cast<double>(entries) / std::max<int64_t>(1, state.iterations()));
  state.counters["peak_kib"] = static_cast<double>(PeakMemoryKib());
}

void BM_ListGenreOfTenThousandBooks(benchmark::State& state) {
  ListFolder(state, "\\По жанрам\\Жанр 1");
}
BENCHMARK(BM_ListGenreOfTenThousandBooks)->Unit(benchmark::kMillisecond);

void BM_ListAuthorLetters(benchmark::State& state) { ListFolder(state, "\\По авторам"); }
BENCHMARK(BM_ListAuthorLetters)->Unit(benchmark::kMillisecond);

void BM_ListRoot(benchmark::State& state) { ListFolder(state, "\\"); }
BENCHMARK(BM_ListRoot)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tomeva::bench

BENCHMARK_MAIN();
