// Content benchmarks on folders of generated books: the default fields (those
// the default settings import, see DefaultFields) of every book read through
// the content field host, one book after another as an import does, beside
// what libxml2 alone needs for the same files: a complete parse and a parse of
// the header only (xml_floor.h). Each iteration reads every file once;
// items/s is books/s.
#include <benchmark/benchmark.h>

#include "bench_library.h"
#include "bench_main.h"
#include "catalog_generator.h"
#include "common/node_path.h"
#include "default_fields.h"
#include "xml_floor.h"

namespace tomeva::bench {
namespace {

void Finish(benchmark::State& state, size_t files, int64_t failed) {
  if (failed > 0) state.SkipWithError("some books could not be read");
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(files));
  state.counters["books"] = static_cast<double>(files);
  state.counters["peak_kib"] = static_cast<double>(PeakMemoryKib());
}

void ReadDefaultFields(benchmark::State& state, const std::vector<std::string>& files) {
  XmlDocument settings = DefaultSettings();
  XmlNode plugins = NodeByPath(settings.RootElement(), "ContentPlugins", /*create=*/true);
  content::AddBuiltinSources(plugins);
  content::FieldHost host(plugins, std::string(TOMEVA_SOURCE_DIR) + "/config", "");
  const DefaultFields fields(settings.RootElement());
  int64_t failed = 0;
  int64_t values = 0;
  for (auto _ : state) {
    for (const std::string& file : files) {
      const int read = fields.ReadAll(host, file);
      if (read == 0) ++failed;
      values += read;
    }
  }
  Finish(state, files.size(), failed);
  state.counters["values_per_book"] =
      static_cast<double>(values) /
      static_cast<double>(std::max<int64_t>(1, state.iterations()) *
                          static_cast<int64_t>(std::max<size_t>(1, files.size())));
}

void ParseWithLibxml2(benchmark::State& state, const std::vector<std::string>& files,
                      bool (*parse)(const std::string&)) {
  int64_t failed = 0;
  for (auto _ : state) {
    for (const std::string& file : files) failed += parse(file) ? 0 : 1;
  }
  Finish(state, files.size(), failed);
}

}  // namespace
}  // namespace tomeva::bench

int main(int argc, char** argv) {
  using namespace tomeva::bench;
  const BenchOptions options = TakeBenchOptions(&argc, argv);
  if (options.prepare_only) return 0;
  for (const std::string& folder : options.books) {
    const std::vector<std::string> files = BookFilesIn(folder);
    const std::string name = "content/" + SetName(folder);
    benchmark::RegisterBenchmark((name + "/fields").c_str(), ReadDefaultFields, files)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/libxml2_whole").c_str(), ParseWithLibxml2, files,
                                 &ParseWholeBook)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/libxml2_header").c_str(), ParseWithLibxml2, files,
                                 &ParseBookHeader)
        ->Unit(benchmark::kMillisecond);
  }
  return RunBenchmarks(argc, argv, options.results);
}
