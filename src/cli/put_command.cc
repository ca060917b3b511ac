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
    for (const SourceFile& file : sources->files) {
      if (!file.is_book) {
        ++tally.skipped;
        if (file.not_a_file) tally.unusual.push_back(file.path + ": " + file.skip_reason);
        progress.FinishFile(file.path, ImportOutcome::kSkipped, file.skip_reason);
        continue;
      }
      if (InterruptRequested()) {
        tally.aborted = true;
        break;
      }
      progress.StartBook(file.path);
      std::vector<char> local = HostBuffer(file.path);
      std::vector<char> remote =
          HostBuffer(JoinVirtualPath(target, std::filesystem::path(file.path).filename().string()));
      session.host().BeginOperation();
      ++tally.offered;
      const int code = session.api().put_file(local.data(), remote.data(),
                                              options.force ? FS_COPYFLAGS_OVERWRITE : 0);
      const ImportOutcome outcome = OutcomeOf(code);
      if (const std::optional<std::string>& details = session.host().details()) {
        progress.ClearLine();
        std::cout << *details << '\n';
      }
      std::string reason;
      switch (outcome) {
        case ImportOutcome::kImported: ++tally.imported; break;
        case ImportOutcome::kAlreadyPresent: ++tally.already_present; break;
        case ImportOutcome::kAborted: tally.aborted = true; break;
        case ImportOutcome::kRefused:
          reason = ReasonText(session.host().FailureReason(), code, "cannot import " + file.path);
          tally.refused.push_back(file.path + ": " + reason);
          break;
        case ImportOutcome::kSkipped: break;
      }
      progress.FinishFile(file.path, outcome, reason);
      if (tally.aborted) break;
    }
    progress.Finish();
  }
  PrintSummary(tally, books, std::chrono::duration<double>(ImportProgress::Clock::now() -
                                                           progress.start_time())
                                 .count());
  if (tally.aborted) return kInterruptedExitCode;
  return tally.refused.empty() && sources->unreadable.empty() ? kExitOk : kExitFailed;
}

}  // namespace tomeva::cli
