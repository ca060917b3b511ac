// The find command: lists the search folder of the settings ("/Поиск" in the
// default ones) below which every folder name is a search, and prints the
// paths of the books found, which get, rm and mv take as they are.
#include <iostream>

#include "cli/commands.h"
#include "tree/search_folder.h"

namespace tomeva::cli {

std::string SearchFolderPath(std::string_view folder, const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += word + ' ';
  const std::string name = tree::SearchFolderName(text);
  if (name.empty()) return {};
  std::string path(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path != "/") path += '/';
  return path + name;
}

int RunFind(PluginSession& session, const FindOptions& options) {
  const std::string path = SearchFolderPath(options.folder, options.words);
  if (path.empty()) {
    PrintError("find needs a word to search for");
    return kExitUsage;
  }
  session.host().BeginOperation();
  std::optional<std::vector<Entry>> entries = session.List(path);
  if (!entries) {
    if (std::optional<std::string> reason = session.host().FailureReason()) {
      PrintError(*reason);
      return kExitFailed;
    }
    PrintError("the settings have no search folder " + options.folder +
               " (a folder whose sub-folders are searches); name it with --in");
    return kExitUsage;
  }
  std::string out;
  size_t books = 0;
  for (const Entry& entry : *entries) {
    if (entry.is_folder) continue;
    out += path + '/' + entry.name + '\n';
    ++books;
  }
  std::cout << out << std::flush;
  if (!std::cout) {
    std::cerr << "tomeva: cannot write the books found to standard output" << std::endl;
    return kExitFailed;
  }
  if (books == 0) {
    // As grep: nothing found is exit status 1, with a word on why.
    PrintError("no book matches " + path.substr(path.rfind('/') + 1));
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace tomeva::cli
