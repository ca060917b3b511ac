// Console queries and the SIGINT handler.
#include "cli/terminal.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

namespace tomeva::cli {
namespace {

// Set from the signal handler, so it can only be a lock-free atomic flag; this
// is the one piece of process-wide state the program has besides the host
// callbacks' target.
volatile std::sig_atomic_t g_interrupts = 0;

extern "C" void OnInterrupt(int) {
  if (g_interrupts > 0) {
    static const char kMessage[] = "\ntomeva: interrupted\n";
    ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof(kMessage) - 1);
    (void)ignored;
    _exit(kInterruptedExitCode);
  }
  g_interrupts = 1;
}

}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

int TerminalColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS"); columns != nullptr) {
    int n = std::atoi(columns);
    if (n > 0) return n;
  }
  return 80;
}

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() { return g_interrupts != 0; }

}  // namespace tomeva::cli
