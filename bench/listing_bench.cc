// Folder listing benchmarks with the default settings on a generated catalog
// (--catalog-books books, 500,000 unless given; one author per 10 books, 50
// genres, so a genre holds a fiftieth of the books): the root, the first
// letters of the authors, one letter's authors, one author's books, a genre
// and the books whose titles begin with "S" (a quarter of the catalog), and
// the search folder for an author and a title word (a handful of books) and
// for two common title words (thousands). The time is that of opening the
// listing and reading all its entries; the entries and the peak memory of the
// process are reported beside it.
//
// lookup/FOLDER: finding a listed book from its path as copying out, deleting
// and moving do (tree::BookIdOfPath), for books spread over the whole folder;
// the time is per lookup.
//
// search/WORDS: the first 100 books of the ranked search for the same words.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <optional>

#include "bench_main.h"
#include "catalog/database.h"
#include "catalog_generator.h"
#include "common/node_path.h"
#include "common/xml_document.h"
#include "tree/folder_listing.h"
#include "tree/path_resolution.h"

namespace tomeva::bench {
namespace {

// Author 40 is "Толстой40 Николай", with ten books.
constexpr int kListedAuthor = 40;

struct Library {
  std::unique_ptr<catalog::Database> db;
  std::optional<XmlDocument> settings;
  tree::CatalogView view;
};

CatalogShape ListingShape(int books) { return CatalogShape{books, books / 10, 50, 0}; }

// The catalog, opened on first use so that only the benchmarks that run pay.
Library& TheLibrary(int books) {
  static Library library = [books] {
    Library lib;
    const std::string path = CachedCatalog(ListingShape(books));
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

void ListFolder(benchmark::State& state, int books, const std::string& path) {
  Library& lib = TheLibrary(books);
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
      static_cast<double>(entries) / static_cast<double>(std::max<int64_t>(1, state.iterations()));
  state.counters["peak_kib"] = static_cast<double>(PeakMemoryKib());
}

// The number of books each lookup benchmark finds, spread over its folder.
constexpr size_t kLookedUpBooks = 200;

void LookUpBooks(benchmark::State& state, int books, const std::string& folder) {
  Library& lib = TheLibrary(books);
  std::vector<std::string> names;
  {
    std::unique_ptr<tree::FolderListing> listing;
    if (tree::FolderListing::Open(lib.view, folder, listing) !=
        tree::FolderListing::OpenOutcome::kOpened) {
      state.SkipWithError("folder did not open");
      return;
    }
    while (auto entry = listing->Next()) names.push_back(entry->name);
  }
  std::vector<std::string> paths;
  const size_t step = std::max<size_t>(1, names.size() / kLookedUpBooks);
  for (size_t i = 0; i < names.size() && paths.size() < kLookedUpBooks; i += step) {
    paths.push_back(folder + "\\" + names[i]);
  }
  int64_t found = 0;
  for (auto _ : state) {
    for (const std::string& path : paths) {
      if (tree::BookIdOfPath(lib.view, path) > 0) ++found;
    }
  }
  if (found != static_cast<int64_t>(paths.size()) * static_cast<int64_t>(state.iterations())) {
    state.SkipWithError("a listed book was not found from its path");
  }
  state.SetItemsProcessed(static_cast<int64_t>(paths.size()) * state.iterations());
  state.counters["ms_per_lookup"] = benchmark::Counter(
      static_cast<double>(found) / 1000.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["peak_kib"] = static_cast<double>(PeakMemoryKib());
}

void SearchRanked(benchmark::State& state, int books, const std::string& words) {
  Library& lib = TheLibrary(books);
  int64_t entries = 0;
  for (auto _ : state) {
    auto keys = lib.db->SearchBooks(words, 100, 0);
    if (!keys.ok()) {
      state.SkipWithError(keys.message().c_str());
      break;
    }
    entries += static_cast<int64_t>(keys->size());
  }
  state.counters["entries"] =
      static_cast<double>(entries) / static_cast<double>(std::max<int64_t>(1, state.iterations()));
  state.counters["peak_kib"] = static_cast<double>(PeakMemoryKib());
}

}  // namespace
}  // namespace tomeva::bench

int main(int argc, char** argv) {
  using namespace tomeva::bench;
  const BenchOptions options = TakeBenchOptions(&argc, argv);
  const int books = options.catalog_books > 0 ? options.catalog_books : 500000;
  if (options.prepare_only) {  // prints the catalog's path for bench/run
    std::printf("%s\n", CachedCatalog(ListingShape(books)).c_str());
    return 0;
  }
  const std::string author = GeneratedAuthorName(kListedAuthor);
  const std::pair<const char*, std::string> folders[] = {
      {"root", "\\"},
      {"author_letters", "\\По авторам"},
      {"letter_authors", "\\По авторам\\Т"},
      {"author_books", "\\По авторам\\Т\\" + author},
      {"genre_books", "\\По жанрам\\Жанр 1"},
      {"title_letter_books", "\\По названиям\\S"},
      {"search_author_title", "\\Поиск\\толстой40 война"},
      {"search_common_words", "\\Поиск\\звезды дорога"},
  };
  for (const auto& [name, path] : folders) {
    benchmark::RegisterBenchmark(("listing/" + std::string(name)).c_str(), ListFolder, books, path)
        ->Unit(benchmark::kMillisecond);
  }
  for (const auto& [name, path] : {std::pair<const char*, std::string>{"genre_book", "\\По жанрам\\Жанр 1"},
                                   {"title_letter_book", "\\По названиям\\S"}}) {
    benchmark::RegisterBenchmark(("lookup/" + std::string(name)).c_str(), LookUpBooks, books, path)
        ->Unit(benchmark::kMillisecond);
  }
  for (const auto& [name, words] : {std::pair<const char*, const char*>{"author_title", "толстой40 война"},
                                    {"common_words", "звезды дорога"}}) {
    benchmark::RegisterBenchmark(("search/" + std::string(name)).c_str(), SearchRanked, books,
                                 std::string(words))
        ->Unit(benchmark::kMillisecond);
  }
  return RunBenchmarks(argc, argv, options.results);
}
