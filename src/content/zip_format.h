// Byte layouts of the ZIP records the archive reader and writer handle: the
// local file header, the central directory record, the end-of-central-directory
// record and its ZIP64 forms, extra fields, and the little-endian helpers and
// CRC-32 they rest on. Parsing here checks lengths and signatures only; the
// archive decides what the values mean for the file at hand.
#ifndef TOMEVA_CONTENT_ZIP_FORMAT_H_
#define TOMEVA_CONTENT_ZIP_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"

namespace tomeva::zip {

// Record signatures ("PK" followed by two record-specific bytes).
inline constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr uint32_t kCentralRecordSignature = 0x02014b50;
inline constexpr uint32_t kEndRecordSignature = 0x06054b50;
inline constexpr uint32_t kZip64EndRecordSignature = 0x06064b50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
inline constexpr uint32_t kDataDescriptorSignature = 0x08074b50;

// Fixed-size parts of the records, before their variable-length fields.
inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kCentralRecordSize = 46;
inline constexpr size_t kEndRecordSize = 22;
inline constexpr size_t kZip64EndRecordSize = 56;
inline constexpr size_t kZip64LocatorSize = 20;
// The end record's comment is at most 65535 bytes long.
inline constexpr size_t kMaxEndRecordSearch = kEndRecordSize + 0xffff;

// General-purpose flag bits.
inline constexpr uint16_t kFlagEncrypted = 1 << 0;
inline constexpr uint16_t kFlagDataDescriptor = 1 << 3;
inline constexpr uint16_t kFlagStrongEncryption = 1 << 6;
inline constexpr uint16_t kFlagUtf8Name = 1 << 11;

// Compression methods the archive reads and writes, and the AES marker method.
inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;
inline constexpr uint16_t kMethodAesEncrypted = 99;

// Extra field tags with a meaning for reading or rewriting an entry.
inline constexpr uint16_t kExtraZip64 = 0x0001;
inline constexpr uint16_t kExtraStrongEncryption = 0x0017;
inline constexpr uint16_t kExtraAes = 0x9901;

// A 32-bit (16-bit) field holding this value has its real value in ZIP64 records.
inline constexpr uint32_t kZip64Marker32 = 0xffffffff;
inline constexpr uint16_t kZip64Marker16 = 0xffff;

// Little-endian reads; the caller guarantees pos + width <= bytes.size().
uint16_t ReadLe16(std::string_view bytes, size_t pos);
uint32_t ReadLe32(std::string_view bytes, size_t pos);
uint64_t ReadLe64(std::string_view bytes, size_t pos);
// Little-endian appends.
void AppendLe16(std::string& out, uint16_t value);
void AppendLe32(std::string& out, uint32_t value);
void AppendLe64(std::string& out, uint64_t value);

// CRC-32 (the ZIP/zlib polynomial) of data continued from crc; start with 0.
uint32_t Crc32(uint32_t crc, std::string_view data);

// The body of the first extra field tagged id in a chain of extra fields; none
// when absent or when the chain is cut short before it.
std::optional<std::string_view> FindExtraField(std::string_view extra, uint16_t id);
// The chain of extra fields without those tagged id; a damaged tail (a field
// running past the end) is dropped.
std::string RemoveExtraField(std::string_view extra, uint16_t id);

// Which values of a central directory record live in its ZIP64 extra field.
struct Zip64Usage {
  bool size = false;
  bool compressed_size = false;
  bool local_header_offset = false;
  bool disk_start = false;
};

// One central directory record with its 64-bit values resolved.
struct CentralRecord {
  uint16_t version_made_by = 0;
  uint16_t version_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t mod_time = 0;
  uint16_t mod_date = 0;
  uint32_t crc32 = 0;
  uint64_t compressed_size = 0;
  uint64_t size = 0;
  uint32_t disk_start = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
  uint64_t local_header_offset = 0;
  std::string name;
  std::string extra;  // the whole extra field chain, ZIP64 field included
  std::string comment;
  Zip64Usage zip64;  // as found; Encode keeps these and adds what overflows

  // Bytes the record takes in the central directory.
  size_t EncodedSize() const {
    return kCentralRecordSize + name.size() + extra.size() + comment.size();
  }
};

// Parses the central directory record at the start of bytes (which may hold
// more records after it). Fails on a wrong signature, lengths past the end of
// bytes, or a ZIP64 extra field lacking a value the record defers to it.
Result<CentralRecord> ParseCentralRecord(std::string_view bytes);
// The record's bytes. Values flagged in record.zip64, and values too large for
// their fixed field, go to the ZIP64 extra field, which replaces the old one in
// place (or is appended); everything else is written as held. Fails when a
// variable-length part no longer fits its 16-bit length.
Result<std::string> EncodeCentralRecord(const CentralRecord& record);

// The fixed part of a local file header.
struct LocalHeader {
  uint16_t version_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t mod_time = 0;
  uint16_t mod_date = 0;
  uint32_t crc32 = 0;
  uint32_t compressed_size = 0;
  uint32_t size = 0;
  uint16_t name_length = 0;
  uint16_t extra_length = 0;

  // Bytes from the header's signature to the first byte of entry data.
  uint64_t TotalSize() const { return kLocalHeaderSize + name_length + extra_length; }
};

// Parses the fixed part of a local file header (at least kLocalHeaderSize bytes).
Result<LocalHeader> ParseLocalHeader(std::string_view bytes);
// A whole local header: the fixed part (lengths taken from name and extra),
// then name and extra.
std::string EncodeLocalHeader(const LocalHeader& header, std::string_view name,
                              std::string_view extra);

// The end-of-central-directory values, merged from the classic record and,
// when present, the ZIP64 end record.
struct EndRecord {
  uint32_t disk_number = 0;
  uint32_t central_directory_disk = 0;
  uint64_t entries_on_disk = 0;
  uint64_t total_entries = 0;
  uint64_t central_directory_size = 0;
  uint64_t central_directory_offset = 0;
  std::string comment;
  // Set when the archive carries a ZIP64 end record and locator.
  bool zip64 = false;
  uint16_t zip64_version_made_by = 45;
  uint16_t zip64_version_needed = 45;
};

// Parses the classic end record at the start of bytes; bytes must hold the
// record and its whole comment.
Result<EndRecord> ParseEndRecord(std::string_view bytes);
// The offset of the ZIP64 end record named by the locator in bytes (exactly
// kZip64LocatorSize bytes); none when bytes is not a locator.
std::optional<uint64_t> ParseZip64Locator(std::string_view bytes);
// classic with its counts, sizes and offsets taken from the ZIP64 end record at
// the start of bytes (at least kZip64EndRecordSize bytes), and zip64 set.
Result<EndRecord> ParseZip64EndRecord(std::string_view bytes, const EndRecord& classic);
// The end records for a central directory placed at end.central_directory_offset:
// a ZIP64 end record and locator when end.zip64 is set or a value overflows
// the classic fields, then the classic record with its comment.
// zip64_end_offset is where the ZIP64 end record will start (the byte after the
// central directory).
std::string EncodeEndRecords(const EndRecord& end, uint64_t zip64_end_offset);

}  // namespace tomeva::zip

#endif  // TOMEVA_CONTENT_ZIP_FORMAT_H_
