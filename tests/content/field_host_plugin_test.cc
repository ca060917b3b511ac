// Tests of the field host with a real content plugin (test_plugin/): typed
// values as text, units, writing, default parameters and unloading.
#include <gtest/gtest.h>

#include <filesystem>

#include "content/field_host.h"
#include "content_test_util.h"
#include "support/temp_dir.h"

namespace tomeva::content {
namespace {

#ifdef TOMEVA_TEST_WDX_PATH

using testing::PluginElement;
using testing::ReadFile;

// A copy of the test plugin under its own name, so each test loads it afresh.
std::string PluginCopy(const testing::TempDir& dir, const std::string& name) {
  const std::string path = dir.Path(name);
  std::filesystem::copy_file(TOMEVA_TEST_WDX_PATH, path);
  return path;
}

class FieldHostPluginTest : public ::testing::Test {
 protected:
  std::string Log() { return ReadFile(dir_.Path("wdx_test.log")); }

  testing::TempDir dir_;
  XmlDocument settings_ =
      testing::SourcesDocument(PluginElement("test", PluginCopy(dir_, "t.wdx")));
  std::optional<FieldHost> host_{std::in_place, testing::ContentPlugins(settings_), dir_.path(),
                                 dir_.path()};
};

TEST_F(FieldHostPluginTest, TypedValuesBecomeText) {
  const std::pair<const char*, std::string> expected[] = {
      {"Int32", "-123456"}, {"Int64", "-1234567890123"},
      {"Double", "2.5"},    {"Date", "7.3.2005"},
      {"Time", "9:5:0"},    {"BoolFalse", "false"},
      {"BoolTrue", "true"}, {"Long", std::string(1023, 'x')},
      {"Empty", ""},        {"FileError", "null"},
      {"DateTime", "null"}, {"Unknown", "null"},
      {"Choice", "b"}};
  for (const auto& [field, value] : expected) {
    EXPECT_EQ(host_->GetFieldValue(std::string("test.") + field, "/b.fb2"), value) << field;
  }
  std::string cyrillic;
  for (int i = 0; i < 511; ++i) cyrillic += "я";  // 1023 bytes would split the 512th
  EXPECT_EQ(host_->GetFieldValue("test.LongCyrillic", "/b.fb2"), cyrillic);
}

TEST_F(FieldHostPluginTest, UnitsAndWritesReachThePlugin) {
  EXPECT_EQ(host_->GetFieldValue("test.Note", "/b.fb2"), "/b.fb2|-1|");
  EXPECT_EQ(host_->GetFieldValue("test.Note.[3]", "/b.fb2"), "/b.fb2|3|");
  EXPECT_EQ(host_->GetFieldValue("test.Note.second", "/b.fb2"), "/b.fb2|1|");
  EXPECT_EQ(host_->GetFieldValue("test[2].Note[11].third", "/b.fb2"), "/b.fb2|2|");
  host_->SetFieldValue("test.Note.[1]", "/c.fb2", "Новое значение");
  EXPECT_EQ(host_->GetFieldValue("test.Note", "/c.fb2"), "/c.fb2|-1|Новое значение");
  EXPECT_NE(Log().find("t.wdx set /c.fb2 11 1 8 2 Новое значение\n"), std::string::npos);
}

TEST_F(FieldHostPluginTest, DefaultParamsOnceAndUnloadingBeforeTheLibraryIsFreed) {
  EXPECT_EQ(host_->GetFieldValue("test.ParamsCalls", "/b.fb2"), "1");
  EXPECT_EQ(host_->GetFieldValue("test.ParamsCalls", "/b.fb2"), "1");
  host_.reset();
  EXPECT_EQ(Log(), "t.wdx params 272 20 1 " + dir_.Path("ContPlug.ini") +
                       "\nt.wdx unloading\nt.wdx fini\n");
}

TEST_F(FieldHostPluginTest, ALibraryThatAppearsLaterIsFoundOnTheNextRequest) {
  // A reference that did not resolve is not remembered: the library is
  // tried again, as it was before it failed to load.
  XmlDocument settings =
      testing::SourcesDocument(PluginElement("late", dir_.Path("late.wdx")));
  FieldHost host(testing::ContentPlugins(settings), dir_.path(), dir_.path());
  EXPECT_EQ(host.GetFieldValue("late.Note", "/b.fb2"), "");
  PluginCopy(dir_, "late.wdx");
  EXPECT_EQ(host.GetFieldValue("late.Note", "/b.fb2"), "/b.fb2|-1|");
  EXPECT_EQ(host.GetFieldValue("late.Note.[3]", "/b.fb2"), "/b.fb2|3|");
  EXPECT_EQ(host.GetFieldValue("late.Note", "/c.fb2"), "/c.fb2|-1|");
}

TEST_F(FieldHostPluginTest, LibrariesUnloadInSourceOrder) {
  host_.reset();
  XmlDocument settings = testing::SourcesDocument(PluginElement("b", PluginCopy(dir_, "b.wdx")) +
                                                  PluginElement("a", PluginCopy(dir_, "a.wdx")));
  host_.emplace(testing::ContentPlugins(settings), dir_.path(), dir_.path());
  EXPECT_EQ(host_->GetFieldValue("a.Int32", "/x"), "-123456");
  EXPECT_EQ(host_->GetFieldValue("b.Int32", "/x"), "-123456");
  host_.reset();
  const std::string log = Log();
  const size_t b_unloading = log.find("b.wdx unloading"), b_fini = log.find("b.wdx fini");
  const size_t a_unloading = log.find("a.wdx unloading"), a_fini = log.find("a.wdx fini");
  ASSERT_NE(a_fini, std::string::npos);
  EXPECT_LT(b_unloading, b_fini);
  EXPECT_LT(b_fini, a_unloading);
  EXPECT_LT(a_unloading, a_fini);
}

TEST_F(FieldHostPluginTest, LoadableLibraryWinsOverTheBuiltinSourceOfItsName) {
  host_.reset();
  XmlDocument settings = testing::SourcesDocument();
  XmlNode xml = testing::ContentPlugins(settings).ChildElements()[1];
  xml.FirstChildElement("path").SetText(PluginCopy(dir_, "x.wdx"));
  host_.emplace(testing::ContentPlugins(settings), testing::ConfigFolder(), dir_.path());
  EXPECT_EQ(host_->GetFieldValue("wdx_XML.Int32", "/x.fb2"), "-123456");
  EXPECT_EQ(host_->GetFieldValue("wdx_XML.Title", "/x.fb2"), "");
}

TEST_F(FieldHostPluginTest, ARelativeLibraryPathIsTakenFromThePluginsFolder) {
  host_.reset();
  std::filesystem::create_directories(dir_.Path("plugins"));
  PluginCopy(dir_, "plugins/r.wdx");
  // The working folder is not the plugin's: a lookup there finds nothing.
  ASSERT_NE(std::filesystem::current_path().string(), dir_.path());
  XmlDocument settings = testing::SourcesDocument(PluginElement("r", "plugins/r.wdx"));
  host_.emplace(testing::ContentPlugins(settings), dir_.path(), dir_.path());
  EXPECT_EQ(host_->GetFieldValue("r.Int32", "/x"), "-123456");
}

TEST(FieldHostLibraryTest, LibraryWithoutContentExportsFailsOrFallsBackToTheBuiltin) {
  XmlDocument settings = testing::SourcesDocument(PluginElement("zlib", "libz.so.1"));
  XmlNode tc = testing::ContentPlugins(settings).ChildElements()[0];
  tc.FirstChildElement("path").SetText("libz.so.1");
  FieldHost host(testing::ContentPlugins(settings), "", "");
  EXPECT_EQ(host.GetFieldValue("zlib.Anything", "/a.fb2"), "");
  EXPECT_EQ(host.GetFieldValue("wdx_tc.Ext", "/a.fb2"), ".fb2");
}

#else
TEST(FieldHostPluginTest, DISABLED_NeedsTheTestPluginBuilt) {}
#endif

}  // namespace
}  // namespace tomeva::content
