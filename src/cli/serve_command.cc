// tomeva serve: the library's OPDS catalog, HTML pages and downloads over HTTP,
// in the foreground until SIGINT or SIGTERM. The server links the layers
// directly; the plugin is not loaded, only its place tells where the library is.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <filesystem>
#include <ctime>
#include <iostream>
#include <thread>

#include "cli/commands.h"
#include "cli/program_paths.h"
#include "server/http_server.h"
#include "server/library_pool.h"
#include "server/users_file.h"

namespace tomeva::cli {
namespace {

// Where start-up looks for the settings: beside the plugin, or, with --settings,
// a module path of the same name in the settings file's folder, so that the
// settings file is found first and its folder is the base of relative paths.
std::string ModulePathFor(const ServeOptions& options) {
  if (options.settings.empty()) return options.plugin_path;
  std::string settings = AbsolutePath(options.settings);
  const size_t slash = settings.rfind('/');
  const size_t dot = settings.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    settings.resize(dot);
  }
  return settings + ".wfx";
}

}  // namespace

int RunServe(const ServeOptions& options) {
  std::optional<server::ListenAddress> address = server::ParseListenAddress(options.listen);
  if (!address) {
    PrintError("bad --listen address \"" + options.listen + "\" (want ADDR:PORT)");
    return kExitUsage;
  }
  if (!options.settings.empty() && !std::filesystem::exists(AbsolutePath(options.settings))) {
    PrintError("no such settings file: " + options.settings);
    return kExitFailed;
  }
  // SIGINT and SIGTERM are taken by a thread of their own; the workers the
  // server starts inherit the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  Result<std::unique_ptr<server::LibraryPool>> pool =
      server::LibraryPool::Open(ModulePathFor(options), options.workers);
  if (!pool.ok()) {
    PrintError(pool.message());
    return kExitFailed;
  }
  server::ServerOptions server_options;
  if (!options.users.empty()) {
    // A users file that cannot be read or has bad lines stops the start: never
    // serve openly what was meant to be closed.
    Result<server::UserTable> users = server::LoadUsers(options.users);
    if (!users.ok()) {
      PrintError(users.message() + "\nnot serving: fix the users file or leave out --users");
      return kExitFailed;
    }
    Result<std::unique_ptr<server::Authenticator>> authenticator =
        server::Authenticator::Create(std::move(users).value());
    if (!authenticator.ok()) {
      PrintError(authenticator.message());
      return kExitFailed;
    }
    server_options.authenticator = std::move(authenticator).value();
  }
  server::HttpServer http(**pool, server_options);
  Result<int> port = http.Bind(address->host, address->port);
  if (!port.ok()) {
    PrintError(port.message());
    return kExitFailed;
  }
  const bool ipv6 = address->host.find(':') != std::string::npos;
  const std::string origin = "http://" + (ipv6 ? "[" + address->host + "]" : address->host) +
                             ":" + std::to_string(*port);
  std::cout << "serving " << origin << "/ (OPDS catalog: " << origin << "/opds); Ctrl-C stops"
            << std::endl;

  std::atomic<bool> done = false;
  std::thread waiter([&] {
    const timespec tick{0, 200'000'000};
    while (!done) {
      if (sigtimedwait(&stop_signals, nullptr, &tick) > 0) {
        http.Stop();
        return;
      }
    }
  });
  Status served = http.Run();
  done = true;
  waiter.join();
  if (!served.ok()) {
    PrintError(served.message());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace tomeva::cli
