// The mv and cp commands: a book moved or copied inside the virtual tree with
// FsRenMovFile, which re-classifies it (another author, genre, series, title).
#include "cli/commands.h"
#include "cli/file_results.h"
#include "cli/terminal.h"
#include "cli/virtual_path.h"

namespace tomeva::cli {

int RunRenameOrCopy(PluginSession& session, const std::string& source,
                    const std::string& destination, bool move) {
  if (session.api().ren_mov_file == nullptr) {
    PrintError(MissingEntryPointMessage(session.plugin_path(), "FsRenMovFile"));
    return kExitFailed;
  }
  const std::string old_name = NormalVirtualPath(source);
  if (old_name == "/") {
    PrintError("not a book: " + source);
    return kExitUsage;
  }
  // A folder as destination keeps the book's name, as when dropping onto a folder.
  std::string new_name = NormalVirtualPath(destination);
  if (destination.empty() || destination.back() == '/' || session.IsFolder(new_name)) {
    new_name = JoinVirtualPath(new_name, VirtualName(old_name));
  }
  // The plugin reads no size or date from the host: the catalog has them.
  RemoteInfoStruct info = RemoteInfoOf(std::nullopt);
  std::vector<char> old_buffer = HostBuffer(old_name);
  std::vector<char> new_buffer = HostBuffer(new_name);
  int code;
  {
    PluginSession::StatusScope status(session, VirtualParent(old_name), FS_STATUS_OP_RENMOV_SINGLE);
    session.host().BeginOperation();
    code = session.api().ren_mov_file(old_buffer.data(), new_buffer.data(), move ? TRUE : FALSE,
                                      /*OverWrite=*/FALSE, &info);
  }
  const std::optional<std::string> reason = session.host().FailureReason();
  const char* verb = move ? "move" : "copy";
  // Only a failure is worth the listing of the book's folder: it tells a
  // folder named by mistake.
  if (code != FS_FILE_OK && code != FS_FILE_USERABORT) {
    std::optional<Entry> entry = session.FindEntry(old_name);
    if (entry && entry->is_folder) {
      PrintError(source + " is a folder; name the books in it");
      return kExitFailed;
    }
  }
  switch (code) {
    case FS_FILE_OK:
      return kExitOk;
    case FS_FILE_EXISTS:
    case FS_FILE_EXISTSRESUMEALLOWED:
      PrintError(new_name + ": " +
                 ReasonText(reason, code,
                            std::string("cannot ") + verb + " " + old_buffer.data() + " to " +
                                new_buffer.data()));
      break;
    case FS_FILE_NOTFOUND:
      PrintError("not found: " + source + (reason ? " (" + *reason + ")" : ""));
      break;
    case FS_FILE_USERABORT:
      PrintError("aborted");
      return InterruptRequested() ? kInterruptedExitCode : kExitFailed;
    default:
      PrintError(std::string("cannot ") + verb + " " + old_name + " to " + new_name + ": " +
                 ReasonText(reason, code,
                            std::string("cannot ") + verb + " " + old_buffer.data() + " to " +
                                new_buffer.data()));
      break;
  }
  return kExitFailed;
}

}  // namespace tomeva::cli
