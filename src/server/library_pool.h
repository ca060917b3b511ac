// The library as the server's workers read it: one started session per worker,
// each with its own settings document and its own read-only catalog
// connection, so workers never share a connection and never wait on each other
// (or, under WAL, on an import running in another process). A request borrows a
// session for its length.
#ifndef TOMEVA_SERVER_LIBRARY_POOL_H_
#define TOMEVA_SERVER_LIBRARY_POOL_H_

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/result.h"
#include "frame/session.h"

namespace tomeva::server {

// A fixed set of sessions over one library, handed out one request at a time.
class LibraryPool {
 public:
  // Starts count sessions the way the plugin starts: the settings beside
  // module_path (Tomeva.xml beside Tomeva.wfx) or where the Tomeva.ini beside it
  // points. Nobody is asked anything: a library that cannot be found or whose
  // catalog cannot be opened is an error.
  static Result<std::unique_ptr<LibraryPool>> Open(const std::string& module_path, int count);

  // A borrowed session, given back when the lease ends.
  class Lease {
   public:
    Lease(LibraryPool& pool, std::unique_ptr<frame::Session> session);
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    frame::Session& session() { return *session_; }
    tree::CatalogView view() const { return session_->View(); }

   private:
    LibraryPool& pool_;
    std::unique_ptr<frame::Session> session_;
  };

  // Waits for a free session and lends it; waiting requests are served in the
  // order they came.
  Lease Borrow();

  int size() const { return size_; }
  // How many requests wait in Borrow now.
  int waiting();

  // Lends sessions (started, each with a catalog of its own); Open is the usual way in.
  explicit LibraryPool(std::vector<std::unique_ptr<frame::Session>> sessions);

 private:
  void GiveBack(std::unique_ptr<frame::Session> session);

  // A request waiting in Borrow, in the order they came.
  struct Waiter {
    std::condition_variable handed;
    std::unique_ptr<frame::Session> session;  // set by GiveBack
  };

  std::mutex mutex_;
  std::deque<Waiter*> waiting_;
  std::vector<std::unique_ptr<frame::Session>> free_;
  int size_;
};

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_LIBRARY_POOL_H_
