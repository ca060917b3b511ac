// The folder that stands for a search below a search folder of the settings
// ("\Поиск" in the default ones lists, below it, the books matching each
// folder's name): the name a user's search text is given there.
#ifndef TOMEVA_TREE_SEARCH_FOLDER_H_
#define TOMEVA_TREE_SEARCH_FOLDER_H_

#include <string>
#include <string_view>

namespace tomeva::tree {

// The search folder of the default settings.
inline constexpr char kDefaultSearchFolder[] = "\\Поиск";

// The longest folder name a search is given (bytes, cut between characters).
inline constexpr size_t kMaxSearchFolderNameBytes = 250;

// The folder name that searches for text: "/" and "\" (which separate
// folders), line breaks, NUL and tabs become spaces (they separate the words
// of a search as well), spaces at either end go, and the name is cut to
// kMaxSearchFolderNameBytes. Empty when text holds nothing else, or dots
// only ("." and ".." name no folder of their own).
std::string SearchFolderName(std::string_view text);

}  // namespace tomeva::tree

#endif  // TOMEVA_TREE_SEARCH_FOLDER_H_
