// The sub-commands that drive a started plugin. Each prints its own output and
// errors ("tomeva: ..." on stderr) and returns the process exit code.
#ifndef TOMEVA_CLI_COMMANDS_H_
#define TOMEVA_CLI_COMMANDS_H_

#include <string>
#include <string_view>
#include <vector>

#include "cli/plugin_session.h"

namespace tomeva::cli {

// Exit codes shared by the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;  // also: a folder the plugin does not serve

struct ListOptions {
  std::string path = "/";
  bool long_format = false;
  bool json = false;
};
// ls: the entries of a virtual folder (or the one entry of a book path).
int RunList(PluginSession& session, const ListOptions& options);

struct FindOptions {
  std::vector<std::string> words;
  std::string folder = "/Поиск";
};
// The virtual path of the search for words below folder: the words joined by
// spaces, named as tree::SearchFolderName names them; "" without any word.
std::string SearchFolderPath(std::string_view folder, const std::vector<std::string>& words);
// find: the paths of the books that the settings' search folder lists for
// the words; exit 1 when none matches.
int RunFind(PluginSession& session, const FindOptions& options);

struct GetOptions {
  std::vector<std::string> paths;
  std::string destination;
  bool force = false;
};
// get: copies books out of the library with FsGetFile.
int RunGet(PluginSession& session, const GetOptions& options);

struct PutOptions {
  std::vector<std::string> sources;
  std::string target = "/";
  bool recursive = false;
  bool force = false;
};
// put: offers local FB2 books to the plugin with FsPutFile, with progress and a
// summary.
int RunPut(PluginSession& session, const PutOptions& options);

// rm: deletes books with FsDeleteFile.
int RunRemove(PluginSession& session, const std::vector<std::string>& paths);

// mv and cp: re-classifies a book with FsRenMovFile (move or copy).
int RunRenameOrCopy(PluginSession& session, const std::string& source,
                    const std::string& destination, bool move);

// upgrade: upgrades the catalog with UpdateDB5_6.
int RunUpgrade(PluginSession& session);

struct ServeOptions {
  std::string plugin_path;  // the library is the one this plugin would open
  std::string settings;     // or the one these settings describe, when given
  std::string listen = "127.0.0.1:8080";
  int workers = 4;
  std::string users;        // the users file of HTTP Basic login; "": none
};
// serve: the OPDS catalog, HTML pages and downloads until SIGINT or SIGTERM.
int RunServe(const ServeOptions& options);

struct PasswdOptions {
  std::string file;
  std::string name;
};
// passwd: sets a user's password hash in a users file, the password read from
// the terminal without echo (twice) or from the first line of standard input.
int RunPasswd(const PasswdOptions& options);

// Prints "tomeva: message" on stderr.
void PrintError(const std::string& message);

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_COMMANDS_H_
