// The put command's progress display.
#include "cli/import_progress.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "cli/format.h"
#include "common/utf8.h"

namespace tomeva::cli {
namespace {

// Redraws of the status line are at most this frequent, so fast imports do not
// spend their time on the terminal.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 20;

std::string FileNameOf(std::string_view path) {
  return std::filesystem::path(std::string(path)).filename().string();
}

}  // namespace

const char* OutcomeWord(ImportOutcome outcome) {
  switch (outcome) {
    case ImportOutcome::kImported: return "imported";
    case ImportOutcome::kAlreadyPresent: return "already present";
    case ImportOutcome::kRefused: return "refused";
    case ImportOutcome::kSkipped: return "skipped";
    case ImportOutcome::kAborted: return "aborted";
  }
  return "";
}

ImportProgress::ImportProgress(size_t total, bool terminal, int width, std::ostream& out,
                               std::ostream& err)
    : total_(total), terminal_(terminal), width_(std::max(width, 20)), out_(out), err_(err) {}

void ImportProgress::StartBook(const std::string& path) {
  current_ = FileNameOf(path);
  percent_ = 0;
  Draw();
}

void ImportProgress::FinishFile(const std::string& path, ImportOutcome outcome,
                                std::string_view reason) {
  if (outcome != ImportOutcome::kSkipped) ++done_;
  percent_ = 0;
  if (!terminal_) {
    out_ << OutcomeWord(outcome) << ": " << path;
    if (!reason.empty()) out_ << ": " << reason;
    // One line per file as it is decided, so that a log or a pipe shows
    // progress and a line once written is never taken back.
    out_ << '\n' << std::flush;
    return;
  }
  Draw();
}

void ImportProgress::Finish() {
  ClearLine();
  if (!terminal_) out_.flush();
}

void ImportProgress::OnProgress(std::string_view source, std::string_view, int percent) {
  if (!source.empty()) current_ = FileNameOf(source);
  percent_ = std::clamp(percent, 0, 100);
  Draw();
}

void ImportProgress::ClearLine() {
  if (!terminal_ || !line_shown_) return;
  err_ << "\r\x1b[K" << std::flush;
  line_shown_ = false;
}

void ImportProgress::Draw() {
  if (!terminal_) return;
  Clock::time_point now = Clock::now();
  if (line_shown_ && now - last_draw_ < kRedrawInterval) return;
  last_draw_ = now;
  double elapsed = std::chrono::duration<double>(now - start_).count();
  err_ << '\r'
       << StatusLine(static_cast<double>(done_) + percent_ / 100.0, total_, elapsed, current_,
                     width_)
       << "\x1b[K" << std::flush;
  line_shown_ = true;
}

std::string ImportProgress::StatusLine(double done, size_t total, double elapsed,
                                       std::string_view current, int width) {
  const double fraction = total == 0 ? 1.0 : std::clamp(done / static_cast<double>(total), 0.0, 1.0);
  const int filled = static_cast<int>(fraction * kBarWidth);
  std::string line = "[";
  line.append(filled, '#');
  line.append(kBarWidth - filled, '-');
  line += "] ";
  line += std::to_string(static_cast<size_t>(done)) + "/" + std::to_string(total);
  char rate_text[64];
  if (elapsed > 0.2 && done > 0) {
    const double rate = done / elapsed;
    const double left = (static_cast<double>(total) - done) / rate;
    std::snprintf(rate_text, sizeof(rate_text), "  %.1f books/s  ETA %s", rate,
                  DurationText(left).c_str());
  } else {
    std::snprintf(rate_text, sizeof(rate_text), "  -- books/s  ETA --");
  }
  line += rate_text;
  // The file name gets what is left of the width (one column stays free so the
  // cursor never wraps); a cut name ends in "…".
  const size_t used = Utf8CharacterCount(line) + 2;
  const size_t room = static_cast<size_t>(width) > used + 1 ? width - used - 1 : 0;
  if (room > 0 && !current.empty()) {
    line += "  ";
    if (Utf8CharacterCount(current) <= room) {
      line += current;
    } else if (room > 1) {
      line += Utf8Prefix(current, room - 1);
      line += "\xE2\x80\xA6";
    }
  }
  return line;
}

}  // namespace tomeva::cli
