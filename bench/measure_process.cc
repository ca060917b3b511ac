// tomeva-bench-measure: runs a command several times as a fresh process and
// reports its wall time (median, minimum, maximum), its median CPU time (user
// plus system) and the largest peak
// resident memory of any run, from wait4's resource usage, so bench/run needs
// no /usr/bin/time. An optional preparation command (run by /bin/sh, not timed)
// goes before every run.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: tomeva-bench-measure [--runs N] [--prepare SHELL-COMMAND] [--quiet] [--out FILE]\n"
    "                            -- COMMAND ARGS...\n"
    "Prints (to FILE with --out): runs=N median_ms=.. min_ms=.. max_ms=.. median_cpu_ms=..\n"
    "                             max_rss_kib=..\n"
    "  --quiet  the command's standard output goes to /dev/null\n";

struct Outcome {
  double ms = 0;
  double cpu_ms = 0;  // user + system time of the process
  long max_rss_kib = 0;
  int exit_code = 0;
};

// Runs argv once; exit_code is 128 + signal for a killed process.
Outcome RunOnce(char** argv, bool quiet) {
  Outcome outcome;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    std::exit(1);
  }
  if (child == 0) {
    if (quiet) {
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0) dup2(null, STDOUT_FILENO);
    }
    execvp(argv[0], argv);
    std::perror(argv[0]);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  std::memset(&usage, 0, sizeof usage);
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("wait4");
    std::exit(1);
  }
  outcome.ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  outcome.max_rss_kib = usage.ru_maxrss;
  auto ms_of = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  outcome.cpu_ms = ms_of(usage.ru_utime) + ms_of(usage.ru_stime);
  outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 1;
  bool quiet = false;
  const char* prepare = nullptr;
  const char* out = nullptr;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--prepare" && i + 1 < argc) {
      prepare = argv[++i];
    } else if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else if (arg == "--quiet") {
      quiet = true;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (i >= argc) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::vector<double> times, cpu_times;
  long max_rss = 0;
  for (int run = 0; run < runs; ++run) {
    if (prepare != nullptr && std::system(prepare) != 0) {
      std::fprintf(stderr, "preparation failed: %s\n", prepare);
      return 1;
    }
    const Outcome outcome = RunOnce(argv + i, quiet);
    if (outcome.exit_code != 0) {
      std::fprintf(stderr, "%s exited with %d\n", argv[i], outcome.exit_code);
      return 1;
    }
    times.push_back(outcome.ms);
    cpu_times.push_back(outcome.cpu_ms);
    max_rss = std::max(max_rss, outcome.max_rss_kib);
  }
  auto median_of = [](std::vector<double>& values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  };
  const size_t n = times.size();
  const double median = median_of(times);
  const double median_cpu = median_of(cpu_times);
  FILE* report = out != nullptr ? std::fopen(out, "w") : stdout;
  if (report == nullptr) {
    std::perror(out);
    return 1;
  }
  std::fprintf(report,
               "runs=%zu median_ms=%.3f min_ms=%.3f max_ms=%.3f median_cpu_ms=%.3f "
               "max_rss_kib=%ld\n",
               n, median, times.front(), times.back(), median_cpu, max_rss);
  return (report == stdout ? std::fflush(report) : std::fclose(report)) == 0 ? 0 : 1;
}
