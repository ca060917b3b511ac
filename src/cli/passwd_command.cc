// tomeva passwd FILE NAME: adds a user to the users file of 'tomeva serve
// --users', or gives the user a new password. Only the salted hash is stored;
// the file is rewritten beside itself and renamed into place, readable by its
// owner only.
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "server/users_file.h"

namespace tomeva::cli {
namespace {

// One line of standard input without its line break; nullopt at the end.
std::optional<std::string> ReadLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// A line typed at the terminal after prompt, not echoed.
std::optional<std::string> ReadHidden(const std::string& prompt) {
  std::cerr << prompt << std::flush;
  termios saved{};
  const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::optional<std::string> line = ReadLine();
  if (terminal) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  return line;
}

// The new password: asked twice at a terminal, else the first line of input.
std::optional<std::string> NewPassword(const std::string& name) {
  if (!isatty(STDIN_FILENO)) {
    std::optional<std::string> line = ReadLine();
    if (!line || line->empty()) PrintError("no password on standard input");
    return line && !line->empty() ? line : std::nullopt;
  }
  std::optional<std::string> first = ReadHidden("Password for " + name + ": ");
  if (!first || first->empty()) {
    PrintError("no password given");
    return std::nullopt;
  }
  std::optional<std::string> again = ReadHidden("Again: ");
  if (!again || *again != *first) {
    PrintError("the passwords differ");
    return std::nullopt;
  }
  return first;
}

// The content of path; "" when it does not exist; nullopt when unreadable.
std::optional<std::string> ExistingText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (access(path.c_str(), F_OK) != 0 && errno == ENOENT) return std::string();
    return std::nullopt;
  }
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) return std::nullopt;
  return text.str();
}

// Writes text to path through a new file beside it (mode 0600) renamed over it.
bool ReplaceFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new~";
  unlink(temporary.c_str());
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool written = done == text.size() && fsync(fd) == 0;
  if (close(fd) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

int RunPasswd(const PasswdOptions& options) {
  if (!server::IsValidUserName(options.name)) {
    PrintError("a user name must not be empty, longer than 128 bytes, or contain ':' or "
               "control characters");
    return kExitUsage;
  }
  std::optional<std::string> text = ExistingText(options.file);
  if (!text) {
    PrintError("cannot read " + options.file);
    return kExitFailed;
  }
  std::optional<std::string> password = NewPassword(options.name);
  if (!password) return kExitFailed;
  Result<std::string> hash = server::HashPassword(*password);
  std::fill(password->begin(), password->end(), '\0');
  if (!hash.ok()) {
    PrintError(hash.message());
    return kExitFailed;
  }
  const std::string updated = server::WithUser(*text, options.name, *hash);
  if (!ReplaceFile(options.file, updated)) {
    PrintError("cannot write " + options.file + ": " + std::strerror(errno));
    return kExitFailed;
  }
  // Other lines of the file are kept as they were; say so if serve would refuse them.
  if (Result<server::UserTable> users = server::ParseUsers(updated, options.file); !users.ok()) {
    PrintError("the password is set, but 'tomeva serve' will refuse the file:\n" +
               users.message());
    return kExitFailed;
  }
  std::cout << "password of " << options.name << " set in " << options.file << std::endl;
  return kExitOk;
}

}  // namespace tomeva::cli
