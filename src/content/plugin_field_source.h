// A content plugin loaded from a shared object and adapted to the FieldSource
// interface through its exported functions (plain C calling convention, UTF-8
// char* text). Faults inside the plugin's own code are the plugin's: nothing
// here can catch them.
#ifndef TOMEVA_CONTENT_PLUGIN_FIELD_SOURCE_H_
#define TOMEVA_CONTENT_PLUGIN_FIELD_SOURCE_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "content/field_source.h"
#include "platform/dynamic_library.h"
#include "wdx_plugin.h"

namespace tomeva::content {

class PluginFieldSource;

// How loading a content plugin ended.
struct PluginLoad {
  enum class Outcome {
    kLoaded,     // source is set
    kNotLoaded,  // the system loader could not load the library (may be retried)
    kFailed,     // the library lacks ContentGetSupportedField or ContentGetValue
  };
  Outcome outcome = Outcome::kNotLoaded;
  std::unique_ptr<PluginFieldSource> source;
  std::string message;  // why it was not loaded
};

class PluginFieldSource : public FieldSource {
 private:
  // Only Load makes sources.
  struct Key {
    explicit Key() = default;
  };

 public:
  PluginFieldSource(Key, platform::DynamicLibrary library);

  // Loads the library at path (handed to the system loader as written) and
  // looks up its exports. When it exports ContentSetDefaultParams, calls it
  // once with a record of size 272, interface version 20 / 1 and
  // default_ini_name (cut to 259 bytes).
  static PluginLoad Load(const std::string& path, std::string_view default_ini_name);

  // Calls ContentPluginUnloading when exported, then unloads the library.
  ~PluginFieldSource() override;
  PluginFieldSource(const PluginFieldSource&) = delete;
  PluginFieldSource& operator=(const PluginFieldSource&) = delete;

  // ContentGetSupportedField with name and units buffers of 5121 bytes.
  FieldInfo GetSupportedField(int index) override;
  // ContentGetValue into value, telling the plugin value.size() - 1 bytes, so
  // one zero byte always ends what it writes.
  int GetValue(std::string_view file_name, int field, int unit, std::vector<char>& value,
               int flags) override;
  bool CanSetValue() const override { return set_value_ != nullptr; }
  // ContentSetValue with the value as NUL-terminated text.
  int SetValue(std::string_view file_name, int field, int unit, int type, std::string_view value,
               int flags) override;

 private:
  platform::DynamicLibrary library_;
  tContentGetSupportedField get_supported_field_ = nullptr;
  tContentGetValue get_value_ = nullptr;
  tContentSetValue set_value_ = nullptr;
  tContentPluginUnloading plugin_unloading_ = nullptr;
};

}  // namespace tomeva::content

#endif  // TOMEVA_CONTENT_PLUGIN_FIELD_SOURCE_H_
