// Books imported in batches of one transaction each, the next books read,
// parsed and copied on a second thread while the catalog takes the current one.
#include "books/import_batch.h"

#include <pthread.h>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "books/import_check.h"
#include "books/operation_scope.h"
#include "common/node_path.h"

namespace tomeva::books {
namespace {

// How many books the preparing thread may be ahead of the catalog: enough to
// keep both threads busy, few enough that a batch ended early wastes little.
constexpr size_t kLookahead = 4;

// How long the catalog is left to other writers between two batches.
constexpr std::chrono::milliseconds kPauseBetweenBatches{3};

// Prepares books (PrepareBook) in order on a thread of its own, at most
// kLookahead books ahead of the one taken last. A book whose working copy is
// empty and that is not wanted is left to the import itself. The thread ends
// with the object, after the book it is preparing; not copyable.
class Preparer {
 public:
  Preparer(std::span<const std::string> local_names, std::vector<std::string> working_copies,
           std::vector<bool> wanted)
      : local_names_(local_names),
        working_copies_(std::move(working_copies)),
        wanted_(std::move(wanted)),
        books_(local_names.size()),
        thread_([this] { Run(); }) {}
  ~Preparer() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  Preparer(const Preparer&) = delete;
  Preparer& operator=(const Preparer&) = delete;

  // Book i, once prepared; null for a book that is not wanted. Books are taken
  // in order.
  PreparedBook* Take(size_t i) {
    std::unique_lock lock(mutex_);
    taken_ = i;
    changed_.notify_all();
    changed_.wait(lock, [&] { return ready_ > i; });
    return wanted_[i] ? &books_[i] : nullptr;
  }

 private:
  void Run() {
    pthread_setname_np(pthread_self(), "tomeva-prepare");  // as tools show it
    for (size_t i = 0; i < books_.size(); ++i) {
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || i < taken_ + kLookahead; });
        if (stop_) return;
      }
      if (wanted_[i]) {
        try {
          books_[i] = PrepareBook(local_names_[i], working_copies_[i]);
        } catch (const std::exception& e) {
          books_[i] = PreparedBook{};
          books_[i].exists = true;
          books_[i].header = Error{e.what()};
        }
      }
      {
        std::lock_guard lock(mutex_);
        ready_ = i + 1;
      }
      changed_.notify_all();
    }
  }

  std::span<const std::string> local_names_;
  std::vector<std::string> working_copies_;
  std::vector<bool> wanted_;
  std::vector<PreparedBook> books_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t taken_ = 0;
  size_t ready_ = 0;
  bool stop_ = false;
  std::thread thread_;  // last: starts once everything above is there
};

}  // namespace

void ImportBooks(BookContext& ctx, std::span<const std::string> local_names, CopyFlags flags,
                 const BatchProgress& progress, const BatchResult& on_result,
                 const BatchLimits& limits) {
  using Clock = std::chrono::steady_clock;
  const std::function<bool(int)> caller_progress = ctx.progress;
  const std::string detect =
      GetPathText(ctx.view.settings_root.FirstChildElement("properties"), "detectstring");
  const bool store_files = StoreFilesOn(ctx);
  // Many books touch many pages of the catalog's indexes; the connection may
  // keep them in memory for the whole import (given back at its end) instead
  // of reading them again for each book and writing them out mid-batch.
  std::optional<catalog::ScopedBulkWrite> bulk;
  if (local_names.size() > 1) bulk.emplace(ctx.view.db);
  size_t next = 0;
  bool aborted = false;
  while (next < local_names.size() && !aborted) {
    const size_t first = next;
    std::vector<Outcome<PutResult>> outcomes;
    OperationScope batch(ctx.view.db, LibraryRoot(ctx), ctx.journals);
    Status begun = batch.Begin();
    // The batch's new books enter the search index once, at its commit.
    if (begun.ok()) begun = ctx.view.db->DeferSearchIndexing();
    if (!begun.ok()) {
      // The catalog cannot be written now (busy, read-only): this book fails
      // as it would alone, and the next one tries again.
      on_result(next++, {PutResult::kWriteError, begun.message()});
      continue;
    }
    // The books this batch may take, each the library takes given the name of
    // its working copy now (journaled before the copy is made).
    const std::span<const std::string> books =
        local_names.subspan(first, std::min(limits.max_books, local_names.size() - first));
    std::vector<std::string> working_copies(books.size());
    std::vector<bool> wanted(books.size());
    for (size_t i = 0; i < books.size(); ++i) {
      wanted[i] = IsImportable(books[i], detect);
      if (!wanted[i] || !store_files) continue;
      Result<std::string> copy = batch.ReserveWorkingCopy(books[i]);
      // Without a name the import makes its own copy (and says why it cannot).
      if (copy.ok()) {
        working_copies[i] = *copy;
      } else {
        wanted[i] = false;
      }
    }
    {
      Preparer preparer(books, std::move(working_copies), std::move(wanted));
      const Clock::time_point start = Clock::now();
      while (next < first + books.size() && Clock::now() - start < limits.max_time) {
        const size_t index = next++;
        ctx.progress = [&progress, index](int percent) { return progress(index, percent); };
        outcomes.push_back(ImportBook(ctx, local_names[index], "", flags, &batch,
                                      preparer.Take(index - first)));
        const PutResult code = outcomes.back().code;
        aborted = code == PutResult::kAborted;
        // A failure may have cost the whole transaction (the engine rolls it
        // back after a full disk): the batch ends here and its commit tells.
        if (code == PutResult::kWriteError || code == PutResult::kAborted) break;
      }
    }  // the preparing thread has ended before the batch does
    ctx.progress = caller_progress;
    if (Status committed = batch.Commit(); !committed.ok()) {
      for (Outcome<PutResult>& outcome : outcomes) {
        if (outcome.code == PutResult::kOk) {
          outcome = {PutResult::kWriteError,
                     "the catalog could not keep the import: " + committed.message()};
        }
      }
    }
    for (size_t i = 0; i < outcomes.size(); ++i) on_result(first + i, outcomes[i]);
    // Other processes waiting to write the catalog (they try every 2 ms) get
    // their turn between two batches instead of waiting for the whole import.
    if (next < local_names.size() && !aborted) std::this_thread::sleep_for(kPauseBetweenBatches);
  }
}

}  // namespace tomeva::books
