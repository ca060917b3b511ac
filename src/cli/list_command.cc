// The ls command.
#include <iostream>

#include "cli/commands.h"

namespace tomeva::cli {

void PrintError(const std::string& message) {
  std::cout.flush();
  std::cerr << "tomeva: " << message << std::endl;
}

int RunList(PluginSession& session, const ListOptions& options) {
  session.host().BeginOperation();
  std::optional<std::vector<Entry>> entries = session.List(options.path);
  if (!entries) {
    // The plugin says why when the catalog itself failed.
    if (std::optional<std::string> reason = session.host().FailureReason()) {
      PrintError(*reason);
      return kExitFailed;
    }
    // A book path lists as that one book, as ls does for a file.
    std::optional<Entry> book = session.FindEntry(options.path);
    if (!book || book->is_folder) {
      PrintError("no such folder: " + options.path);
      return kExitUsage;
    }
    entries.emplace().push_back(std::move(*book));
  }
  const std::string text = options.json          ? JsonListing(*entries)
                           : options.long_format ? LongListing(*entries)
                                                 : PlainListing(*entries);
  std::cout << text << std::flush;
  if (!std::cout) {
    std::cerr << "tomeva: cannot write the listing to standard output" << std::endl;
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace tomeva::cli
