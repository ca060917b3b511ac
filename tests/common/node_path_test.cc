// Tests of node paths: walking, reading without side effects, writing with
// creation, removal, and the top-level lookup.
#include "common/node_path.h"

#include <gtest/gtest.h>

#include <string>

namespace tomeva {
namespace {

XmlDocument Load(std::string_view text) {
  Result<XmlDocument> doc = XmlDocument::LoadText(text);
  EXPECT_TRUE(doc.ok()) << doc.message();
  return doc.ok() ? std::move(doc).value() : XmlDocument::CreateEmpty();
}

std::string Body(const XmlDocument& doc) {
  std::string text = *doc.Serialize();
  return text.substr(text.find("?>\n") + 3);
}

TEST(NodePathTest, GetPathTextReadsElementsAndAttributesAndNeverCreates) {
  XmlDocument doc = Load("<s><properties><simple id=\"7\"><id>42</id></simple></properties></s>");
  XmlNode root = doc.RootElement();
  EXPECT_EQ(GetPathText(root, "properties/simple/id"), "42");
  EXPECT_EQ(GetPathText(root, "properties/simple/@id"), "7");
  EXPECT_EQ(GetPathText(root, "properties/simple/id/"), "42");
  const std::string before = Body(doc);
  EXPECT_EQ(GetPathText(root, "root/@relative"), "");
  EXPECT_EQ(GetPathText(root, "properties/missing/id"), "");
  EXPECT_EQ(GetPathText(root, "properties/simple/@missing"), "");
  EXPECT_EQ(GetPathText(XmlNode(), "properties"), "");
  EXPECT_EQ(Body(doc), before);
}

TEST(NodePathTest, GetPathTextOfElementWithChildElementsThrows) {
  XmlDocument doc = Load("<s><properties><simple/></properties></s>");
  EXPECT_THROW(GetPathText(doc.RootElement(), "properties"), XmlError);
}

TEST(NodePathTest, SetPathTextCreatesMissingStepsInOrderAndReusesExistingOnes) {
  XmlDocument doc = Load("<s><a/></s>");
  XmlNode root = doc.RootElement();
  SetPathText(root, "a/b/c", "1");
  SetPathText(root, "a/b/d", "2");
  SetPathText(root, "a/b/c", "3");
  SetPathText(root, "root/@relative", "yes");
  SetPathText(root, "@top", "t");
  SetPathText(root, "a/", "");  // replaces the children of a
  SetPathText(root, "x/y", "<&>");
  EXPECT_EQ(Body(doc), "<s top=\"t\"><a/><root relative=\"yes\"/><x><y>&lt;&amp;&gt;</y></x></s>\n");
  EXPECT_EQ(GetPathText(root, "x/y"), "<&>");
  EXPECT_THROW(SetPathText(XmlNode(), "a", "1"), XmlError);
}

TEST(NodePathTest, NodeByPathFollowsCreateFlag) {
  XmlDocument doc = Load("<s><a><b k=\"v\"/></a></s>");
  XmlNode root = doc.RootElement();
  EXPECT_EQ(NodeByPath(root, "", false), root);
  EXPECT_EQ(NodeByPath(root, "a/b/@k", false).Text(), "v");
  EXPECT_TRUE(NodeByPath(root, "a/b/@k", false).IsAttribute());
  EXPECT_FALSE(NodeByPath(root, "a/c/d", false));
  EXPECT_FALSE(NodeByPath(root, "a//b", false));
  EXPECT_FALSE(NodeByPath(root, "a/b/@k/x", false));
  EXPECT_FALSE(NodeByPath(XmlNode(), "a", true));
  EXPECT_EQ(Body(doc), "<s><a><b k=\"v\"/></a></s>\n");

  XmlNode created = NodeByPath(root, "a/c/@n", true);
  EXPECT_TRUE(created.IsAttribute());
  EXPECT_EQ(Body(doc), "<s><a><b k=\"v\"/><c n=\"\"/></a></s>\n");
  EXPECT_THROW(NodeByPath(root, "a/b/@k/x", true), XmlError);
  EXPECT_THROW(NodeByPath(root, "a//b", true), XmlError);
}

TEST(NodePathTest, PathsMatchLocalNamesInANamespacedDocument) {
  XmlDocument doc = Load(
      "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
      "xmlns:l=\"http://www.w3.org/1999/xlink\"><description><title-info>"
      "<coverpage><image l:href=\"#c.jpg\"/></coverpage></title-info></description></FictionBook>");
  XmlNode root = FindTopNode(doc, "FictionBook");
  EXPECT_EQ(GetPathText(root, "description/title-info/coverpage/image/@l:href"), "#c.jpg");
  SetPathText(root, "description/title-info/lang", "ru");
  EXPECT_NE(Body(doc).find("</coverpage><lang>ru</lang>"), std::string::npos) << Body(doc);
}

TEST(NodePathTest, FindTopNodeScansDeclarationCommentAndElement) {
  XmlDocument doc = Load("<?xml version=\"1.0\"?>\n<!DOCTYPE Tomeva>\n<!-- settings -->\n<?app x?>\n<Tomeva/>");
  XmlNode found = FindTopNode(doc, "Tomeva");
  ASSERT_TRUE(found);
  EXPECT_TRUE(found.IsElement());
  EXPECT_EQ(found, doc.RootElement());
  EXPECT_EQ(FindTopNode(doc, "app").Text(), "x");
  EXPECT_FALSE(FindTopNode(doc, "Other"));
  EXPECT_FALSE(FindTopNode(XmlDocument::CreateEmpty(), "Tomeva"));
}

TEST(NodePathTest, NodeIndexCountsEveryChildNode) {
  XmlDocument doc = Load("<r><a/>text<b k=\"1\"/><c/></r>");
  XmlNode root = doc.RootElement();
  XmlNode b = root.FirstChildElement("b");
  EXPECT_EQ(NodeIndex(b), 2);
  EXPECT_EQ(NodeIndex(root.FirstChildElement("a")), 0);
  EXPECT_EQ(NodeIndex(b.AttributeNode("k")), -1);
  EXPECT_EQ(NodeIndex(XmlNode()), -1);
}

TEST(NodePathTest, RemoveNodeAndRemovePathDeleteOneNode) {
  XmlDocument doc = Load("<r k=\"1\"><a><b/><b x=\"2\"/></a><c/><c/></r>");
  XmlNode root = doc.RootElement();
  const std::string before = Body(doc);
  RemovePath(root, "missing/b");
  RemovePath(root, "missing/@x");
  RemovePath(root, "a/@none");
  RemovePath(root, "");
  EXPECT_EQ(Body(doc), before);

  RemovePath(root, "a/b");
  RemovePath(root, "a/b/@x/");
  RemovePath(root, "@k");
  RemovePath(root, "c/");
  EXPECT_EQ(Body(doc), "<r><a><b/></a><c/></r>\n");
  RemoveNode(root.FirstChildElement("c"));
  RemoveNode(XmlNode());
  EXPECT_EQ(Body(doc), "<r><a><b/></a></r>\n");
}

}  // namespace
}  // namespace tomeva
