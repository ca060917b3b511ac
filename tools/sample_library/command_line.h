// The command line of tomeva-sample-library: parsing the options, the usage
// text, and running the whole program with its output streams given, so tests
// drive it without starting a process.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_COMMAND_LINE_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_COMMAND_LINE_H_

#include <ostream>
#include <span>
#include <string_view>

#include "common/result.h"
#include "sample_library/library_writer.h"

namespace tomeva {

// The usage text, ending with a newline.
extern const std::string_view kSampleLibraryUsage;

struct SampleLibraryCommand {
  SampleLibraryOptions options;
  bool help = false;  // --help or -h: print the usage and write nothing
};

// Parses the arguments after the program name. Options take their value as the
// next argument or after "=" ("--count 10", "--count=10"); --out and --count
// are required. Fails on an unknown option or a positional argument, a missing
// or malformed value, a percentage over 100 or a number over its limit.
Result<SampleLibraryCommand> ParseSampleLibraryArgs(std::span<const std::string_view> args);

// Runs the program: parses args, writes the library and prints one summary
// line to out. Returns the exit code: 0 on success, 2 for bad arguments (the
// reason and the usage go to err), 1 when the library cannot be written.
int RunSampleLibrary(std::span<const std::string_view> args, std::ostream& out,
                     std::ostream& err);

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_COMMAND_LINE_H_
