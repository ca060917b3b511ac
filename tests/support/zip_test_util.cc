// A ZIP writer for tests, kept apart from the production code so the two check
// each other.
#include "support/zip_test_util.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace tomeva::testing {
namespace {

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xff));
  out.push_back(static_cast<char>((v >> 8) & 0xff));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}
void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

uint32_t Crc(std::string_view data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct Sizes {
  uint32_t crc;
  uint64_t compressed;
  uint64_t size;
};

std::string LocalHeader(std::string_view name, uint16_t flags, uint16_t method, Sizes s,
                        bool zip64) {
  std::string out;
  Put32(out, 0x04034b50);
  Put16(out, zip64 ? 45 : 20);
  Put16(out, flags);
  Put16(out, method);
  Put16(out, 0x6000);  // 12:00
  Put16(out, 0x5821);  // 2024-01-01
  bool deferred = (flags & 8) != 0;
  Put32(out, deferred ? 0 : s.crc);
  Put32(out, deferred ? 0 : zip64 ? 0xffffffff : static_cast<uint32_t>(s.compressed));
  Put32(out, deferred ? 0 : zip64 ? 0xffffffff : static_cast<uint32_t>(s.size));
  Put16(out, static_cast<uint32_t>(name.size()));
  Put16(out, zip64 ? 20 : 0);
  out += name;
  if (zip64) {
    Put16(out, 1);
    Put16(out, 16);
    Put64(out, deferred ? 0 : s.size);
    Put64(out, deferred ? 0 : s.compressed);
  }
  return out;
}

std::string CentralRecord(std::string_view name, uint16_t flags, uint16_t method, Sizes s,
                          uint64_t offset, bool zip64, std::string_view more_extra) {
  std::string extra;
  if (zip64) {
    Put16(extra, 1);
    Put16(extra, 24);
    Put64(extra, s.size);
    Put64(extra, s.compressed);
    Put64(extra, offset);
  }
  extra += more_extra;
  std::string out;
  Put32(out, 0x02014b50);
  Put16(out, 0x031e);  // made by Unix, version 3.0
  Put16(out, zip64 ? 45 : 20);
  Put16(out, flags);
  Put16(out, method);
  Put16(out, 0x6000);
  Put16(out, 0x5821);
  Put32(out, s.crc);
  Put32(out, zip64 ? 0xffffffff : static_cast<uint32_t>(s.compressed));
  Put32(out, zip64 ? 0xffffffff : static_cast<uint32_t>(s.size));
  Put16(out, static_cast<uint32_t>(name.size()));
  Put16(out, static_cast<uint32_t>(extra.size()));
  Put16(out, 0);                   // comment
  Put16(out, 0);                   // disk
  Put16(out, 0);                   // internal attributes
  Put32(out, 0100644u << 16);      // -rw-r--r--
  Put32(out, zip64 ? 0xffffffff : static_cast<uint32_t>(offset));
  out += name;
  out += extra;
  return out;
}

std::string DataDescriptor(Sizes s, bool with_signature, bool zip64) {
  std::string out;
  if (with_signature) Put32(out, 0x08074b50);
  Put32(out, s.crc);
  if (zip64) {
    Put64(out, s.compressed);
    Put64(out, s.size);
  } else {
    Put32(out, static_cast<uint32_t>(s.compressed));
    Put32(out, static_cast<uint32_t>(s.size));
  }
  return out;
}

std::string EndRecords(uint64_t count, uint64_t cd_offset, uint64_t cd_size,
                       std::string_view comment, bool zip64) {
  std::string out;
  if (zip64) {
    uint64_t zip64_offset = cd_offset + cd_size;
    Put32(out, 0x06064b50);
    Put64(out, 44);
    Put16(out, 45);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, count);
    Put64(out, count);
    Put64(out, cd_size);
    Put64(out, cd_offset);
    Put32(out, 0x07064b50);
    Put32(out, 0);
    Put64(out, zip64_offset);
    Put32(out, 1);
  }
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, zip64 ? 0xffff : static_cast<uint32_t>(count));
  Put16(out, zip64 ? 0xffff : static_cast<uint32_t>(count));
  Put32(out, zip64 ? 0xffffffff : static_cast<uint32_t>(cd_size));
  Put32(out, zip64 ? 0xffffffff : static_cast<uint32_t>(cd_offset));
  Put16(out, static_cast<uint32_t>(comment.size()));
  out += comment;
  return out;
}

}  // namespace

std::string DeflateRaw(std::string_view data) {
  z_stream s{};
  EXPECT_EQ(deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&s, data.size()), '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

std::string BuildTestZip(const std::vector<TestZipEntry>& entries,
                         const TestZipOptions& options) {
  std::string body = options.prefix;
  std::string directory;
  for (const TestZipEntry& e : entries) {
    std::string data = e.deflate ? DeflateRaw(e.content) : e.content;
    Sizes sizes{e.recorded_crc.value_or(Crc(e.content)), data.size(),
                e.recorded_size.value_or(e.content.size())};
    uint16_t flags = e.extra_flags;
    if (e.descriptor != TestZipEntry::Descriptor::kNone) flags |= 8;
    uint16_t method = e.method_override != 0xffff ? e.method_override : e.deflate ? 8 : 0;
    uint64_t offset = body.size();
    body += LocalHeader(e.name, flags, method, sizes, e.zip64);
    body += data;
    if (e.descriptor != TestZipEntry::Descriptor::kNone) {
      body += DataDescriptor(sizes, e.descriptor == TestZipEntry::Descriptor::kWithSignature,
                             e.zip64);
    }
    directory += CentralRecord(e.name, flags, method, sizes, offset, e.zip64, e.central_extra);
  }
  uint64_t cd_offset = body.size();
  return body + directory +
         EndRecords(entries.size(), cd_offset, directory.size(), options.comment,
                    options.zip64_end);
}

void WriteZerosZip(const std::string& path, std::string_view name, uint64_t size,
                   std::optional<uint64_t> recorded_size) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  ASSERT_NE(file, nullptr);
  auto write = [&](std::string_view bytes) {
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
  };
  // The sizes are known only afterwards, so the entry ends with a data descriptor.
  write(LocalHeader(name, 8, 8, {0, 0, 0}, false));
  z_stream s{};
  ASSERT_EQ(deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                         Z_DEFAULT_STRATEGY),
            Z_OK);
  const std::string zeros(1 << 20, '\0');
  std::string out(1 << 16, '\0');
  uLong crc = crc32(0, nullptr, 0);
  uint64_t fed = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (s.avail_in == 0 && fed < size) {
      uInt n = static_cast<uInt>(std::min<uint64_t>(zeros.size(), size - fed));
      s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
      s.avail_in = n;
      crc = crc32(crc, s.next_in, n);
      fed += n;
    }
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    rc = deflate(&s, fed == size ? Z_FINISH : Z_NO_FLUSH);
    write(std::string_view(out.data(), out.size() - s.avail_out));
  }
  Sizes sizes{static_cast<uint32_t>(crc), s.total_out, recorded_size.value_or(size)};
  deflateEnd(&s);
  write(DataDescriptor(sizes, true, false));
  uint64_t cd_offset = 30 + name.size() + sizes.compressed + 16;
  std::string directory = CentralRecord(name, 8, 8, sizes, 0, false, "");
  write(directory);
  write(EndRecords(1, cd_offset, directory.size(), "", false));
}

}  // namespace tomeva::testing
