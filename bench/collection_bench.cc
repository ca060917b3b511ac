// Collection benchmarks on collections written by tomeva-sample-library
// (each --books DIR holds one NAME.inpx and its archives):
//
// collection_import/SET: collections::ImportCollection of the whole index into
// a new catalog (default schema); items are index lines.
// collection_index_floor/SET: the floor of that import: reading the index and
// parsing every line, writing nothing.
// collection_copyout/SET: books::CopyBookOut of collection books (a virtual
// path under "По названиям", resolved as FsGetFile resolves it) out of their
// archive into a file, spread over the whole archive; ms per book.
// collection_copyout_floor/SET: platform::CopyFile of plain files holding the
// very same bytes; ms per book.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "bench_library.h"
#include "bench_main.h"
#include "books/book_retrieval.h"
#include "catalog_generator.h"
#include "collections/collection_import.h"
#include "collections/inpx_index.h"
#include "content/zip_archive.h"
#include "platform/files.h"

namespace tomeva::bench {
namespace {

constexpr size_t kCopyOutBooks = 50;

std::string WorkFolder(const std::string& what) {
  return BenchCacheFolder() + "/work/" + what + "-" + std::to_string(getpid());
}

std::string IndexIn(const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (collections::IsCollectionIndexName(entry.path().filename().string())) {
      return entry.path().string();
    }
  }
  return {};
}

void ImportIndex(benchmark::State& state, const std::string& index) {
  const std::string work = WorkFolder("collection-import");
  size_t lines = 0;
  collections::ImportSummary last;
  for (auto _ : state) {
    state.PauseTiming();
    {
      BenchLibrary library(work, "");
      state.ResumeTiming();
      Result<collections::ImportSummary> summary =
          collections::ImportCollection(library.db(), index, nullptr);
      state.PauseTiming();
      if (!summary.ok()) {
        state.SkipWithError(summary.message().c_str());
        break;
      }
      last = *summary;
      lines += summary->added + summary->kept + summary->removed + summary->skipped_deleted +
               summary->refused;
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(lines));
  state.counters["added"] = static_cast<double>(last.added);
  state.counters["refused"] = static_cast<double>(last.refused);
  state.counters["peak_kib"] = static_cast<double>(PeakMemoryKib());
}

void IndexFloor(benchmark::State& state, const std::string& index) {
  size_t lines = 0;
  for (auto _ : state) {
    Result<collections::InpxIndex> opened = collections::InpxIndex::Open(index);
    if (!opened.ok()) {
      state.SkipWithError(opened.message().c_str());
      break;
    }
    for (const collections::InpFile& file : opened->files()) {
      Result<std::string> text = opened->ReadFile(file);
      if (!text.ok()) continue;
      size_t start = 0;
      while (start < text->size()) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        Result<collections::InpRecord> record = collections::ParseInpLine(
            std::string_view(*text).substr(start, end - start), opened->layout());
        benchmark::DoNotOptimize(record);
        ++lines;
        start = end + 1;
      }
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(lines));
}

// Books of the catalog with titles no other book has, so that their listed
// name is "Title.fb2": (virtual path, archive, member) spread over the catalog.
struct CopyOutBook {
  std::string path;
  std::string archive;
  std::string member;
};

std::vector<CopyOutBook> PickBooks(catalog::Database* db, const std::string& folder) {
  std::map<std::string, int> title_count;
  std::vector<CopyOutBook> all;
  auto rows = db->Query(
      "SELECT Books.Title, Books.TitleLetter, Books.Archive, Books.Member FROM Books WHERE "
      "Books.CollectionId IS NOT NULL AND Len(Books.Title)<81 ORDER BY Books.BookId;");
  if (!rows.ok()) return {};
  std::vector<std::string> titles;
  for (catalog::ResultSet& set = **rows; !set.AtEnd(); (void)set.Next()) {
    const std::string title = set.Text(0);
    ++title_count[title];
    titles.push_back(title);
    all.push_back({"\\По названиям\\" + set.Text(1) + "\\" + title + ".fb2",
                   folder + "/" + set.Text(2), set.Text(3)});
  }
  std::vector<CopyOutBook> unique;
  for (size_t i = 0; i < all.size(); ++i) {
    if (title_count[titles[i]] == 1) unique.push_back(all[i]);
  }
  std::vector<CopyOutBook> picked;
  const size_t step = std::max<size_t>(1, unique.size() / kCopyOutBooks);
  for (size_t i = 0; i < unique.size() && picked.size() < kCopyOutBooks; i += step) {
    picked.push_back(unique[i]);
  }
  return picked;
}

void CopyOut(benchmark::State& state, const std::string& index, bool floor) {
  const std::string work = WorkFolder("collection-copyout");
  BenchLibrary library(work, "");
  Result<collections::ImportSummary> summary =
      collections::ImportCollection(library.db(), index, nullptr);
  if (!summary.ok()) {
    state.SkipWithError(summary.message().c_str());
    return;
  }
  const std::string folder = std::filesystem::path(index).parent_path().string();
  const std::vector<CopyOutBook> books = PickBooks(library.db(), folder);
  if (books.empty()) {
    state.SkipWithError("no book to copy out");
    return;
  }
  const std::string out = work + "/out";
  std::filesystem::create_directories(out);
  // The floor copies plain files of the same bytes.
  std::vector<std::string> plain;
  uint64_t bytes = 0;
  for (size_t i = 0; i < books.size(); ++i) {
    Result<ZipArchive> archive = ZipArchive::Open(books[i].archive, ZipArchive::Mode::kRead);
    Result<std::string> member = archive.ok() ? archive->Extract(books[i].member)
                                              : Result<std::string>(archive.error());
    if (!member.ok()) {
      state.SkipWithError(member.message().c_str());
      return;
    }
    bytes += member->size();
    if (floor) {
      plain.push_back(work + "/plain-" + std::to_string(i));
      (void)platform::WriteFileAtomic(plain.back(), *member);
    }
  }
  int64_t copied = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < books.size(); ++i) {
      const std::string target = out + "/" + std::to_string(i) + ".fb2";
      bool ok;
      if (floor) {
        ok = platform::CopyFile(plain[i], target, platform::Overwrite::kYes).ok();
      } else {
        books::CopyFlags flags;
        flags.overwrite = true;
        ok = books::CopyBookOut(library.ctx(), books[i].path, target, flags) ==
             books::GetResult::kOk;
      }
      if (!ok) {
        state.SkipWithError(("cannot copy out " + books[i].path).c_str());
        return;
      }
      ++copied;
    }
  }
  state.SetItemsProcessed(copied);
  state.counters["books"] = static_cast<double>(books.size());
  state.counters["mean_kb"] = static_cast<double>(bytes) / 1000.0 / static_cast<double>(books.size());
  std::error_code ignored;
  uint64_t archive_bytes = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    if (entry.path().extension() == ".zip") {
      archive_bytes = std::max<uint64_t>(archive_bytes, entry.file_size(ignored));
    }
  }
  state.counters["archive_mb"] = static_cast<double>(archive_bytes) / 1e6;
  state.counters["ms_per_book"] = benchmark::Counter(
      static_cast<double>(copied) / 1000.0,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace
}  // namespace tomeva::bench

int main(int argc, char** argv) {
  using namespace tomeva::bench;
  const BenchOptions options = TakeBenchOptions(&argc, argv);
  // Real time throughout: what a user waits for, writes to disk included.
  for (const std::string& folder : options.books) {
    const std::string index = IndexIn(folder);
    if (index.empty()) continue;
    const std::string set = SetName(folder);
    benchmark::RegisterBenchmark(("collection_import/" + set).c_str(), ImportIndex, index)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("collection_index_floor/" + set).c_str(), IndexFloor, index)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("collection_copyout/" + set).c_str(), CopyOut, index, false)
        ->Iterations(3)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("collection_copyout_floor/" + set).c_str(), CopyOut, index,
                                 true)
        ->Iterations(3)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
  return RunBenchmarks(argc, argv, options.results);
}
