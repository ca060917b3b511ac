// The ls command on a new library: the five ways into the catalog and the search in the three
// output forms, an empty folder, and a path the plugin does not serve.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/cli_runner.h"

namespace tomeva::testing {
namespace {

const char* const kRootFolders[] = {"По авторам", "По годам", "По жанрам", "По названиям",
                                    "По сериям", "Поиск"};

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override { cli_.InitLibrary(); }
  CliFixture cli_;
};

TEST_F(ListingTest, PlainListingShowsFoldersWithATrailingSlash) {
  ProcessResult ls = cli_.Run({"ls", "/"});
  ASSERT_EQ(ls.exit_code, 0) << ls.err;
  std::vector<std::string> lines = Lines(ls.out);
  ASSERT_EQ(lines.size(), 6u) << ls.out;
  for (const char* folder : kRootFolders) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), std::string(folder) + "/"), lines.end())
        << folder;
  }
  // The root is the default, and a path is accepted with or without slashes.
  EXPECT_EQ(cli_.Run({"ls"}).out, ls.out);
  EXPECT_EQ(cli_.Run({"ls", ""}).out, ls.out);
}

TEST_F(ListingTest, LongListingAlignsTypeSizeDateAndName) {
  ProcessResult ls = cli_.Run({"ls", "-l"});
  ASSERT_EQ(ls.exit_code, 0) << ls.err;
  std::vector<std::string> lines = Lines(ls.out);
  ASSERT_EQ(lines.size(), 6u) << ls.out;
  size_t name_column = std::string::npos;
  for (const std::string& line : lines) {
    EXPECT_EQ(line.substr(0, 2), "d ") << line;
    size_t column = line.find("По");
    ASSERT_NE(column, std::string::npos) << line;
    if (name_column == std::string::npos) name_column = column;
    EXPECT_EQ(column, name_column) << "names are not aligned:\n" << ls.out;
    EXPECT_EQ(line.back(), '/') << line;
  }
}

TEST_F(ListingTest, JsonListingIsOneObjectPerLine) {
  ProcessResult ls = cli_.Run({"ls", "--json"});
  ASSERT_EQ(ls.exit_code, 0) << ls.err;
  std::vector<std::string> lines = Lines(ls.out);
  ASSERT_EQ(lines.size(), 6u) << ls.out;
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "{\"name\":\"По авторам\",\"type\":\"dir\",\"size\":0,\"modified\":null}"),
            lines.end())
      << ls.out;
}

TEST_F(ListingTest, EmptyFolderPrintsNothingAndSucceeds) {
  for (const char* folder : {"/По авторам", "/По жанрам/", "По сериям"}) {
    ProcessResult ls = cli_.Run({"ls", "-l", folder});
    EXPECT_EQ(ls.exit_code, 0) << folder << ": " << ls.err;
    EXPECT_EQ(ls.out, "") << folder;
    EXPECT_EQ(ls.err, "") << folder;
  }
}

TEST_F(ListingTest, UnknownPathIsNoSuchFolderWithExitTwo) {
  ProcessResult ls = cli_.Run({"ls", "/Нет такой папки"});
  EXPECT_EQ(ls.exit_code, 2);
  EXPECT_EQ(ls.out, "");
  EXPECT_EQ(ls.err, "tomeva: no such folder: /Нет такой папки\n");
}

}  // namespace
}  // namespace tomeva::testing
