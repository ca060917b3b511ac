// The get command: books copied out of the library as a file manager copies
// them, one FsGetFile per book. The plugin finds each book from its name
// through the catalog's index; the book's folder is listed only to explain a
// failure (the name is a folder's), so a book of a folder of 100,000 is as
// quick to copy out as any other.
#include <map>

#include "cli/commands.h"
#include "cli/file_results.h"
#include "cli/program_paths.h"
#include "cli/terminal.h"
#include "cli/virtual_path.h"
#include "platform/files.h"

namespace tomeva::cli {

int RunGet(PluginSession& session, const GetOptions& options) {
  if (session.api().get_file == nullptr) {
    PrintError(MissingEntryPointMessage(session.plugin_path(), "FsGetFile"));
    return kExitFailed;
  }
  const std::string destination = AbsolutePath(options.destination);
  const bool into_folder = platform::FolderExists(destination);
  if (options.paths.size() > 1 && !into_folder) {
    PrintError(options.destination + " is not a folder; name an existing folder to copy several books");
    return kExitUsage;
  }
  // Listings of the books' folders, read once each.
  std::map<std::string, std::vector<Entry>> listings;
  auto find_entry = [&](const std::string& path) -> std::optional<Entry> {
    const std::string parent = VirtualParent(path);
    auto it = listings.find(parent);
    if (it == listings.end()) {
      it = listings.emplace(parent, session.List(parent).value_or(std::vector<Entry>())).first;
    }
    for (const Entry& entry : it->second) {
      if (entry.name == VirtualName(path)) return entry;
    }
    return std::nullopt;
  };

  const int operation =
      options.paths.size() > 1 ? FS_STATUS_OP_GET_MULTI : FS_STATUS_OP_GET_SINGLE;
  PluginSession::StatusScope status(session, VirtualParent(options.paths.front()), operation);
  int exit_code = kExitOk;
  for (const std::string& path : options.paths) {
    if (InterruptRequested()) {
      PrintError("aborted");
      return kInterruptedExitCode;
    }
    const std::string remote = NormalVirtualPath(path);
    const std::string name = VirtualName(remote);
    if (name.empty()) {
      PrintError("not a book: " + path);
      exit_code = kExitFailed;
      continue;
    }
    const std::string local = into_folder ? destination + "/" + name : destination;
    // The plugin reads no size or date from the host: the catalog has them.
    RemoteInfoStruct info = RemoteInfoOf(std::nullopt);
    std::vector<char> remote_buffer = HostBuffer(remote);
    std::vector<char> local_buffer = HostBuffer(local);
    session.host().BeginOperation();
    const int code = session.api().get_file(remote_buffer.data(), local_buffer.data(),
                                            options.force ? FS_COPYFLAGS_OVERWRITE : 0, &info);
    const std::optional<std::string> reason = session.host().FailureReason();
    if (code != FS_FILE_OK && code != FS_FILE_USERABORT) {
      std::optional<Entry> entry = find_entry(remote);
      if (entry && entry->is_folder) {
        PrintError(path + " is a folder; name the books in it");
        exit_code = kExitFailed;
        continue;
      }
    }
    switch (code) {
      case FS_FILE_OK:
        continue;
      case FS_FILE_EXISTS:
      case FS_FILE_EXISTSRESUMEALLOWED:
        PrintError(local + " already exists; use --force to replace it");
        break;
      case FS_FILE_NOTFOUND:
        PrintError("not found: " + path + (reason ? " (" + *reason + ")" : ""));
        break;
      case FS_FILE_READERROR:
        PrintError("cannot read " + path + " from the library: " + ReasonText(reason, code));
        break;
      case FS_FILE_WRITEERROR:
        PrintError("cannot write " + local + ": " + ReasonText(reason, code));
        break;
      case FS_FILE_USERABORT:
        PrintError("aborted while copying " + path);
        return kInterruptedExitCode;
      default:
        PrintError("cannot copy " + path + ": " + ReasonText(reason, code));
        break;
    }
    exit_code = kExitFailed;
  }
  return exit_code;
}

}  // namespace tomeva::cli
