// The end-to-end test harness around a private copy of Tomeva.wfx.
#include "wfx/plugin_harness.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tomeva::testing {
namespace {

// The harness whose plugin is being called; callbacks are plain C functions.
PluginHarness* g_current = nullptr;

}  // namespace

PluginHarness::PluginHarness(const std::string& folder) : folder_(folder) {
  std::filesystem::create_directories(folder_);
  std::filesystem::copy_file(TOMEVA_WFX_PATH, plugin_path(),
                             std::filesystem::copy_options::overwrite_existing);
}

PluginHarness::~PluginHarness() {
  library_.Close();
  if (g_current == this) g_current = nullptr;
}

void PluginHarness::Load() {
  if (library_.loaded()) return;
  auto lib = platform::DynamicLibrary::Open(plugin_path());
  ASSERT_TRUE(lib.ok()) << lib.message();
  library_ = std::move(lib).value();
}

void* PluginHarness::Export(const char* name) {
  Load();
  g_current = this;
  return library_.Symbol(name);
}

int PluginHarness::Init(int plugin_nr) {
  auto fs_init = reinterpret_cast<int (*)(int, tProgressProc, tLogProc, tRequestProc)>(
      Export("FsInit"));
  if (fs_init == nullptr) {
    ADD_FAILURE() << "FsInit is not exported";
    return -2;
  }
  return fs_init(plugin_nr, &ProgressThunk, &LogThunk, &RequestThunk);
}

std::optional<std::vector<ListedEntry>> PluginHarness::List(const std::string& path) {
  auto find_first = reinterpret_cast<HANDLE (*)(char*, WIN32_FIND_DATAA*)>(Export("FsFindFirst"));
  auto find_next = reinterpret_cast<BOOL (*)(HANDLE, WIN32_FIND_DATAA*)>(Export("FsFindNext"));
  auto find_close = reinterpret_cast<int (*)(HANDLE)>(Export("FsFindClose"));
  if (!find_first || !find_next || !find_close) {
    ADD_FAILURE() << "listing entry points missing";
    return std::nullopt;
  }
  std::string buffer = path;
  WIN32_FIND_DATAA data;
  errno = 0;
  HANDLE handle = find_first(buffer.data(), &data);
  last_errno = errno;
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<ListedEntry> entries;
  do {
    uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entries.push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       size, data.ftLastWriteTime});
  } while (find_next(handle, &data));
  EXPECT_EQ(find_close(handle), 0);
  return entries;
}

int PluginHarness::ProgressThunk(int, char*, char*, int percent) {
  if (g_current == nullptr) return 0;
  g_current->progress.push_back(percent);
  if (g_current->abort_at_percent && *g_current->abort_at_percent == percent) return 1;
  if (g_current->abort_at_call && *g_current->abort_at_call == g_current->progress.size()) {
    return 1;
  }
  return 0;
}

BOOL PluginHarness::RequestThunk(int, int type, char* title, char* text, char* returned,
                                 int maxlen) {
  if (g_current == nullptr) return FALSE;
  g_current->requests.push_back({type, title ? title : "", text ? text : "",
                                 (returned && maxlen > 0) ? returned : ""});
  if (type != RT_Other) return TRUE;
  if (g_current->prompt_answers.empty()) return FALSE;
  std::optional<std::string> answer = g_current->prompt_answers.front();
  g_current->prompt_answers.pop_front();
  if (!answer) return FALSE;
  size_t n = std::min(answer->size(), static_cast<size_t>(maxlen) - 1);
  std::memcpy(returned, answer->data(), n);
  returned[n] = '\0';
  return TRUE;
}

void PluginHarness::LogThunk(int, int msg_type, char* text) {
  if (g_current == nullptr) return;
  g_current->logs.push_back(text ? text : "");
  g_current->log_types.push_back(msg_type);
}

void WriteSettings(const std::string& folder, const std::string& xml) {
  WriteFile(folder + "/Tomeva.xml", xml);
}

}  // namespace tomeva::testing
