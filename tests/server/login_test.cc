// HTTP Basic login end to end: users added with 'tomeva passwd', a server that
// answers feeds, pages, downloads and covers only to them (401 with a Basic
// challenge otherwise), and 'tomeva serve --users' refusing to start on a
// users file it cannot use.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>

#include "cli/cli_runner.h"
#include "server/free_port.h"
#include "server/request_path.h"
#include "server/running_server.h"
#include "server/users_file.h"

namespace tomeva::testing {
namespace {

const std::string kBook = "/По авторам/Т/Толстой Лев/Война и мир.fb2";

// Runs 'tomeva passwd file name' with password on its standard input.
int Passwd(const std::string& file, const std::string& name, const std::string& password) {
  const std::string command = "printf '%s\\n' '" + password + "' | '" +
                              std::string(TOMEVA_CLI_PATH) + "' passwd '" + file + "' '" + name +
                              "' >/dev/null 2>&1";
  return std::system(command.c_str());
}

std::string UrlOf(const std::string& prefix, const std::string& cli_path) {
  std::string internal;
  EXPECT_EQ(server::VirtualPathOfRequest(cli_path, internal), server::PathCheck::kOk);
  return server::UrlOfVirtualPath(prefix, internal);
}

class LoginTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    cli_ = std::make_unique<CliFixture>();
    cli_->InitLibrary();
    WriteFile(cli_->Path("books/war.fb2"),
              Fb2Book("Война и мир", "Толстой", "Лев", "prose_classic", 1869));
    ProcessResult put = cli_->Run({"put", "-r", cli_->Path("books")});
    ASSERT_EQ(put.exit_code, 0) << put.err;
    users_ = cli_->Path("users");
    ASSERT_EQ(Passwd(users_, "alice", "old password"), 0);
    ASSERT_EQ(Passwd(users_, "читатель", "пароль"), 0);
    ASSERT_EQ(Passwd(users_, "alice", "correct horse"), 0);  // a new password
    Result<server::UserTable> users = server::LoadUsers(users_);
    ASSERT_TRUE(users.ok()) << users.message();
    ASSERT_EQ(users->size(), 2u);
    auto authenticator = server::Authenticator::Create(std::move(users).value());
    ASSERT_TRUE(authenticator.ok()) << authenticator.message();
    server::ServerOptions options;
    options.authenticator = std::move(authenticator).value();
    server_ = std::make_unique<RunningServer>(cli_->plugin_path(), 2, std::move(options));
    ASSERT_TRUE(server_->ok()) << server_->error();
  }

  static void TearDownTestSuite() {
    server_.reset();
    cli_.reset();
  }

  // GET url with a Basic Authorization header of user and password.
  static httplib::Result GetAs(const std::string& url, const std::string& user,
                               const std::string& password) {
    httplib::Client client("127.0.0.1", server_->port());
    client.set_url_encode(false);
    client.set_basic_auth(user.c_str(), password.c_str());
    return client.Get(url.c_str());
  }

  static inline std::unique_ptr<CliFixture> cli_;
  static inline std::string users_;
  static inline std::unique_ptr<RunningServer> server_;
};

TEST_F(LoginTest, EveryKindOfRequestNeedsTheRightPassword) {
  const std::vector<std::string> urls = {"/opds", UrlOf("/opds", "/По авторам"), "/",
                                         UrlOf("/browse", "/По авторам/Т"), UrlOf("/get", kBook),
                                         "/cover/1", "/no/such/route"};
  for (const std::string& url : urls) {
    httplib::Result none = server_->Get(url);
    ASSERT_TRUE(none) << url;
    EXPECT_EQ(none->status, 401) << url;
    EXPECT_EQ(none->get_header_value("WWW-Authenticate").rfind("Basic realm=\"Tomeva\"", 0), 0u)
        << url;
    EXPECT_EQ(none->body.find("FictionBook"), std::string::npos);
    EXPECT_EQ(none->body.find("По авторам"), std::string::npos);
    for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{
             {"alice", "old password"}, {"alice", "correct horse "}, {"mallory", "correct horse"},
             {"читатель", "Пароль"}}) {
      httplib::Result wrong = GetAs(url, user, password);
      ASSERT_TRUE(wrong);
      EXPECT_EQ(wrong->status, 401) << url << " " << user << ":" << password;
    }
  }
  for (const std::string& url : {urls[0], urls[1], urls[2], urls[3], urls[4]}) {
    for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{
             {"alice", "correct horse"}, {"читатель", "пароль"}}) {
      httplib::Result right = GetAs(url, user, password);
      ASSERT_TRUE(right);
      EXPECT_EQ(right->status, 200) << url << " " << user;
    }
  }
  EXPECT_NE(GetAs(UrlOf("/get", kBook), "alice", "correct horse")->body.find("Война и мир"),
            std::string::npos);
}

TEST_F(LoginTest, MalformedAuthorizationHeadersAreRefused) {
  for (const std::string& header :
       {std::string("Basic"), std::string("Basic %%%"), std::string("Bearer abc"),
        std::string("Basic YWxpY2U="), std::string("Basic ") + std::string(3000, 'A')}) {
    httplib::Result res = server_->Get("/opds", {{"Authorization", header}});
    ASSERT_TRUE(res) << header;
    EXPECT_EQ(res->status, 401) << header;
  }
  // A header longer than the HTTP library reads is refused before any check.
  httplib::Result huge =
      server_->Get("/opds", {{"Authorization", "Basic " + std::string(10000, 'A')}});
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->status, 400);
}

TEST_F(LoginTest, ServeRefusesToStartOnAUsersFileItCannotUse) {
  WriteFile(cli_->Path("bad-users"), ReadFile(users_) + "bob secret\ncarol:plain\n");
  const int lines = static_cast<int>(Lines(ReadFile(users_)).size());
  ProcessResult bad = cli_->Run({"serve", "--listen", "127.0.0.1:0", "--users", cli_->Path("bad-users")});
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_NE(bad.err.find("bad-users:" + std::to_string(lines + 1) + ":"), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("bad-users:" + std::to_string(lines + 2) + ":"), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("not serving"), std::string::npos) << bad.err;

  ProcessResult missing =
      cli_->Run({"serve", "--listen", "127.0.0.1:0", "--users", cli_->Path("no-such-file")});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("cannot read the users file"), std::string::npos) << missing.err;

  WriteFile(cli_->Path("empty-users"), "# nobody\n");
  ProcessResult empty =
      cli_->Run({"serve", "--listen", "127.0.0.1:0", "--users", cli_->Path("empty-users")});
  EXPECT_EQ(empty.exit_code, 1);
  EXPECT_NE(empty.err.find("no users"), std::string::npos) << empty.err;
}

TEST_F(LoginTest, ServeWithAGoodUsersFileAsksForLogin) {
  const int port = FreePort();
  const int pid = cli_->Start({"serve", "--listen", "127.0.0.1:" + std::to_string(port), "--users", users_});
  httplib::Client client("127.0.0.1", port);
  std::optional<httplib::Response> anonymous;
  for (int i = 0; i < 100 && !anonymous; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (httplib::Result got = client.Get("/opds")) anonymous = *got;
  }
  ASSERT_TRUE(anonymous);
  EXPECT_EQ(anonymous->status, 401);
  client.set_basic_auth("читатель", "пароль");
  httplib::Result allowed = client.Get("/opds");
  ASSERT_TRUE(allowed);
  EXPECT_EQ(allowed->status, 200);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(LoginTest, PasswdRefusesBadNamesAndEmptyPasswordsAndKeepsTheFilePrivate) {
  const std::string file = cli_->Path("more-users");
  EXPECT_NE(Passwd(file, "a:b", "x"), 0);
  EXPECT_NE(Passwd(file, "", "x"), 0);
  EXPECT_NE(Passwd(file, "dave", ""), 0);
  EXPECT_FALSE(std::filesystem::exists(file));
  ASSERT_EQ(Passwd(file, "dave", "x"), 0);
  const auto permissions = std::filesystem::status(file).permissions();
  EXPECT_EQ(permissions & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
            std::filesystem::perms::none);
  EXPECT_EQ(ReadFile(file).find(":x"), std::string::npos);  // never the password itself
}

}  // namespace
}  // namespace tomeva::testing
