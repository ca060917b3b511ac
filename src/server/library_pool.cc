// Starting the server's sessions and lending them to requests.
#include "server/library_pool.h"

#include <utility>

#include "frame/startup.h"

namespace tomeva::server {

LibraryPool::Lease::Lease(LibraryPool& pool, std::unique_ptr<frame::Session> session)
    : pool_(pool), session_(std::move(session)) {}

LibraryPool::Lease::~Lease() { pool_.GiveBack(std::move(session_)); }

LibraryPool::LibraryPool(std::vector<std::unique_ptr<frame::Session>> sessions)
    : free_(std::move(sessions)), size_(static_cast<int>(free_.size())) {}

Result<std::unique_ptr<LibraryPool>> LibraryPool::Open(const std::string& module_path,
                                                       int count) {
  if (count < 1) count = 1;
  std::vector<std::unique_ptr<frame::Session>> sessions;
  for (int i = 0; i < count; ++i) {
    auto session = std::make_unique<frame::Session>();
    session->module_path = module_path;
    session->catalog_access = catalog::CatalogAccess::kReadOnly;
    // Without host callbacks start-up asks nobody: a missing library fails.
    if (frame::StartSession(*session) != 0) {
      return Error{"no library found; run 'tomeva init DIR' or pass --settings FILE"};
    }
    if (session->catalog == nullptr) return Error{session->catalog_error};
    // Content plugins are for reading books while importing; serving never does.
    session->field_host.reset();
    sessions.push_back(std::move(session));
  }
  return std::make_unique<LibraryPool>(std::move(sessions));
}

LibraryPool::Lease LibraryPool::Borrow() {
  std::unique_lock lock(mutex_);
  // Nobody may pass a request that waits: a free session goes to the longest
  // waiting one (GiveBack), else under load a few requests would be served
  // over and over while another waits for seconds.
  if (waiting_.empty() && !free_.empty()) {
    std::unique_ptr<frame::Session> session = std::move(free_.back());
    free_.pop_back();
    return Lease(*this, std::move(session));
  }
  Waiter me;
  waiting_.push_back(&me);
  me.handed.wait(lock, [&me] { return me.session != nullptr; });
  return Lease(*this, std::move(me.session));
}

int LibraryPool::waiting() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(waiting_.size());
}

void LibraryPool::GiveBack(std::unique_ptr<frame::Session> session) {
  if (session == nullptr) return;
  std::lock_guard lock(mutex_);
  if (waiting_.empty()) {
    free_.push_back(std::move(session));
    return;
  }
  // Handed over under the lock: the waiter cannot leave Borrow before it has
  // the lock again, so its Waiter is alive here.
  Waiter* first = waiting_.front();
  waiting_.pop_front();
  first->session = std::move(session);
  first->handed.notify_one();
}

}  // namespace tomeva::server
