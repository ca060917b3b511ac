// The "wdx_tc" field source: name parts, size and modification time of a file.
#include "content/file_field_source.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/files.h"

namespace tomeva::content {
namespace {

struct FieldEntry {
  const char* name;
  int type;
};

constexpr FieldEntry kFields[] = {
    {"FullName", ft_string}, {"Ext", ft_string},      {"Name", ft_string},
    {"Path", ft_string},     {"Size", ft_numeric_64}, {"Modified", ft_string},
};
constexpr int kFieldCount = static_cast<int>(sizeof kFields / sizeof kFields[0]);

size_t NameStart(std::string_view file_name) {
  const size_t separator = file_name.find_last_of("/\\");
  return separator == std::string_view::npos ? 0 : separator + 1;
}

// "YYYY-MM-DD HH:MM:SS" of a UTC time point. UTC rather than local time: the
// value then does not depend on the time zone of the machine that imports.
std::string UtcTimeText(std::chrono::sys_seconds time) {
  const auto days = std::chrono::floor<std::chrono::days>(time);
  const std::chrono::year_month_day date(days);
  const std::chrono::hh_mm_ss clock(time - days);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

}  // namespace

std::string_view FileNameExtension(std::string_view file_name) {
  const size_t separator = file_name.find_last_of("/\\:");
  const size_t start = separator == std::string_view::npos ? 0 : separator + 1;
  const size_t dot = file_name.rfind('.');
  if (dot == std::string_view::npos || dot < start) return {};
  return file_name.substr(dot);
}

FieldInfo FileFieldSource::GetSupportedField(int index) {
  if (index < 0 || index >= kFieldCount) return {};
  return {kFields[index].type, kFields[index].name, ""};
}

int FileFieldSource::GetValue(std::string_view file_name, int field, int /*unit*/,
                              std::vector<char>& value, int /*flags*/) {
  switch (field) {
    case 0:
      WriteTextValue(value, file_name);
      return ft_string;
    case 1:
      WriteTextValue(value, FileNameExtension(file_name));
      return ft_string;
    case 2:
      WriteTextValue(value, file_name.substr(NameStart(file_name)));
      return ft_string;
    case 3:
      WriteTextValue(value, file_name.substr(0, NameStart(file_name)));
      return ft_string;
    case 4: {
      const std::optional<uint64_t> size = platform::FileSize(std::string(file_name));
      if (!size || value.size() < sizeof(int64_t)) return ft_fileerror;
      const auto bytes = static_cast<int64_t>(*size);
      std::memcpy(value.data(), &bytes, sizeof bytes);
      return ft_numeric_64;
    }
    case 5: {
      const auto modified = platform::FileModifiedTime(std::string(file_name));
      if (!modified) return ft_fileerror;
      WriteTextValue(value, UtcTimeText(*modified));
      return ft_string;
    }
    default:
      return ft_nosuchfield;
  }
}

}  // namespace tomeva::content
