// The plugin session: everything that lives from FsInit to unload. One Session
// exists per loaded plugin; the entry points own it and hand the other layers
// what they need (the catalog connection, the settings root, the library folder)
// as arguments.
#ifndef TOMEVA_FRAME_SESSION_H_
#define TOMEVA_FRAME_SESSION_H_

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "books/operation_journal.h"
#include "catalog/database.h"
#include "common/xml_document.h"
#include "content/field_host.h"
#include "tree/catalog_view.h"
#include "tree/folder_listing.h"
#include "wfx_plugin.h"

namespace tomeva::frame {

// The host's callbacks and the number it gave the plugin.
struct HostCallbacks {
  int plugin_nr = 0;
  tProgressProc progress = nullptr;
  tLogProc log = nullptr;  // why an operation was refused, a collection import's outcome
  tRequestProc request = nullptr;
};

class Session {
 public:
  Session() = default;
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Releases the settings, closes the catalog and unloads content plugins. Safe to
  // call more than once; only the first call after a start does anything.
  void Unload();

  bool started() const { return settings_doc.has_value(); }

  HostCallbacks host;
  std::string module_path;  // this plugin's own shared object

  // The loaded settings document and its required elements.
  std::optional<XmlDocument> settings_doc;
  XmlNode settings_root;
  XmlNode folders;
  XmlNode files;
  XmlNode content_plugins;
  std::string book_id_table;  // properties/simple/id/table
  std::string book_id_field;  // properties/simple/id/@name

  // How start-up opens the catalog: the server's sessions only ever read.
  catalog::CatalogAccess catalog_access = catalog::CatalogAccess::kReadWrite;
  // The catalog connection; null when the catalog could not be opened, and
  // then catalog_error says why.
  std::unique_ptr<catalog::Database> catalog;
  std::string catalog_error;

  // The field sources of the settings' ContentPlugins list.
  std::unique_ptr<content::FieldHost> field_host;

  // Listings the host holds open, by the handle it was given. Handles the host
  // passes back are looked up here, so a stale or foreign handle is harmless.
  std::map<const void*, std::unique_ptr<tree::FolderListing>> listings;

  // The journal book operations reuse from one to the next.
  books::JournalKeeper journals;

  // The column values of the books the host asked about, by internal path: the
  // host asks for one column of one file at a time, and again at every redraw.
  // Forgotten at every listing and operation, so values never outlive a change
  // of the catalog.
  std::map<std::string, std::vector<std::string>, std::less<>> column_values;

  // What the folder tree needs of this session.
  tree::CatalogView View() const;

  // Calls the host's progress callback; true when the user asked to abort.
  bool ReportProgress(const std::string& source, const std::string& target, int percent) const;
  // Writes text to the host's log as an important error (no-op without one).
  void LogError(const std::string& text) const;
  // Shows a message through the host's request callback (no-op without one).
  void ShowMessage(const char* title, const std::string& text) const;
  // Writes text to the host's log with a MSGTYPE_* type (no-op without a log).
  void Log(int type, const std::string& text) const;
};

}  // namespace tomeva::frame

#endif  // TOMEVA_FRAME_SESSION_H_
