// Parameter text: lookup, removal, normalisation and splitting of entries.
#include "common/params.h"

#include <utility>

#include "common/text.h"

namespace tomeva {
namespace {

// One entry of parameter text as views into the text.
struct EntryView {
  std::string_view text;  // the whole entry, without its CR LF
  std::string_view name;
  std::string_view value;
};

// Cuts the next entry off the front of rest (at CR LF, or the end of rest) and
// splits it at its first "=". An entry without "=" is all name.
EntryView NextEntry(std::string_view& rest) {
  size_t end = rest.find(kCrLf);
  std::string_view entry = rest.substr(0, end);
  rest = (end == std::string_view::npos) ? std::string_view() : rest.substr(end + kCrLf.size());
  size_t eq = entry.find('=');
  if (eq == std::string_view::npos) return {entry, entry, std::string_view()};
  return {entry, entry.substr(0, eq), entry.substr(eq + 1)};
}

// CutTokenChar on a view: the text before the first ch, removed from rest with
// the ch after it; all of rest (leaving it empty) when ch does not occur.
std::string_view CutViewAt(std::string_view& rest, char ch) {
  size_t hit = rest.find(ch);
  std::string_view token = rest.substr(0, hit);
  rest = (hit == std::string_view::npos) ? std::string_view() : rest.substr(hit + 1);
  return token;
}

}  // namespace

std::string GetParam(std::string_view params, std::string_view name) {
  while (!params.empty()) {
    EntryView entry = NextEntry(params);
    if (entry.name == name && !entry.value.empty()) return std::string(entry.value);
  }
  return std::string();
}

std::string TakeParam(std::string& params, std::string_view name) {
  std::string kept;
  kept.reserve(params.size() + kCrLf.size());
  std::string found;
  bool searching = true;
  std::string_view rest = params;
  while (!rest.empty()) {
    EntryView entry = NextEntry(rest);
    if (searching && entry.name == name) {
      // Empty values of the name are dropped while searching; the first
      // non-empty one is the result.
      if (!entry.value.empty()) {
        found = std::string(entry.value);
        searching = false;
      }
      continue;
    }
    kept.append(entry.text).append(kCrLf);
  }
  params = std::move(kept);
  return found;
}

std::string JoinParams(std::string_view params, std::string_view separator) {
  std::string_view rest = params;
  std::string out;
  while (!rest.empty()) {
    rest = TrimLeftChars(rest, "\r\n");
    std::string_view name = CutViewAt(rest, '=');
    std::string_view value = CutViewAt(rest, '\r');
    if (!value.empty() && value.front() == '\n') value.remove_prefix(1);
    if (name.empty()) continue;
    out.append(name).append("=").append(value).append(separator);
  }
  return out;
}

std::vector<Param> SplitParams(std::string_view params) {
  std::vector<Param> out;
  while (!params.empty()) {
    EntryView entry = NextEntry(params);
    if (entry.name.empty()) continue;
    out.push_back({std::string(entry.name), std::string(entry.value)});
  }
  return out;
}

}  // namespace tomeva
