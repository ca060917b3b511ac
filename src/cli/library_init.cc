// Creation of a new library: settings, catalog, book folder, and the pointer to
// it beside the plugin.
#include "cli/library_init.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <vector>

#include "catalog/catalog_file.h"
#include "cli/genre_names.h"
#include "cli/program_paths.h"
#include "platform/files.h"

namespace tomeva::cli {
namespace {

int Fail(const std::string& message) {
  std::cerr << "tomeva: " << message << std::endl;
  return 1;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

// Builds the new catalog at temp_path (schema, then genre names) and puts it in
// place at catalog_path. An existing catalog is replaced only once the new one is
// complete; its write-ahead log goes with it, since an old log replayed into the
// new file would corrupt it.
Result<int> MakeCatalog(const std::string& config, const std::string& catalog_path) {
  Result<std::string> schema = platform::ReadWholeFile(config + "/schema.sql");
  if (!schema.ok()) {
    return Error{"cannot read the catalog schema " + config + "/schema.sql (" +
                 schema.message() + "); reinstall tomeva with its config folder"};
  }
  std::vector<GenreName> genres;
  if (Result<std::string> tsv = platform::ReadWholeFile(config + "/genres.tsv"); tsv.ok()) {
    genres = ParseGenreNames(*tsv);
  } else {
    std::cerr << "tomeva: no genre names (" << tsv.message()
              << "); genre folders will show genre codes" << std::endl;
  }
  const std::string temp_path = catalog_path + ".new~";
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) RemoveQuietly(temp_path + suffix);
  if (Status made = catalog::CreateCatalogFile(temp_path, *schema); !made.ok()) {
    return made.error();
  }
  Result<int> added = StoreGenreNames(temp_path, genres);
  if (!added.ok()) {
    RemoveQuietly(temp_path);
    return Error{"cannot store the genre names in " + catalog_path + ": " + added.message()};
  }
  for (const char* suffix : {"-wal", "-shm", "-journal"}) RemoveQuietly(catalog_path + suffix);
  std::error_code ec;
  std::filesystem::rename(temp_path, catalog_path, ec);
  if (ec) {
    RemoveQuietly(temp_path);
    return Error{"cannot create " + catalog_path + ": " + ec.message()};
  }
  return added;
}

std::string DefaultLibraryDir() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return {};
  return std::string(home) + "/Tomeva";
}

}  // namespace

int RunInit(const InitOptions& options) {
  std::string dir = options.library_dir ? *options.library_dir : DefaultLibraryDir();
  if (dir.empty()) return Fail("no library folder given and HOME is not set; run 'tomeva init DIR'");
  dir = AbsolutePath(dir);
  const std::string plugin_dir = std::filesystem::path(options.plugin_path).parent_path().string();
  if (!platform::FileExists(options.plugin_path)) {
    return Fail("plugin not found: " + options.plugin_path +
                "; build it (target tomeva_wfx) or name it with --plugin FILE");
  }
  std::optional<std::string> config = DefaultConfigFolder(options.plugin_path);
  if (!config) {
    return Fail("default settings not found in " + ProgramFolder() + "/config or " + plugin_dir +
                "/config; reinstall tomeva with its config folder");
  }

  const std::string settings_path = dir + "/Tomeva.xml";
  const std::string catalog_path = dir + "/Tomeva.sqlite";
  const std::string books_path = dir + "/Lib";
  const std::string ini_path = plugin_dir + "/Tomeva.ini";
  if (platform::FileExists(dir) || (Exists(dir) && !platform::FolderExists(dir))) {
    return Fail(dir + " exists and is not a folder; choose another library folder");
  }
  std::vector<std::string> present;
  for (const std::string& path : {settings_path, catalog_path, books_path}) {
    if (Exists(path)) present.push_back(std::filesystem::path(path).filename().string());
  }
  if (!present.empty() && !options.force) {
    std::string names;
    for (const std::string& name : present) names += (names.empty() ? "" : ", ") + name;
    return Fail("a library already exists in " + dir + " (" + names +
                "); use --force to replace its settings and catalog");
  }
  if (Exists(books_path) && !platform::FolderExists(books_path)) {
    return Fail(books_path + " exists and is not a folder; move it away and run init again");
  }
  Result<std::string> template_text = platform::ReadWholeFile(*config + "/Tomeva.xml");
  if (!template_text.ok()) {
    return Fail("cannot read the default settings " + *config + "/Tomeva.xml (" +
                template_text.message() + ")");
  }

  if (Status made = platform::CreateFolders(dir); !made.ok()) {
    return Fail("cannot create the library folder " + dir + " (" + made.message() +
                "); choose a folder you can write to");
  }
  Result<int> genres = MakeCatalog(*config, catalog_path);
  if (!genres.ok()) return Fail(genres.message());
  if (Status written = platform::WriteFileAtomic(settings_path, *template_text); !written.ok()) {
    return Fail("cannot write " + settings_path + " (" + written.message() + ")");
  }
  const bool books_existed = platform::FolderExists(books_path);
  if (Status made = platform::CreateFolders(books_path); !made.ok()) {
    return Fail("cannot create " + books_path + " (" + made.message() + ")");
  }
  if (Status written = platform::WriteFileAtomic(ini_path, dir + "/"); !written.ok()) {
    return Fail("cannot write " + ini_path + " (" + written.message() +
                "); the library is made, but the plugin cannot find it: pass --settings " +
                settings_path + " to each command");
  }

  std::cout << "Created the library " << dir << "/\n"
            << "  " << settings_path << "  settings\n"
            << "  " << catalog_path << "  catalog (" << *genres << " genres)\n"
            << "  " << books_path << "/  book files" << (books_existed ? " (kept)" : "") << "\n"
            << "  " << ini_path << "  points the plugin to " << dir << "/\n"
            << "Next: tomeva" << (options.plugin_named ? " --plugin " + options.plugin_path : "")
            << " put -r FOLDER_WITH_BOOKS" << std::endl;
  return 0;
}

}  // namespace tomeva::cli
