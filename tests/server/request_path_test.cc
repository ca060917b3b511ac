// Request paths: which names reach the catalog lookup at all, and how links to
// virtual paths are written; download names and media types; escaping.
#include "server/request_path.h"

#include <gtest/gtest.h>

#include "server/book_cover.h"
#include "server/book_download.h"
#include "server/http_server.h"
#include "server/markup.h"

namespace tomeva::server {
namespace {

TEST(RequestPathTest, NamesBecomeAVirtualPathWithEmptyNamesSkipped) {
  std::string path;
  EXPECT_EQ(VirtualPathOfRequest("", path), PathCheck::kOk);
  EXPECT_EQ(path, "\\");
  EXPECT_EQ(VirtualPathOfRequest("По авторам//Т/", path), PathCheck::kOk);
  EXPECT_EQ(path, "\\По авторам\\Т");
  EXPECT_EQ(VirtualPathOfRequest("a..b/...", path), PathCheck::kOk);
  EXPECT_EQ(path, "\\a..b\\...");
}

TEST(RequestPathTest, DotNamesControlCharactersAndBackslashesAreRefused) {
  std::string path;
  for (std::string_view hostile :
       {std::string_view(".."), std::string_view("a/../b"), std::string_view("./x"),
        std::string_view("a\\..\\b"), std::string_view("a\0b", 3), std::string_view("a\nb"),
        std::string_view("\x7f")}) {
    EXPECT_EQ(VirtualPathOfRequest(hostile, path), PathCheck::kBadName) << hostile;
  }
  EXPECT_EQ(VirtualPathOfRequest(std::string(kMaxRequestPathBytes + 1, 'a'), path),
            PathCheck::kTooLong);
  EXPECT_EQ(VirtualPathOfRequest(std::string(kMaxRequestPathBytes, 'a'), path), PathCheck::kOk);
}

TEST(RequestPathTest, LinksPercentEncodeEveryByteButUnreservedOnes) {
  EXPECT_EQ(UrlOfVirtualPath("/opds", "\\"), "/opds");
  EXPECT_EQ(UrlOfVirtualPath("", "\\"), "/");
  EXPECT_EQ(UrlOfVirtualPath("/get", "\\По\\a b?#%&.fb2"),
            "/get/%D0%9F%D0%BE/a%20b%3F%23%25%26.fb2");
  EXPECT_EQ(VirtualParent("\\a\\b").value(), "\\a");
  EXPECT_EQ(VirtualParent("\\a").value(), "\\");
  EXPECT_FALSE(VirtualParent("\\").has_value());
  EXPECT_EQ(VirtualChild("\\", "x"), "\\x");
  EXPECT_EQ(VirtualChild("\\a", "x"), "\\a\\x");
}

TEST(BookDownloadTest, MediaTypeFollowsTheExtensionIgnoringCase) {
  EXPECT_EQ(BookMediaType("Война и мир.fb2"), "application/x-fictionbook+xml");
  EXPECT_EQ(BookMediaType("Война и мир.FB2.ZIP"), "application/zip");
  EXPECT_EQ(BookMediaType("book.fbz"), "application/zip");
  EXPECT_EQ(BookMediaType("book [12].fb2"), "application/x-fictionbook+xml");
}

TEST(BookDownloadTest, DispositionCarriesTheExactNameAndAnAsciiFallback) {
  EXPECT_EQ(ContentDisposition("Мир \"1\".fb2"),
            "attachment; filename=\"Mir _1_.fb2\"; "
            "filename*=UTF-8''%D0%9C%D0%B8%D1%80%20%221%22.fb2");
  EXPECT_EQ(ContentDisposition("Щука, Ёж и ЮЛА — «Война».fb2").find(
                "filename=\"Shchuka_ Ezh i YuLA _ _Voyna_.fb2\"; filename*"),
            12u);
  // Nothing of the name can break out of the quoted ASCII form.
  EXPECT_EQ(ContentDisposition("a\\\";b.fb2").find("filename=\"a___b.fb2\""), 12u);
}

TEST(MarkupTest, EscapesMarkupAndLeavesOutWhatXmlForbids) {
  EXPECT_EQ(Escaped("<a href='x'>&\"</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;&lt;/a&gt;");
  EXPECT_EQ(Escaped(std::string_view("a\0b\x01\tc", 6)), "ab\tc");
  EXPECT_EQ(Escaped("Толстой"), "Толстой");
  // A broken sequence and an overlong "/" become replacement characters.
  EXPECT_EQ(Escaped("x\xD0y\xC0\xAF"), "x\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(AtomTime(std::chrono::sys_seconds(std::chrono::seconds(86400 * 365))),
            "1971-01-01T00:00:00Z");
}

TEST(BookCoverTest, Base64DecodesWithWhitespaceAndPaddingAndRefusesOtherText) {
  EXPECT_EQ(DecodeBase64("TWFu").value(), "Man");
  EXPECT_EQ(DecodeBase64("TW\nE=").value(), "Ma");
  EXPECT_EQ(DecodeBase64("TQ==").value(), "M");
  EXPECT_EQ(DecodeBase64("").value(), "");
  EXPECT_FALSE(DecodeBase64("TQ=x"));
  EXPECT_FALSE(DecodeBase64("T"));
  EXPECT_FALSE(DecodeBase64("TW*u"));
}

TEST(ListenAddressTest, HostAndPortAreSplitAndCheckedAndLoopbackIsTheDefaultHost) {
  std::optional<ListenAddress> address = ParseListenAddress("0.0.0.0:8080");
  ASSERT_TRUE(address);
  EXPECT_EQ(address->host, "0.0.0.0");
  EXPECT_EQ(address->port, 8080);
  address = ParseListenAddress("[::1]:81");
  ASSERT_TRUE(address);
  EXPECT_EQ(address->host, "::1");
  EXPECT_EQ(address->port, 81);
  address = ParseListenAddress(":9000");
  ASSERT_TRUE(address);
  EXPECT_EQ(address->host, "127.0.0.1");
  for (const char* bad : {"8080", "host:", "host:http", "host:65536", "host:-1", "host:80x"}) {
    EXPECT_FALSE(ParseListenAddress(bad)) << bad;
  }
}

}  // namespace
}  // namespace tomeva::server
