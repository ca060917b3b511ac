// Books imported in batches of one transaction each.
#include "books/import_batch.h"

#include <vector>

#include "books/operation_scope.h"

namespace tomeva::books {

void ImportBooks(BookContext& ctx, std::span<const std::string> local_names, CopyFlags flags,
                 const BatchProgress& progress, const BatchResult& on_result,
                 const BatchLimits& limits) {
  using Clock = std::chrono::steady_clock;
  const std::function<bool(int)> caller_progress = ctx.progress;
  size_t next = 0;
  bool aborted = false;
  while (next < local_names.size() && !aborted) {
    const size_t first = next;
    std::vector<Outcome<PutResult>> outcomes;
    OperationScope batch(ctx.view.db, LibraryRoot(ctx), ctx.journals);
    if (Status begun = batch.Begin(); !begun.ok()) {
      // The catalog cannot be written now (busy, read-only): this book fails
      // as it would alone, and the next one tries again.
      on_result(next++, {PutResult::kWriteError, begun.message()});
      continue;
    }
    const Clock::time_point start = Clock::now();
    while (next < local_names.size() && outcomes.size() < limits.max_books &&
           Clock::now() - start < limits.max_time) {
      const size_t index = next++;
      ctx.progress = [&progress, index](int percent) { return progress(index, percent); };
      outcomes.push_back(ImportBook(ctx, local_names[index], "", flags, &batch));
      const PutResult code = outcomes.back().code;
      aborted = code == PutResult::kAborted;
      // A failure may have cost the whole transaction (the engine rolls it
      // back after a full disk): the batch ends here and its commit tells.
      if (code == PutResult::kWriteError || code == PutResult::kAborted) break;
    }
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
  }
}

}  // namespace tomeva::books
