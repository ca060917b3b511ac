// Start-up tests on a Session object: what the loaded settings hold afterwards
// (the absolute library folder, the built-in field sources) and how the catalog
// file name is chosen.
#include <gtest/gtest.h>

#include "catalog/catalog_file.h"
#include "catalog/connection_string.h"
#include "common/node_path.h"
#include "common/path_rules.h"
#include "frame/startup.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace tomeva::frame {
namespace {

using tomeva::testing::TempDir;
using tomeva::testing::WriteFile;

class SessionStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_.module_path = dir_.Path("plugin/Tomeva.wfx");
    WriteFile(session_.module_path, "");
  }
  void MakeCatalog(const std::string& path) {
    ASSERT_TRUE(platform::CreateFolders(std::string(FolderPart(platform::PathStyle::kPosix, path))).ok());
    ASSERT_TRUE(catalog::CreateCatalogFile(path, "CREATE TABLE Books (BookId INTEGER);").ok());
  }
  TempDir dir_;
  Session session_;
};

TEST_F(SessionStartTest, RelativeRootAndDatasourceResolveAgainstTheIniFolder) {
  WriteFile(dir_.Path("lib/Tomeva.xml"),
            "<settings><provider>SQLite</provider><datasource>db/cat.sqlite</datasource>"
            "<root>books</root><folders/><files/></settings>");
  MakeCatalog(dir_.Path("lib/db/cat.sqlite"));
  WriteFile(dir_.Path("plugin/Tomeva.ini"), dir_.Path("lib") + "/");
  ASSERT_EQ(StartSession(session_), 0);
  EXPECT_EQ(GetPathText(session_.settings_root, "root"), dir_.Path("lib/books"));
  EXPECT_NE(session_.catalog, nullptr);
}

TEST_F(SessionStartTest, AbsoluteRootAndDatasourceAreTheUsersOwnFoldersAsWritten) {
  const std::string library = dir_.Path("my: books?");
  const std::string catalog = dir_.Path("db: \"main\"/cat.sqlite");
  WriteFile(dir_.Path("plugin/Tomeva.xml"),
            "<settings><provider>SQLite</provider><datasource>" + catalog +
                "</datasource><root>" + library + "</root><folders/><files/></settings>");
  MakeCatalog(catalog);
  ASSERT_EQ(StartSession(session_), 0);
  EXPECT_EQ(GetPathText(session_.settings_root, "root"), library);
  EXPECT_NE(session_.catalog, nullptr);
  EXPECT_EQ(session_.catalog->FileName(), catalog);
}

TEST_F(SessionStartTest, EmptyRootIsTheLibSubfolderOfTheBase) {
  WriteFile(dir_.Path("plugin/Tomeva.xml"),
            "<settings><provider>SQLite</provider><folders/><files/></settings>");
  MakeCatalog(dir_.Path("plugin/Tomeva.sqlite"));
  ASSERT_EQ(StartSession(session_), 0);
  EXPECT_EQ(GetPathText(session_.settings_root, "root"), dir_.Path("plugin/Lib"));
}

TEST_F(SessionStartTest, BuiltinSourcesComeBeforeTheListedOnes) {
  WriteFile(dir_.Path("plugin/Tomeva.xml"),
            "<settings><provider>SQLite</provider><ContentPlugins><plugin><path>x.wdx</path>"
            "<name>mine</name></plugin></ContentPlugins><folders/><files/></settings>");
  MakeCatalog(dir_.Path("plugin/Tomeva.sqlite"));
  ASSERT_EQ(StartSession(session_), 0);
  XmlNode plugins = session_.content_plugins;
  ASSERT_EQ(plugins.ChildNodeCount(), 3u);
  EXPECT_EQ(GetPathText(plugins.ChildNodeAt(0), "name"), "wdx_tc");
  EXPECT_EQ(GetPathText(plugins.ChildNodeAt(1), "name"), "wdx_XML");
  EXPECT_EQ(GetPathText(plugins.ChildNodeAt(2), "name"), "mine");
}

TEST_F(SessionStartTest, SettingsWithoutContentPluginsGetJustTheBuiltinSources) {
  WriteFile(dir_.Path("plugin/Tomeva.xml"),
            "<settings><provider>SQLite</provider><folders/><files/>"
            "<properties><simple><id name=\"BookId\"><table>Books</table></id></simple>"
            "</properties></settings>");
  MakeCatalog(dir_.Path("plugin/Tomeva.sqlite"));
  ASSERT_EQ(StartSession(session_), 0);
  EXPECT_EQ(session_.content_plugins.ChildNodeCount(), 2u);
  EXPECT_EQ(session_.book_id_table, "Books");
  EXPECT_EQ(session_.book_id_field, "BookId");
}

TEST_F(SessionStartTest, TheSettingsFileIsNeverWritten) {
  const std::string xml =
      "<settings><provider>SQLite</provider><root/><folders/><files/></settings>";
  WriteFile(dir_.Path("plugin/Tomeva.xml"), xml);
  MakeCatalog(dir_.Path("plugin/Tomeva.sqlite"));
  ASSERT_EQ(StartSession(session_), 0);
  session_.Unload();
  EXPECT_EQ(tomeva::testing::ReadFile(dir_.Path("plugin/Tomeva.xml")), xml);
}

TEST_F(SessionStartTest, AnIdTableHoldingElementsLeavesNoHalfLoadedSession) {
  const std::string path = dir_.Path("plugin/Tomeva.xml");
  WriteFile(path,
            "<settings><provider>SQLite</provider><folders/><files/>"
            "<properties><simple><id name=\"BookId\"><table><x/></table></id></simple>"
            "</properties></settings>");
  MakeCatalog(dir_.Path("plugin/Tomeva.sqlite"));
  EXPECT_THROW(LoadSettings(session_, path), XmlError);
  EXPECT_FALSE(session_.started());
  EXPECT_FALSE(session_.settings_root);
  EXPECT_FALSE(session_.folders);
  EXPECT_EQ(StartSession(session_), -1);
  EXPECT_FALSE(session_.started());
}

TEST(CatalogFileRuleTest, DefaultFileFollowsTheProvider) {
  EXPECT_EQ(DefaultCatalogFile("/p/Tomeva.xml", "SQLite"), "/p/Tomeva.sqlite");
  EXPECT_EQ(DefaultCatalogFile("/p/Tomeva.xml", "sqlite3"), "/p/Tomeva.sqlite");
  EXPECT_EQ(DefaultCatalogFile("/p/Tomeva.xml", "Microsoft.Jet.OLEDB.4.0"), "/p/Tomeva.mdb");
  EXPECT_EQ(DefaultCatalogFile("/p/Tomeva.xml", ""), "/p/Tomeva.mdb");
  EXPECT_EQ(CatalogConnectionString("SQLite", "/p/c.sqlite"),
            "Provider=SQLite; Data Source=\"/p/c.sqlite\"; Persist Security Info=False");
}

TEST(CatalogFileRuleTest, TheConnectionStringCarriesAnyFileNameWhole) {
  for (const std::string file : {"/p/lib;Mode=1/c.sqlite", "/p/a \"b\"; c='d'/c.sqlite",
                                 "/p/x; Data Source=/y/c.sqlite"}) {
    const catalog::ConnectionString parts =
        catalog::ParseConnectionString(CatalogConnectionString("SQLite", file));
    EXPECT_EQ(parts.data_source, file);
    EXPECT_EQ(parts.provider, "SQLite");
  }
}

}  // namespace
}  // namespace tomeva::frame
