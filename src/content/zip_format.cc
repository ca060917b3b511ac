// Reading and writing the ZIP record layouts declared in zip_format.h.
#include "content/zip_format.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace tomeva::zip {
namespace {

// One field of an extra field chain, or the damaged rest of the chain (a field
// whose length runs past the end), which is kept as raw bytes.
struct ExtraPiece {
  std::optional<uint16_t> id;  // none for a damaged tail
  std::string_view bytes;      // the whole field, header included
};

std::vector<ExtraPiece> SplitExtra(std::string_view extra) {
  std::vector<ExtraPiece> pieces;
  size_t pos = 0;
  while (pos < extra.size()) {
    if (extra.size() - pos < 4) {
      pieces.push_back({std::nullopt, extra.substr(pos)});
      break;
    }
    uint16_t id = ReadLe16(extra, pos);
    size_t length = ReadLe16(extra, pos + 2);
    if (extra.size() - pos - 4 < length) {
      pieces.push_back({std::nullopt, extra.substr(pos)});
      break;
    }
    pieces.push_back({id, extra.substr(pos, 4 + length)});
    pos += 4 + length;
  }
  return pieces;
}

Error Damaged(std::string_view what) { return Error{"damaged ZIP archive: " + std::string(what)}; }

}  // namespace

uint16_t ReadLe16(std::string_view bytes, size_t pos) {
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[pos]) |
                               static_cast<unsigned char>(bytes[pos + 1]) << 8);
}

uint32_t ReadLe32(std::string_view bytes, size_t pos) {
  return static_cast<uint32_t>(ReadLe16(bytes, pos)) |
         static_cast<uint32_t>(ReadLe16(bytes, pos + 2)) << 16;
}

uint64_t ReadLe64(std::string_view bytes, size_t pos) {
  return static_cast<uint64_t>(ReadLe32(bytes, pos)) |
         static_cast<uint64_t>(ReadLe32(bytes, pos + 4)) << 32;
}

void AppendLe16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value & 0xff));
  out.push_back(static_cast<char>(value >> 8));
}

void AppendLe32(std::string& out, uint32_t value) {
  AppendLe16(out, static_cast<uint16_t>(value & 0xffff));
  AppendLe16(out, static_cast<uint16_t>(value >> 16));
}

void AppendLe64(std::string& out, uint64_t value) {
  AppendLe32(out, static_cast<uint32_t>(value & 0xffffffff));
  AppendLe32(out, static_cast<uint32_t>(value >> 32));
}

uint32_t Crc32(uint32_t crc, std::string_view data) {
  constexpr size_t kChunk = 1u << 30;  // zlib takes 32-bit lengths
  uLong value = crc;
  while (!data.empty()) {
    size_t n = std::min(data.size(), kChunk);
    value = crc32(value, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(n));
    data.remove_prefix(n);
  }
  return static_cast<uint32_t>(value);
}

std::optional<std::string_view> FindExtraField(std::string_view extra, uint16_t id) {
  for (const ExtraPiece& piece : SplitExtra(extra)) {
    if (piece.id == id) return piece.bytes.substr(4);
  }
  return std::nullopt;
}

std::string RemoveExtraField(std::string_view extra, uint16_t id) {
  std::string out;
  for (const ExtraPiece& piece : SplitExtra(extra)) {
    if (piece.id.has_value() && *piece.id != id) out.append(piece.bytes);
  }
  return out;
}

Result<CentralRecord> ParseCentralRecord(std::string_view bytes) {
  if (bytes.size() < kCentralRecordSize) return Damaged("central directory cut short");
  if (ReadLe32(bytes, 0) != kCentralRecordSignature) {
    return Damaged("bad central directory record signature");
  }
  CentralRecord record;
  record.version_made_by = ReadLe16(bytes, 4);
  record.version_needed = ReadLe16(bytes, 6);
  record.flags = ReadLe16(bytes, 8);
  record.method = ReadLe16(bytes, 10);
  record.mod_time = ReadLe16(bytes, 12);
  record.mod_date = ReadLe16(bytes, 14);
  record.crc32 = ReadLe32(bytes, 16);
  record.compressed_size = ReadLe32(bytes, 20);
  record.size = ReadLe32(bytes, 24);
  size_t name_length = ReadLe16(bytes, 28);
  size_t extra_length = ReadLe16(bytes, 30);
  size_t comment_length = ReadLe16(bytes, 32);
  record.disk_start = ReadLe16(bytes, 34);
  record.internal_attributes = ReadLe16(bytes, 36);
  record.external_attributes = ReadLe32(bytes, 38);
  record.local_header_offset = ReadLe32(bytes, 42);
  if (bytes.size() - kCentralRecordSize < name_length + extra_length + comment_length) {
    return Damaged("central directory record runs past the directory");
  }
  size_t pos = kCentralRecordSize;
  record.name = bytes.substr(pos, name_length);
  pos += name_length;
  record.extra = bytes.substr(pos, extra_length);
  pos += extra_length;
  record.comment = bytes.substr(pos, comment_length);

  record.zip64.size = record.size == kZip64Marker32;
  record.zip64.compressed_size = record.compressed_size == kZip64Marker32;
  record.zip64.local_header_offset = record.local_header_offset == kZip64Marker32;
  record.zip64.disk_start = record.disk_start == kZip64Marker16;
  const Zip64Usage& use = record.zip64;
  if (use.size || use.compressed_size || use.local_header_offset || use.disk_start) {
    std::optional<std::string_view> field = FindExtraField(record.extra, kExtraZip64);
    if (!field) return Damaged("ZIP64 extra field missing");
    size_t at = 0;
    auto take64 = [&](uint64_t& value) {
      if (field->size() - at < 8) return false;
      value = ReadLe64(*field, at);
      at += 8;
      return true;
    };
    if ((use.size && !take64(record.size)) ||
        (use.compressed_size && !take64(record.compressed_size)) ||
        (use.local_header_offset && !take64(record.local_header_offset))) {
      return Damaged("ZIP64 extra field too short");
    }
    if (use.disk_start) {
      if (field->size() - at < 4) return Damaged("ZIP64 extra field too short");
      record.disk_start = ReadLe32(*field, at);
    }
  }
  return record;
}

Result<std::string> EncodeCentralRecord(const CentralRecord& record) {
  Zip64Usage use = record.zip64;
  use.size = use.size || record.size >= kZip64Marker32;
  use.compressed_size = use.compressed_size || record.compressed_size >= kZip64Marker32;
  use.local_header_offset =
      use.local_header_offset || record.local_header_offset >= kZip64Marker32;
  use.disk_start = use.disk_start || record.disk_start >= kZip64Marker16;

  std::string extra;
  if (use.size || use.compressed_size || use.local_header_offset || use.disk_start) {
    std::string body;
    if (use.size) AppendLe64(body, record.size);
    if (use.compressed_size) AppendLe64(body, record.compressed_size);
    if (use.local_header_offset) AppendLe64(body, record.local_header_offset);
    if (use.disk_start) AppendLe32(body, record.disk_start);
    std::string field;
    AppendLe16(field, kExtraZip64);
    AppendLe16(field, static_cast<uint16_t>(body.size()));
    field += body;
    // The ZIP64 field takes the place of the old one; a damaged tail stays last.
    bool placed = false;
    for (const ExtraPiece& piece : SplitExtra(record.extra)) {
      if (!piece.id.has_value() && !placed) {
        extra += field;
        placed = true;
      }
      if (piece.id == kExtraZip64) {
        if (!placed) extra += field;
        placed = true;
        continue;
      }
      extra.append(piece.bytes);
    }
    if (!placed) extra += field;
  } else {
    extra = record.extra;
  }

  if (record.name.size() > 0xffff || extra.size() > 0xffff || record.comment.size() > 0xffff) {
    return Error{"ZIP entry name, extra field or comment too long: " + record.name};
  }
  std::string out;
  out.reserve(kCentralRecordSize + record.name.size() + extra.size() + record.comment.size());
  AppendLe32(out, kCentralRecordSignature);
  AppendLe16(out, record.version_made_by);
  AppendLe16(out, record.version_needed);
  AppendLe16(out, record.flags);
  AppendLe16(out, record.method);
  AppendLe16(out, record.mod_time);
  AppendLe16(out, record.mod_date);
  AppendLe32(out, record.crc32);
  AppendLe32(out, use.compressed_size ? kZip64Marker32
                                      : static_cast<uint32_t>(record.compressed_size));
  AppendLe32(out, use.size ? kZip64Marker32 : static_cast<uint32_t>(record.size));
  AppendLe16(out, static_cast<uint16_t>(record.name.size()));
  AppendLe16(out, static_cast<uint16_t>(extra.size()));
  AppendLe16(out, static_cast<uint16_t>(record.comment.size()));
  AppendLe16(out, use.disk_start ? kZip64Marker16 : static_cast<uint16_t>(record.disk_start));
  AppendLe16(out, record.internal_attributes);
  AppendLe32(out, record.external_attributes);
  AppendLe32(out, use.local_header_offset
                      ? kZip64Marker32
                      : static_cast<uint32_t>(record.local_header_offset));
  out += record.name;
  out += extra;
  out += record.comment;
  return out;
}

Result<LocalHeader> ParseLocalHeader(std::string_view bytes) {
  if (bytes.size() < kLocalHeaderSize) return Damaged("local header cut short");
  if (ReadLe32(bytes, 0) != kLocalHeaderSignature) return Damaged("bad local header signature");
  LocalHeader header;
  header.version_needed = ReadLe16(bytes, 4);
  header.flags = ReadLe16(bytes, 6);
  header.method = ReadLe16(bytes, 8);
  header.mod_time = ReadLe16(bytes, 10);
  header.mod_date = ReadLe16(bytes, 12);
  header.crc32 = ReadLe32(bytes, 14);
  header.compressed_size = ReadLe32(bytes, 18);
  header.size = ReadLe32(bytes, 22);
  header.name_length = ReadLe16(bytes, 26);
  header.extra_length = ReadLe16(bytes, 28);
  return header;
}

std::string EncodeLocalHeader(const LocalHeader& header, std::string_view name,
                              std::string_view extra) {
  std::string out;
  out.reserve(kLocalHeaderSize + name.size() + extra.size());
  AppendLe32(out, kLocalHeaderSignature);
  AppendLe16(out, header.version_needed);
  AppendLe16(out, header.flags);
  AppendLe16(out, header.method);
  AppendLe16(out, header.mod_time);
  AppendLe16(out, header.mod_date);
  AppendLe32(out, header.crc32);
  AppendLe32(out, header.compressed_size);
  AppendLe32(out, header.size);
  AppendLe16(out, static_cast<uint16_t>(name.size()));
  AppendLe16(out, static_cast<uint16_t>(extra.size()));
  out.append(name);
  out.append(extra);
  return out;
}

Result<EndRecord> ParseEndRecord(std::string_view bytes) {
  if (bytes.size() < kEndRecordSize) return Damaged("end of central directory cut short");
  if (ReadLe32(bytes, 0) != kEndRecordSignature) {
    return Damaged("bad end of central directory signature");
  }
  size_t comment_length = ReadLe16(bytes, 20);
  if (bytes.size() - kEndRecordSize < comment_length) return Damaged("archive comment cut short");
  EndRecord end;
  end.disk_number = ReadLe16(bytes, 4);
  end.central_directory_disk = ReadLe16(bytes, 6);
  end.entries_on_disk = ReadLe16(bytes, 8);
  end.total_entries = ReadLe16(bytes, 10);
  end.central_directory_size = ReadLe32(bytes, 12);
  end.central_directory_offset = ReadLe32(bytes, 16);
  end.comment = bytes.substr(kEndRecordSize, comment_length);
  return end;
}

std::optional<uint64_t> ParseZip64Locator(std::string_view bytes) {
  if (bytes.size() < kZip64LocatorSize || ReadLe32(bytes, 0) != kZip64LocatorSignature) {
    return std::nullopt;
  }
  return ReadLe64(bytes, 8);
}

Result<EndRecord> ParseZip64EndRecord(std::string_view bytes, const EndRecord& classic) {
  if (bytes.size() < kZip64EndRecordSize || ReadLe32(bytes, 0) != kZip64EndRecordSignature) {
    return Damaged("bad ZIP64 end of central directory record");
  }
  EndRecord end = classic;
  end.zip64 = true;
  end.zip64_version_made_by = ReadLe16(bytes, 12);
  end.zip64_version_needed = ReadLe16(bytes, 14);
  end.disk_number = ReadLe32(bytes, 16);
  end.central_directory_disk = ReadLe32(bytes, 20);
  end.entries_on_disk = ReadLe64(bytes, 24);
  end.total_entries = ReadLe64(bytes, 32);
  end.central_directory_size = ReadLe64(bytes, 40);
  end.central_directory_offset = ReadLe64(bytes, 48);
  return end;
}

std::string EncodeEndRecords(const EndRecord& end, uint64_t zip64_end_offset) {
  auto fits16 = [](uint64_t v) { return v < kZip64Marker16; };
  auto fits32 = [](uint64_t v) { return v < kZip64Marker32; };
  bool zip64 = end.zip64 || !fits16(end.entries_on_disk) || !fits16(end.total_entries) ||
               !fits32(end.central_directory_size) || !fits32(end.central_directory_offset) ||
               !fits16(end.disk_number) || !fits16(end.central_directory_disk);
  std::string out;
  if (zip64) {
    AppendLe32(out, kZip64EndRecordSignature);
    AppendLe64(out, kZip64EndRecordSize - 12);  // the record's size after this field
    AppendLe16(out, end.zip64_version_made_by);
    AppendLe16(out, end.zip64_version_needed);
    AppendLe32(out, end.disk_number);
    AppendLe32(out, end.central_directory_disk);
    AppendLe64(out, end.entries_on_disk);
    AppendLe64(out, end.total_entries);
    AppendLe64(out, end.central_directory_size);
    AppendLe64(out, end.central_directory_offset);
    AppendLe32(out, kZip64LocatorSignature);
    AppendLe32(out, end.disk_number);
    AppendLe64(out, zip64_end_offset);
    AppendLe32(out, end.disk_number + 1);  // the total number of disks
  }
  auto low16 = [&](uint64_t v) { return fits16(v) ? static_cast<uint16_t>(v) : kZip64Marker16; };
  auto low32 = [&](uint64_t v) { return fits32(v) ? static_cast<uint32_t>(v) : kZip64Marker32; };
  AppendLe32(out, kEndRecordSignature);
  AppendLe16(out, low16(end.disk_number));
  AppendLe16(out, low16(end.central_directory_disk));
  AppendLe16(out, low16(end.entries_on_disk));
  AppendLe16(out, low16(end.total_entries));
  AppendLe32(out, low32(end.central_directory_size));
  AppendLe32(out, low32(end.central_directory_offset));
  AppendLe16(out, static_cast<uint16_t>(end.comment.size()));
  out += end.comment;
  return out;
}

}  // namespace tomeva::zip
