// The put command: local FB2 books imported by offering each one to the plugin
// with FsPutFile, as a file manager does when files are copied into the panel.
#include <filesystem>
#include <iostream>

#include "cli/book_sources.h"
#include "cli/commands.h"
#include "cli/file_results.h"
#include "cli/format.h"
#include "cli/import_progress.h"
#include "cli/terminal.h"
#include "cli/virtual_path.h"
#include "collections/collection_import.h"

namespace tomeva::cli {
namespace {

struct Tally {
  size_t imported = 0;
  size_t already_present = 0;
  size_t skipped = 0;
  std::vector<std::string> unusual;  // "FILE: reason" for skipped files that are no files
  size_t offered = 0;
  bool aborted = false;
  std::vector<std::string> refused;  // "FILE: reason"
};

ImportOutcome OutcomeOf(int code) {
  switch (code) {
    case FS_FILE_OK: return ImportOutcome::kImported;
    case FS_FILE_EXISTS:
    case FS_FILE_EXISTSRESUMEALLOWED: return ImportOutcome::kAlreadyPresent;
    case FS_FILE_USERABORT: return ImportOutcome::kAborted;
    default: return ImportOutcome::kRefused;
  }
}

// Removes the observer from the host however the import ends.
class ObserverScope {
 public:
  ObserverScope(Host& host, ProgressObserver* observer) : host_(host) {
    host_.set_observer(observer);
  }
  ~ObserverScope() { host_.set_observer(nullptr); }
  ObserverScope(const ObserverScope&) = delete;
  ObserverScope& operator=(const ObserverScope&) = delete;

 private:
  Host& host_;
};

void PrintSummary(const Tally& tally, size_t books, double seconds) {
  std::cout << "imported " << tally.imported << ", already present " << tally.already_present
            << ", refused " << tally.refused.size() << ", skipped " << tally.skipped << " in "
            << DurationText(seconds) << '\n';
  for (const std::string& refused : tally.refused) std::cout << "refused: " << refused << '\n';
  for (const std::string& skipped : tally.unusual) std::cout << "skipped: " << skipped << '\n';
  if (tally.aborted) {
    std::cout << "aborted: " << books - tally.offered << " of " << books
              << " books were not offered" << '\n';
  }
  std::cout.flush();
}

// One put in progress: where its books go, how they are shown and counted.
class Put {
 public:
  Put(PluginSession& session, const PutOptions& options, const std::vector<SourceFile>& files,
      ImportProgress& progress, Tally& tally)
      : session_(session),
        files_(files),
        target_(NormalVirtualPath(options.target)),
        flags_(options.force ? FS_COPYFLAGS_OVERWRITE : 0),
        progress_(progress),
        tally_(tally) {}

  // Offers one file with FsPutFile (a collection index, whose outcome the
  // plugin describes in a details message, or any book without the batch
  // entry point).
  void One(size_t file) {
    const std::string& path = files_[file].path;
    progress_.StartBook(path);
    std::vector<char> local = HostBuffer(path);
    std::vector<char> remote = HostBuffer(RemoteOf(path));
    session_.host().BeginOperation();
    ++tally_.offered;
    const int code = session_.api().put_file(local.data(), remote.data(), flags_);
    if (const std::optional<std::string>& details = session_.host().details()) {
      progress_.ClearLine();
      std::cout << *details << '\n';
    }
    Record(file, code, nullptr);
  }

  // Offers books with TomevaPutFiles: the plugin imports them in batches and
  // gives each result once the batch holding it is durable.
  void Batch(const std::vector<size_t>& books) {
    std::vector<std::vector<char>> locals;
    std::vector<std::vector<char>> remotes;
    std::vector<char*> local_names;
    std::vector<char*> remote_names;
    for (size_t file : books) {
      locals.push_back(HostBuffer(files_[file].path));
      remotes.push_back(HostBuffer(RemoteOf(files_[file].path)));
    }
    for (size_t i = 0; i < books.size(); ++i) {
      local_names.push_back(locals[i].data());
      remote_names.push_back(remotes[i].data());
    }
    if (!books.empty()) progress_.StartBook(files_[books.front()].path);
    session_.host().BeginOperation();
    struct Call {
      Put* put;
      const std::vector<size_t>* books;
      size_t answered = 0;
    } call{this, &books};
    auto on_result = [](void* data, int index, int code, const char* reason) {
      Call& c = *static_cast<Call*>(data);
      if (index < 0 || static_cast<size_t>(index) >= c.books->size()) return;
      ++c.answered;
      ++c.put->tally_.offered;
      c.put->Record((*c.books)[index], code, reason);
    };
    const int code = session_.api().put_files(static_cast<int>(books.size()), local_names.data(),
                                              remote_names.data(), flags_, on_result, &call);
    if (code == FS_FILE_USERABORT) tally_.aborted = true;
    if (call.answered == 0 && code != FS_FILE_OK && !tally_.aborted) {
      // Nothing could be imported (no catalog): every book is refused alike.
      for (size_t file : books) {
        ++tally_.offered;
        Record(file, code, nullptr);
      }
    }
  }

  // Reports the files before file (in the order found) that are no books.
  void ReportSkippedBefore(size_t file) {
    for (; next_skipped_ < file && next_skipped_ < files_.size(); ++next_skipped_) {
      const SourceFile& skipped = files_[next_skipped_];
      if (skipped.is_book) continue;
      ++tally_.skipped;
      if (skipped.not_a_file) tally_.unusual.push_back(skipped.path + ": " + skipped.skip_reason);
      progress_.FinishFile(skipped.path, ImportOutcome::kSkipped, skipped.skip_reason);
    }
  }

 private:
  std::string RemoteOf(const std::string& path) const {
    return JoinVirtualPath(target_, std::filesystem::path(path).filename().string());
  }

  void Record(size_t file, int code, const char* reason_text) {
    ReportSkippedBefore(file);
    const std::string& path = files_[file].path;
    const ImportOutcome outcome = OutcomeOf(code);
    std::string reason;
    switch (outcome) {
      case ImportOutcome::kImported: ++tally_.imported; break;
      case ImportOutcome::kAlreadyPresent: ++tally_.already_present; break;
      case ImportOutcome::kAborted: tally_.aborted = true; break;
      case ImportOutcome::kRefused:
        reason = reason_text != nullptr && *reason_text != '\0'
                     ? std::string(reason_text)
                     : ReasonText(session_.host().FailureReason(), code, "cannot import " + path);
        tally_.refused.push_back(path + ": " + reason);
        break;
      case ImportOutcome::kSkipped: break;
    }
    progress_.FinishFile(path, outcome, reason);
  }

  PluginSession& session_;
  const std::vector<SourceFile>& files_;
  size_t next_skipped_ = 0;
  const std::string target_;
  const int flags_;
  ImportProgress& progress_;
  Tally& tally_;
};

// How many books one call of the batch entry point gets: between calls an
// interrupt is looked at, and the lists stay small.
constexpr size_t kBooksPerCall = 1024;

}  // namespace

int RunPut(PluginSession& session, const PutOptions& options) {
  Result<SourceList> sources = CollectSourceFiles(options.sources, options.recursive);
  if (!sources.ok()) {
    PrintError(sources.message());
    return kExitUsage;
  }
  if (session.api().put_file == nullptr) {
    PrintError(MissingEntryPointMessage(session.plugin_path(), "FsPutFile"));
    return kExitFailed;
  }
  for (const std::string& folder : sources->unreadable) PrintError("cannot read folder " + folder);

  const std::string target = NormalVirtualPath(options.target);
  const size_t books = sources->book_count;
  const bool terminal = StderrIsTerminal();
  ImportProgress progress(books, terminal, terminal ? TerminalColumns() : 80, std::cout,
                          std::cerr);
  Tally tally;
  {
    ObserverScope observing(session.host(), &progress);
    PluginSession::StatusScope status(session, target, books > 1 ? FS_STATUS_OP_PUT_MULTI : FS_STATUS_OP_PUT_SINGLE);
    Put put(session, options, sources->files, progress, tally);
    const bool batches = session.api().put_files != nullptr;
    std::vector<size_t> pending;  // books for the next batch call
    auto offer_pending = [&] {
      if (!pending.empty() && !tally.aborted) put.Batch(pending);
      pending.clear();
    };
    const std::vector<SourceFile>& files = sources->files;
    for (size_t file = 0; file < files.size() && !tally.aborted; ++file) {
      if (!files[file].is_book) continue;
      if (InterruptRequested()) {
        tally.aborted = true;
        break;
      }
      if (batches && !collections::IsCollectionIndexName(files[file].path)) {
        pending.push_back(file);
        if (pending.size() == kBooksPerCall) offer_pending();
        continue;
      }
      offer_pending();
      if (!tally.aborted) put.One(file);
    }
    offer_pending();
    // Files that are no books after the last book offered (all of them after
    // an abort, which offers nothing more but still says what was skipped).
    put.ReportSkippedBefore(files.size());
    progress.Finish();
  }
  PrintSummary(tally, books, std::chrono::duration<double>(ImportProgress::Clock::now() -
                                                           progress.start_time())
                                 .count());
  if (tally.aborted) return kInterruptedExitCode;
  return tally.refused.empty() && sources->unreadable.empty() ? kExitOk : kExitFailed;
}

}  // namespace tomeva::cli
