// The command line of tomeva-sample-library.
#include "sample_library/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tomeva {
namespace {

using testing::PathExists;
using testing::TempDir;

struct RunOutcome {
  int code;
  std::string out;
  std::string err;
};

RunOutcome RunWith(std::vector<std::string_view> args) {
  std::ostringstream out;
  std::ostringstream err;
  int code = RunSampleLibrary(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(CommandLineTest, ParsesEveryOptionInBothForms) {
  std::vector<std::string_view> args = {"--out",     "lib",          "--count=25",
                                        "--seed",    "18446744073709551615", "--body-kb=0",
                                        "--zipped-percent", "100",   "--cp1251-percent=0",
                                        "--damaged", "4",            "--flat"};
  Result<SampleLibraryCommand> command = ParseSampleLibraryArgs(args);
  ASSERT_TRUE(command.ok()) << command.message();
  const SampleLibraryOptions& options = command->options;
  EXPECT_EQ(options.out, "lib");
  EXPECT_EQ(options.count, 25u);
  EXPECT_EQ(options.seed, 18446744073709551615u);
  EXPECT_EQ(options.body_kb, 0u);
  EXPECT_EQ(options.zipped_percent, 100u);
  EXPECT_EQ(options.cp1251_percent, 0u);
  EXPECT_EQ(options.damaged, 4u);
  EXPECT_TRUE(options.flat);
  EXPECT_FALSE(command->help);
}

TEST(CommandLineTest, BadArgumentsGiveUsageAndNonZeroExit) {
  TempDir dir;
  std::string out = dir.Path("lib");
  std::vector<std::vector<std::string_view>> cases = {
      {"--count", "5"},                                   // no --out
      {"--out", out},                                     // no --count
      {"--out", out, "--count", "abc"},
      {"--out", out, "--count", "-1"},
      {"--out", out, "--count", "5x"},
      {"--out", out, "--count="},
      {"--out", out, "--count"},                          // value missing
      {"--out", out, "--count", "99999999999999999999"},  // overflows
      {"--out", out, "--count", "5", "--zipped-percent", "101"},
      {"--out", out, "--count", "5", "--body-kb", "65537"},
      {"--out", out, "--count", "5", "--bogus"},
      {"--out", out, "--count", "5", "--flat=yes"},
      {"--out", out, "--count", "5", "stray"},
      {"--out=", "--count", "5"},
  };
  for (const auto& args : cases) {
    RunOutcome run = RunWith(args);
    std::string joined;
    for (std::string_view arg : args) joined += std::string(arg) + " ";
    SCOPED_TRACE(joined);
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("usage: tomeva-sample-library --out DIR --count N"),
              std::string::npos);
    EXPECT_TRUE(run.out.empty());
  }
  EXPECT_FALSE(PathExists(out));
}

TEST(CommandLineTest, HelpPrintsUsageAndWritesNothing) {
  RunOutcome run = RunWith({"--help", "--bogus"});
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(run.out.starts_with("usage: "));
  EXPECT_TRUE(run.err.empty());
}

TEST(CommandLineTest, SuccessfulRunPrintsOneSummaryLine) {
  TempDir dir;
  std::string out = dir.Path("lib");
  RunOutcome run = RunWith({"--out", out, "--count", "3", "--damaged", "2", "--body-kb", "1"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("wrote 5 books (")) << run.out;
  EXPECT_NE(run.out.find(" bytes in "), std::string::npos);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
  EXPECT_TRUE(run.err.empty());

  RunOutcome empty = RunWith({"--out", dir.Path("none"), "--count", "0"});
  EXPECT_EQ(empty.code, 0) << empty.err;
  EXPECT_TRUE(empty.out.starts_with("wrote 0 books (")) << empty.out;
}

TEST(CommandLineTest, UnwritableLibraryExitsWithOne) {
  TempDir dir;
  testing::WriteFile(dir.Path("file"), "x");
  RunOutcome run = RunWith({"--out", dir.Path("file"), "--count", "1"});
  EXPECT_EQ(run.code, 1);
  EXPECT_FALSE(run.err.empty());
  EXPECT_TRUE(run.out.empty());
}

}  // namespace
}  // namespace tomeva
