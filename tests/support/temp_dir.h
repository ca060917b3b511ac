// Test support: a temporary folder removed with everything in it when the test
// ends, and small helpers to write and read whole files.
#ifndef TOMEVA_TESTS_SUPPORT_TEMP_DIR_H_
#define TOMEVA_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>
#include <string_view>

namespace tomeva::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Absolute path of the folder, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + "/" + relative.
  std::string Path(std::string_view relative) const;

 private:
  std::string path_;
};

// Writes contents to path, creating missing parent folders. Fails the test on error.
void WriteFile(const std::string& path, std::string_view contents);
// The whole content of path; empty when it cannot be read.
std::string ReadFile(const std::string& path);
bool PathExists(const std::string& path);

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_SUPPORT_TEMP_DIR_H_
