// Test support for the tomeva program: runs the built program as a child process
// with a controlled environment and captures its exit code, stdout and stderr; a
// private copy of Tomeva.wfx and config/ per test, so Tomeva.ini is only ever
// written beside that copy; and small FB2 books to import.
#ifndef TOMEVA_TESTS_CLI_CLI_RUNNER_H_
#define TOMEVA_TESTS_CLI_CLI_RUNNER_H_

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tomeva::testing {

struct ProcessResult {
  int exit_code = -1;  // 128 + signal when the program was killed by one
  std::string out;
  std::string err;
};

// What a child runs with besides its arguments.
struct ChildOptions {
  // Added to the controlled environment ("NAME=value").
  std::vector<std::string> environment;
  // Run as this user and group (root can switch; others run as themselves).
  int uid = -1;
  int gid = -1;
  // RLIMIT_FSIZE: writing past this many bytes fails (EFBIG) as on a full disk.
  long long max_file_bytes = -1;
  // StartProgram only: standard output is appended to this file instead of
  // being thrown away.
  std::string output_file;
  // The child leads a process group of its own (its id is the child's), so
  // that the caller can end it with everything it started.
  bool own_process_group = false;
};

// Runs program with arguments in folder cwd; the environment holds only HOME
// (home), PATH, LANG=C.UTF-8 and TZ=UTC. The child is killed after 60 s.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& cwd, const std::string& home,
                         const ChildOptions& options = {});

// Starts program as RunProgram does, with its output thrown away, and returns
// at once with its process id (the caller waits for it or kills it).
int StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& cwd, const std::string& home, const ChildOptions& options = {});

// A temporary installation: <dir>/plugin holds a copy of Tomeva.wfx and the
// build's config/, <dir>/home is the HOME of the runs.
class CliFixture {
 public:
  CliFixture();

  const TempDir& dir() const { return dir_; }
  std::string Path(const std::string& relative) const { return dir_.Path(relative); }
  std::string plugin_path() const { return dir_.Path("plugin/Tomeva.wfx"); }
  std::string library() const { return dir_.Path("library"); }

  // tomeva --plugin <copy> arguments..., run in <dir>.
  ProcessResult Run(const std::vector<std::string>& arguments) const;
  // The same, started in the background (StartProgram).
  int Start(const std::vector<std::string>& arguments) const;
  // Runs init for library() and fails the test unless it succeeds.
  void InitLibrary() const;

  // How every child that Run and Start make from now on runs.
  ChildOptions child;

 private:
  TempDir dir_;
};

// An FB2 book in UTF-8 with one author, one genre, a year and a short body.
std::string Fb2Book(const std::string& title, const std::string& last_name,
                    const std::string& first_name, const std::string& genre, int year);

// The lines of text (without their line breaks).
std::vector<std::string> Lines(const std::string& text);

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_CLI_CLI_RUNNER_H_
