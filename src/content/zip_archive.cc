// ZIP archive access: the end record search, central directory reading,
// bounded extraction through zlib's raw inflate, and the rewrite that puts
// replaced entries into the file.
#include "content/zip_archive.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/utf8.h"

namespace tomeva {
namespace {

using zip::CentralRecord;
using zip::EndRecord;
using zip::LocalHeader;

constexpr size_t kIoChunk = 64 << 10;
// The first pieces of an extraction are small and each next one twice the
// size up to kIoChunk: a reader that stops early (a book's header is in its
// first few KiB) has not had 64 KiB inflated for it.
constexpr size_t kFirstPiece = 8 << 10;
constexpr uint64_t kRatioCheckedAbove = 1 << 20;
// Extra fields that describe the old data of an entry and must not survive a
// replacement.
constexpr uint16_t kStaleExtraFields[] = {zip::kExtraZip64, zip::kExtraAes,
                                          zip::kExtraStrongEncryption};

std::string ErrnoText() { return std::strerror(errno); }

// The characters of text, upper-cased, each as its own UTF-8 sequence.
std::vector<std::string_view> UpperCharacters(const std::string& upper) {
  std::vector<std::string_view> characters;
  for (size_t pos = 0; pos < upper.size();) {
    size_t length = Utf8SequenceLength(upper, pos);
    characters.push_back(std::string_view(upper).substr(pos, length));
    pos += length;
  }
  return characters;
}

// True when more than max_ratio bytes come out of each compressed byte.
bool ExceedsRatio(uint64_t size, uint64_t compressed_size, uint32_t max_ratio) {
  if (max_ratio == 0 || size <= kRatioCheckedAbove) return false;
  uint64_t whole = size / max_ratio;  // size > max_ratio * compressed, without overflow
  return whole > compressed_size || (whole == compressed_size && size % max_ratio != 0);
}

// A zlib stream released with the object.
class ZStream {
 public:
  enum class Kind { kInflate, kDeflate };
  explicit ZStream(Kind kind) : kind_(kind) {}
  ZStream(const ZStream&) = delete;
  ZStream& operator=(const ZStream&) = delete;
  ~ZStream() {
    if (!initialized_) return;
    if (kind_ == Kind::kInflate) {
      inflateEnd(&stream_);
    } else {
      deflateEnd(&stream_);
    }
  }

  // Sets up a raw deflate stream (no zlib header), as ZIP entries hold.
  bool Init() {
    int rc = kind_ == Kind::kInflate
                 ? inflateInit2(&stream_, -MAX_WBITS)
                 : deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                                Z_DEFAULT_STRATEGY);
    initialized_ = rc == Z_OK;
    return initialized_;
  }
  z_stream* get() { return &stream_; }

 private:
  Kind kind_;
  z_stream stream_{};
  bool initialized_ = false;
};

Result<std::string> Deflate(std::string_view content) {
  ZStream zs(ZStream::Kind::kDeflate);
  if (!zs.Init()) return Error{"cannot start deflate compression"};
  z_stream* s = zs.get();
  std::string out;
  char buffer[kIoChunk];
  size_t fed = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (s->avail_in == 0 && fed < content.size()) {
      size_t n = std::min<size_t>(content.size() - fed, 1u << 30);
      s->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data() + fed));
      s->avail_in = static_cast<uInt>(n);
      fed += n;
    }
    s->next_out = reinterpret_cast<Bytef*>(buffer);
    s->avail_out = sizeof(buffer);
    rc = deflate(s, fed == content.size() ? Z_FINISH : Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
      return Error{"deflate compression failed"};
    }
    out.append(buffer, sizeof(buffer) - s->avail_out);
  }
  return out;
}

// Writes everything, retrying short writes; counts the bytes written.
class Output {
 public:
  explicit Output(int fd) : fd_(fd) {}
  Status Write(std::string_view data) {
    while (!data.empty()) {
      ssize_t n = ::write(fd_, data.data(), data.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Error{"cannot write the updated archive: " + ErrnoText()};
      data.remove_prefix(static_cast<size_t>(n));
      written_ += static_cast<uint64_t>(n);
    }
    return Status::Ok();
  }
  uint64_t written() const { return written_; }

 private:
  int fd_;
  uint64_t written_ = 0;
};

}  // namespace

bool MatchZipMask(std::string_view mask, std::string_view name) {
  if (mask == "*" || mask == "*.*") return true;
  std::string upper_mask = Utf8Upper(mask);
  std::string upper_name = Utf8Upper(name);
  std::vector<std::string_view> m = UpperCharacters(upper_mask);
  std::vector<std::string_view> n = UpperCharacters(upper_name);
  // Greedy matching that backtracks only to the last "*": O(|mask| * |name|).
  size_t mi = 0;
  size_t ni = 0;
  std::optional<size_t> star;
  size_t star_ni = 0;
  while (ni < n.size()) {
    if (mi < m.size() && m[mi] == "*") {
      star = mi++;
      star_ni = ni;
    } else if (mi < m.size() && (m[mi] == "?" || m[mi] == n[ni])) {
      ++mi;
      ++ni;
    } else if (star) {
      mi = *star + 1;
      ni = ++star_ni;
    } else {
      return false;
    }
  }
  while (mi < m.size() && m[mi] == "*") ++mi;
  return mi == m.size();
}

ZipArchive::ScopedFd& ZipArchive::ScopedFd::operator=(ScopedFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

ZipArchive::ScopedFd::~ScopedFd() {
  if (fd_ >= 0) ::close(fd_);
}

int ZipArchive::ScopedFd::Release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

Result<ZipArchive> ZipArchive::Open(const std::string& path, Mode mode, ZipLimits limits) {
  if (path.empty()) return Error{"no archive name given"};
  ZipArchive archive;
  archive.path_ = path;
  archive.mode_ = mode;
  archive.limits_ = limits;
  // O_NONBLOCK keeps a named pipe from blocking the open; regular files ignore it.
  int flags = (mode == Mode::kRead ? O_RDONLY : O_RDWR) | O_NONBLOCK | O_CLOEXEC;
  archive.file_ = ScopedFd(::open(path.c_str(), flags));
  if (archive.file_.get() < 0) return Error{"cannot open archive " + path + ": " + ErrnoText()};
  struct stat info;
  if (::fstat(archive.file_.get(), &info) != 0) {
    return Error{"cannot read archive " + path + ": " + ErrnoText()};
  }
  if (!S_ISREG(info.st_mode)) return Error{"not a ZIP archive: " + path + " is not a file"};
  archive.file_size_ = static_cast<uint64_t>(info.st_size);
  const uint64_t size = archive.file_size_;
  auto not_zip = [&](std::string_view why) {
    return Error{"not a readable ZIP archive: " + path + " (" + std::string(why) + ")"};
  };
  if (size < zip::kEndRecordSize) return not_zip("too short");

  // The end record sits at the end, followed only by its comment.
  uint64_t tail_size = std::min<uint64_t>(size, zip::kMaxEndRecordSearch);
  uint64_t tail_offset = size - tail_size;
  Result<std::string> tail = archive.ReadAt(tail_offset, tail_size);
  if (!tail) return tail.error();
  std::optional<EndRecord> end;
  uint64_t end_offset = 0;
  for (size_t pos = tail->size() - zip::kEndRecordSize + 1; pos-- > 0;) {
    if (zip::ReadLe32(*tail, pos) != zip::kEndRecordSignature) continue;
    Result<EndRecord> parsed = zip::ParseEndRecord(std::string_view(*tail).substr(pos));
    if (!parsed) continue;
    end = std::move(parsed.value());
    end_offset = tail_offset + pos;
    break;
  }
  if (!end) return not_zip("no end of central directory record");

  // Data before the end records: the central directory must end within it. A
  // ZIP64 end record, found through the locator just before the classic one,
  // overrides the classic values. A damaged one is fatal only when the classic
  // record defers to it; otherwise stray locator-like bytes would reject a good
  // archive.
  uint64_t directory_limit = end_offset;
  const bool deferred = end->disk_number == zip::kZip64Marker16 ||
                        end->entries_on_disk == zip::kZip64Marker16 ||
                        end->total_entries == zip::kZip64Marker16 ||
                        end->central_directory_size == zip::kZip64Marker32 ||
                        end->central_directory_offset == zip::kZip64Marker32;
  auto read_zip64 = [&]() -> Status {
    if (end_offset < zip::kZip64LocatorSize) return Error{"ZIP64 end record missing"};
    const uint64_t locator_offset = end_offset - zip::kZip64LocatorSize;
    Result<std::string> locator = archive.ReadAt(locator_offset, zip::kZip64LocatorSize);
    if (!locator) return locator.error();
    std::optional<uint64_t> zip64_offset = zip::ParseZip64Locator(*locator);
    if (!zip64_offset) return Error{"ZIP64 end record missing"};
    if (*zip64_offset > locator_offset ||
        locator_offset - *zip64_offset < zip::kZip64EndRecordSize) {
      return Error{"ZIP64 end record outside the file"};
    }
    Result<std::string> record = archive.ReadAt(*zip64_offset, zip::kZip64EndRecordSize);
    if (!record) return record.error();
    Result<EndRecord> merged = zip::ParseZip64EndRecord(*record, *end);
    if (!merged) return merged.error();
    end = std::move(merged.value());
    directory_limit = *zip64_offset;
    return Status::Ok();
  };
  if (Status zip64 = read_zip64(); !zip64 && deferred) return not_zip(zip64.message());
  if (end->disk_number != 0 || end->central_directory_disk != 0 ||
      end->entries_on_disk != end->total_entries) {
    return not_zip("split archives are not supported");
  }
  const uint64_t cd_offset = end->central_directory_offset;
  const uint64_t cd_size = end->central_directory_size;
  if (cd_offset > directory_limit || cd_size > directory_limit - cd_offset) {
    return not_zip("central directory outside the file");
  }
  if (end->total_entries > cd_size / zip::kCentralRecordSize) {
    return not_zip("more entries than the central directory can hold");
  }
  Result<std::string> directory = archive.ReadAt(cd_offset, cd_size);
  if (!directory) return directory.error();
  std::string_view rest = *directory;
  archive.records_.reserve(end->total_entries);
  for (uint64_t i = 0; i < end->total_entries; ++i) {
    Result<CentralRecord> record = zip::ParseCentralRecord(rest);
    if (!record) return not_zip(record.message());
    rest.remove_prefix(record->EncodedSize());
    archive.entries_.push_back({record->name, record->compressed_size, record->size,
                                record->method, record->crc32});
    archive.records_.push_back(std::move(record.value()));
  }
  archive.end_ = std::move(*end);
  return archive;
}

std::optional<ZipEntryInfo> ZipArchive::FindFirstEntry(std::string_view mask) const {
  for (const ZipEntryInfo& entry : entries_) {
    if (MatchZipMask(mask, entry.name)) return entry;
  }
  return std::nullopt;
}

std::optional<size_t> ZipArchive::FindIndex(std::string_view entry_name) const {
  for (size_t i = 0; i < records_.size(); ++i) {
    if (records_[i].name == entry_name) return i;
  }
  return std::nullopt;
}

Result<std::string> ZipArchive::ReadAt(uint64_t offset, uint64_t length) const {
  if (offset > file_size_ || length > file_size_ - offset) {
    return Error{"damaged ZIP archive " + path_ + ": data past the end of the file"};
  }
  std::string bytes(static_cast<size_t>(length), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pread(file_.get(), bytes.data() + done, bytes.size() - done,
                        static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Error{"cannot read archive " + path_ + ": " + ErrnoText()};
    if (n == 0) return Error{"archive " + path_ + " became shorter while being read"};
    done += static_cast<size_t>(n);
  }
  return bytes;
}

Result<ZipArchive::LocalEntry> ZipArchive::ReadLocalEntry(const CentralRecord& record) const {
  auto damaged = [&](std::string_view why) {
    return Error{"damaged ZIP entry " + record.name + " in " + path_ + ": " + std::string(why)};
  };
  // Entry data lies before the central directory.
  const uint64_t limit = end_.central_directory_offset;
  const uint64_t offset = record.local_header_offset;
  if (offset > limit || limit - offset < zip::kLocalHeaderSize) {
    return damaged("local header outside the entry data");
  }
  Result<std::string> bytes = ReadAt(offset, zip::kLocalHeaderSize);
  if (!bytes) return bytes.error();
  Result<LocalHeader> header = zip::ParseLocalHeader(*bytes);
  if (!header) return damaged(header.message());
  uint64_t data_offset = offset + header->TotalSize();
  if (data_offset > limit || limit - data_offset < record.compressed_size) {
    return damaged("data runs past the entry area");
  }
  return LocalEntry{*header, data_offset};
}

Result<std::string> ZipArchive::Extract(std::string_view entry_name) const {
  std::string out;
  Status extracted = ExtractPieces(entry_name, [&out](std::string_view piece) {
    out += piece;
    return true;
  });
  if (!extracted.ok()) return extracted.error();
  return out;
}

Status ZipArchive::ExtractPieces(std::string_view entry_name, const PieceSink& sink) const {
  std::optional<size_t> index = FindIndex(entry_name);
  if (!index) {
    return Error{"no entry named " + std::string(entry_name) + " in archive " + path_};
  }
  if (auto pending = pending_.find(*index); pending != pending_.end()) {
    sink(pending->second.content);
    return Status::Ok();
  }
  return ExtractRecord(records_[*index], sink);
}

Status ZipArchive::ExtractRecord(const CentralRecord& record, const PieceSink& sink) const {
  const std::string& name = record.name;
  auto fail = [&](std::string_view why) {
    return Error{"cannot extract " + name + " from " + path_ + ": " + std::string(why)};
  };
  if ((record.flags & (zip::kFlagEncrypted | zip::kFlagStrongEncryption)) != 0 ||
      record.method == zip::kMethodAesEncrypted) {
    return fail("the entry is encrypted");
  }
  if (record.method != zip::kMethodStored && record.method != zip::kMethodDeflated) {
    return fail("unsupported compression method " + std::to_string(record.method));
  }
  if (record.size > limits_.max_entry_size) {
    return fail("the entry is larger than " + std::to_string(limits_.max_entry_size) + " bytes");
  }
  if (ExceedsRatio(record.size, record.compressed_size, limits_.max_ratio)) {
    return fail("the entry's compression ratio is implausibly high");
  }
  if (record.method == zip::kMethodStored && record.size != record.compressed_size) {
    return fail("stored entry sizes disagree");
  }
  Result<LocalEntry> local = ReadLocalEntry(record);
  if (!local) return local.error();
  if ((local->header.flags & zip::kFlagEncrypted) != 0) return fail("the entry is encrypted");

  uint64_t produced_total = 0;
  uint32_t crc = 0;
  uint64_t next_in = local->data_offset;
  uint64_t remaining_in = record.compressed_size;
  size_t piece_size = kFirstPiece;
  auto next_piece_size = [&piece_size] {
    const size_t size = piece_size;
    piece_size = std::min(piece_size * 2, kIoChunk);
    return size;
  };
  if (record.method == zip::kMethodStored) {
    while (remaining_in > 0) {
      Result<std::string> chunk =
          ReadAt(next_in, std::min<uint64_t>(remaining_in, next_piece_size()));
      if (!chunk) return chunk.error();
      next_in += chunk->size();
      remaining_in -= chunk->size();
      crc = zip::Crc32(crc, *chunk);
      produced_total += chunk->size();
      if (!sink(*chunk)) return Status::Ok();
    }
  } else {
    ZStream zs(ZStream::Kind::kInflate);
    if (!zs.Init()) return fail("cannot start inflating");
    z_stream* s = zs.get();
    std::string input;
    char buffer[kIoChunk];
    // Each round consumes input or produces output; input is finite and output
    // may not pass the recorded size, so the loop ends.
    for (;;) {
      if (s->avail_in == 0 && remaining_in > 0) {
        // Compressed data is read in pieces of the size reached so far.
        Result<std::string> chunk = ReadAt(next_in, std::min<uint64_t>(remaining_in, piece_size));
        if (!chunk) return chunk.error();
        input = std::move(chunk.value());
        next_in += input.size();
        remaining_in -= input.size();
        s->next_in = reinterpret_cast<Bytef*>(input.data());
        s->avail_in = static_cast<uInt>(input.size());
      }
      const size_t out_size = next_piece_size();
      s->next_out = reinterpret_cast<Bytef*>(buffer);
      s->avail_out = static_cast<uInt>(out_size);
      int rc = inflate(s, Z_NO_FLUSH);
      size_t produced = out_size - s->avail_out;
      if (produced > record.size - produced_total) {
        return fail("the data inflates beyond the recorded size");
      }
      std::string_view piece(buffer, produced);
      crc = zip::Crc32(crc, piece);
      produced_total += produced;
      if (produced > 0 && !sink(piece)) return Status::Ok();
      if (rc == Z_STREAM_END) break;
      if (rc == Z_BUF_ERROR && s->avail_in == 0 && remaining_in == 0) {
        return fail("the compressed data is cut short");
      }
      if (rc != Z_OK && rc != Z_BUF_ERROR) {
        return fail(std::string("damaged compressed data") + (s->msg ? ": " : "") +
                    (s->msg ? s->msg : ""));
      }
      if (rc == Z_BUF_ERROR && produced == 0 && s->avail_in > 0) {
        return fail("inflating makes no progress");
      }
    }
  }
  if (produced_total != record.size) return fail("the data is shorter than the recorded size");
  if (crc != record.crc32) return fail("CRC-32 mismatch");
  return Status::Ok();
}

Status ZipArchive::Replace(std::string_view entry_name, std::string_view content,
                           uint32_t external_attributes) {
  if (mode_ != Mode::kReadWrite) return Error{"archive " + path_ + " is opened read-only"};
  std::optional<size_t> index = FindIndex(entry_name);
  if (!index) {
    return Error{"no entry named " + std::string(entry_name) + " in archive " + path_};
  }
  // Replaced entries are written without ZIP64 sizes, so they stay below 4 GiB.
  if (content.size() > limits_.max_entry_size || content.size() >= zip::kZip64Marker32) {
    return Error{"new content of " + std::string(entry_name) + " is too large"};
  }
  Result<std::string> compressed = Deflate(content);
  if (!compressed) return compressed.error();
  if (compressed->size() >= zip::kZip64Marker32) {
    return Error{"new content of " + std::string(entry_name) + " is too large"};
  }
  Replacement replacement{std::string(content), std::move(compressed.value()),
                          zip::Crc32(0, content), external_attributes};
  ZipEntryInfo& info = entries_[*index];
  info.compressed_size = replacement.compressed.size();
  info.size = content.size();
  info.method = zip::kMethodDeflated;
  info.crc32 = replacement.crc32;
  pending_[*index] = std::move(replacement);
  return Status::Ok();
}

Status ZipArchive::WriteUpdatedArchive(int out_fd) const {
  Output out(out_fd);
  auto copy = [&](uint64_t from, uint64_t to) -> Status {
    while (from < to) {
      Result<std::string> chunk = ReadAt(from, std::min<uint64_t>(to - from, kIoChunk * 16));
      if (!chunk) return chunk.error();
      from += chunk->size();
      if (Status s = out.Write(*chunk); !s) return s;
    }
    return Status::Ok();
  };

  // Entries in file order; each one's bytes run up to the next entry (the last
  // one's up to the central directory), data descriptor included.
  const uint64_t cd_offset = end_.central_directory_offset;
  std::vector<size_t> order(records_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return records_[a].local_header_offset < records_[b].local_header_offset;
  });
  for (size_t k = 0; k < order.size(); ++k) {
    uint64_t offset = records_[order[k]].local_header_offset;
    if (offset >= cd_offset || (k > 0 && offset == records_[order[k - 1]].local_header_offset)) {
      return Error{"damaged ZIP archive " + path_ + ": entries overlap"};
    }
  }

  std::vector<uint64_t> new_offsets(records_.size());
  uint64_t cursor = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    const size_t index = order[k];
    const CentralRecord& record = records_[index];
    if (Status s = copy(cursor, record.local_header_offset); !s) return s;
    new_offsets[index] = out.written();
    cursor = record.local_header_offset;
    auto pending = pending_.find(index);
    if (pending == pending_.end()) continue;

    Result<LocalEntry> local = ReadLocalEntry(record);
    if (!local) return local.error();
    Result<std::string> old_extra =
        ReadAt(record.local_header_offset + zip::kLocalHeaderSize + local->header.name_length,
               local->header.extra_length);
    if (!old_extra) return old_extra.error();
    std::string extra = std::move(old_extra.value());
    for (uint16_t id : kStaleExtraFields) extra = zip::RemoveExtraField(extra, id);
    const Replacement& replacement = pending->second;
    LocalHeader header;
    header.version_needed = 20;
    header.flags = record.flags & zip::kFlagUtf8Name;
    header.method = zip::kMethodDeflated;
    header.mod_time = record.mod_time;
    header.mod_date = record.mod_date;
    header.crc32 = replacement.crc32;
    header.compressed_size = static_cast<uint32_t>(replacement.compressed.size());
    header.size = static_cast<uint32_t>(replacement.content.size());
    if (Status s = out.Write(zip::EncodeLocalHeader(header, record.name, extra)); !s) return s;
    if (Status s = out.Write(replacement.compressed); !s) return s;
    cursor = k + 1 < order.size() ? records_[order[k + 1]].local_header_offset : cd_offset;
  }
  if (Status s = copy(cursor, cd_offset); !s) return s;

  const uint64_t new_cd_offset = out.written();
  for (size_t i = 0; i < records_.size(); ++i) {
    CentralRecord record = records_[i];
    record.local_header_offset = new_offsets[i];
    if (auto pending = pending_.find(i); pending != pending_.end()) {
      const Replacement& replacement = pending->second;
      for (uint16_t id : kStaleExtraFields) record.extra = zip::RemoveExtraField(record.extra, id);
      record.zip64 = {};
      record.version_needed = record.local_header_offset >= zip::kZip64Marker32 ? 45 : 20;
      record.flags &= zip::kFlagUtf8Name;
      record.method = zip::kMethodDeflated;
      record.crc32 = replacement.crc32;
      record.compressed_size = replacement.compressed.size();
      record.size = replacement.content.size();
      // DOS attributes alone (such as 0x20) leave the entry's Unix mode in place:
      // without it, Unix tools would extract the file with no permissions at all.
      uint32_t attributes = replacement.external_attributes;
      if ((attributes >> 16) == 0) attributes |= record.external_attributes & 0xffff0000u;
      record.external_attributes = attributes;
    }
    Result<std::string> encoded = zip::EncodeCentralRecord(record);
    if (!encoded) return encoded.error();
    if (Status s = out.Write(*encoded); !s) return s;
  }
  EndRecord end = end_;
  end.central_directory_offset = new_cd_offset;
  end.central_directory_size = out.written() - new_cd_offset;
  return out.Write(zip::EncodeEndRecords(end, out.written()));
}

Status ZipArchive::Commit() {
  if (pending_.empty()) return Status::Ok();
  if (mode_ != Mode::kReadWrite) return Error{"archive " + path_ + " is opened read-only"};
  struct stat info;
  if (::fstat(file_.get(), &info) != 0) {
    return Error{"cannot read archive " + path_ + ": " + ErrnoText()};
  }
  const std::string temp_path = path_ + ".tmp~";
  constexpr int kTempFlags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
  ScopedFd temp(::open(temp_path.c_str(), kTempFlags, 0600));
  if (temp.get() < 0) return Error{"cannot create " + temp_path + ": " + ErrnoText()};
  auto give_up = [&](Error error) -> Status {
    ::close(temp.Release());
    ::unlink(temp_path.c_str());
    return error;
  };
  if (Status s = WriteUpdatedArchive(temp.get()); !s) return give_up(s.error());
  if (::fchmod(temp.get(), info.st_mode & 07777) != 0 || ::fsync(temp.get()) != 0) {
    return give_up(Error{"cannot write " + temp_path + ": " + ErrnoText()});
  }
  if (::close(temp.Release()) != 0) {
    ::unlink(temp_path.c_str());
    return Error{"cannot write " + temp_path + ": " + ErrnoText()};
  }
  if (::rename(temp_path.c_str(), path_.c_str()) != 0) {
    Error error{"cannot replace " + path_ + ": " + ErrnoText()};
    ::unlink(temp_path.c_str());
    return error;
  }
  // The open descriptor still shows the old file; read the new one instead.
  Result<ZipArchive> reopened = Open(path_, mode_, limits_);
  if (!reopened) return Error{"archive " + path_ + " was updated but cannot be reopened: " +
                              reopened.message()};
  *this = std::move(reopened.value());
  return Status::Ok();
}

}  // namespace tomeva
