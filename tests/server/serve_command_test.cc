// The tomeva serve command as a user runs it: it finds the library the other
// commands use, serves until SIGTERM and then exits cleanly; a bad address or a
// missing library is reported instead.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

#include "cli/cli_runner.h"
#include "server/free_port.h"

namespace tomeva::testing {
namespace {

TEST(ServeCommandTest, ServesTheLibraryUntilSigtermAndThenExitsCleanly) {
  CliFixture cli;
  cli.InitLibrary();
  const int port = FreePort();
  const int pid = cli.Start({"serve", "--listen", "127.0.0.1:" + std::to_string(port)});
  httplib::Client client("127.0.0.1", port);
  std::optional<httplib::Response> res;
  for (int i = 0; i < 100 && !res; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (httplib::Result got = client.Get("/opds")) res = *got;
  }
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_NE(res->body.find("<title>По авторам</title>"), std::string::npos);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(ServeCommandTest, BadAddressAndMissingLibraryAreReported) {
  CliFixture cli;
  ProcessResult missing = cli.Run({"serve", "--listen", "127.0.0.1:0"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("no library found"), std::string::npos) << missing.err;
  cli.InitLibrary();
  ProcessResult bad = cli.Run({"serve", "--listen", "localhost"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_NE(bad.err.find("bad --listen address"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace tomeva::testing
