// Test support for the metadata layer: FB2 books of a chosen shape and
// encoding, and settings documents listing field sources.
#ifndef TOMEVA_TESTS_CONTENT_CONTENT_TEST_UTIL_H_
#define TOMEVA_TESTS_CONTENT_CONTENT_TEST_UTIL_H_

#include <string>
#include <string_view>
#include <utility>

#include "common/xml_document.h"
#include "support/zip_test_util.h"

namespace tomeva::testing {

// The parts of a test book; each is inner XML of the element it is named after.
struct BookParts {
  std::string encoding = "UTF-8";  // declared, and used for the bytes
  std::string title_info = "<book-title>Title</book-title>";
  std::string publish_info;  // no <publish-info> when empty
  std::string body = "<section><p>Text</p></section>";
  std::string doctype;  // written between the declaration and <FictionBook>

  BookParts& WithEncoding(std::string v) { return Set(encoding, std::move(v)); }
  BookParts& WithTitleInfo(std::string v) { return Set(title_info, std::move(v)); }
  BookParts& WithPublishInfo(std::string v) { return Set(publish_info, std::move(v)); }
  BookParts& WithBody(std::string v) { return Set(body, std::move(v)); }
  BookParts& WithDoctype(std::string v) { return Set(doctype, std::move(v)); }

 private:
  BookParts& Set(std::string& member, std::string v) {
    member = std::move(v);
    return *this;
  }
};

// The bytes of an FB2 book (UTF-8 parts converted to parts.encoding).
std::string Fb2Book(const BookParts& parts);

// A ZIP entry for BuildTestZip, deflated.
TestZipEntry ZipEntry(std::string name, std::string content);

// A settings document holding <ContentPlugins> with the built-in sources
// wdx_tc and wdx_XML first, then the extra_plugins XML.
XmlDocument SourcesDocument(std::string_view extra_plugins = "");
XmlNode ContentPlugins(const XmlDocument& doc);

// A <plugin> element for extra_plugins.
std::string PluginElement(std::string_view name, std::string_view path);

// The repository's config folder, holding the default wdx_xml.xml.
std::string ConfigFolder();

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_CONTENT_CONTENT_TEST_UTIL_H_
