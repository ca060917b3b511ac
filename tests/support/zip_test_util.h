// Test support for the ZIP archive tests: a small, independent ZIP writer that
// can also produce the odd and broken archives the reader must cope with.
#ifndef TOMEVA_TESTS_SUPPORT_ZIP_TEST_UTIL_H_
#define TOMEVA_TESTS_SUPPORT_ZIP_TEST_UTIL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tomeva::testing {

// One entry of a test archive.
struct TestZipEntry {
  enum class Descriptor { kNone, kWithSignature, kWithoutSignature };

  std::string name{};
  std::string content{};
  bool deflate = true;
  Descriptor descriptor = Descriptor::kNone;
  uint16_t extra_flags = 0;               // ORed into the flags, e.g. 1 (encrypted)
  uint16_t method_override = 0xffff;      // written instead of 0 / 8 unless 0xffff
  std::optional<uint32_t> recorded_crc{};   // written instead of the real CRC-32
  std::optional<uint64_t> recorded_size{};  // written instead of the real size
  bool zip64 = false;  // sizes and offset through ZIP64 extra fields
  std::string central_extra{};  // further central directory extra fields
};

// Options for the archive as a whole.
struct TestZipOptions {
  std::string prefix{};   // bytes before the first entry's local header
  std::string comment{};  // archive comment
  bool zip64_end = false;  // ZIP64 end record and locator, classic fields marked
};

// The bytes of an archive holding entries in this order.
std::string BuildTestZip(const std::vector<TestZipEntry>& entries,
                         const TestZipOptions& options = {});

// Raw deflate (no zlib header) of data.
std::string DeflateRaw(std::string_view data);

// Writes to path an archive with one deflated entry of size zero bytes, built
// by streaming so the content is never held in memory. recorded_size, when
// given, is written to the headers instead of the real size.
void WriteZerosZip(const std::string& path, std::string_view name, uint64_t size,
                   std::optional<uint64_t> recorded_size = std::nullopt);

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_SUPPORT_ZIP_TEST_UTIL_H_
