// Shared helpers of the fuzz targets: a private temporary folder for the
// files a target hands to file-based readers, and the checks that abort so
// libFuzzer reports a broken property as a crash.
#ifndef TOMEVA_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define TOMEVA_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tomeva::fuzz {

// A folder made when the target starts, under /dev/shm (or, with TMPDIR set or
// without /dev/shm, the temporary folder), and removed with everything in it
// when the process ends normally.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string Path(std::string_view name) const;
  // Writes data to Path(name), replacing the file; aborts when it cannot.
  std::string Write(std::string_view name, std::string_view data) const;

 private:
  std::string path_;
};

// The repository's config folder (config/Tomeva.xml, wdx_xml.xml, schema.sql).
std::string ConfigFolder();
// The whole content of path; aborts when it cannot be read.
std::string ReadOrDie(const std::string& path);

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool IsValidUtf8(std::string_view s);

// The fuzz input as text.
inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Prints what failed and the values involved, then aborts.
[[noreturn]] void Fail(std::string_view what, std::string_view detail = {});

}  // namespace tomeva::fuzz

#endif  // TOMEVA_TESTS_FUZZ_FUZZ_SUPPORT_H_
