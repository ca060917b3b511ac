// End-to-end tests of plugin start-up through the real Tomeva.wfx: where the
// settings are found, what the user is told and asked, and how a session that
// cannot open its catalog still starts.
#include <gtest/gtest.h>

#include <filesystem>

#include "catalog/catalog_file.h"
#include "catalog/database.h"
#include "support/temp_dir.h"
#include "wfx/plugin_harness.h"

namespace tomeva::testing {
namespace {

constexpr const char* kMinimalSettings =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<settings><provider>SQLite</provider><datasource>cat.sqlite</datasource>"
    "<folders/><files/></settings>";

void MakeCatalog(const std::string& path) {
  ASSERT_TRUE(catalog::CreateCatalogFile(path, "CREATE TABLE Books (BookId INTEGER PRIMARY KEY);")
                  .ok());
}

int RequestsOfType(const PluginHarness& plugin, int type) {
  int n = 0;
  for (const HostRequest& r : plugin.requests) n += r.type == type;
  return n;
}

TEST(StartupTest, SettingsBesideThePluginStartWithoutAnyDialog) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  WriteSettings(plugin.folder(), kMinimalSettings);
  MakeCatalog(plugin.folder() + "/cat.sqlite");
  EXPECT_EQ(plugin.Init(), 0);
  EXPECT_TRUE(plugin.requests.empty());
}

TEST(StartupTest, APluginLoadedThroughALinkReadsTheSettingsBesideTheLink) {
  TempDir dir;
  PluginHarness plugin(dir.Path("linked"));
  // The library itself lies elsewhere, with no settings beside it.
  std::filesystem::create_directories(dir.Path("real"));
  std::filesystem::rename(plugin.plugin_path(), dir.Path("real/Tomeva.wfx"));
  std::filesystem::create_symlink(dir.Path("real/Tomeva.wfx"), plugin.plugin_path());
  WriteSettings(plugin.folder(), kMinimalSettings);
  MakeCatalog(plugin.folder() + "/cat.sqlite");
  EXPECT_EQ(plugin.Init(), 0);
  EXPECT_TRUE(plugin.requests.empty());
}

TEST(StartupTest, IniNamingAFolderReadsSettingsAndCatalogFromThere) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  WriteFile(dir.Path("library/Tomeva.xml"), kMinimalSettings);
  MakeCatalog(dir.Path("library/cat.sqlite"));
  WriteFile(plugin.folder() + "/Tomeva.ini", dir.Path("library") + "/");
  EXPECT_EQ(plugin.Init(), 0);
  // The relative datasource resolved against the library folder: no prompt.
  EXPECT_TRUE(plugin.requests.empty());
}

TEST(StartupTest, IniEndingInALineBreakNamesAMissingFileAndAsks) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  WriteFile(dir.Path("library/Tomeva.xml"), kMinimalSettings);
  WriteFile(plugin.folder() + "/Tomeva.ini", dir.Path("library/Tomeva.xml") + "\n");
  plugin.prompt_answers.push_back(std::nullopt);  // the user cancels
  EXPECT_EQ(plugin.Init(), -1);
  ASSERT_EQ(plugin.requests.size(), 2u);
  EXPECT_EQ(plugin.requests[0].type, RT_MsgOK);
  EXPECT_EQ(plugin.requests[0].title, "Error");
  EXPECT_EQ(plugin.requests[0].text, "Не найден файл настроек");
  EXPECT_EQ(plugin.requests[1].type, RT_Other);
  EXPECT_EQ(plugin.requests[1].title, "Enter Settings file name");
  EXPECT_EQ(plugin.requests[1].preset, dir.Path("library/Tomeva.xml") + "\n");
}

TEST(StartupTest, SettingsWithoutFilesShowMessageSixThenTheAnswerIsUsed) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  WriteSettings(plugin.folder(), "<settings><folders/></settings>");
  WriteFile(dir.Path("other/good.xml"), kMinimalSettings);
  MakeCatalog(dir.Path("other/cat.sqlite"));
  MakeCatalog(plugin.folder() + "/cat.sqlite");
  plugin.prompt_answers.push_back(dir.Path("other/good.xml"));
  EXPECT_EQ(plugin.Init(), 0);
  ASSERT_GE(plugin.requests.size(), 2u);
  EXPECT_EQ(plugin.requests[0].text, "Отсутствуют шаблоны доступа к файлам");
  EXPECT_EQ(plugin.requests[1].type, RT_Other);
}

TEST(StartupTest, FirstStartSaysWhereItLookedAndHowToMakeALibrary) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  plugin.prompt_answers.push_back(std::nullopt);  // the user cancels
  EXPECT_EQ(plugin.Init(), -1);
  ASSERT_EQ(plugin.requests.size(), 2u);
  EXPECT_EQ(plugin.requests[0].type, RT_MsgOK);
  const std::string& text = plugin.requests[0].text;
  // The message keeps its first line, then names both places and the command.
  EXPECT_EQ(text.rfind("Не найден файл настроек\n", 0), 0u) << text;
  EXPECT_NE(text.find(plugin.folder() + "/Tomeva.xml"), std::string::npos) << text;
  EXPECT_NE(text.find(plugin.folder() + "/Tomeva.ini"), std::string::npos) << text;
  EXPECT_NE(text.find("tomeva init"), std::string::npos) << text;
  EXPECT_EQ(plugin.requests[1].title, "Enter Settings file name");
  EXPECT_EQ(plugin.requests[1].preset, plugin.folder() + "/Tomeva.xml");
}

TEST(StartupTest, APickedSettingsFileFindsItsCatalogAndBooksBesideIt) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  // An existing library elsewhere, with relative datasource and root.
  WriteFile(dir.Path("library/Tomeva.xml"),
            "<settings><provider>SQLite</provider><datasource>cat.sqlite</datasource>"
            "<root>Lib</root><folders><all><initial-path>'\\\\'</initial-path>"
            "<content-query>'SELECT \"x\" AS Name, 0 AS Dir, 0 AS fSize, 0 AS fDate'"
            "</content-query></all></folders><files/></settings>");
  MakeCatalog(dir.Path("library/cat.sqlite"));
  plugin.prompt_answers.push_back(dir.Path("library/Tomeva.xml"));
  EXPECT_EQ(plugin.Init(), 0);
  // Only the settings were asked for: the catalog was found beside them.
  EXPECT_EQ(RequestsOfType(plugin, RT_Other), 1);
  EXPECT_FALSE(std::filesystem::exists(plugin.folder() + "/cat.sqlite"));
  auto listed = plugin.List("/");
  ASSERT_TRUE(listed.has_value());
  ASSERT_EQ(listed->size(), 1u);
  EXPECT_EQ((*listed)[0].name, "x");
}

TEST(StartupTest, PickingASettingsFileWhoseCatalogIsMissingAsksBesideIt) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  WriteFile(dir.Path("library/Tomeva.xml"), kMinimalSettings);
  plugin.prompt_answers.push_back(dir.Path("library/Tomeva.xml"));
  plugin.prompt_answers.push_back(std::nullopt);  // then cancels the catalog
  EXPECT_EQ(plugin.Init(), -1);
  ASSERT_EQ(RequestsOfType(plugin, RT_Other), 2);
  EXPECT_EQ(plugin.requests.back().title, "Укажите базу данных для отображения");
  EXPECT_EQ(plugin.requests.back().preset, dir.Path("library/cat.sqlite"));
}

TEST(StartupTest, BrokenSettingsFilesGiveTheirMessages) {
  struct Case {
    const char* xml;
    const char* message;
  } cases[] = {
      {"<settings><folders>", "Файл настроек не является файлом XML_02"},
      {"<other><folders/><files/></other>", "Отсутствует корневой элемент"},
      {"<settings><files/></settings>", "Отсутствуют шаблоны вывода каталогов"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    PluginHarness plugin(dir.Path("plugin"));
    WriteSettings(plugin.folder(), c.xml);
    EXPECT_EQ(plugin.Init(), -1) << c.xml;
    ASSERT_FALSE(plugin.requests.empty()) << c.xml;
    EXPECT_EQ(plugin.requests[0].text, c.message);
  }
}

TEST(StartupTest, MissingCatalogAsksAndCancelGivesMinusOne) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  WriteSettings(plugin.folder(), kMinimalSettings);
  EXPECT_EQ(plugin.Init(), -1);
  ASSERT_EQ(RequestsOfType(plugin, RT_Other), 1);
  EXPECT_EQ(plugin.requests.back().title, "Укажите базу данных для отображения");
  EXPECT_EQ(plugin.requests.back().preset, plugin.folder() + "/cat.sqlite");
  // The session holds nothing: a listing fails.
  EXPECT_FALSE(plugin.List("/").has_value());
}

TEST(StartupTest, EmptyDatasourceDefaultsToTheProvidersFileBesideTheSettings) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  WriteSettings(plugin.folder(),
                "<settings><provider>SQLite</provider><folders/><files/></settings>");
  EXPECT_EQ(plugin.Init(), -1);
  ASSERT_FALSE(plugin.requests.empty());
  EXPECT_EQ(plugin.requests.back().preset, plugin.folder() + "/Tomeva.sqlite");

  TempDir jet_dir;
  PluginHarness jet(jet_dir.Path("plugin"));
  WriteSettings(jet.folder(),
                "<settings><provider>Microsoft.Jet.OLEDB.4.0</provider><folders/><files/>"
                "</settings>");
  EXPECT_EQ(jet.Init(), -1);
  ASSERT_FALSE(jet.requests.empty());
  EXPECT_EQ(jet.requests.back().preset, jet.folder() + "/Tomeva.mdb");
}

TEST(StartupTest, UnknownProviderStillStartsAndListingFailsCleanly) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  WriteSettings(plugin.folder(),
                "<settings><provider>Nonsense.Provider</provider><datasource>cat.sqlite"
                "</datasource><folders><all><name1>Books.Title</name1></all></folders>"
                "<files/></settings>");
  MakeCatalog(plugin.folder() + "/cat.sqlite");
  EXPECT_EQ(plugin.Init(), 0);
  EXPECT_TRUE(plugin.requests.empty());
  EXPECT_FALSE(plugin.List("/").has_value());
}

TEST(StartupTest, DefaultRootNameIsCutToTheBuffer) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  auto root_name = reinterpret_cast<void (*)(char*, int)>(plugin.Export("FsGetDefRootName"));
  ASSERT_NE(root_name, nullptr);
  char buffer[16];
  root_name(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "MyTomeva");
  root_name(buffer, 5);
  EXPECT_STREQ(buffer, "MyTo");
}

TEST(StartupTest, ExecuteFileLeavesEveryVerbToTheHost) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  auto execute = reinterpret_cast<int (*)(HWND, char*, char*)>(plugin.Export("FsExecuteFile"));
  ASSERT_NE(execute, nullptr);
  char name[] = "/x.fb2";
  char open[] = "open";
  char properties[] = "properties";
  EXPECT_EQ(execute(nullptr, name, open), FS_EXEC_YOURSELF);
  EXPECT_EQ(execute(nullptr, name, properties), FS_EXEC_YOURSELF);
}

TEST(StartupTest, UpgradeAddsTheCompressedColumnOnce) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  WriteSettings(plugin.folder(), kMinimalSettings);
  MakeCatalog(plugin.folder() + "/cat.sqlite");
  auto upgrade = reinterpret_cast<void (*)()>(plugin.Export("UpdateDB5_6"));
  ASSERT_NE(upgrade, nullptr);
  upgrade();
  upgrade();
  auto db = catalog::OpenCatalog("Provider=SQLite; Data Source=" + plugin.folder() +
                                 "/cat.sqlite");
  ASSERT_TRUE(db.ok()) << db.message();
  auto probe = (*db)->Query("SELECT Compressed FROM Books");
  EXPECT_TRUE(probe.ok());
}

TEST(StartupTest, OnlyTheInterfaceIsExported) {
  TempDir dir;
  PluginHarness plugin(dir.Path("plugin"));
  for (const char* name : {"FsInit", "FsFindFirst", "FsFindNext", "FsFindClose",
                           "FsGetDefRootName", "FsExecuteFile", "UpdateDB5_6", "FsMkDir",
                           "FsRemoveDir", "FsContentGetSupportedField", "FsContentGetValue",
                           "FsContentGetSupportedFieldFlags", "FsContentGetDefaultView"}) {
    EXPECT_NE(plugin.Export(name), nullptr) << name;
  }
  EXPECT_EQ(plugin.Export("_ZN6tomeva5frame10ThePluginEv"), nullptr);
}

}  // namespace
}  // namespace tomeva::testing
