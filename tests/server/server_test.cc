// The server end to end: a library made with the tomeva program, served on a
// free port inside the test, fetched over HTTP. Every kind of feed is checked
// against the OPDS 1.2 RELAX NG schema with jing (skipped where jing or the
// schema is missing).
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <thread>

#include "cli/cli_runner.h"
#include "server/http_server.h"
#include "server/library_pool.h"
#include "server/request_path.h"
#include "support/fb2_book_text.h"
#include "support/temp_dir.h"

namespace tomeva::testing {
namespace {

constexpr int kManyBooks = 205;  // three pages of one author's books

const std::string kTolstoy = "/По авторам/Т/Толстой Лев Николаевич";
const std::string kPlenty = "/По авторам/П/Плодовитый Автор";

// A virtual path as written on the command line, as the URL of prefix.
std::string Url(const std::string& prefix, const std::string& cli_path) {
  std::string internal;
  EXPECT_EQ(server::VirtualPathOfRequest(cli_path, internal), server::PathCheck::kOk);
  return server::UrlOfVirtualPath(prefix, internal);
}

int Count(const std::string& text, const std::string& piece) {
  int count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

// jing's verdict on xml: "" when valid, its messages otherwise; nullopt when
// jing or the schema is missing.
std::optional<std::string> SchemaErrors(const TempDir& dir, const std::string& xml) {
  if (std::string(TOMEVA_OPDS_SCHEMA).empty() || !std::filesystem::exists(TOMEVA_OPDS_SCHEMA) ||
      !std::filesystem::exists("/usr/bin/jing")) {
    return std::nullopt;
  }
  static int serial = 0;
  const std::string file = dir.Path("feed" + std::to_string(++serial) + ".xml");
  WriteFile(file, xml);
  const std::string command =
      "/usr/bin/jing -c '" + std::string(TOMEVA_OPDS_SCHEMA) + "' '" + file + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "cannot run jing";
  std::string out;
  char buffer[4096];
  while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, got);
  const int status = pclose(pipe);
  if (status != 0 && out.empty()) out = "jing failed";
  return status == 0 ? std::string() : out;
}

constexpr char kCoverBytes[] = "\x89PNG\r\n\x1a\ncover-bytes";

// FB2 text with a cover page naming a PNG binary of kCoverBytes.
std::string WithCover(std::string fb2) {
  fb2.replace(fb2.find("<FictionBook "), 13,
              "<FictionBook xmlns:l=\"http://www.w3.org/1999/xlink\" ");
  fb2.replace(fb2.find("<title-info>"), 12,
              "<title-info><coverpage><image l:href=\"#c.png\"/></coverpage>");
  fb2.replace(fb2.find("</FictionBook>"), 14,
              "<binary id=\"c.png\" content-type=\"image/png\">iVBORw0KGgpj\nb3Zlci1ieXRlcw=="
              "</binary></FictionBook>");
  return fb2;
}

// The output of a command and whether it exited with 0.
std::pair<bool, std::string> CommandOutput(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {false, {}};
  std::string out;
  char buffer[4096];
  while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, got);
  return {pclose(pipe) == 0, out};
}

class ServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    cli_ = std::make_unique<CliFixture>();
    cli_->InitLibrary();
    const std::string books = cli_->Path("books");
    TestBook war;
    war.authors = {{"Толстой", "Лев", "Николаевич"}};
    war.genres = {"prose_classic", "sf_history"};
    war.series = "Эпопея";
    war.series_number = "2";
    war.annotation = "Роман &amp; эпопея.";
    WriteFile(books + "/war.fb2", WithCover(Fb2Text(war)));
    TestBook anna;
    anna.title = "Анна Каренина";
    anna.authors = war.authors;
    WriteFile(books + "/anna.fb2.zip", ZipOf("anna.fb2", Fb2Text(anna)));
    for (int i = 1; i <= kManyBooks; ++i) {
      char title[32];
      std::snprintf(title, sizeof title, "Книга %03d", i);
      WriteFile(books + "/many/" + std::to_string(i) + ".fb2",
                Fb2Book(title, "Плодовитый", "Автор", "sf", 2000));
    }
    ProcessResult put = cli_->Run({"put", "-r", books});
    ASSERT_EQ(put.exit_code, 0) << put.err;

    auto pool = server::LibraryPool::Open(cli_->plugin_path(), 2);
    ASSERT_TRUE(pool.ok()) << pool.message();
    pool_ = std::move(pool).value();
    server_ = std::make_unique<server::HttpServer>(*pool_);
    auto port = server_->Bind("127.0.0.1", 0);
    ASSERT_TRUE(port.ok()) << port.message();
    port_ = *port;
    thread_ = std::make_unique<std::thread>([] { (void)server_->Run(); });
  }

  static void TearDownTestSuite() {
    if (server_ != nullptr) {
      // Run may not have started listening yet; wait until it does.
      for (int i = 0; i < 100 && thread_ != nullptr; ++i) {
        httplib::Client probe("127.0.0.1", port_);
        if (probe.Get("/opds")) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      server_->Stop();
    }
    if (thread_ != nullptr) thread_->join();
    thread_.reset();
    server_.reset();
    pool_.reset();
    cli_.reset();
  }

  httplib::Result Get(const std::string& url, const httplib::Headers& headers = {}) {
    httplib::Client client("127.0.0.1", port_);
    client.set_url_encode(false);
    client.set_read_timeout(10, 0);
    return client.Get(url, headers);
  }

  // Fetches a feed, checks it is one, and validates it against the schema.
  std::string Feed(const std::string& url) {
    httplib::Result res = Get(url);
    EXPECT_TRUE(res) << url;
    if (!res) return {};
    EXPECT_EQ(res->status, 200) << url << ": " << res->body;
    EXPECT_EQ(res->get_header_value("Content-Type").rfind("application/atom+xml;profile=opds-catalog;kind=", 0), 0u)
        << url;
    if (std::optional<std::string> errors = SchemaErrors(cli_->dir(), res->body)) {
      EXPECT_EQ(*errors, "") << url << "\n" << res->body;
    }
    return res->body;
  }

  // One library and one server for the whole suite: the setup imports 207 books.
  static inline std::unique_ptr<CliFixture> cli_;
  static inline std::unique_ptr<server::LibraryPool> pool_;
  static inline std::unique_ptr<server::HttpServer> server_;
  static inline std::unique_ptr<std::thread> thread_;
  static inline int port_ = 0;
};

TEST_F(ServerTest, RootFeedNavigatesToTheRootFolders) {
  if (!SchemaErrors(cli_->dir(), "<x/>")) GTEST_LOG_(WARNING) << "jing or the schema is missing";
  const std::string feed = Feed("/opds");
  EXPECT_EQ(Count(feed, "<entry>"), 6) << feed;
  for (const char* folder : {"По авторам", "По годам", "По жанрам", "По названиям", "По сериям", "Поиск"}) {
    EXPECT_NE(feed.find(std::string("<title>") + folder + "</title>"), std::string::npos) << folder;
    EXPECT_NE(feed.find("rel=\"subsection\" href=\"" + Url("/opds", folder) + "\""),
              std::string::npos)
        << folder;
  }
  EXPECT_NE(feed.find("rel=\"self\" href=\"/opds\" type=\"application/atom+xml;profile=opds-catalog;kind=navigation\""),
            std::string::npos);
  EXPECT_NE(feed.find("rel=\"start\" href=\"/opds\""), std::string::npos);
  // A sub-folder of sub-folders is a navigation feed too.
  const std::string letters = Feed(Url("/opds", "/По авторам"));
  EXPECT_NE(letters.find("<title>Т</title>"), std::string::npos) << letters;
  EXPECT_NE(letters.find("rel=\"up\" href=\"/opds\""), std::string::npos);
}

TEST_F(ServerTest, FeedsShowTheSameEntriesAsTheFileManager) {
  ProcessResult ls = cli_->Run({"ls", kTolstoy});
  ASSERT_EQ(ls.exit_code, 0) << ls.err;
  const std::string feed = Feed(Url("/opds", kTolstoy));
  for (const std::string& name : Lines(ls.out)) {
    EXPECT_NE(feed.find(Url("/get", kTolstoy + "/" + name) + "\""), std::string::npos)
        << name << "\n" << feed;
  }
  EXPECT_EQ(Count(feed, "<entry>"), static_cast<int>(Lines(ls.out).size()));
}

TEST_F(ServerTest, BookEntriesCarryTheCatalogsMetadata) {
  const std::string feed = Feed(Url("/opds", kTolstoy));
  EXPECT_NE(feed.find("kind=acquisition"), std::string::npos);
  EXPECT_NE(feed.find("<title>Война и мир</title>"), std::string::npos) << feed;
  EXPECT_NE(feed.find("<author><name>Толстой Лев Николаевич</name></author>"), std::string::npos);
  EXPECT_NE(feed.find("term=\"prose_classic\" label=\"Классическая проза\""), std::string::npos);
  EXPECT_NE(feed.find("term=\"sf_history\""), std::string::npos);
  EXPECT_NE(feed.find("<dc:language>ru</dc:language>"), std::string::npos);
  EXPECT_NE(feed.find("<summary type=\"text\">Роман &amp; эпопея.</summary>"), std::string::npos);
  EXPECT_NE(feed.find("<schema:Series name=\"Эпопея\" schema:position=\"2\"/>"), std::string::npos);
  EXPECT_NE(feed.find(Url("/get", kTolstoy + "/Война и мир.fb2") +
                      "\" type=\"application/x-fictionbook+xml\" length=\""),
            std::string::npos);
  EXPECT_NE(feed.find(Url("/get", kTolstoy + "/Анна Каренина.fb2.zip") +
                      "\" type=\"application/zip\" length=\""),
            std::string::npos);
  EXPECT_EQ(Count(feed, "rel=\"http://opds-spec.org/acquisition\""), 2);
  EXPECT_TRUE(std::regex_search(feed, std::regex("<updated>20[0-9]{2}-[0-9]{2}-[0-9]{2}T")));
}

TEST_F(ServerTest, CoversComeFromTheBooksBinaryAndBooksWithoutOneHaveNone) {
  const std::string feed = Feed(Url("/opds", kTolstoy));
  std::smatch war;
  ASSERT_TRUE(std::regex_search(
      feed, war,
      std::regex("<title>Война и мир</title>[^]*?rel=\"http://opds-spec.org/image\" href=\"([^\"]+)\"")))
      << feed;
  std::smatch anna;
  ASSERT_TRUE(std::regex_search(
      feed, anna,
      std::regex("<title>Анна Каренина</title>[^]*?rel=\"http://opds-spec.org/image\" href=\"([^\"]+)\"")));
  for (int round = 0; round < 2; ++round) {  // the second is served from the cache
    httplib::Result cover = Get(war[1]);
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->status, 200);
    EXPECT_EQ(cover->get_header_value("Content-Type"), "image/png");
    EXPECT_EQ(cover->body, kCoverBytes);
  }
  EXPECT_EQ(Get(anna[1])->status, 404);
  EXPECT_EQ(Get("/cover/999999")->status, 404);
  EXPECT_EQ(Get("/cover/..%2f1")->status, 400);
}

TEST_F(ServerTest, AnOpdsClientLibraryParsesEveryKindOfFeed) {
  const std::string modules = std::string(TOMEVA_SOURCE_DIR) + "/.cache/node/node_modules";
  if (!std::filesystem::exists(modules + "/opds-feed-parser") ||
      !std::filesystem::exists("/usr/bin/node")) {
    GTEST_SKIP() << "opds-feed-parser is not installed (scripts/install-deps installs it)";
  }
  std::string command = "/usr/bin/node '" + std::string(TOMEVA_SOURCE_DIR) +
                        "/tests/server/opds_client.js' '" + modules + "'";
  int serial = 0;
  for (const std::string& url : {std::string("/opds"), Url("/opds", "/По авторам"),
                                 Url("/opds", kTolstoy), Url("/opds", kPlenty) + "?page=2",
                                 "/opds-search?q=" + server::PercentEncoded("война лев")}) {
    const std::string file = cli_->Path("client" + std::to_string(++serial) + ".xml");
    WriteFile(file, Get(url)->body);
    command += " '" + file + "'";
  }
  const auto [ok, json] = CommandOutput(command + " 2>&1");
  ASSERT_TRUE(ok) << json;
  EXPECT_EQ(json.find("{\"kind\":\"NavigationFeed\",\"title\":\"Tomeva\""), 1u) << json;
  EXPECT_NE(json.find("{\"kind\":\"NavigationFeed\",\"title\":\"По авторам\""), std::string::npos);
  EXPECT_NE(json.find("{\"kind\":\"AcquisitionFeed\",\"title\":\"Толстой Лев Николаевич\""),
            std::string::npos);
  EXPECT_NE(json.find("{\"kind\":\"AcquisitionFeed\",\"title\":\"война лев\""),
            std::string::npos);
  for (const std::string& piece :
       {std::string("{\"title\":\"Война и мир\",\"authors\":[\"Толстой Лев Николаевич\"]"),
        std::string("{\"term\":\"prose_classic\",\"label\":\"Классическая проза\"}"),
        std::string("\"series\":{\"name\":\"Эпопея\",\"position\":"), std::string("\"language\":\"ru\""),
        std::string("\"summary\":\"Роман & эпопея.\""),
        "{\"rel\":\"http://opds-spec.org/acquisition\",\"href\":\"" +
            Url("/get", kTolstoy + "/Война и мир.fb2") +
            "\",\"type\":\"application/x-fictionbook+xml\"}",
        "{\"rel\":\"next\",\"href\":\"" + Url("/opds", kPlenty) + "?page=3\""}) {
    EXPECT_NE(json.find(piece), std::string::npos) << piece << "\n" << json;
  }
}

TEST_F(ServerTest, BigFoldersArePaginatedWithFirstPreviousNextAndLast) {
  const std::string base = Url("/opds", kPlenty);
  const std::string first = Feed(base);
  EXPECT_EQ(Count(first, "<entry>"), 100);
  EXPECT_NE(first.find("rel=\"next\" href=\"" + base + "?page=2\""), std::string::npos) << first;
  EXPECT_NE(first.find("rel=\"last\" href=\"" + base + "?page=3\""), std::string::npos);
  EXPECT_EQ(first.find("rel=\"previous\""), std::string::npos);
  const std::string second = Feed(base + "?page=2");
  EXPECT_EQ(Count(second, "<entry>"), 100);
  EXPECT_NE(second.find("rel=\"first\" href=\"" + base + "\""), std::string::npos);
  EXPECT_NE(second.find("rel=\"previous\" href=\"" + base + "\""), std::string::npos);
  EXPECT_NE(second.find("rel=\"next\" href=\"" + base + "?page=3\""), std::string::npos);
  const std::string last = Feed(base + "?page=3");
  EXPECT_EQ(Count(last, "<entry>"), kManyBooks - 200);
  // Together the pages hold every book once.
  std::set<std::string> titles;
  const std::regex title("<title>(Книга [0-9]+)</title>");
  for (const std::string* feed : {&first, &second, &last}) {
    for (std::sregex_iterator it(feed->begin(), feed->end(), title), end; it != end; ++it) {
      titles.insert((*it)[1]);
    }
  }
  EXPECT_EQ(titles.size(), static_cast<size_t>(kManyBooks));
  EXPECT_EQ(last.find("rel=\"next\""), std::string::npos);
  EXPECT_EQ(Get(base + "?page=4")->status, 404);
  EXPECT_EQ(Get(base + "?page=0")->status, 400);
  EXPECT_EQ(Get(base + "?page=x")->status, 400);
}

TEST_F(ServerTest, UnknownFoldersAreNotFound) {
  EXPECT_EQ(Get(Url("/opds", "/Нет такой папки"))->status, 404);
  EXPECT_EQ(Get(Url("/get", kTolstoy + "/Нет такой книги.fb2"))->status, 404);
  EXPECT_EQ(Get(Url("/browse", "/Нет такой папки"))->status, 404);
}

TEST_F(ServerTest, FeedsAreGzippedWhenAsked) {
  httplib::Client client("127.0.0.1", port_);
  client.set_decompress(false);
  httplib::Result res = client.Get(Url("/opds", kPlenty), {{"Accept-Encoding", "gzip"}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->get_header_value("Content-Encoding"), "gzip");
  ASSERT_GE(res->body.size(), 2u);
  EXPECT_EQ(res->body.substr(0, 2), "\x1f\x8b");
  // Without asking, the feed comes as it is.
  httplib::Result plain = Get(Url("/opds", kPlenty));
  EXPECT_EQ(plain->get_header_value("Content-Encoding"), "");
  EXPECT_LT(res->body.size(), plain->body.size() / 4);
}

TEST_F(ServerTest, DownloadGivesTheStoredBytesUnderTheirNameWithRanges) {
  for (const std::string name : {"Война и мир.fb2", "Анна Каренина.fb2.zip"}) {
    const std::string copy = cli_->Path("got-" + std::to_string(name.size()));
    ProcessResult get = cli_->Run({"get", kTolstoy + "/" + name, copy});
    ASSERT_EQ(get.exit_code, 0) << get.err;
    const std::string bytes = ReadFile(copy);
    httplib::Result res = Get(Url("/get", kTolstoy + "/" + name));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, bytes) << name;
    EXPECT_EQ(res->get_header_value("Content-Type"),
              name.ends_with(".zip") ? "application/zip" : "application/x-fictionbook+xml");
    // The client library hands header values out percent-decoded.
    const std::string disposition = res->get_header_value("Content-Disposition");
    EXPECT_NE(disposition.find("filename*=UTF-8''" + name), std::string::npos) << disposition;
    EXPECT_NE(disposition.find("filename=\""), std::string::npos) << disposition;

    httplib::Result part = Get(Url("/get", kTolstoy + "/" + name), {{"Range", "bytes=10-29"}});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206);
    EXPECT_EQ(part->body, bytes.substr(10, 20));
  }
}

TEST_F(ServerTest, HostilePathsGetClientErrorsAndNoFileContent) {
  WriteFile(cli_->Path("secret.txt"), "SECRET CONTENT");
  const std::string book = Url("/get", kTolstoy + "/Война и мир.fb2");
  for (const std::string& path :
       {std::string("/get/../../../../../../etc/passwd"),
        std::string("/get/%2e%2e/%2e%2e/%2e%2e/%2e%2e/etc/passwd"),
        std::string("/get/%2e%2e%2f%2e%2e%2f%2e%2e%2fetc%2fpasswd"),
        book + "/%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/secret.txt", book + "%00.txt",
        std::string("/get/a%5c..%5c..%5csecret.txt"), std::string("/opds/%2e%2e"),
        std::string("/browse/..%2f..%2f"), "/get/" + std::string(5000, 'a'),
        std::string("/get/a%0Ab")}) {
    httplib::Result res = Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_GE(res->status, 400) << path;
    EXPECT_LT(res->status, 500) << path;
    EXPECT_EQ(res->body.find("root:"), std::string::npos) << path;
    EXPECT_EQ(res->body.find("SECRET"), std::string::npos) << path;
    EXPECT_EQ(res->body.find("FictionBook"), std::string::npos) << path;
  }
  // An absolute file name is only ever a name in the tree.
  EXPECT_EQ(Get("/get/" + server::PercentEncoded(cli_->Path("secret.txt")))->status, 404);
}

TEST_F(ServerTest, HtmlPagesShowTheTreeWithDownloadsAndTheOpdsLink) {
  httplib::Result root = Get("/");
  ASSERT_TRUE(root);
  EXPECT_EQ(root->status, 200);
  EXPECT_EQ(root->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(root->body.find("<link rel=\"start\" type=\"application/atom+xml;profile=opds-catalog;kind=navigation\" href=\"/opds\""),
            std::string::npos)
      << root->body;
  EXPECT_NE(root->body.find("href=\"" + Url("/browse", "/По авторам") + "\">По авторам/</a>"),
            std::string::npos);
  EXPECT_EQ(root->body.find("<script"), std::string::npos);
  httplib::Result author = Get(Url("/browse", kTolstoy));
  ASSERT_TRUE(author);
  EXPECT_NE(author->body.find("href=\"" + Url("/get", kTolstoy + "/Война и мир.fb2") + "\""),
            std::string::npos)
      << author->body;
  EXPECT_NE(author->body.find("Эпопея #2"), std::string::npos);
  httplib::Result many = Get(Url("/browse", kPlenty) + "?page=3");
  ASSERT_TRUE(many);
  EXPECT_EQ(Count(many->body, "<li>"), kManyBooks - 200);
}

// Runs browser_download.js in a headless Chromium from the HTML root through
// steps (link texts, or "?WORDS" searches) down to a book: whether it got it,
// and the downloaded file or what went wrong.
std::pair<bool, std::string> BrowserDownload(const CliFixture& cli, int port,
                                             const std::string& name,
                                             const std::vector<std::string>& steps) {
  const std::string profile = cli.Path(name + "-profile");
  const std::string downloads = cli.Path(name + "-downloads");
  std::filesystem::create_directories(downloads);
  ChildOptions own_group;
  own_group.own_process_group = true;
  const int browser = StartProgram(
      "/usr/bin/chromium",
      {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
       "--disable-component-update", "--disable-sync", "--no-first-run",
       "--user-data-dir=" + profile, "--remote-debugging-port=0", "about:blank"},
      cli.dir().path(), cli.Path("home"), own_group);
  std::string devtools_port;
  for (int i = 0; i < 200 && devtools_port.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // The browser may not have written the file's whole first line yet.
    if (std::filesystem::exists(profile + "/DevToolsActivePort")) {
      const std::string text = ReadFile(profile + "/DevToolsActivePort");
      if (text.find('\n') != std::string::npos) devtools_port = Lines(text).front();
    }
  }
  std::pair<bool, std::string> download{false, "chromium did not start"};
  if (!devtools_port.empty()) {
    std::string command = "/usr/bin/node --experimental-websocket --no-warnings '" +
                          std::string(TOMEVA_SOURCE_DIR) + "/tests/server/browser_download.js' " +
                          devtools_port + " http://127.0.0.1:" + std::to_string(port) + "/ '" +
                          downloads + "'";
    for (const std::string& step : steps) command += " '" + step + "'";
    download = CommandOutput(command + " 2>&1");
  }
  // The browser and every process it started (they would outlive the test).
  kill(-browser, SIGTERM);
  for (int i = 0; i < 40 && waitpid(browser, nullptr, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(-browser, SIGKILL);
  waitpid(browser, nullptr, 0);
  return download;
}

TEST_F(ServerTest, HeadlessChromiumFollowsTheLinksAndDownloadsTheBytesOfGet) {
  if (!std::filesystem::exists("/usr/bin/chromium") || !std::filesystem::exists("/usr/bin/node")) {
    GTEST_SKIP() << "chromium or node is not installed";
  }
  const auto download = BrowserDownload(
      *cli_, port_, "links",
      {"По авторам/", "Т/", "Толстой Лев Николаевич/", "Анна Каренина.fb2.zip"});
  ASSERT_TRUE(download.first) << download.second;
  EXPECT_EQ(std::filesystem::path(download.second).filename().string(), "Анна Каренина.fb2.zip");
  ProcessResult get = cli_->Run({"get", kTolstoy + "/Анна Каренина.fb2.zip", cli_->Path("by-get")});
  ASSERT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(ReadFile(download.second), ReadFile(cli_->Path("by-get")));
}

TEST_F(ServerTest, HeadlessChromiumSearchesAndDownloadsTheBytesOfGet) {
  if (!std::filesystem::exists("/usr/bin/chromium") || !std::filesystem::exists("/usr/bin/node")) {
    GTEST_SKIP() << "chromium or node is not installed";
  }
  const auto download =
      BrowserDownload(*cli_, port_, "search", {"?лев ТОЛСТОЙ анна", "Анна Каренина.fb2.zip"});
  ASSERT_TRUE(download.first) << download.second;
  EXPECT_EQ(std::filesystem::path(download.second).filename().string(), "Анна Каренина.fb2.zip");
  ProcessResult get = cli_->Run({"get", kTolstoy + "/Анна Каренина.fb2.zip", cli_->Path("by-get2")});
  ASSERT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(ReadFile(download.second), ReadFile(cli_->Path("by-get2")));
}

TEST_F(ServerTest, EveryFeedAndPageLinksTheOpenSearchDescription) {
  const std::string link = "<link rel=\"search\" href=\"/opensearch.xml\" "
                           "type=\"application/opensearchdescription+xml\"";
  for (const std::string& url : {std::string("/opds"), Url("/opds", kTolstoy),
                                 Url("/opds", kPlenty) + "?page=2"}) {
    EXPECT_NE(Feed(url).find(link), std::string::npos) << url;
  }
  httplib::Result description = Get("/opensearch.xml");
  ASSERT_TRUE(description);
  EXPECT_EQ(description->status, 200);
  EXPECT_EQ(description->get_header_value("Content-Type"), "application/opensearchdescription+xml");
  const std::string base = "http://127.0.0.1:" + std::to_string(port_);
  EXPECT_NE(description->body.find("<Url type=\"application/atom+xml;profile=opds-catalog;"
                                   "kind=acquisition\" template=\"" +
                                   base + "/opds-search?q={searchTerms}\"/>"),
            std::string::npos)
      << description->body;
  EXPECT_NE(description->body.find("template=\"" + base + "/search?q={searchTerms}\""),
            std::string::npos);
  // A Host header is outside input: it never breaks out of the attribute.
  httplib::Result hostile = Get("/opensearch.xml", {{"Host", "evil\"><x y=\""}});
  ASSERT_TRUE(hostile);
  EXPECT_EQ(hostile->body.find("<x"), std::string::npos) << hostile->body;
  httplib::Result page = Get("/");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("<form action=\"/search\" method=\"get\" role=\"search\">"),
            std::string::npos);
  EXPECT_NE(page->body.find("<link rel=\"search\" type=\"application/opensearchdescription+xml\""),
            std::string::npos);
}

TEST_F(ServerTest, SearchAnswersWithAValidAcquisitionFeedOfTheBooksFound) {
  const std::string feed = Feed("/opds-search?q=" + server::PercentEncoded("ТОЛСТОЙ лев"));
  EXPECT_NE(feed.find("kind=acquisition"), std::string::npos);
  EXPECT_EQ(Count(feed, "<entry>"), 2) << feed;
  EXPECT_NE(feed.find("<title>Война и мир</title>"), std::string::npos);
  EXPECT_NE(feed.find("<title>Анна Каренина</title>"), std::string::npos);
  // Found books download like any others.
  const std::string href = "/get/" + server::PercentEncoded("Поиск") + "/" +
                           server::PercentEncoded("ТОЛСТОЙ лев") + "/" +
                           server::PercentEncoded("Анна Каренина.fb2.zip");
  EXPECT_NE(feed.find("href=\"" + href + "\""), std::string::npos) << feed;
  httplib::Result book = Get(href);
  ASSERT_TRUE(book);
  EXPECT_EQ(book->status, 200);
  // Many books found are paginated like any folder.
  const std::string many = Feed("/opds-search?q=" + server::PercentEncoded("плодовитый книга"));
  EXPECT_EQ(Count(many, "<entry>"), 100);
  EXPECT_NE(many.find("rel=\"next\""), std::string::npos);
  EXPECT_EQ(Count(Feed("/opds-search?q=" + server::PercentEncoded("плодовитый") + "&page=3"),
                  "<entry>"),
            kManyBooks - 200);
  // Nothing found is an empty acquisition feed; no word at all is a client error.
  EXPECT_EQ(Count(Feed("/opds-search?q=" + server::PercentEncoded("Достоевский")), "<entry>"), 0);
  for (const std::string& query : {std::string(""), std::string("q="), std::string("q=%20%2F%5C"),
                                   std::string("q=..")}) {
    httplib::Result res = Get("/opds-search?" + query);
    ASSERT_TRUE(res) << query;
    EXPECT_EQ(res->status, 400) << query;
  }
  // Text that looks like a query of its own is words and nothing else.
  for (const std::string& text : {std::string("NEAR(толстой лев)"), std::string("\"*"),
                                  std::string("толстой OR x"), std::string("-(AND"),
                                  std::string(3000, 'x'), std::string("a\0b", 3)}) {
    httplib::Result res = Get("/opds-search?q=" + server::PercentEncoded(text));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << text << ": " << res->body;
    if (std::optional<std::string> errors = SchemaErrors(cli_->dir(), res->body)) {
      EXPECT_EQ(*errors, "") << text;
    }
  }
  httplib::Result html = Get("/search?q=" + server::PercentEncoded("анна"));
  ASSERT_TRUE(html);
  EXPECT_EQ(html->status, 200);
  EXPECT_EQ(Count(html->body, "<li>"), 1) << html->body;
}

TEST_F(ServerTest, ServesWhileAnotherProcessImportsAndSeesItsBooksAfterwards) {
  const std::string books = cli_->Path("more");
  for (int i = 1; i <= 150; ++i) {
    WriteFile(books + "/" + std::to_string(i) + ".fb2",
              Fb2Book("Том " + std::to_string(i), "Поздний", "Автор", "sf", 2001));
  }
  const int pid = cli_->Start({"put", "-r", books});
  int answered = 0;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    const auto start = std::chrono::steady_clock::now();
    httplib::Result res = Get(Url("/opds", kPlenty));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ++answered;
  }
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_GT(answered, 0);
  // Each request reads the catalog as it is now.
  const std::string feed = Feed(Url("/opds", "/По авторам/П/Поздний Автор") + "?page=2");
  EXPECT_EQ(Count(feed, "<entry>"), 50);
}

TEST_F(ServerTest, AFolderThatGrowsIsPagedByItsNewSize) {
  const std::string books = cli_->Path("growing");
  WriteFile(books + "/0.fb2", Fb2Book("Первая", "Растущий", "Автор", "sf", 2002));
  ASSERT_EQ(cli_->Run({"put", "-r", books}).exit_code, 0);
  const std::string base = Url("/opds", "/По авторам/Р/Растущий Автор");
  const std::string before = Feed(base);
  EXPECT_EQ(Count(before, "<entry>"), 1);
  EXPECT_EQ(before.find("rel=\"last\""), std::string::npos);
  // The remembered count of one book must not outlive the import of 150 more.
  for (int i = 1; i <= 150; ++i) {
    WriteFile(books + "/more/" + std::to_string(i) + ".fb2",
              Fb2Book("Ещё " + std::to_string(i), "Растущий", "Автор", "sf", 2002));
  }
  ASSERT_EQ(cli_->Run({"put", "-r", books + "/more"}).exit_code, 0);
  const std::string after = Feed(base);
  EXPECT_EQ(Count(after, "<entry>"), 100);
  EXPECT_NE(after.find("rel=\"last\" href=\"" + base + "?page=2\""), std::string::npos) << after;
  EXPECT_EQ(Count(Feed(base + "?page=2"), "<entry>"), 51);
}

}  // namespace
}  // namespace tomeva::testing
