// Fuzz target of the settings loader (frame/startup.h LoadSettings): the input
// is written as Tomeva.xml and loaded into a session. A failed load must leave
// the session without settings; a loaded document is then read the way
// start-up and the folder tree read it, without a catalog: provider, catalog
// and library paths, the content plugin list with the built-in sources added,
// and the listing SQL and path resolution of a few virtual paths through its
// folder and file definitions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/node_path.h"
#include "common/path_rules.h"
#include "content/field_host.h"
#include "frame/session.h"
#include "frame/startup.h"
#include "fuzz/fuzz_support.h"
#include "tree/folder_listing.h"
#include "tree/path_resolution.h"

namespace {

using tomeva::fuzz::Fail;
using tomeva::platform::PathStyle;

// Virtual paths of the kinds the default settings and the seed documents serve.
constexpr std::string_view kPaths[] = {
    "\\", "\\По авторам\\Т\\", "\\По сериям\\Эпопея\\",
    "\\По сериям\\Эпопея\\02 Война и мир [1].fb2", "\\Y\\1869\\",
    "\\S\\Эпопея - Война и мир.fb2"};

// What start-up reads once the document is loaded, then the folder tree over
// the definitions with no catalog behind it.
void ReadLoadedSettings(tomeva::frame::Session& session, const std::string& base_dir,
                        const std::string& path) {
  tomeva::XmlNode root = session.settings_root;
  const std::string provider = tomeva::GetPathText(root, "provider");
  std::string catalog =
      tomeva::ResolvePath(PathStyle::kPosix, base_dir, tomeva::GetPathText(root, "datasource"));
  if (catalog.empty()) catalog = tomeva::frame::DefaultCatalogFile(path, provider);
  (void)tomeva::frame::CatalogConnectionString(provider, catalog);
  std::string library = tomeva::GetPathText(root, "root");
  if (library.empty()) library = "Lib";
  tomeva::NodeByPath(root, "root", /*create=*/true)
      .SetText(tomeva::ResolvePath(PathStyle::kPosix, base_dir, library));
  session.content_plugins = tomeva::NodeByPath(root, "ContentPlugins", /*create=*/true);
  tomeva::content::AddBuiltinSources(session.content_plugins);

  const tomeva::tree::CatalogView view = session.View();
  for (std::string_view virtual_path : kPaths) {
    (void)tomeva::tree::ListFolderSql(view, virtual_path);
    (void)tomeva::tree::ResolveVirtualPath(view, virtual_path);
    if (tomeva::tree::BookIdOfPath(view, virtual_path) != -1) Fail("a book found without a catalog");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static tomeva::fuzz::ScratchFolder folder;
  const std::string path = folder.Write("Tomeva.xml", tomeva::fuzz::AsText(data, size));

  tomeva::frame::Session session;
  session.module_path = folder.Path("Tomeva.wfx");
  // Start-up and the entry points catch XmlError (an element where text was
  // expected, say) and report a failure; so does this target, after checking
  // that the session is left consistent.
  tomeva::frame::SettingsLoad code;
  try {
    code = tomeva::frame::LoadSettings(session, path);
  } catch (const tomeva::XmlError&) {
    if (session.started()) Fail("a load that threw left settings in the session");
    return 0;
  }
  if (code != tomeva::frame::SettingsLoad::kLoaded) {
    if (session.started()) Fail("a failed load left settings in the session");
    if (*tomeva::frame::SettingsLoadMessage(code) == '\0') Fail("a failed load has no message");
    return 0;
  }
  if (!session.started() || !session.settings_root || !session.folders || !session.files) {
    Fail("a loaded session lacks its settings parts");
  }
  try {
    ReadLoadedSettings(session, folder.path(), path);
  } catch (const tomeva::XmlError&) {
    // Reported to the user as start-up or the entry point fails.
  }
  return 0;
}
