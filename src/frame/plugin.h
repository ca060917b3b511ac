// The one plugin instance of a loaded Tomeva.wfx: its session and the lock that
// every entry point takes, since the host calls from several threads.
#ifndef TOMEVA_FRAME_PLUGIN_H_
#define TOMEVA_FRAME_PLUGIN_H_

#include <exception>
#include <mutex>
#include <utility>

#include "frame/session.h"

namespace tomeva::frame {

struct Plugin {
  std::recursive_mutex mutex;
  Session session;
};

// The instance of this loaded library. It is destroyed when the library is
// unloaded, which ends the session (content plugins told and freed, catalog
// closed) at most once.
Plugin& ThePlugin();

// Runs body(session) under the plugin lock. No exception leaves: any exception
// (a DOM error, an allocation failure) gives fallback instead.
template <typename T, typename Body>
T Guarded(T fallback, Body&& body) noexcept {
  try {
    Plugin& plugin = ThePlugin();
    std::lock_guard<std::recursive_mutex> lock(plugin.mutex);
    return std::forward<Body>(body)(plugin.session);
  } catch (...) {
    return fallback;
  }
}

}  // namespace tomeva::frame

#endif  // TOMEVA_FRAME_PLUGIN_H_
