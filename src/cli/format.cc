// Formatting of listings, times and durations.
#include "cli/format.h"

#include <algorithm>
#include <cstdio>

namespace tomeva::cli {
namespace {

// FILETIME ticks (100 ns) per second, and the seconds from 1601-01-01 to 1970-01-01.
constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kEpochDifference = 11'644'473'600;

// Length of the well-formed UTF-8 sequence at text[pos] (no overlong forms, no
// surrogates, nothing above U+10FFFF), 0 when the bytes there are not one.
size_t ValidSequenceLength(std::string_view text, size_t pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char min_second = 0x80;
  unsigned char max_second = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) min_second = 0xA0;
    if (lead == 0xED) max_second = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) min_second = 0x90;
    if (lead == 0xF4) max_second = 0x8F;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  if (byte(pos + 1) < min_second || byte(pos + 1) > max_second) return 0;
  for (size_t i = 2; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

std::string TimeText(std::time_t time, bool utc, const char* format) {
  std::tm parts{};
  if ((utc ? gmtime_r(&time, &parts) : localtime_r(&time, &parts)) == nullptr) return "?";
  char buffer[64];
  size_t n = std::strftime(buffer, sizeof(buffer), format, &parts);
  return std::string(buffer, n);
}

}  // namespace

std::optional<std::time_t> FileTimeToUnix(const FILETIME& time) {
  if (time.dwHighDateTime == 0 && time.dwLowDateTime == 0) return std::nullopt;
  if (time.dwHighDateTime == 0xFFFFFFFF && time.dwLowDateTime == 0xFFFFFFFE) {
    return std::nullopt;
  }
  uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<std::time_t>(static_cast<int64_t>(ticks / kTicksPerSecond) -
                                  kEpochDifference);
}

FILETIME UnixToFileTime(std::time_t time) {
  FILETIME out{0, 0};
  const int64_t seconds = static_cast<int64_t>(time) + kEpochDifference;
  if (seconds <= 0) return out;
  const uint64_t ticks = static_cast<uint64_t>(seconds) * kTicksPerSecond;
  out.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
  out.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return out;
}

std::string LocalMinuteText(std::time_t time) {
  return TimeText(time, /*utc=*/false, "%Y-%m-%d %H:%M");
}

std::string IsoUtcText(std::time_t time) {
  return TimeText(time, /*utc=*/true, "%Y-%m-%dT%H:%M:%SZ");
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t pos = 0; pos < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c >= 0x80) {
      size_t length = ValidSequenceLength(text, pos);
      if (length == 0) {
        out += "\xEF\xBF\xBD";  // U+FFFD for a stray byte
        ++pos;
      } else {
        out.append(text, pos, length);
        pos += length;
      }
      continue;
    }
    ++pos;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof(escape), "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

std::string PlainListing(const std::vector<Entry>& entries) {
  std::string out;
  for (const Entry& entry : entries) {
    out += entry.name;
    if (entry.is_folder) out += '/';
    out += '\n';
  }
  return out;
}

std::string LongListing(const std::vector<Entry>& entries) {
  size_t size_width = 1;
  for (const Entry& entry : entries) {
    size_width = std::max(size_width, std::to_string(entry.size).size());
  }
  constexpr size_t kDateWidth = 16;  // "YYYY-MM-DD HH:MM"
  std::string out;
  for (const Entry& entry : entries) {
    out += entry.is_folder ? 'd' : '-';
    out += ' ';
    std::string size = std::to_string(entry.size);
    out.append(size_width - size.size(), ' ');
    out += size;
    out += ' ';
    std::string date = entry.modified ? LocalMinuteText(*entry.modified) : "-";
    out += date;
    if (date.size() < kDateWidth) out.append(kDateWidth - date.size(), ' ');
    out += ' ';
    out += entry.name;
    if (entry.is_folder) out += '/';
    out += '\n';
  }
  return out;
}

std::string JsonListing(const std::vector<Entry>& entries) {
  std::string out;
  for (const Entry& entry : entries) {
    out += "{\"name\":" + JsonString(entry.name);
    out += ",\"type\":";
    out += entry.is_folder ? "\"dir\"" : "\"file\"";
    out += ",\"size\":" + std::to_string(entry.size);
    out += ",\"modified\":";
    out += entry.modified ? JsonString(IsoUtcText(*entry.modified)) : "null";
    out += "}\n";
  }
  return out;
}

std::string DurationText(double seconds) {
  if (seconds < 0) seconds = 0;
  char buffer[48];
  if (seconds < 10) {
    std::snprintf(buffer, sizeof(buffer), "%.1f s", seconds);
  } else if (seconds < 60) {
    std::snprintf(buffer, sizeof(buffer), "%d s", static_cast<int>(seconds));
  } else if (seconds < 3600) {
    int whole = static_cast<int>(seconds);
    std::snprintf(buffer, sizeof(buffer), "%d min %02d s", whole / 60, whole % 60);
  } else {
    int minutes = static_cast<int>(seconds / 60);
    std::snprintf(buffer, sizeof(buffer), "%d h %02d min", minutes / 60, minutes % 60);
  }
  return buffer;
}

}  // namespace tomeva::cli
