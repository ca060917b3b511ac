// Lending the server's sessions: requests that wait for one are served in the
// order they came, never passed by a request that came later.
#include "server/library_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tomeva::server {
namespace {

std::unique_ptr<LibraryPool> PoolOf(int sessions) {
  std::vector<std::unique_ptr<frame::Session>> all;
  for (int i = 0; i < sessions; ++i) all.push_back(std::make_unique<frame::Session>());
  return std::make_unique<LibraryPool>(std::move(all));
}

void WaitUntilWaiting(LibraryPool& pool, int count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (pool.waiting() < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(pool.waiting(), count);
}

TEST(LibraryPoolTest, WaitingRequestsAreServedInTheOrderTheyCameBeforeALaterOne) {
  std::unique_ptr<LibraryPool> pool = PoolOf(1);
  std::mutex mutex;
  std::vector<std::string> served;
  auto serve = [&](const std::string& name) {
    LibraryPool::Lease lease = pool->Borrow();
    std::lock_guard lock(mutex);
    served.push_back(name);
  };

  std::vector<std::thread> requests;
  {
    LibraryPool::Lease first = pool->Borrow();
    for (const char* name : {"a", "b", "c"}) {
      requests.emplace_back(serve, name);
      WaitUntilWaiting(*pool, static_cast<int>(requests.size()));
    }
  }
  // The session came free and a new request asks at once: it waits its turn
  // behind the three that were waiting.
  serve("late");
  for (std::thread& request : requests) request.join();
  EXPECT_EQ(served, (std::vector<std::string>{"a", "b", "c", "late"}));
  EXPECT_EQ(pool->waiting(), 0);
}

TEST(LibraryPoolTest, EverySessionIsLentOnceAtATimeUnderManyRequests) {
  std::unique_ptr<LibraryPool> pool = PoolOf(3);
  std::mutex mutex;
  std::vector<frame::Session*> lent;
  int most_at_once = 0;
  int served = 0;
  std::vector<std::thread> requests;
  for (int t = 0; t < 12; ++t) {
    requests.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        LibraryPool::Lease lease = pool->Borrow();
        frame::Session* session = &lease.session();
        {
          std::lock_guard lock(mutex);
          for (frame::Session* other : lent) ASSERT_NE(other, session);
          lent.push_back(session);
          most_at_once = std::max(most_at_once, static_cast<int>(lent.size()));
        }
        std::this_thread::yield();
        std::lock_guard lock(mutex);
        std::erase(lent, session);
        ++served;
      }
    });
  }
  for (std::thread& request : requests) request.join();
  EXPECT_EQ(served, 12 * 200);
  EXPECT_LE(most_at_once, 3);
  EXPECT_EQ(pool->waiting(), 0);
  // All three are back: three borrowers at once get one each without waiting.
  LibraryPool::Lease a = pool->Borrow();
  LibraryPool::Lease b = pool->Borrow();
  LibraryPool::Lease c = pool->Borrow();
  EXPECT_EQ(pool->waiting(), 0);
}

}  // namespace
}  // namespace tomeva::server
