// What the put command shows while it imports: on a terminal a status line on
// stderr (a bar, done/total, books per second, the time left and the current
// file name cut to the width), otherwise one plain line per file on stdout.
#ifndef TOMEVA_CLI_IMPORT_PROGRESS_H_
#define TOMEVA_CLI_IMPORT_PROGRESS_H_

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

#include "cli/host.h"

namespace tomeva::cli {

// What became of one file of a put.
enum class ImportOutcome { kImported, kAlreadyPresent, kRefused, kSkipped, kAborted };

// The word a plain line starts with ("imported", "already present", ...).
const char* OutcomeWord(ImportOutcome outcome);

class ImportProgress : public ProgressObserver {
 public:
  using Clock = std::chrono::steady_clock;

  // total books are to be offered. With terminal, the status line goes to err
  // (width columns); otherwise plain lines go to out.
  ImportProgress(size_t total, bool terminal, int width, std::ostream& out, std::ostream& err);

  // The book at path is offered now.
  void StartBook(const std::string& path);
  // The outcome of a file (reason for a refused one).
  void FinishFile(const std::string& path, ImportOutcome outcome, std::string_view reason);
  // Takes the status line away for good.
  void Finish();

  Clock::time_point start_time() const { return start_; }

  void OnProgress(std::string_view source, std::string_view target, int percent) override;
  void ClearLine() override;

  // The status line for done books (plus a fraction of the current one) of
  // total, elapsed seconds since the start, the current file and the width.
  static std::string StatusLine(double done, size_t total, double elapsed,
                                std::string_view current, int width);

 private:
  void Draw();

  size_t total_;
  bool terminal_;
  int width_;
  std::ostream& out_;
  std::ostream& err_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_draw_{};
  size_t done_ = 0;
  int percent_ = 0;
  std::string current_;
  bool line_shown_ = false;
};

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_IMPORT_PROGRESS_H_
