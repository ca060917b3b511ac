// The upgrade command: the plugin's catalog upgrade (UpdateDB5_6), which brings an
// older catalog's tables up to date in place.
#include <iostream>

#include "cli/commands.h"

namespace tomeva::cli {

int RunUpgrade(PluginSession& session) {
  if (session.api().update_db == nullptr) {
    PrintError(MissingEntryPointMessage(session.plugin_path(), "UpdateDB5_6"));
    return kExitFailed;
  }
  if (session.host().settings_answered()) {
    // UpdateDB5_6 starts a session of its own without asking anything.
    PrintError("upgrade works on the library the plugin finds by itself (beside " +
               session.plugin_path() + " or through its Tomeva.ini), not on --settings; run "
               "'tomeva init' or write that Tomeva.ini first");
    return kExitFailed;
  }
  session.host().BeginOperation();
  session.api().update_db();
  if (std::optional<std::string> reason = session.host().FailureReason()) {
    PrintError(*reason);
    return kExitFailed;
  }
  std::cout << "Upgraded the catalog (UpdateDB5_6): tables of older versions are brought up "
               "to date and the folder listings filled anew."
            << std::endl;
  return kExitOk;
}

}  // namespace tomeva::cli
