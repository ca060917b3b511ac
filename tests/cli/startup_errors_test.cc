// How the program starts the plugin and fails: a missing or broken plugin, no
// library, the --settings answer, and the command line itself.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_runner.h"

namespace tomeva::testing {
namespace {

TEST(StartupErrorsTest, MissingPluginIsOneLineNamingTheFile) {
  CliFixture cli;
  const std::string missing = cli.Path("gone/Tomeva.wfx");
  ProcessResult ls =
      RunProgram(TOMEVA_CLI_PATH, {"--plugin", missing, "ls"}, cli.dir().path(), cli.Path("home"));
  EXPECT_NE(ls.exit_code, 0);
  EXPECT_EQ(ls.out, "");
  ASSERT_EQ(Lines(ls.err).size(), 1u) << ls.err;
  EXPECT_EQ(ls.err.rfind("tomeva: ", 0), 0u) << ls.err;
  EXPECT_NE(ls.err.find(missing), std::string::npos) << ls.err;
  EXPECT_NE(ls.err.find("--plugin"), std::string::npos) << ls.err;
}

TEST(StartupErrorsTest, UnloadablePluginIsOneLineNamingTheFile) {
  CliFixture cli;
  const std::string broken = cli.Path("broken.wfx");
  WriteFile(broken, "not a shared object");
  ProcessResult ls =
      RunProgram(TOMEVA_CLI_PATH, {"--plugin", broken, "ls"}, cli.dir().path(), cli.Path("home"));
  EXPECT_NE(ls.exit_code, 0);
  ASSERT_EQ(Lines(ls.err).size(), 1u) << ls.err;
  EXPECT_NE(ls.err.find(broken), std::string::npos) << ls.err;
}

TEST(StartupErrorsTest, NoLibrarySaysHowToMakeOneAndExitsOne) {
  CliFixture cli;
  ProcessResult ls = cli.Run({"ls"});
  EXPECT_EQ(ls.exit_code, 1);
  EXPECT_EQ(ls.out, "");
  EXPECT_NE(ls.err.find("tomeva: no library found; run 'tomeva init DIR' or pass --settings FILE"),
            std::string::npos)
      << ls.err;
}

TEST(StartupErrorsTest, SettingsOptionAnswersThePromptOnce) {
  CliFixture cli;
  cli.InitLibrary();
  std::filesystem::remove(cli.Path("plugin/Tomeva.ini"));
  // Settings given this way may name their catalog and book folder absolutely.
  std::string settings = ReadFile(cli.library() + "/Tomeva.xml");
  const std::string datasource = "<datasource>Tomeva.sqlite</datasource>";
  ASSERT_NE(settings.find(datasource), std::string::npos);
  settings.replace(settings.find(datasource), datasource.size(),
                   "<datasource>" + cli.library() + "/Tomeva.sqlite</datasource>");
  WriteFile(cli.library() + "/mine.xml", settings);
  // A relative answer means the current folder, not the plugin's.
  ProcessResult ls = cli.Run({"--settings", "library/mine.xml", "ls"});
  EXPECT_EQ(ls.exit_code, 0) << ls.err;
  EXPECT_EQ(ls.err, "");  // the plugin's "not found" before the answer is not shown
  EXPECT_NE(ls.out.find("По авторам/"), std::string::npos) << ls.out;

  // A settings file that does not load is not offered again: the start fails.
  WriteFile(cli.Path("bad.xml"), "<settings><folders>");
  ProcessResult bad = cli.Run({"ls", "--settings", cli.Path("bad.xml")});
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_NE(bad.err.find("no library found"), std::string::npos) << bad.err;

  // Relative ones start from the settings file's own folder, as in the library
  // that tomeva init made.
  ProcessResult own = cli.Run({"--settings", cli.library() + "/Tomeva.xml", "ls"});
  EXPECT_EQ(own.exit_code, 0) << own.err;
  EXPECT_NE(own.out.find("По авторам/"), std::string::npos) << own.out;

  // A question the command line cannot answer is named, then cancelled.
  settings = ReadFile(cli.library() + "/Tomeva.xml");
  settings.replace(settings.find(datasource), datasource.size(),
                   "<datasource>missing.sqlite</datasource>");
  WriteFile(cli.library() + "/missing.xml", settings);
  ProcessResult no_catalog = cli.Run({"--settings", cli.library() + "/missing.xml", "ls"});
  EXPECT_EQ(no_catalog.exit_code, 1);
  EXPECT_NE(no_catalog.err.find(cli.library() + "/missing.sqlite"), std::string::npos)
      << no_catalog.err;
}

TEST(StartupErrorsTest, HelpAndVersionExitZeroAndUsageErrorsExitTwo) {
  CliFixture cli;
  ProcessResult help = cli.Run({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* command : {"init", "ls", "get", "put", "rm", "mv", "cp", "upgrade"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
    ProcessResult sub = cli.Run({command, "--help"});
    EXPECT_EQ(sub.exit_code, 0) << command;
    EXPECT_NE(sub.out.find("Usage:"), std::string::npos) << command;
  }
  ProcessResult version = cli.Run({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("tomeva ", 0), 0u) << version.out;

  for (std::vector<std::string> wrong : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"ls", "--bogus"}, {"get", "/only-one"}, {"mv", "/a"}}) {
    ProcessResult usage = cli.Run(wrong);
    EXPECT_EQ(usage.exit_code, 2) << usage.err;
    EXPECT_EQ(usage.err.rfind("tomeva: ", 0), 0u) << usage.err;
  }
}

}  // namespace
}  // namespace tomeva::testing
