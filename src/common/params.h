// Parameter text: the form in which named values travel between layers (book
// fields from metadata extraction into import and the SQL builders, named
// values handed to templates). It is a sequence of entries "name=value"
// separated by CR LF; the last entry may or may not end with CR LF. A name is
// everything before the first "=" of its entry, the value everything after it.
// Names compare case-sensitively and exactly.
#ifndef TOMEVA_COMMON_PARAMS_H_
#define TOMEVA_COMMON_PARAMS_H_

#include <string>
#include <string_view>
#include <vector>

namespace tomeva {

// The separator between entries of parameter text.
inline constexpr std::string_view kCrLf = "\r\n";

// The value of the first entry named name whose value is not empty; empty when
// there is none.
std::string GetParam(std::string_view params, std::string_view name);

// As GetParam, and removes the entry found from params together with every
// entry of that name with an empty value met before it (all of them when none
// is found). Every other entry keeps its place and ends with CR LF.
std::string TakeParam(std::string& params, std::string_view name);

// For each entry in order: leading CR and LF dropped, the name cut at the next
// "=", the value cut at the next CR (one LF at its front dropped); when the
// name is not empty, name + "=" + value + separator is appended. With kCrLf as
// separator this normalises parameter text. An entry without "=" takes the text
// up to the next "=" (on a later line) as its name.
std::string JoinParams(std::string_view params, std::string_view separator);

// One entry of parameter text.
struct Param {
  std::string name;
  std::string value;
};

// The entries of params in order, each cut at CR LF and then at its first "=";
// entries with an empty name (blank lines among them) are skipped.
std::vector<Param> SplitParams(std::string_view params);

}  // namespace tomeva

#endif  // TOMEVA_COMMON_PARAMS_H_
