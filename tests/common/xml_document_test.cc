// Tests of the XML DOM wrapper: encodings in and out, byte-exact saves, the
// safety of parsing untrusted books, partial parses and the node operations.
#include "common/xml_document.h"

#include <gtest/gtest.h>

#include <chrono>

#include <string>

#include "support/temp_dir.h"

namespace tomeva {
namespace {

using ::tomeva::testing::ReadFile;
using ::tomeva::testing::TempDir;
using ::tomeva::testing::WriteFile;

constexpr char kFb2Ns[] = "http://www.gribuser.ru/xml/fictionbook/2.0";

// A small FB2 book; title is inserted raw, so it must already be in encoding.
std::string Book(std::string_view encoding, std::string_view title) {
  return "<?xml version=\"1.0\" encoding=\"" + std::string(encoding) +
         "\"?>\n<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
         "xmlns:l=\"http://www.w3.org/1999/xlink\">\n"
         "  <description>\n    <title-info>\n      <book-title>" +
         std::string(title) +
         "</book-title>\n      <coverpage><image l:href=\"#cover.jpg\"/></coverpage>\n"
         "    </title-info>\n  </description>\n  <body><p>text</p></body>\n</FictionBook>\n";
}

// UTF-16LE with byte-order mark of a UTF-8 text holding only 1- and 2-byte sequences.
std::string Utf16Le(std::string_view utf8) {
  std::string out = "\xFF\xFE";
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned cp = static_cast<unsigned char>(utf8[i]);
    if (cp >= 0xC0) cp = ((cp & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
    out.push_back(static_cast<char>(cp & 0xFF));
    out.push_back(static_cast<char>(cp >> 8));
  }
  return out;
}

std::string TitleOf(const XmlDocument& doc) {
  return doc.RootElement().FirstChildElement("description").FirstChildElement("title-info")
      .FirstChildElement("book-title").Text();
}

XmlDocument Load(std::string_view text) {
  Result<XmlDocument> doc = XmlDocument::LoadText(text);
  EXPECT_TRUE(doc.ok()) << doc.message();
  return doc.ok() ? std::move(doc).value() : XmlDocument::CreateEmpty();
}

TEST(XmlDocumentTest, BooksInEveryDeclaredEncodingReadBackAsUtf8) {
  struct Case {
    const char* encoding;
    std::string title_bytes;
    const char* title_utf8;
  };
  const Case cases[] = {
      {"UTF-8", "Война и мир", "Война и мир"},
      {"windows-1251", "\xC2\xEE\xE9\xED\xE0 \xE8 \xEC\xE8\xF0", "Война и мир"},
      {"koi8-r", "\xED\xC9\xD2", "Мир"},
      {"iso-8859-1", "caf\xE9", "café"},
  };
  for (const Case& c : cases) {
    Result<XmlDocument> doc = XmlDocument::LoadText(Book(c.encoding, c.title_bytes));
    ASSERT_TRUE(doc.ok()) << c.encoding << ": " << doc.message();
    EXPECT_EQ(TitleOf(*doc), c.title_utf8) << c.encoding;
    EXPECT_EQ(doc->DeclaredEncoding(), c.encoding);
  }
  Result<XmlDocument> utf16 = XmlDocument::LoadText(Utf16Le(Book("UTF-16", "Мир")));
  ASSERT_TRUE(utf16.ok()) << utf16.message();
  EXPECT_EQ(TitleOf(*utf16), "Мир");
  // The same UTF-16 document saved and loaded again keeps its text.
  Result<std::string> bytes = utf16->Serialize();
  ASSERT_TRUE(bytes.ok()) << bytes.message();
  Result<XmlDocument> again = XmlDocument::LoadText(*bytes);
  ASSERT_TRUE(again.ok()) << again.message();
  EXPECT_EQ(TitleOf(*again), "Мир");
}

TEST(XmlDocumentTest, Windows1251SaveKeepsEncodingAndWritesOthersAsCharacterReferences) {
  XmlDocument doc = Load(Book("windows-1251", "\xCC\xE8\xF0"));
  XmlNode title = doc.RootElement().FirstChildElement("description").FirstChildElement("title-info")
                      .FirstChildElement("book-title");
  title.SetText("Мир € ✓");
  title.SetAttribute("note", "✓");
  Result<std::string> bytes = doc.Serialize();
  ASSERT_TRUE(bytes.ok()) << bytes.message();
  EXPECT_NE(bytes->find("encoding=\"windows-1251\""), std::string::npos);
  EXPECT_NE(bytes->find("\xCC\xE8\xF0 \x88 &#10003;"), std::string::npos) << *bytes;
  EXPECT_NE(bytes->find("note=\"&#10003;\""), std::string::npos) << *bytes;
  XmlDocument reloaded = Load(*bytes);
  EXPECT_EQ(TitleOf(reloaded), "Мир € ✓");
}

TEST(XmlDocumentTest, SerializeChangesNothingButTheEditedParts) {
  const std::string original =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- library -->\n"
      "<root a=\"1 &amp; 2\">\n"
      "  <item>  spaced  </item>\n\n"
      "  <code><![CDATA[<raw>]]></code>\n"
      "  <?pi data?>\n"
      "  <empty/>\n"
      "</root>\n";
  XmlDocument doc = Load(original);
  EXPECT_EQ(*doc.Serialize(), original);
  doc.RootElement().FirstChildElement("item").SetText("new");
  std::string edited = original;
  edited.replace(edited.find("  spaced  "), 10, "new");
  EXPECT_EQ(*doc.Serialize(), edited);
}

TEST(XmlDocumentTest, SerializeKeepsCrLfLineEnds) {
  const std::string original =
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
      "<root>\r\n  <item>a\r\nb</item>\r\n  <cr>&#13;</cr>\r\n</root>\r\n";
  XmlDocument doc = Load(original);
  EXPECT_EQ(doc.RootElement().FirstChildElement("item").Text(), "a\nb");
  EXPECT_EQ(*doc.Serialize(), original);
  doc.RootElement().FirstChildElement("item").SetText("x\ny");
  std::string edited = original;
  edited.replace(edited.find("a\r\nb"), 4, "x\r\ny");
  EXPECT_EQ(*doc.Serialize(), edited);
  // A CR LF split between the pieces read still counts; LF alone stays LF.
  TempDir dir;
  const std::string split = "<r>" + std::string(64 * 1024 - 4, ' ') + "\r\n</r>\r\n";
  WriteFile(dir.Path("split.xml"), split);
  Result<XmlDocument> from_file = XmlDocument::LoadFile(dir.Path("split.xml"));
  ASSERT_TRUE(from_file.ok()) << from_file.message();
  EXPECT_NE(from_file->Serialize()->find("\r\n</r>\r\n"), std::string::npos);
  EXPECT_EQ(Load("<r>\n<a/>\r\n</r>\n").Serialize()->find('\r'), std::string::npos);
}

TEST(XmlDocumentTest, TextNodesOverTenMegabytesLoadWithinTheInputLimit) {
  const std::string cover(11u << 20, 'A');
  Result<XmlDocument> doc = XmlDocument::LoadText("<r><binary>" + cover + "</binary></r>");
  ASSERT_TRUE(doc.ok()) << doc.message();
  EXPECT_EQ(doc->RootElement().FirstChildElement("binary").Text().size(), cover.size());
  XmlParseOptions options;
  options.max_bytes = 1u << 20;
  EXPECT_FALSE(XmlDocument::LoadText("<r><binary>" + cover + "</binary></r>", options).ok());
}

TEST(XmlDocumentTest, EntityExpansionStaysBoundedWithDeclaredEntities) {
  // Exponential entities: refused (or kept small), never expanded to gigabytes.
  std::string dtd = "<!DOCTYPE r [<!ENTITY a \"" + std::string(50, 'a') + "\">";
  std::string previous = "a";
  for (char name = 'b'; name <= 'i'; ++name) {
    std::string value;
    for (int i = 0; i < 10; ++i) value += "&" + previous + ";";
    dtd += "<!ENTITY " + std::string(1, name) + " \"" + value + "\">";
    previous = std::string(1, name);
  }
  dtd += "]>";
  const std::string bomb = dtd + "<r x=\"&i;&i;&i;&i;\">&i;</r>";
  const auto start = std::chrono::steady_clock::now();
  Result<XmlDocument> doc = XmlDocument::LoadText(bomb);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  if (doc.ok()) {
    EXPECT_LT(doc->Serialize()->size(), 1u << 20);
  }
  // A declared entity used once, with a large text node after it, still loads.
  Result<XmlDocument> small = XmlDocument::LoadText(
      "<!DOCTYPE r [<!ENTITY n \"x\">]><r t=\"&n;\"><p>" + std::string(1000, 'p') + "</p></r>");
  ASSERT_TRUE(small.ok()) << small.message();
  EXPECT_EQ(small->RootElement().Attribute("t").value_or(""), "x");
}

TEST(XmlDocumentTest, DocumentWithoutDeclaredEncodingIsWrittenAsRawUtf8) {
  XmlDocument doc = Load("<r t=\"Мир\">Мир</r>");
  EXPECT_EQ(doc.DeclaredEncoding(), "");
  EXPECT_EQ(*doc.Serialize(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r t=\"Мир\">Мир</r>\n");
}

TEST(XmlDocumentTest, SerializeReportsAnEncodingItCannotWrite) {
  XmlDocument doc = Load("<r/>");
  doc.raw()->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>("no-such-charset"));
  ::testing::internal::CaptureStderr();
  Result<std::string> bytes = doc.Serialize();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  ASSERT_FALSE(bytes.ok());
  EXPECT_NE(bytes.message().find("no-such-charset"), std::string::npos) << bytes.message();
}

TEST(XmlDocumentTest, SaveFileReplacesTheFileAndLeavesNoTemporary) {
  TempDir dir;
  const std::string path = dir.Path("book.fb2");
  WriteFile(path, "old");
  XmlDocument doc = Load(Book("UTF-8", "Title"));
  ASSERT_TRUE(doc.SaveFile(path).ok());
  EXPECT_EQ(ReadFile(path), *doc.Serialize());
  EXPECT_FALSE(testing::PathExists(path + ".tmp~"));

  Status failed = doc.SaveFile(dir.Path("missing/book.fb2"));
  EXPECT_FALSE(failed.ok());
  EXPECT_NE(failed.message().find("missing/book.fb2"), std::string::npos) << failed.message();
  EXPECT_FALSE(testing::PathExists(dir.Path("missing")));
}

TEST(XmlDocumentTest, ExternalEntitiesAndDtdsAreNeverRead) {
  TempDir dir;
  WriteFile(dir.Path("secret.txt"), "SECRET");
  WriteFile(dir.Path("evil.dtd"), "<!ENTITY leak \"SECRET\">");
  const std::string general = "<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + dir.Path("secret.txt") +
                              "\">]><r>&x;</r>";
  const std::string parameter = "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" + dir.Path("evil.dtd") +
                                "\"> %p;]><r>x</r>";
  const std::string external_dtd = "<!DOCTYPE r SYSTEM \"file://" + dir.Path("evil.dtd") + "\"><r>x</r>";
  for (const std::string& text : {general, parameter, external_dtd}) {
    Result<XmlDocument> doc = XmlDocument::LoadText(text);
    if (!doc.ok()) continue;  // refusing the document is safe as well
    EXPECT_EQ(doc->RootElement().Text().find("SECRET"), std::string::npos) << text;
    EXPECT_EQ(doc->Serialize()->find("SECRET"), std::string::npos) << text;
  }
}

TEST(XmlDocumentTest, StopAfterElementGivesTheHeaderOfABookWithBrokenBody) {
  const std::string book = Book("windows-1251", "\xCC\xE8\xF0");
  const std::string broken = book.substr(0, book.find("<body>")) + "<body><p>unclosed</body><<<";
  XmlParseOptions options;
  options.stop_after_element = "description";
  options.max_bytes = broken.size() - 10;  // only the bytes read count

  Result<XmlDocument> doc = XmlDocument::LoadText(broken, options);
  ASSERT_TRUE(doc.ok()) << doc.message();
  EXPECT_EQ(TitleOf(*doc), "Мир");
  EXPECT_EQ(doc->DeclaredEncoding(), "windows-1251");
  EXPECT_FALSE(doc->RootElement().FirstChildElement("body"));

  TempDir dir;
  WriteFile(dir.Path("broken.fb2"), broken);
  Result<XmlDocument> from_file = XmlDocument::LoadFile(dir.Path("broken.fb2"), options);
  ASSERT_TRUE(from_file.ok()) << from_file.message();
  EXPECT_EQ(TitleOf(*from_file), "Мир");

  Result<XmlDocument> whole = XmlDocument::LoadText(broken);
  ASSERT_FALSE(whole.ok());
  EXPECT_NE(whole.message().find("line"), std::string::npos) << whole.message();
  // A header that is itself broken is still an error.
  EXPECT_FALSE(XmlDocument::LoadText("<FictionBook><description><x></description>", options).ok());
}

TEST(XmlDocumentTest, HeaderLongerThanManyPiecesIsReadWholeInEveryEncoding) {
  // A title of about 40 KB: the header is fed to the parser in pieces, and
  // some piece boundaries fall inside a two-byte UTF-8 character.
  std::string utf8_title;
  std::string cp1251_title;
  for (int i = 0; i < 6000; ++i) {
    utf8_title += (i % 7 == 0) ? "a" : "Ж";
    cp1251_title += (i % 7 == 0) ? "a" : "\xC6";
  }
  XmlParseOptions options;
  options.stop_after_element = "description";
  TempDir dir;
  for (const auto& [encoding, title] : {std::pair<std::string, std::string>{"UTF-8", utf8_title},
                                        {"windows-1251", cp1251_title}}) {
    WriteFile(dir.Path("long.fb2"), Book(encoding, title));
    Result<XmlDocument> doc = XmlDocument::LoadFile(dir.Path("long.fb2"), options);
    ASSERT_TRUE(doc.ok()) << encoding << ": " << doc.message();
    EXPECT_EQ(TitleOf(*doc), utf8_title) << encoding;
    EXPECT_FALSE(doc->RootElement().FirstChildElement("body")) << encoding;
  }
}

TEST(XmlDocumentTest, InputOverMaxBytesIsRefused) {
  const std::string book = Book("UTF-8", "Title");
  XmlParseOptions options;
  options.max_bytes = book.size() - 1;
  Result<XmlDocument> text = XmlDocument::LoadText(book, options);
  ASSERT_FALSE(text.ok());
  EXPECT_NE(text.message().find("larger"), std::string::npos) << text.message();

  TempDir dir;
  WriteFile(dir.Path("big.fb2"), book);
  EXPECT_FALSE(XmlDocument::LoadFile(dir.Path("big.fb2"), options).ok());
  options.max_bytes = book.size();
  EXPECT_TRUE(XmlDocument::LoadFile(dir.Path("big.fb2"), options).ok());
}

TEST(XmlDocumentTest, LoadErrorsAreValuesWithAReadableMessageAndNothingOnStderr) {
  ::testing::internal::CaptureStderr();
  Result<XmlDocument> missing = XmlDocument::LoadFile("/nonexistent/book.fb2");
  Result<XmlDocument> malformed = XmlDocument::LoadText("<a>\n<b></a>");
  Result<XmlDocument> empty = XmlDocument::LoadText("");
  Result<XmlDocument> bad_bytes = XmlDocument::LoadText(Book("windows-1251", "\x98"));
  Result<XmlDocument> bad_utf8 = XmlDocument::LoadText(Book("UTF-8", "\xC3\x28"));
  Result<XmlDocument> unknown = XmlDocument::LoadText(Book("no-such-charset", "x"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find("/nonexistent/book.fb2"), std::string::npos);
  ASSERT_FALSE(malformed.ok());
  EXPECT_NE(malformed.message().find("line 2"), std::string::npos) << malformed.message();
  EXPECT_FALSE(empty.ok());
  EXPECT_FALSE(bad_bytes.ok());
  EXPECT_FALSE(bad_utf8.ok());
  EXPECT_FALSE(unknown.ok());
}

TEST(XmlDocumentTest, NamespacedBookMatchesLocalNamesAndPrefixedAttributes) {
  XmlDocument doc = Load(Book("UTF-8", "T"));
  XmlNode root = doc.RootElement();
  EXPECT_EQ(root.Name(), "FictionBook");
  XmlNode image = root.FirstChildElement("description").FirstChildElement("title-info")
                      .FirstChildElement("coverpage").FirstChildElement("image");
  ASSERT_TRUE(image);
  EXPECT_EQ(image.Attribute("l:href"), "#cover.jpg");
  EXPECT_EQ(image.Attribute("href"), std::nullopt);
  EXPECT_EQ(image.AttributeNode("l:href").Name(), "href");

  XmlNode added = image.Parent().InsertElementAt(99, "image");
  added.SetAttribute("l:href", "#back.jpg");
  EXPECT_STREQ(reinterpret_cast<const char*>(added.raw()->ns->href), kFb2Ns);
  EXPECT_THROW(added.SetAttribute("x:y", "1"), XmlError);
  Result<std::string> bytes = doc.Serialize();
  EXPECT_NE(bytes->find("<image l:href=\"#cover.jpg\"/><image l:href=\"#back.jpg\"/>"), std::string::npos)
      << *bytes;
}

TEST(XmlDocumentTest, TextReadsTextAndCdataAndRefusesElementChildren) {
  XmlDocument doc = Load("<r><t>a<![CDATA[<b>]]>&amp;c<!--n--></t><e/><m>x<i/></m></r>");
  XmlNode root = doc.RootElement();
  EXPECT_EQ(root.FirstChildElement("t").Text(), "a<b>&c");
  EXPECT_EQ(root.FirstChildElement("e").Text(), "");
  try {
    root.FirstChildElement("m").Text();
    ADD_FAILURE() << "no XmlError";
  } catch (const XmlError& error) {
    EXPECT_STREQ(error.what(), "Element does not contain a single text node");
  }
}

TEST(XmlDocumentTest, SetTextStoresMarkupAsTextAndRefusesWhatXmlCannotCarry) {
  XmlDocument doc = Load("<r><m>x<i/></m></r>");
  XmlNode m = doc.RootElement().FirstChildElement("m");
  m.SetText("<b>&amp;</b>");
  EXPECT_EQ(m.ChildNodeCount(), 1u);
  EXPECT_EQ(Load(*doc.Serialize()).RootElement().FirstChildElement("m").Text(), "<b>&amp;</b>");
  m.SetAttribute("a", "\"q\" & <");
  EXPECT_EQ(Load(*doc.Serialize()).RootElement().FirstChildElement("m").Attribute("a"), "\"q\" & <");

  EXPECT_THROW(m.SetText("bad \xC3"), XmlError);
  EXPECT_THROW(m.SetText("ctl \x01"), XmlError);
  EXPECT_THROW(m.SetAttribute("a", "\xED\xA0\x80"), XmlError);  // a UTF-16 surrogate
  EXPECT_THROW(m.SetAttribute("1a", "x"), XmlError);
  EXPECT_THROW(m.InsertElementAt(0, "a b"), XmlError);
  EXPECT_EQ(m.Text(), "<b>&amp;</b>");  // refused writes change nothing
}

TEST(XmlDocumentTest, InsertElementsByPositionAndSibling) {
  XmlDocument doc = Load("<r>t<a/><!--c--></r>");
  XmlNode root = doc.RootElement();
  EXPECT_EQ(root.ChildNodeCount(), 3u);
  EXPECT_EQ(root.ChildNodeAt(0).Name(), "#text");
  EXPECT_EQ(root.ChildNodeAt(2).Name(), "#comment");
  EXPECT_FALSE(root.ChildNodeAt(3));

  root.InsertElementAt(1, "b");
  root.InsertElementAt(100, "z");
  XmlNode a = root.FirstChildElement("a");
  root.InsertElementAfter(a, "after");
  root.InsertElementBefore(a, "before");
  EXPECT_EQ(root.ChildOrCreate("a"), a);
  root.ChildOrCreate("new");
  EXPECT_EQ(*doc.Serialize(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<r>t<b/><before/><a/><after/><!--c--><z/><new/></r>\n");
  EXPECT_EQ(root.ChildElements().size(), 6u);

  XmlNode elsewhere = a.InsertElementAt(0, "inner");
  EXPECT_THROW(root.InsertElementAfter(elsewhere, "x"), XmlError);
  EXPECT_THROW(root.InsertElementBefore(XmlNode(), "x"), XmlError);
  EXPECT_EQ(elsewhere.Parent(), a);
  EXPECT_FALSE(root.Parent());
}

TEST(XmlDocumentTest, RemoveDeletesElementsAndAttributes) {
  XmlDocument doc = Load("<r k=\"1\" l=\"2\"><a><b/></a><c/></r>");
  XmlNode root = doc.RootElement();
  EXPECT_TRUE(root.RemoveAttribute("k"));
  EXPECT_FALSE(root.RemoveAttribute("k"));
  XmlNode attr = root.AttributeNode("l");
  EXPECT_EQ(attr.Parent(), root);
  attr.Remove();
  EXPECT_TRUE(attr.IsNull());
  XmlNode a = root.FirstChildElement("a");
  a.Remove();
  a.Remove();  // a null handle does nothing
  EXPECT_EQ(*doc.Serialize(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r><c/></r>\n");
}

TEST(XmlDocumentTest, NullHandleReadsEmptyAndRefusesWrites) {
  XmlNode null;
  EXPECT_EQ(null.Name(), "");
  EXPECT_EQ(null.Text(), "");
  EXPECT_EQ(null.Attribute("a"), std::nullopt);
  EXPECT_FALSE(null.FirstChildElement("a"));
  EXPECT_EQ(null.ChildNodeCount(), 0u);
  EXPECT_THROW(null.SetText("x"), XmlError);
  EXPECT_THROW(null.SetAttribute("a", "x"), XmlError);
  EXPECT_THROW(null.ChildOrCreate("a"), XmlError);
}

TEST(XmlDocumentTest, CreatedDocumentGetsOneRootInItsNamespace) {
  XmlDocument doc = XmlDocument::CreateEmpty();
  EXPECT_FALSE(doc.RootElement());
  XmlNode root = doc.CreateRootElement("FictionBook", kFb2Ns);
  root.ChildOrCreate("description").SetText("Мир");
  EXPECT_THROW(doc.CreateRootElement("second"), XmlError);
  EXPECT_EQ(*doc.Serialize(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FictionBook xmlns=\"" + std::string(kFb2Ns) +
                "\"><description>Мир</description></FictionBook>\n");
}

}  // namespace
}  // namespace tomeva
