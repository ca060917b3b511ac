// The tomeva program: the file manager's operations on the library from the
// command line. It loads the real Tomeva.wfx and drives it through the same entry
// points a file manager calls, so scripts see exactly what the panel shows.
#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/library_init.h"
#include "cli/plugin_session.h"
#include "cli/program_paths.h"
#include "cli/terminal.h"
#include "cli/version.h"

namespace tomeva::cli {
namespace {

// Everything the command line says, filled by the parser.
struct CommandLine {
  std::string plugin;
  std::string settings;
  std::string init_dir;
  bool force = false;
  ListOptions list;
  FindOptions find;
  std::vector<std::string> get_arguments;  // PATH... DEST
  PutOptions put;
  std::vector<std::string> remove_paths;
  std::string source;
  std::string destination;
  ServeOptions serve;
  PasswdOptions passwd;
};

std::string FailureMessage(const CLI::App* app, const CLI::Error& error) {
  std::string command = app->get_name() == "tomeva" ? "tomeva" : "tomeva " + app->get_name();
  return "tomeva: " + std::string(error.what()) + "; see '" + command + " --help'\n";
}

int Run(int argc, char** argv) {
  CommandLine line;
  CLI::App app{
      "Tomeva: the FB2 book catalog of your file manager on the command line.\n"
      "Paths inside the catalog are written with '/', e.g. \"/По авторам\".",
      "tomeva"};
  app.set_version_flag("--version", std::string("tomeva ") + kVersion);
  app.require_subcommand(1);
  app.fallthrough();
  app.failure_message(FailureMessage);
  CLI::Option* plugin_option =
      app.add_option("--plugin", line.plugin, "the plugin to load (default: Tomeva.wfx beside tomeva)");
  CLI::Option* settings_option = app.add_option(
      "--settings", line.settings, "settings file to give when the plugin asks for one");

  CLI::App* init = app.add_subcommand(
      "init", "create a library: settings, catalog and book folder (default ~/Tomeva)");
  init->add_option("DIR", line.init_dir, "the library folder");
  init->add_flag("--force", line.force, "replace the settings and catalog of an existing library");

  CLI::App* ls = app.add_subcommand("ls", "list a folder of the catalog");
  ls->add_flag("-l", line.list.long_format, "long listing: type, size, date, name");
  ls->add_flag("--json", line.list.json, "one JSON object per entry and line");
  ls->add_option("PATH", line.list.path, "the folder (default /)");

  CLI::App* find = app.add_subcommand(
      "find", "find books by words of their titles, authors' names and series (any order, "
              "any letter case, word beginnings); prints their paths");
  find->add_option("WORDS", line.find.words, "the words to search for")->required();
  find->add_option("--in", line.find.folder,
                   "the search folder of the settings (default /Поиск)");

  CLI::App* get = app.add_subcommand("get", "copy books out of the catalog");
  get->add_option("PATHS", line.get_arguments, "PATH... DEST: the books, then a local file or folder")
      ->required()
      ->expected(2, -1);
  get->add_flag("--force", line.force, "replace existing local files");

  CLI::App* put = app.add_subcommand("put", "import FB2 books (*.fb2, *.fb2.zip, *.fbz)");
  put->add_option("FILES", line.put.sources, "book files, or folders with -r")->required();
  put->add_flag("-r,--recursive", line.put.recursive, "import the books in folders and below");
  put->add_option("--to", line.put.target, "the catalog folder to copy into (default /)");
  put->add_flag("--force", line.put.force, "replace books that are already present");

  CLI::App* rm = app.add_subcommand("rm", "delete books");
  rm->add_option("PATHS", line.remove_paths, "the books")->required();

  CLI::App* mv = app.add_subcommand("mv", "move or rename a book (re-classify it)");
  CLI::App* cp = app.add_subcommand("cp", "copy a book into another folder of the catalog");
  for (CLI::App* command : {mv, cp}) {
    command->add_option("PATH", line.source, "the book")->required();
    command->add_option("DEST", line.destination, "new name, or folder (ending in '/')")->required();
  }

  app.add_subcommand("upgrade", "upgrade the catalog of an older version");

  CLI::App* serve = app.add_subcommand(
      "serve", "serve the catalog to e-readers (OPDS at /opds) and browsers (HTML at /)");
  serve->add_option("--listen", line.serve.listen, "ADDR:PORT to listen on (default 127.0.0.1:8080)");
  serve->add_option("--workers", line.serve.workers, "worker threads, each with its own catalog connection")
      ->check(CLI::Range(1, 64));
  serve->add_option("--users", line.serve.users,
                    "ask for HTTP Basic login by the users in FILE ('tomeva passwd' makes it)");

  CLI::App* passwd = app.add_subcommand(
      "passwd", "add a user to a users file of 'tomeva serve --users', or change the password");
  passwd->add_option("FILE", line.passwd.file, "the users file (created when missing)")->required();
  passwd->add_option("NAME", line.passwd.name, "the user")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    int code = app.exit(error);
    return code == 0 ? kExitOk : kExitUsage;
  }

  const std::string plugin_path =
      PluginPath(plugin_option->count() ? std::optional<std::string>(line.plugin) : std::nullopt);
  if (init->parsed()) {
    return RunInit({line.init_dir.empty() ? std::nullopt : std::optional<std::string>(line.init_dir),
                    line.force, plugin_path, plugin_option->count() > 0});
  }

  if (passwd->parsed()) return RunPasswd(line.passwd);
  if (serve->parsed()) {
    line.serve.plugin_path = plugin_path;
    if (settings_option->count()) line.serve.settings = line.settings;
    return RunServe(line.serve);
  }

  const bool long_work = get->parsed() || put->parsed() || rm->parsed() || mv->parsed() ||
                         cp->parsed();
  if (long_work) InstallInterruptHandler();
  Result<std::unique_ptr<PluginSession>> started = PluginSession::Start(
      plugin_path,
      settings_option->count() ? std::optional<std::string>(line.settings) : std::nullopt);
  if (!started.ok()) {
    PrintError(started.message());
    return kExitFailed;
  }
  PluginSession& session = **started;
  if (ls->parsed()) return RunList(session, line.list);
  if (find->parsed()) return RunFind(session, line.find);
  if (get->parsed()) {
    GetOptions options;
    options.paths.assign(line.get_arguments.begin(), line.get_arguments.end() - 1);
    options.destination = line.get_arguments.back();
    options.force = line.force;
    return RunGet(session, options);
  }
  if (put->parsed()) return RunPut(session, line.put);
  if (rm->parsed()) return RunRemove(session, line.remove_paths);
  if (mv->parsed()) return RunRenameOrCopy(session, line.source, line.destination, /*move=*/true);
  if (cp->parsed()) return RunRenameOrCopy(session, line.source, line.destination, /*move=*/false);
  return RunUpgrade(session);
}

}  // namespace
}  // namespace tomeva::cli

int main(int argc, char** argv) { return tomeva::cli::Run(argc, argv); }
