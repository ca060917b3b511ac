// Session start-up: finding and loading the settings document (beside the plugin,
// through the Tomeva.ini redirect, or by asking the user), finding the catalog
// file, opening the catalog, fixing the library folder and registering the
// built-in field sources.
#ifndef TOMEVA_FRAME_STARTUP_H_
#define TOMEVA_FRAME_STARTUP_H_

#include <string>
#include <string_view>

#include "frame/session.h"

namespace tomeva::frame {

// Outcome of loading one settings file; the numbers are the message numbers.
enum class SettingsLoad {
  kLoaded = 0,
  kNotFound = 1,
  kNoDocument = 2,
  kNotXml = 3,
  kNoRoot = 4,
  kNoFolders = 5,
  kNoFiles = 6,
};

// The Russian message shown for a failed load.
const char* SettingsLoadMessage(SettingsLoad code);

// Loads path into session (settings document, root, folders, files, book table
// and key field). On failure the session holds no settings document.
SettingsLoad LoadSettings(Session& session, const std::string& path);

// Runs the whole start-up for session, whose host callbacks and module_path are
// set. Returns 0 when the session started, -1 when the user cancelled or the
// settings could not be read.
int StartSession(Session& session);

// The default catalog file when the settings name none: base_path with the
// extension the provider's files carry (".mdb" for Jet providers, ".sqlite" for
// SQLite).
std::string DefaultCatalogFile(std::string_view base_path, std::string_view provider);

// The connection string the catalog layer opens.
std::string CatalogConnectionString(std::string_view provider, std::string_view file);

}  // namespace tomeva::frame

#endif  // TOMEVA_FRAME_STARTUP_H_
