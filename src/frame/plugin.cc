// The plugin instance.
#include "frame/plugin.h"

namespace tomeva::frame {

Plugin& ThePlugin() {
  static Plugin plugin;
  return plugin;
}

}  // namespace tomeva::frame
