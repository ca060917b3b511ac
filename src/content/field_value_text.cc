// Text forms of typed field values.
#include "content/field_value_text.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "content/field_source.h"
#include "wdx_plugin.h"

namespace tomeva::content {
namespace {

template <typename T>
T ReadAt(std::span<const char> value, size_t offset) {
  T result{};
  if (offset + sizeof(T) <= value.size()) std::memcpy(&result, value.data() + offset, sizeof(T));
  return result;
}

// Three 16-bit words at the start of value, joined by separator.
std::string ThreeWords(std::span<const char> value, size_t first, size_t second, size_t third,
                       char separator) {
  const auto word = [&](size_t index) {
    return std::to_string(ReadAt<uint16_t>(value, 2 * index));
  };
  return word(first) + separator + word(second) + separator + word(third);
}

// The process's decimal separator (the user's locale once the host has set
// one; "." in the "C" locale).
char LocaleDecimalPoint() {
  const std::lconv* conv = std::localeconv();
  return conv != nullptr && conv->decimal_point != nullptr && conv->decimal_point[0] != '\0'
             ? conv->decimal_point[0]
             : '.';
}

}  // namespace

std::string FormatGeneralDouble(double v, char decimal_point) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  if (v == 0) return "0";
  // 15 significant digits: d.dddddddddddddde+XX
  char scientific[64];
  std::snprintf(scientific, sizeof scientific, "%.14e", std::fabs(v));
  const char* e = std::strchr(scientific, 'e');
  const int exponent = std::atoi(e + 1);
  std::string digits;
  for (const char* p = scientific; p < e; ++p) {
    if (*p != '.') digits.push_back(*p);
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = v < 0 ? "-" : "";
  if (exponent >= -5 && exponent < 15) {
    if (exponent < 0) {
      out += '0';
      out += decimal_point;
      out.append(static_cast<size_t>(-exponent - 1), '0');
      out += digits;
    } else {
      const size_t whole = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= whole) {
        out += digits;
        out.append(whole - digits.size(), '0');
      } else {
        out += digits.substr(0, whole);
        out += decimal_point;
        out += digits.substr(whole);
      }
    }
  } else {
    out += digits[0];
    if (digits.size() > 1) {
      out += decimal_point;
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
  }
  return out;
}

std::string FieldValueText(int code, std::span<const char> value) {
  switch (code) {
    case ft_fieldempty:
      return std::string();
    case ft_numeric_32:
      return std::to_string(ReadAt<int32_t>(value, 0));
    case ft_numeric_64:
      return std::to_string(ReadAt<int64_t>(value, 0));
    case ft_numeric_floating:
      return FormatGeneralDouble(ReadAt<double>(value, 0), LocaleDecimalPoint());
    case ft_date:  // year, month, day
      return ThreeWords(value, 2, 1, 0, '.');
    case ft_time:  // hour, minute, second
      return ThreeWords(value, 0, 1, 2, ':');
    case ft_boolean:
      return ReadAt<int32_t>(value, 0) == 0 ? "false" : "true";
    case ft_multiplechoice:
    case ft_string:
    case ft_fulltext: {
      if (value.empty()) return std::string();
      const std::string_view raw(value.data(), strnlen(value.data(), value.size()));
      return std::string(CutUtf8(raw, value.size() - 1));
    }
    default:
      return std::string(kNullValue);
  }
}

}  // namespace tomeva::content
