// The host side of the plugin's callbacks, answering as the command line does:
// messages are printed, the settings prompt gets the --settings answer once,
// every other prompt is cancelled, important log messages are kept as the reason
// of the current operation's failure and detail messages as its outcome, and progress reports feed the progress
// display and carry Ctrl-C back to the plugin.
#ifndef TOMEVA_CLI_HOST_H_
#define TOMEVA_CLI_HOST_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wfx_plugin.h"

namespace tomeva::cli {

// The log message types that report why an operation failed and what it did.
inline constexpr int kLogImportantError = MSGTYPE_IMPORTANTERROR;
inline constexpr int kLogDetails = MSGTYPE_DETAILS;

// Receives the plugin's progress reports while an operation runs.
class ProgressObserver {
 public:
  virtual ~ProgressObserver() = default;
  // The plugin is percent done with source (being copied to target).
  virtual void OnProgress(std::string_view source, std::string_view target, int percent) = 0;
  // A message is about to be printed on stderr: take any status line away.
  virtual void ClearLine() = 0;
};

// The callbacks' state. The plugin's callbacks carry no context besides the
// plugin number, so at most one Host exists at a time and the callbacks reach it
// through a pointer that the constructor sets and the destructor clears.
class Host {
 public:
  // settings_file answers the plugin's prompt for a settings file (once); it is
  // made absolute against the current folder first.
  explicit Host(std::optional<std::string> settings_file);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  static tProgressProc progress_proc();
  static tLogProc log_proc();
  static tRequestProc request_proc();

  // Starts an operation: forgets the reason of the previous one.
  void BeginOperation();
  // Why the current operation failed, as the plugin put it: its important-error
  // log message, else the last message it showed during the operation.
  std::optional<std::string> FailureReason() const;
  // The plugin's last detail log message of the current operation (the
  // outcome of a collection import).
  const std::optional<std::string>& details() const { return details_; }

  // While held, messages are collected instead of printed (start-up, where the
  // plugin's explanation of a prompt that was answered is no longer true).
  void HoldMessages();
  // Prints the held messages and stops holding.
  void ReleaseMessages();

  bool settings_given() const { return settings_file_.has_value(); }
  bool settings_answered() const { return settings_answered_; }
  const std::string& settings_file() const { return *settings_file_; }

  // The display that gets progress reports; null for none.
  void set_observer(ProgressObserver* observer) { observer_ = observer; }

 private:
  static int OnProgress(int plugin_nr, char* source, char* target, int percent);
  static void OnLog(int plugin_nr, int type, char* text);
  static BOOL OnRequest(int plugin_nr, int type, char* title, char* text, char* returned,
                        int maxlen);

  void PrintMessage(const std::string& text);

  std::optional<std::string> settings_file_;
  bool settings_answered_ = false;
  std::optional<std::string> logged_error_;
  std::optional<std::string> details_;
  std::optional<std::string> shown_message_;
  bool holding_ = false;
  std::vector<std::string> held_;
  ProgressObserver* observer_ = nullptr;
};

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_HOST_H_
