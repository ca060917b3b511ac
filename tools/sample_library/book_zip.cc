// One-entry ZIP archives: local header, entry data, central directory record
// and end record.
#include "sample_library/book_zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "content/zip_format.h"

namespace tomeva {
namespace {

// A raw deflate stream released with the object.
class Deflater {
 public:
  Deflater() {
    ok_ = deflateInit2(&stream_, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                       Z_DEFAULT_STRATEGY) == Z_OK;
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  ~Deflater() {
    if (ok_) deflateEnd(&stream_);
  }
  bool ok() const { return ok_; }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

uint16_t DosDate(const ZipDate& date) {
  int year = std::clamp(date.year, 1980, 2107);
  return static_cast<uint16_t>((year - 1980) << 9 | std::clamp(date.month, 1, 12) << 5 |
                               std::clamp(date.day, 1, 31));
}

constexpr uint16_t kNoonDosTime = 12 << 11;

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

Result<std::string> RawDeflate(std::string_view content) {
  if (content.size() > std::numeric_limits<uInt>::max()) {
    return Error{"book too large to compress"};
  }
  Deflater deflater;
  if (!deflater.ok()) return Error{"cannot start deflate compression"};
  z_stream* stream = deflater.get();
  std::string out(deflateBound(stream, static_cast<uLong>(content.size())), '\0');
  stream->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  stream->avail_in = static_cast<uInt>(content.size());
  stream->next_out = reinterpret_cast<Bytef*>(out.data());
  stream->avail_out = static_cast<uInt>(out.size());
  if (deflate(stream, Z_FINISH) != Z_STREAM_END) return Error{"deflate compression failed"};
  out.resize(stream->total_out);
  return out;
}

Result<std::string> MakeSingleEntryZip(std::string_view entry_name, std::string_view content,
                                       ZipMethod method, ZipDate date) {
  if (content.size() >= zip::kZip64Marker32) return Error{"book too large for a ZIP entry"};
  if (entry_name.empty() || entry_name.size() > 0xffff) return Error{"bad ZIP entry name"};
  std::string data;
  if (method == ZipMethod::kDeflated) {
    Result<std::string> deflated = RawDeflate(content);
    if (!deflated.ok()) return deflated.error();
    data = std::move(deflated).value();
  } else {
    data = std::string(content);
  }
  if (data.size() >= zip::kZip64Marker32) return Error{"book too large for a ZIP entry"};

  zip::LocalHeader local;
  local.version_needed = method == ZipMethod::kDeflated ? 20 : 10;
  local.flags = IsAscii(entry_name) ? 0 : zip::kFlagUtf8Name;
  local.method = method == ZipMethod::kDeflated ? zip::kMethodDeflated : zip::kMethodStored;
  local.mod_time = kNoonDosTime;
  local.mod_date = DosDate(date);
  local.crc32 = zip::Crc32(0, content);
  local.compressed_size = static_cast<uint32_t>(data.size());
  local.size = static_cast<uint32_t>(content.size());

  std::string archive = zip::EncodeLocalHeader(local, entry_name, {});
  archive += data;

  zip::CentralRecord central;
  central.version_made_by = 3 << 8 | 20;  // Unix, ZIP 2.0
  central.version_needed = local.version_needed;
  central.flags = local.flags;
  central.method = local.method;
  central.mod_time = local.mod_time;
  central.mod_date = local.mod_date;
  central.crc32 = local.crc32;
  central.compressed_size = local.compressed_size;
  central.size = local.size;
  central.external_attributes = 0100644u << 16;  // a regular file, rw-r--r--
  central.local_header_offset = 0;
  central.name = std::string(entry_name);
  Result<std::string> record = zip::EncodeCentralRecord(central);
  if (!record.ok()) return record.error();

  zip::EndRecord end;
  end.entries_on_disk = 1;
  end.total_entries = 1;
  end.central_directory_offset = archive.size();
  end.central_directory_size = record->size();
  archive += *record;
  archive += zip::EncodeEndRecords(end, archive.size());
  return archive;
}

}  // namespace tomeva
