// Test harness for end-to-end tests: a private copy of the real Tomeva.wfx in a
// temporary folder, loaded with dlopen, its exports resolved by name, and host
// callbacks that record what the plugin asked and answer like a scripted user.
#ifndef TOMEVA_TESTS_WFX_PLUGIN_HARNESS_H_
#define TOMEVA_TESTS_WFX_PLUGIN_HARNESS_H_

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dynamic_library.h"
#include "support/temp_dir.h"
#include "wfx_plugin.h"

namespace tomeva::testing {

// One call of the host's request callback.
struct HostRequest {
  int type;
  std::string title;
  std::string text;
  std::string preset;
};

// One listed entry.
struct ListedEntry {
  std::string name;
  bool is_folder;
  uint64_t size;
  FILETIME write_time;
};

class PluginHarness {
 public:
  // Copies Tomeva.wfx into folder (the plugin then looks for Tomeva.xml there).
  explicit PluginHarness(const std::string& folder);
  ~PluginHarness();

  const std::string& folder() const { return folder_; }
  std::string plugin_path() const { return folder_ + "/Tomeva.wfx"; }

  // Loads the copy; the exports are resolved on first use.
  void Load();
  void* Export(const char* name);

  // FsInit with the recording callbacks.
  int Init(int plugin_nr = 7);

  // Answers for prompts (RT_Other) in order; an exhausted queue cancels.
  std::deque<std::optional<std::string>> prompt_answers;
  // Everything the plugin asked, in order.
  std::vector<HostRequest> requests;
  // Texts the plugin gave the host's log callback, in order.
  std::vector<std::string> logs;
  // Their message types (MSGTYPE_*), one for each of logs.
  std::vector<int> log_types;
  // Progress calls (percent) and the percent at which the next call says abort.
  std::vector<int> progress;
  std::optional<int> abort_at_percent;
  // The 1-based number of the progress call (counted in progress) that says abort.
  std::optional<size_t> abort_at_call;

  // Lists a folder with FsFindFirst/FsFindNext/FsFindClose; nullopt when
  // FsFindFirst returns INVALID_HANDLE_VALUE (last_errno then tells why).
  std::optional<std::vector<ListedEntry>> List(const std::string& path);
  int last_errno = 0;

 private:
  static int ProgressThunk(int plugin_nr, char* source, char* target, int percent);
  static BOOL RequestThunk(int plugin_nr, int type, char* title, char* text, char* returned,
                           int maxlen);
  static void LogThunk(int plugin_nr, int msg_type, char* text);

  std::string folder_;
  platform::DynamicLibrary library_;
};

// Writes a settings document text into folder/Tomeva.xml.
void WriteSettings(const std::string& folder, const std::string& xml);

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_WFX_PLUGIN_HARNESS_H_
