// Content plugins through dlopen: export lookup, the default parameter record,
// and the calls with NUL-terminated copies of the caller's text.
#include "content/plugin_field_source.h"

#include <cstring>
#include <utility>
#include <vector>

namespace tomeva::content {
namespace {

constexpr int kFieldTextBytes = 5121;
constexpr uint32_t kInterfaceVersionLow = 20;
constexpr uint32_t kInterfaceVersionHigh = 1;

template <typename Function>
Function Export(const platform::DynamicLibrary& library, const char* name) {
  return reinterpret_cast<Function>(library.Symbol(name));
}

// A NUL-terminated, writable copy of text, as the interface's char* wants it.
std::vector<char> CText(std::string_view text) {
  std::vector<char> copy(text.begin(), text.end());
  copy.push_back('\0');
  return copy;
}

}  // namespace

PluginFieldSource::PluginFieldSource(Key, platform::DynamicLibrary library)
    : library_(std::move(library)) {}

PluginLoad PluginFieldSource::Load(const std::string& path, std::string_view default_ini_name) {
  PluginLoad load;
  Result<platform::DynamicLibrary> library = platform::DynamicLibrary::Open(path);
  if (!library.ok()) {
    load.message = library.message();
    return load;
  }
  auto set_default_params = Export<tContentSetDefaultParams>(*library, "ContentSetDefaultParams");
  auto get_supported_field =
      Export<tContentGetSupportedField>(*library, "ContentGetSupportedField");
  auto get_value = Export<tContentGetValue>(*library, "ContentGetValue");
  if (get_supported_field == nullptr || get_value == nullptr) {
    load.outcome = PluginLoad::Outcome::kFailed;
    load.message = path + " is not a content plugin";
    return load;  // the library is unloaded here
  }
  auto source = std::make_unique<PluginFieldSource>(Key(), std::move(library).value());
  source->get_supported_field_ = get_supported_field;
  source->get_value_ = get_value;
  source->set_value_ = Export<tContentSetValue>(source->library_, "ContentSetValue");
  source->plugin_unloading_ =
      Export<tContentPluginUnloading>(source->library_, "ContentPluginUnloading");
  if (set_default_params != nullptr) {
    ContentDefaultParamStruct params;
    std::memset(&params, 0, sizeof params);
    params.size = sizeof params;
    params.PluginInterfaceVersionLow = kInterfaceVersionLow;
    params.PluginInterfaceVersionHi = kInterfaceVersionHigh;
    const std::string_view ini = CutUtf8(default_ini_name, sizeof params.DefaultIniName - 1);
    if (!ini.empty()) std::memcpy(params.DefaultIniName, ini.data(), ini.size());
    set_default_params(&params);
  }
  load.outcome = PluginLoad::Outcome::kLoaded;
  load.source = std::move(source);
  return load;
}

PluginFieldSource::~PluginFieldSource() {
  if (plugin_unloading_ != nullptr) plugin_unloading_();
  library_.Close();
}

FieldInfo PluginFieldSource::GetSupportedField(int index) {
  std::vector<char> name(kFieldTextBytes, '\0');
  std::vector<char> units(kFieldTextBytes, '\0');
  FieldInfo info;
  info.type = get_supported_field_(index, name.data(), units.data(), kFieldTextBytes);
  if (info.type == ft_nomorefields) return info;
  info.name.assign(name.data(), strnlen(name.data(), name.size()));
  info.units.assign(units.data(), strnlen(units.data(), units.size()));
  return info;
}

int PluginFieldSource::GetValue(std::string_view file_name, int field, int unit,
                                std::vector<char>& value, int flags) {
  if (value.empty()) return ft_fileerror;
  std::vector<char> file = CText(file_name);
  return get_value_(file.data(), field, unit, value.data(), static_cast<int>(value.size() - 1),
                    flags);
}

int PluginFieldSource::SetValue(std::string_view file_name, int field, int unit, int type,
                                std::string_view value, int flags) {
  if (set_value_ == nullptr) return ft_notsupported;
  std::vector<char> file = CText(file_name);
  std::vector<char> text = CText(value);
  return set_value_(file.data(), field, unit, type, text.data(), flags);
}

}  // namespace tomeva::content
