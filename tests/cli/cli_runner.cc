// Child processes of the tomeva program and the fixture around them.
#include "cli/cli_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace tomeva::testing {
namespace {

std::vector<char*> CStrings(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

std::vector<std::string> Environment(const std::string& home) {
  return {"HOME=" + home, "PATH=/usr/bin:/bin", "LANG=C.UTF-8", "TZ=UTC"};
}

// Forks and runs program in cwd with the controlled environment, its standard
// input from /dev/null and its output to out_fd and err_fd (-1: /dev/null).
pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments,
            const std::string& cwd, const std::string& home, const ChildOptions& options,
            int out_fd, int err_fd) {
  std::vector<std::string> argv_strings = {program};
  argv_strings.insert(argv_strings.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env_strings = Environment(home);
  env_strings.insert(env_strings.end(), options.environment.begin(), options.environment.end());
  std::vector<char*> argv = CStrings(argv_strings);
  std::vector<char*> envp = CStrings(env_strings);
  pid_t pid = fork();
  if (pid == 0) {
    if (options.own_process_group) setpgid(0, 0);
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, STDIN_FILENO);
    dup2(out_fd >= 0 ? out_fd : null_fd, STDOUT_FILENO);
    dup2(err_fd >= 0 ? err_fd : null_fd, STDERR_FILENO);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    if (options.max_file_bytes >= 0) {
      const rlimit size{static_cast<rlim_t>(options.max_file_bytes),
                        static_cast<rlim_t>(options.max_file_bytes)};
      signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
      if (setrlimit(RLIMIT_FSIZE, &size) != 0) _exit(125);
    }
    if (options.gid >= 0 && getuid() == 0 && setgid(static_cast<gid_t>(options.gid)) != 0) _exit(124);
    if (options.uid >= 0 && getuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setuid(static_cast<uid_t>(options.uid)) != 0) _exit(124);
    }
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  if (pid < 0) ADD_FAILURE() << "cannot fork";
  return pid;
}

}  // namespace

int StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& cwd, const std::string& home, const ChildOptions& options) {
  int out_fd = -1;
  if (!options.output_file.empty()) {
    out_fd = open(options.output_file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (out_fd < 0) ADD_FAILURE() << "cannot open " << options.output_file;
  }
  const int pid = Spawn(program, arguments, cwd, home, options, out_fd, -1);
  if (out_fd >= 0) close(out_fd);
  return pid;
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& cwd, const std::string& home,
                         const ChildOptions& options) {
  ProcessResult result;
  int out_pipe[2];
  int err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot create pipes";
    return result;
  }
  pid_t pid = Spawn(program, arguments, cwd, home, options, out_pipe[1], err_pipe[1]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (pid < 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_pipes = 2;
  while (open_pipes > 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      ADD_FAILURE() << "tomeva did not finish within 60 s";
      break;
    }
    if (poll(fds, 2, 1000) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof(buffer));
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_pipes;
      }
    }
  }
  for (pollfd& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

CliFixture::CliFixture() {
  namespace fs = std::filesystem;
  fs::create_directories(dir_.Path("plugin"));
  fs::create_directories(dir_.Path("home"));
  fs::copy_file(TOMEVA_WFX_PATH, plugin_path());
  // The plugin reads its FB2 field definitions from beside itself.
  fs::copy_file(std::string(TOMEVA_BINARY_DIR) + "/wdx_xml.xml", dir_.Path("plugin/wdx_xml.xml"));
  fs::copy(std::string(TOMEVA_BINARY_DIR) + "/config", dir_.Path("plugin/config"),
           fs::copy_options::recursive);
}

ProcessResult CliFixture::Run(const std::vector<std::string>& arguments) const {
  std::vector<std::string> all = {"--plugin", plugin_path()};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return RunProgram(TOMEVA_CLI_PATH, all, dir_.path(), dir_.Path("home"), child);
}

int CliFixture::Start(const std::vector<std::string>& arguments) const {
  std::vector<std::string> all = {"--plugin", plugin_path()};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return StartProgram(TOMEVA_CLI_PATH, all, dir_.path(), dir_.Path("home"), child);
}

void CliFixture::InitLibrary() const {
  ProcessResult init = Run({"init", library()});
  ASSERT_EQ(init.exit_code, 0) << init.err;
}

std::string Fb2Book(const std::string& title, const std::string& last_name,
                    const std::string& first_name, const std::string& genre, int year) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\">\n"
         " <description>\n  <title-info>\n"
         "   <genre>" + genre + "</genre>\n"
         "   <author><first-name>" + first_name + "</first-name><last-name>" + last_name +
         "</last-name></author>\n"
         "   <book-title>" + title + "</book-title>\n"
         "   <date>" + std::to_string(year) + "</date>\n"
         "   <lang>ru</lang>\n"
         "  </title-info>\n"
         "  <publish-info><year>" + std::to_string(year) + "</year></publish-info>\n"
         " </description>\n"
         " <body><section><p>" + title + ": текст книги.</p></section></body>\n"
         "</FictionBook>\n";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace tomeva::testing
