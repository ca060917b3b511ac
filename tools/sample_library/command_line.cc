// Options, usage and the summary line of tomeva-sample-library.
#include "sample_library/command_line.h"

#include "sample_library/collection_writer.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tomeva {

const std::string_view kSampleLibraryUsage =
    "usage: tomeva-sample-library --out DIR --count N [--seed S] [--body-kb K]\n"
    "                             [--zipped-percent P] [--cp1251-percent P]\n"
    "                             [--damaged N] [--flat]\n"
    "       tomeva-sample-library --out DIR --count N --collection NAME [--seed S]\n"
    "                             [--body-kb K] [--zipped-percent P] [--per-archive N]\n"
    "                             [--deleted-percent P] [--index-only]\n"
    "Writes N FictionBook 2 sample books to DIR, the same bytes for the same seed.\n"
    "  --out DIR            library folder (created when missing)\n"
    "  --count N            number of books (0 to 10000000)\n"
    "  --seed S             random seed (default 1)\n"
    "  --body-kb K          body text of each book in KiB (default 8, at most 65536)\n"
    "  --zipped-percent P   share of books zipped as .fb2.zip or .fbz (default 20)\n"
    "  --cp1251-percent P   share of books in windows-1251 (default 20)\n"
    "  --damaged N          add N damaged books named damaged-* (default 0)\n"
    "  --flat               all books in DIR itself, not in first-letter folders\n"
    "  --collection NAME    write a collection instead: ZIP archives of books and the\n"
    "                       index DIR/NAME.inpx; --zipped-percent is then the share\n"
    "                       of deflated (not stored) members\n"
    "  --per-archive N      books per archive of a collection (default 1000)\n"
    "  --deleted-percent P  share of index lines marked deleted (default 0)\n"
    "  --index-only         archives without members (to measure an import alone)\n"
    "  --help               show this text\n";

namespace {

constexpr uint64_t kMaxCount = 10'000'000;
constexpr uint64_t kMaxBodyKb = 65'536;

Error Bad(std::string_view option, std::string_view why) {
  return Error{std::string(option) + ": " + std::string(why)};
}

Result<uint64_t> ParseNumber(std::string_view option, std::string_view text, uint64_t max) {
  uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error == std::errc::result_out_of_range) {
    return Bad(option, text.empty() ? "a number is required" : "number too large");
  }
  if (error != std::errc() || end != text.data() + text.size()) {
    return Bad(option, "not a number: '" + std::string(text) + "'");
  }
  if (value > max) return Bad(option, "at most " + std::to_string(max));
  return value;
}

std::string FormatSummary(const SampleLibrarySummary& summary, std::string_view out,
                          double seconds) {
  char timing[96];
  double rate = seconds > 0 ? static_cast<double>(summary.files) / seconds : 0;
  std::snprintf(timing, sizeof timing, "%.3f s (%.0f books/s)", seconds, rate);
  return "wrote " + std::to_string(summary.files) + " books (" +
         std::to_string(summary.zipped) + " zipped, " + std::to_string(summary.windows1251) +
         " windows-1251, " + std::to_string(summary.damaged) + " damaged), " +
         std::to_string(summary.bytes) + " bytes in " + timing + " to " + std::string(out) +
         "\n";
}

}  // namespace

Result<SampleLibraryCommand> ParseSampleLibraryArgs(std::span<const std::string_view> args) {
  // The options that take a value, with the largest number each accepts.
  struct ValuedOption {
    std::string_view name;
    uint64_t max;
  };
  static constexpr ValuedOption kValued[] = {
      {"--out", 0},          {"--count", kMaxCount},         {"--seed", UINT64_MAX},
      {"--body-kb", kMaxBodyKb}, {"--zipped-percent", 100}, {"--cp1251-percent", 100},
      {"--damaged", kMaxCount}, {"--collection", 0}, {"--per-archive", kMaxCount},
      {"--deleted-percent", 100},
  };
  SampleLibraryCommand command;
  SampleLibraryOptions& options = command.options;
  bool have_out = false;
  bool have_count = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      command.help = true;
      return command;
    }
    if (arg == "--flat") {
      options.flat = true;
      continue;
    }
    if (arg == "--index-only") {
      options.index_only = true;
      continue;
    }
    if (!arg.starts_with("--")) return Error{"unexpected argument '" + std::string(arg) + "'"};
    size_t equals = arg.find('=');
    std::string_view name = arg.substr(0, equals);
    const ValuedOption* option = nullptr;
    for (const ValuedOption& candidate : kValued) {
      if (candidate.name == name) option = &candidate;
    }
    if (option == nullptr) return Error{"unknown option '" + std::string(arg) + "'"};
    std::string_view value;
    if (equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return Bad(name, "a value is required");
    }
    if (name == "--out") {
      if (value.empty()) return Bad(name, "a folder is required");
      options.out = std::string(value);
      have_out = true;
      continue;
    }
    if (name == "--collection") {
      if (value.empty() || value.find('/') != std::string_view::npos) {
        return Bad(name, "a plain name is required");
      }
      options.collection = std::string(value);
      continue;
    }
    Result<uint64_t> number = ParseNumber(name, value, option->max);
    if (!number.ok()) return number.error();
    if (name == "--count") {
      options.count = *number;
      have_count = true;
    } else if (name == "--seed") {
      options.seed = *number;
    } else if (name == "--body-kb") {
      options.body_kb = *number;
    } else if (name == "--zipped-percent") {
      options.zipped_percent = static_cast<unsigned>(*number);
    } else if (name == "--cp1251-percent") {
      options.cp1251_percent = static_cast<unsigned>(*number);
    } else if (name == "--per-archive") {
      if (*number == 0) return Bad(name, "at least 1");
      options.per_archive = *number;
    } else if (name == "--deleted-percent") {
      options.deleted_percent = static_cast<unsigned>(*number);
    } else {
      options.damaged = *number;
    }
  }
  if (!have_out) return Error{"--out is required"};
  if (!have_count) return Error{"--count is required"};
  return command;
}

int RunSampleLibrary(std::span<const std::string_view> args, std::ostream& out,
                     std::ostream& err) {
  Result<SampleLibraryCommand> command = ParseSampleLibraryArgs(args);
  if (!command.ok()) {
    err << "tomeva-sample-library: " << command.message() << "\n" << kSampleLibraryUsage;
    return 2;
  }
  if (command->help) {
    out << kSampleLibraryUsage;
    return 0;
  }
  auto start = std::chrono::steady_clock::now();
  command->options.list_books = false;  // only the counts are printed
  if (!command->options.collection.empty()) {
    Result<SampleCollectionSummary> written = WriteSampleCollection(command->options);
    if (!written.ok()) {
      err << "tomeva-sample-library: " << written.message() << "\n";
      return 1;
    }
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    out << "wrote a collection of " << written->books_written << " books (" << written->deleted
        << " marked deleted) in " << written->archives << " archives, " << written->bytes
        << " bytes, in " << seconds.count() << " s: " << written->index << "\n";
    return 0;
  }
  Result<SampleLibrarySummary> summary = WriteSampleLibrary(command->options);
  if (!summary.ok()) {
    err << "tomeva-sample-library: " << summary.message() << "\n";
    return 1;
  }
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  out << FormatSummary(*summary, command->options.out, elapsed.count());
  return 0;
}

}  // namespace tomeva
