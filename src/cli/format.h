// Output formatting of the tomeva program: times from the plugin's FILETIME,
// JSON strings, listing lines, durations and rates.
#ifndef TOMEVA_CLI_FORMAT_H_
#define TOMEVA_CLI_FORMAT_H_

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wfx_plugin.h"

namespace tomeva::cli {

// One entry of a virtual folder as the plugin listed it.
struct Entry {
  std::string name;
  bool is_folder = false;
  uint64_t size = 0;
  std::optional<std::time_t> modified;  // none when the plugin gave no time
};

// The Unix time of a FILETIME; none for a zero time or the "no time" marker
// (0xFFFFFFFF:0xFFFFFFFE).
std::optional<std::time_t> FileTimeToUnix(const FILETIME& time);

// The FILETIME of a Unix time (zero for a time before 1601).
FILETIME UnixToFileTime(std::time_t time);

// "YYYY-MM-DD HH:MM" in local time.
std::string LocalMinuteText(std::time_t time);
// "YYYY-MM-DDTHH:MM:SSZ" (UTC).
std::string IsoUtcText(std::time_t time);

// text as a JSON string literal, quotes included: '"' and '\' escaped, control
// characters as \n, \t ... or \u00XX, bytes that are not valid UTF-8 as U+FFFD.
std::string JsonString(std::string_view text);

// The plain listing: one name per line, folders with a trailing "/".
std::string PlainListing(const std::vector<Entry>& entries);
// The long listing: type (d or -), size, local date and name in aligned columns.
std::string LongListing(const std::vector<Entry>& entries);
// One JSON object per entry and line: name, type ("dir" or "file"), size,
// modified (ISO-8601 UTC, null without a time).
std::string JsonListing(const std::vector<Entry>& entries);

// "0.4 s", "12 s", "3 min 05 s", "1 h 02 min".
std::string DurationText(double seconds);

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_FORMAT_H_
