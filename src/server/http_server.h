// The HTTP server: OPDS feeds under /opds, HTML pages at / and under /browse,
// book downloads under /get, all three resolved through the tree's listing and
// path lookup on a borrowed session. Requests are served by a pool of worker
// threads, one per session of the library pool. Nothing is ever written.
#ifndef TOMEVA_SERVER_HTTP_SERVER_H_
#define TOMEVA_SERVER_HTTP_SERVER_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"
#include "server/authenticator.h"
#include "server/book_cover.h"
#include "server/folder_counts.h"
#include "server/library_pool.h"

namespace httplib {
class Server;
}

namespace tomeva::server {

// How a server serves, besides its library.
struct ServerOptions {
  // When set, every request needs HTTP Basic credentials it accepts.
  std::shared_ptr<Authenticator> authenticator;
};

// Connections served at once (each on a thread of its own while kept alive).
inline constexpr int kConnectionThreads = 64;
// Requests one kept-alive connection may make before it is closed.
inline constexpr int kKeepAliveRequests = 1000;

// A server over a library pool, which must outlive it.
class HttpServer {
 public:
  explicit HttpServer(LibraryPool& pool, ServerOptions options = {});
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds host:port (port 0: any free port) and returns the port bound.
  Result<int> Bind(const std::string& host, int port);
  // Serves requests until Stop; Bind first.
  Status Run();
  // Makes Run return; callable from any thread.
  void Stop();

 private:
  void AddRoutes();

  LibraryPool& pool_;
  ServerOptions options_;
  CoverCache covers_{128};
  FolderCounts counts_{4096};
  std::unique_ptr<httplib::Server> http_;
  int listening_socket_ = -1;  // the socket Bind made, owned by http_
};

// "ADDR:PORT" (or "[IPv6]:PORT", or ":PORT" for 127.0.0.1) split into host and
// port; nullopt for a text that is none of these or a port out of 0..65535.
struct ListenAddress {
  std::string host;
  int port = 0;
};
std::optional<ListenAddress> ParseListenAddress(std::string_view text);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_HTTP_SERVER_H_
