// tomeva-sample-library: writes a library of sample FictionBook 2 books for the
// demo, the tests and the benchmarks. See command_line.h for the options.
#include <iostream>
#include <string_view>
#include <vector>

#include "sample_library/command_line.h"

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return tomeva::RunSampleLibrary(args, std::cout, std::cerr);
}
