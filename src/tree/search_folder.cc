// The folder name a search text is given below a search folder.
#include "tree/search_folder.h"

#include "common/utf8.h"

namespace tomeva::tree {

std::string SearchFolderName(std::string_view text) {
  std::string name(text);
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == '\r' || c == '\n' || c == '\0' || c == '\t') c = ' ';
  }
  const size_t first = name.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  name.erase(0, first);
  name = std::string(Utf8PrefixBytes(name, kMaxSearchFolderNameBytes));
  name.erase(name.find_last_not_of(' ') + 1);
  // "." and ".." name no folder of their own; they hold no word either.
  if (name.find_first_not_of('.') == std::string::npos) return {};
  return name;
}

}  // namespace tomeva::tree
