// The version the tomeva program reports with --version.
#ifndef TOMEVA_CLI_VERSION_H_
#define TOMEVA_CLI_VERSION_H_

namespace tomeva::cli {

// Kept equal to the project version in the top-level CMakeLists.txt.
inline constexpr const char kVersion[] = "0.1.0";

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_VERSION_H_
