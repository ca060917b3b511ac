// Tests of the field host with the built-in sources: source and field lookup,
// index hints, units and the field list cache in the settings.
#include "content/field_host.h"

#include <gtest/gtest.h>

#include "common/node_path.h"
#include "content_test_util.h"
#include "support/temp_dir.h"

namespace tomeva::content {
namespace {

constexpr char kFile[] = "/books/war.and.peace.fb2";

class FieldHostTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  XmlDocument settings_ = testing::SourcesDocument(
      "<plugin><path>/no/such/plugin.wdx</path><name>ghost</name></plugin>");
  FieldHost host_{testing::ContentPlugins(settings_), testing::ConfigFolder(), dir_.path()};
};

TEST_F(FieldHostTest, BuiltinSourcesResolveByNameAndNumber) {
  EXPECT_EQ(host_.GetFieldValue("wdx_tc.FullName", kFile), kFile);
  EXPECT_EQ(host_.GetFieldValue("wdx_tc.Ext", kFile), ".fb2");
  EXPECT_EQ(host_.GetFieldValue("[0].Ext", kFile), ".fb2");
  EXPECT_EQ(host_.GetFieldValue("[1].Packed", kFile), "0");
  EXPECT_EQ(host_.GetFieldValue("wdx_tc[0].FullName", kFile), kFile);
  EXPECT_EQ(host_.GetFieldValue("wdx_tc[5].FullName", kFile), kFile);
  EXPECT_EQ(host_.GetFieldValue("wdx_XML.Packed[20]", kFile), "0");
}

TEST_F(FieldHostTest, UnresolvedReferencesGiveEmptyText) {
  for (const char* reference : {"wdx_tc[x].FullName", "wdx_tc", "", "nope.FullName", "wdx_tc.Nope",
                                "WDX_TC.FullName", "wdx_tc.FullName.unit", "ghost.Anything"}) {
    EXPECT_EQ(host_.GetFieldValue(reference, kFile), "") << reference;
  }
  host_.SetFieldValue("wdx_tc.FullName", kFile, "read-only source: nothing happens");
}

TEST_F(FieldHostTest, FieldListIsCachedInTheSettingsBeforeFieldsTheyAlreadyHold) {
  XmlNode tc = testing::ContentPlugins(settings_).ChildElements()[0];
  SetPathText(tc.FirstChildElement("fields").InsertElementAt(0, "field"), "name", "Custom");
  EXPECT_EQ(host_.GetFieldValue("wdx_tc.Ext", kFile), ".fb2");
  const std::vector<XmlNode> fields = tc.FirstChildElement("fields").ChildElements();
  ASSERT_EQ(fields.size(), 7u);
  EXPECT_EQ(GetPathText(fields[0], "name"), "FullName");
  EXPECT_EQ(GetPathText(fields[0], "type"), "8");
  EXPECT_EQ(GetPathText(fields[4], "type"), "2");
  EXPECT_EQ(GetPathText(fields[6], "name"), "Custom");
  EXPECT_EQ(host_.GetFieldValue("wdx_tc.Custom", kFile), "null");  // field 6: no such field
  EXPECT_EQ(host_.GetFieldValue("wdx_tc.FullName", kFile), kFile);
  EXPECT_EQ(tc.FirstChildElement("fields").ChildElements().size(), 7u);  // listed once

  XmlNode xml = testing::ContentPlugins(settings_).ChildElements()[1];
  EXPECT_EQ(host_.GetFieldValue("wdx_XML.Packed", kFile), "0");
  const std::vector<XmlNode> xml_fields = xml.FirstChildElement("fields").ChildElements();
  ASSERT_EQ(xml_fields.size(), 21u);
  EXPECT_EQ(GetPathText(xml_fields[1], "units"), "1|2|3|4|5|6|7|8|9|10");
  EXPECT_EQ(GetPathText(xml_fields[0], "units"), "");
}

TEST(FieldHostDefinitionsTest, XmlSourceWithoutDefinitionFileHasNoFields) {
  testing::TempDir dir;
  XmlDocument settings = testing::SourcesDocument();
  FieldHost host(testing::ContentPlugins(settings), dir.path(), dir.path());
  EXPECT_EQ(host.GetFieldValue("wdx_XML.Title", dir.Path("a.fb2")), "");
  EXPECT_EQ(host.GetFieldValue("wdx_XML.[0]", dir.Path("a.fb2")), "");
}

TEST(FieldHostDefinitionsTest, NullSourceListResolvesNothing) {
  FieldHost host(XmlNode(), "", "");
  EXPECT_EQ(host.GetFieldValue("wdx_tc.FullName", kFile), "");
  host.SetFieldValue("wdx_XML.Title", kFile, "x");
}

}  // namespace
}  // namespace tomeva::content
