// The benchmark programs' options, result lines and run.
#include "bench_main.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace tomeva::bench {
namespace {

bool IsBookName(std::string_view name) {
  auto ends = [&](std::string_view tail) {
    return name.size() >= tail.size() && name.substr(name.size() - tail.size()) == tail;
  };
  return ends(".fb2") || ends(".fb2.zip") || ends(".fbz");
}

// The console output, plus a copy of every run kept for the results file.
class ResultReporter : public benchmark::ConsoleReporter {
 public:
  explicit ResultReporter(std::string results)
      : benchmark::ConsoleReporter(OO_Tabular), results_(std::move(results)) {}

  void ReportRuns(const std::vector<Run>& reports) override {
    benchmark::ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) lines_.push_back(Line(run));
  }

  void Finalize() override {
    benchmark::ConsoleReporter::Finalize();
    if (results_.empty()) return;
    std::ofstream out(results_, std::ios::app);
    for (const std::string& line : lines_) out << line << '\n';
  }

 private:
  static std::string Line(const Run& run) {
    std::string line = run.benchmark_name();
    if (run.error_occurred) return line + "\terror\t" + run.error_message;
    const double units_per_second = benchmark::GetTimeUnitMultiplier(run.time_unit);
    char number[64];
    std::snprintf(number, sizeof number, "\t%lld\t%.6f\t%.6f",
                  static_cast<long long>(run.iterations),
                  run.GetAdjustedRealTime() / units_per_second * 1000.0,
                  run.GetAdjustedCPUTime() / units_per_second * 1000.0);
    line += number;
    for (const auto& [name, counter] : run.counters) {
      std::snprintf(number, sizeof number, "=%.6g", counter.value);
      line += "\t" + name + number;
    }
    return line;
  }

  std::string results_;
  std::vector<std::string> lines_;
};

}  // namespace

BenchOptions TakeBenchOptions(int* argc, char** argv) {
  BenchOptions options;
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= *argc) {
        std::fprintf(stderr, "%s needs a value\n", argv[i]);
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--books") {
      options.books.push_back(value());
    } else if (arg == "--catalog-books") {
      options.catalog_books = std::atoi(value().c_str());
    } else if (arg == "--results") {
      options.results = value();
    } else if (arg == "--prepare") {
      options.prepare_only = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  *argc = kept;
  argv[kept] = nullptr;
  return options;
}

std::vector<std::string> BookFilesIn(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.is_regular_file() && IsBookName(entry.path().filename().string())) {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string SetName(const std::string& folder) {
  std::filesystem::path path = std::filesystem::path(folder).lexically_normal();
  if (path.filename().empty()) path = path.parent_path();  // a trailing "/"
  return path.filename().string();
}

int RunBenchmarks(int argc, char** argv, const std::string& results) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  ResultReporter reporter(results);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace tomeva::bench
