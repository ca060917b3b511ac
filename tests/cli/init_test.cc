// The init command through the real program: what a new library holds, where the
// plugin is pointed, and that an existing library is only replaced on request.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_runner.h"

namespace tomeva::testing {
namespace {

size_t GenreLines() {
  size_t n = 0;
  for (const std::string& line : Lines(ReadFile(std::string(TOMEVA_BINARY_DIR) + "/config/genres.tsv"))) {
    n += !line.empty() && line[0] != '#';
  }
  return n;
}

TEST(InitTest, InitCreatesSettingsCatalogBookFolderAndPointsThePluginThere) {
  CliFixture cli;
  ProcessResult init = cli.Run({"init", "library"});  // relative to the current folder
  ASSERT_EQ(init.exit_code, 0) << init.err;
  EXPECT_EQ(init.err, "");
  EXPECT_EQ(ReadFile(cli.library() + "/Tomeva.xml"),
            ReadFile(std::string(TOMEVA_BINARY_DIR) + "/config/Tomeva.xml"));
  EXPECT_TRUE(PathExists(cli.library() + "/Tomeva.sqlite"));
  EXPECT_TRUE(std::filesystem::is_directory(cli.library() + "/Lib"));
  // Absolute, ending in "/", no line break: the plugin takes it byte for byte.
  EXPECT_EQ(ReadFile(cli.Path("plugin/Tomeva.ini")), cli.library() + "/");
  EXPECT_NE(init.out.find("(" + std::to_string(GenreLines()) + " genres)"), std::string::npos)
      << init.out;
  EXPECT_NE(init.out.find("put -r"), std::string::npos) << init.out;

  // The plugin now finds the library with no further help.
  ProcessResult ls = cli.Run({"ls"});
  EXPECT_EQ(ls.exit_code, 0) << ls.err;
  EXPECT_EQ(ls.err, "");
}

TEST(InitTest, ALibraryFolderNamedWithCharactersWindowsForbidsWorksLikeAnyOther) {
  for (const std::string name : {"Books: fiction", "a?*\"<>|\\b ", "lib;Mode=1"}) {
    CliFixture cli;
    const std::string library = cli.Path("x/" + name);
    ProcessResult init = cli.Run({"init", library});
    ASSERT_EQ(init.exit_code, 0) << name << ": " << init.err;
    WriteFile(cli.Path("in/war.fb2"), Fb2Book("Война и мир", "Толстой", "Лев", "prose_classic", 1869));
    ProcessResult put = cli.Run({"put", cli.Path("in/war.fb2")});
    EXPECT_EQ(put.exit_code, 0) << name << ": " << put.out << put.err;
    ProcessResult ls = cli.Run({"ls", "/По годам/1869"});
    EXPECT_EQ(ls.exit_code, 0) << name << ": " << ls.err;
    EXPECT_EQ(ls.out, "Война и мир.fb2\n") << name;
    // The book is stored below the folder the user named, and copies out whole.
    EXPECT_TRUE(PathExists(library + "/Lib/Толстой Лев/Война и мир.fb2")) << name;
    ProcessResult get = cli.Run({"get", "/По годам/1869/Война и мир.fb2", cli.Path("out.fb2")});
    EXPECT_EQ(get.exit_code, 0) << name << ": " << get.err;
    EXPECT_EQ(ReadFile(cli.Path("out.fb2")), ReadFile(cli.Path("in/war.fb2"))) << name;
  }
}

TEST(InitTest, InitWithoutFolderMakesTomevaInHome) {
  CliFixture cli;
  ProcessResult init = cli.Run({"init"});
  ASSERT_EQ(init.exit_code, 0) << init.err;
  EXPECT_TRUE(PathExists(cli.Path("home/Tomeva/Tomeva.sqlite")));
  EXPECT_EQ(ReadFile(cli.Path("plugin/Tomeva.ini")), cli.Path("home/Tomeva") + "/");
}

TEST(InitTest, InitRefusesAnExistingLibraryUnlessForced) {
  CliFixture cli;
  cli.InitLibrary();
  WriteFile(cli.library() + "/Tomeva.xml", "<settings>my own</settings>");
  WriteFile(cli.library() + "/Lib/kept.fb2", "a stored book");

  ProcessResult again = cli.Run({"init", cli.library()});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_EQ(Lines(again.err).size(), 1u) << again.err;
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_EQ(ReadFile(cli.library() + "/Tomeva.xml"), "<settings>my own</settings>");

  // Any one of the three is enough to refuse.
  std::filesystem::create_directories(cli.Path("other/Lib"));
  EXPECT_EQ(cli.Run({"init", cli.Path("other")}).exit_code, 1);
  EXPECT_FALSE(PathExists(cli.Path("other/Tomeva.sqlite")));

  ProcessResult forced = cli.Run({"init", cli.library(), "--force"});
  ASSERT_EQ(forced.exit_code, 0) << forced.err;
  EXPECT_EQ(ReadFile(cli.library() + "/Tomeva.xml"),
            ReadFile(std::string(TOMEVA_BINARY_DIR) + "/config/Tomeva.xml"));
  // Book files are never thrown away.
  EXPECT_EQ(ReadFile(cli.library() + "/Lib/kept.fb2"), "a stored book");
  EXPECT_FALSE(PathExists(cli.library() + "/Tomeva.sqlite.new~"));
  EXPECT_EQ(cli.Run({"ls"}).exit_code, 0);
}

TEST(InitTest, InitNamesAMissingPluginAndWritesNothing) {
  CliFixture cli;
  ProcessResult init = RunProgram(TOMEVA_CLI_PATH,
                                  {"--plugin", cli.Path("nowhere/Tomeva.wfx"), "init",
                                   cli.library()},
                                  cli.dir().path(), cli.Path("home"));
  EXPECT_EQ(init.exit_code, 1);
  EXPECT_NE(init.err.find(cli.Path("nowhere/Tomeva.wfx")), std::string::npos) << init.err;
  EXPECT_FALSE(PathExists(cli.library()));
}

}  // namespace
}  // namespace tomeva::testing
