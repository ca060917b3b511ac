// Books of a collection over HTTP: a generated collection is imported with the
// tomeva program and served; its books download with the bytes 'tomeva get'
// copies out of their archive members (stored and deflated), in ranges too,
// their covers come from the member's FB2 binary, and a gone or damaged
// archive gives a plain error answer while the server goes on serving.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

#include "cli/cli_runner.h"
#include "sample_library/collection_writer.h"
#include "server/book_cover.h"
#include "server/request_path.h"
#include "server/running_server.h"
#include "support/zip_test_util.h"

namespace tomeva::testing {
namespace {

const std::string kTitles = "/По названиям";

class CollectionDownloadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    cli_ = std::make_unique<CliFixture>();
    cli_->InitLibrary();
    SampleLibraryOptions options;
    options.out = cli_->Path("distribution");
    options.collection = "lib.rus.ec";
    options.count = 40;
    options.per_archive = 10;  // four archives: the tests that break one use their own
    options.body_kb = 24;
    options.zipped_percent = 50;
    Result<SampleCollectionSummary> written = WriteSampleCollection(options);
    ASSERT_TRUE(written.ok()) << written.message();
    written_ = std::move(written).value();
    ProcessResult put = cli_->Run({"put", written_.index});
    ASSERT_EQ(put.exit_code, 0) << put.out << put.err;
    // The virtual path of every book, by title, as the tree lists them.
    for (const std::string& letter : Lines(cli_->Run({"ls", kTitles}).out)) {
      const std::string folder = kTitles + "/" + letter.substr(0, letter.size() - 1);
      for (const std::string& name : Lines(cli_->Run({"ls", folder}).out)) {
        paths_.push_back(folder + "/" + name);
      }
    }
    server_ = std::make_unique<RunningServer>(cli_->plugin_path(), 2);
    ASSERT_TRUE(server_->ok()) << server_->error();
  }

  static void TearDownTestSuite() {
    server_.reset();
    cli_.reset();
  }

  // The first book of archive number archive (0-based) stored or deflated as
  // asked, listed under its title.
  const CollectionBook* BookOf(int archive, bool deflated) {
    int seen = -1;
    std::string last;
    for (const CollectionBook& book : written_.books) {
      if (book.archive != last) {
        last = book.archive;
        ++seen;
      }
      // Titles with characters a file name cannot hold are listed changed.
      if (seen == archive && book.deflated == deflated && !book.deleted &&
          book.title.find_first_of("/\\:*?\"<>|") == std::string::npos) {
        return &book;
      }
    }
    return nullptr;
  }

  // The virtual path the tree lists book under.
  std::string PathOf(const CollectionBook& book) {
    for (const std::string& path : paths_) {
      const std::string name = path.substr(path.rfind('/') + 1);
      if (name.rfind(book.title, 0) == 0) return path;
    }
    ADD_FAILURE() << "not listed: " << book.title;
    return {};
  }

  static std::string Url(const std::string& prefix, const std::string& cli_path) {
    std::string internal;
    EXPECT_EQ(server::VirtualPathOfRequest(cli_path, internal), server::PathCheck::kOk);
    return server::UrlOfVirtualPath(prefix, internal);
  }

  // The bytes 'tomeva get' copies out for the book at path.
  std::string BytesOfGet(const std::string& path) {
    static int serial = 0;
    const std::string copy = cli_->Path("got-" + std::to_string(++serial) + ".fb2");
    ProcessResult get = cli_->Run({"get", path, copy});
    EXPECT_EQ(get.exit_code, 0) << get.err;
    return ReadFile(copy);
  }

  // The cover link the feed of the book's folder gives it.
  std::string CoverUrlOf(const std::string& path) {
    const std::string folder = path.substr(0, path.rfind('/'));
    httplib::Result feed = server_->Get(Url("/opds", folder));
    EXPECT_TRUE(feed && feed->status == 200);
    if (!feed) return {};
    const std::string download = Url("/get", path) + "\"";
    const size_t at = feed->body.find(download);
    EXPECT_NE(at, std::string::npos) << feed->body;
    const size_t entry = feed->body.rfind("<entry>", at);
    std::smatch cover;
    const std::string text = feed->body.substr(entry, at - entry);
    EXPECT_TRUE(std::regex_search(
        text, cover, std::regex("rel=\"http://opds-spec.org/image\" href=\"([^\"]+)\"")))
        << text;
    return cover.size() > 1 ? cover[1].str() : std::string();
  }

  static inline std::unique_ptr<CliFixture> cli_;
  static inline SampleCollectionSummary written_;
  static inline std::vector<std::string> paths_;
  static inline std::unique_ptr<RunningServer> server_;
};

TEST_F(CollectionDownloadTest, StoredAndDeflatedMembersDownloadAsTheBytesOfGetWithRanges) {
  for (const bool deflated : {false, true}) {
    const CollectionBook* book = BookOf(0, deflated);
    ASSERT_NE(book, nullptr) << deflated;
    const std::string path = PathOf(*book);
    const std::string bytes = BytesOfGet(path);
    ASSERT_GT(bytes.size(), 20000u);
    ASSERT_EQ(bytes.rfind("<?xml", 0), 0u);

    httplib::Result res = server_->Get(Url("/get", path));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << res->body;
    EXPECT_TRUE(res->body == bytes) << "deflated " << deflated;
    EXPECT_EQ(res->get_header_value("Content-Type"), "application/x-fictionbook+xml");
    const std::string name = path.substr(path.rfind('/') + 1);
    const std::string disposition = res->get_header_value("Content-Disposition");
    EXPECT_NE(disposition.find("attachment; filename=\""), std::string::npos) << disposition;
    EXPECT_NE(disposition.find("filename*=UTF-8''" + name), std::string::npos) << disposition;

    // A range in the middle, one at the end and one past the end.
    httplib::Result middle = server_->Get(Url("/get", path), {{"Range", "bytes=15000-15999"}});
    ASSERT_TRUE(middle);
    EXPECT_EQ(middle->status, 206);
    EXPECT_TRUE(middle->body == bytes.substr(15000, 1000));
    EXPECT_EQ(middle->get_header_value("Content-Range"),
              "bytes 15000-15999/" + std::to_string(bytes.size()));
    httplib::Result tail = server_->Get(Url("/get", path), {{"Range", "bytes=-100"}});
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->status, 206);
    EXPECT_TRUE(tail->body == bytes.substr(bytes.size() - 100));
    httplib::Result beyond = server_->Get(
        Url("/get", path), {{"Range", "bytes=" + std::to_string(bytes.size() + 10) + "-"}});
    ASSERT_TRUE(beyond);
    EXPECT_EQ(beyond->status, 416);
  }
}

TEST_F(CollectionDownloadTest, CoversComeFromTheMembersBinary) {
  for (const bool deflated : {false, true}) {
    const CollectionBook* book = BookOf(0, deflated);
    ASSERT_NE(book, nullptr);
    const std::string path = PathOf(*book);
    const std::string bytes = BytesOfGet(path);
    std::smatch binary;
    ASSERT_TRUE(std::regex_search(
        bytes, binary, std::regex("<binary id=\"cover.jpg\" content-type=\"image/jpeg\">([^<]*)<")));
    const std::optional<std::string> image = server::DecodeBase64(binary[1].str());
    ASSERT_TRUE(image);
    const std::string cover_url = CoverUrlOf(path);
    for (int round = 0; round < 2; ++round) {  // the second from the cache
      httplib::Result cover = server_->Get(cover_url);
      ASSERT_TRUE(cover) << cover_url;
      EXPECT_EQ(cover->status, 200);
      EXPECT_EQ(cover->get_header_value("Content-Type"), "image/jpeg");
      EXPECT_TRUE(cover->body == *image);
    }
  }
}

TEST_F(CollectionDownloadTest, AGoneOrDamagedArchiveIsAPlainErrorAndServingGoesOn) {
  // Archive 1 is removed, archive 2 replaced by one without the book, archive 3
  // overwritten with bytes that are no archive.
  const CollectionBook* removed = BookOf(1, true);
  const CollectionBook* emptied = BookOf(2, false);
  const CollectionBook* damaged = BookOf(3, true);
  ASSERT_TRUE(removed && emptied && damaged);
  const std::string removed_cover = CoverUrlOf(PathOf(*removed));
  std::filesystem::remove(cli_->Path("distribution/" + removed->archive));
  WriteFile(cli_->Path("distribution/" + emptied->archive),
            BuildTestZip({{"other.fb2", "<FictionBook/>"}}));
  WriteFile(cli_->Path("distribution/" + damaged->archive), std::string(5000, 'x'));

  httplib::Result gone = server_->Get(Url("/get", PathOf(*removed)));
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->status, 404);
  EXPECT_NE(gone->body.find("archive"), std::string::npos) << gone->body;
  // The server's own folders are not named to the client.
  EXPECT_EQ(gone->body.find(cli_->Path("distribution")), std::string::npos) << gone->body;
  httplib::Result left_out = server_->Get(Url("/get", PathOf(*emptied)));
  ASSERT_TRUE(left_out);
  EXPECT_EQ(left_out->status, 404);
  httplib::Result unreadable = server_->Get(Url("/get", PathOf(*damaged)));
  ASSERT_TRUE(unreadable);
  EXPECT_EQ(unreadable->status, 500);
  EXPECT_EQ(unreadable->body.find("FictionBook"), std::string::npos);
  httplib::Result no_cover = server_->Get(removed_cover);
  ASSERT_TRUE(no_cover);
  EXPECT_EQ(no_cover->status, 404);

  // The other archives are still served.
  const CollectionBook* intact = BookOf(0, false);
  httplib::Result still = server_->Get(Url("/get", PathOf(*intact)));
  ASSERT_TRUE(still);
  EXPECT_EQ(still->status, 200);
}

}  // namespace
}  // namespace tomeva::testing
