// Starting and stopping a server inside a test.
#include "server/running_server.h"

#include <chrono>

namespace tomeva::testing {

RunningServer::RunningServer(const std::string& plugin_path, int workers,
                             server::ServerOptions options) {
  auto pool = server::LibraryPool::Open(plugin_path, workers);
  if (!pool.ok()) {
    error_ = pool.message();
    return;
  }
  pool_ = std::move(pool).value();
  server_ = std::make_unique<server::HttpServer>(*pool_, std::move(options));
  auto port = server_->Bind("127.0.0.1", 0);
  if (!port.ok()) {
    error_ = port.message();
    return;
  }
  port_ = *port;
  thread_ = std::make_unique<std::thread>([this] { (void)server_->Run(); });
  // Answers come once Run listens.
  for (int i = 0; i < 200; ++i) {
    httplib::Client probe("127.0.0.1", port_);
    if (probe.Get("/favicon.ico")) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

RunningServer::~RunningServer() {
  if (server_ != nullptr) server_->Stop();
  if (thread_ != nullptr) thread_->join();
}

httplib::Result RunningServer::Get(const std::string& url, const httplib::Headers& headers) const {
  httplib::Client client("127.0.0.1", port_);
  client.set_url_encode(false);
  client.set_read_timeout(10, 0);
  return client.Get(url, headers);
}

}  // namespace tomeva::testing
