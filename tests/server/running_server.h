// Test support for the server: a library's server started inside the test on
// a free port, in a thread of its own, stopped when the object goes away, and
// a client for it.
#ifndef TOMEVA_TESTS_SERVER_RUNNING_SERVER_H_
#define TOMEVA_TESTS_SERVER_RUNNING_SERVER_H_

#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

#include "server/http_server.h"
#include "server/library_pool.h"

namespace tomeva::testing {

class RunningServer {
 public:
  // Serves the library of the plugin at plugin_path with workers sessions;
  // ok() says whether it started (error() says why not).
  RunningServer(const std::string& plugin_path, int workers,
                server::ServerOptions options = {});
  ~RunningServer();
  RunningServer(const RunningServer&) = delete;
  RunningServer& operator=(const RunningServer&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  int port() const { return port_; }

  // GET url (already percent-encoded) with headers.
  httplib::Result Get(const std::string& url, const httplib::Headers& headers = {}) const;

 private:
  std::string error_;
  std::unique_ptr<server::LibraryPool> pool_;
  std::unique_ptr<server::HttpServer> server_;
  std::unique_ptr<std::thread> thread_;
  int port_ = 0;
};

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_SERVER_RUNNING_SERVER_H_
