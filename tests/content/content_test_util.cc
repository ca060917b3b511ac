// Test books and settings documents for the metadata layer tests.
#include "content_test_util.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include "common/node_path.h"

namespace tomeva::testing {
namespace {

std::string Convert(const std::string& utf8, const std::string& encoding) {
  if (encoding == "UTF-8") return utf8;
  iconv_t cd = iconv_open(encoding.c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "no conversion to " << encoding;
    return utf8;
  }
  std::string out(utf8.size() * 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* put = out.data();
  size_t out_left = out.size();
  if (iconv(cd, &in, &in_left, &put, &out_left) == static_cast<size_t>(-1)) {
    ADD_FAILURE() << "text not representable in " << encoding;
  }
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}

}  // namespace

std::string Fb2Book(const BookParts& parts) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"" + parts.encoding + "\"?>\n" + parts.doctype +
      "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
      "xmlns:l=\"http://www.w3.org/1999/xlink\">\n <description>\n  <title-info>" +
      parts.title_info + "</title-info>\n  <document-info><id>1</id></document-info>\n";
  if (!parts.publish_info.empty())
    text += "  <publish-info>" + parts.publish_info + "</publish-info>\n";
  text += " </description>\n <body>" + parts.body + "</body>\n</FictionBook>\n";
  return Convert(text, parts.encoding);
}

TestZipEntry ZipEntry(std::string name, std::string content) {
  TestZipEntry entry;
  entry.name = std::move(name);
  entry.content = std::move(content);
  return entry;
}

XmlDocument SourcesDocument(std::string_view extra_plugins) {
  const std::string text = "<settings>\n  <ContentPlugins>\n    <!-- sources -->\n    " +
                           PluginElement("wdx_tc", "") + "\n    " + PluginElement("wdx_XML", "") +
                           "\n    " + std::string(extra_plugins) +
                           "\n  </ContentPlugins>\n</settings>";
  Result<XmlDocument> doc = XmlDocument::LoadText(text);
  EXPECT_TRUE(doc.ok()) << doc.message();
  return std::move(doc).value();
}

XmlNode ContentPlugins(const XmlDocument& doc) {
  return NodeByPath(doc.RootElement(), "ContentPlugins", /*create=*/false);
}

std::string PluginElement(std::string_view name, std::string_view path) {
  return "<plugin><path>" + std::string(path) + "</path><name>" + std::string(name) +
         "</name><fields/></plugin>";
}

std::string ConfigFolder() { return TOMEVA_SOURCE_DIR "/config"; }

}  // namespace tomeva::testing
