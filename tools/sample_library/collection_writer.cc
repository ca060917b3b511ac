// Sample collections: multi-entry ZIP archives written as a stream, and the
// INPX index beside them.
#include "sample_library/collection_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "content/zip_format.h"
#include "platform/files.h"
#include "sample_library/book_plan.h"
#include "sample_library/book_xml.h"
#include "sample_library/book_zip.h"

namespace tomeva {
namespace {

constexpr uint64_t kCollectionStream = 0x636f6c6c;  // methods and deleted marks
constexpr char kSeparator = '\x04';
// The index's fields; LIBRATE is one Tomeva does not read.
constexpr std::string_view kStructure =
    "AUTHOR;GENRE;TITLE;SERIES;SERNO;FILE;SIZE;LIBID;DEL;EXT;DATE;LANG;LIBRATE;KEYWORDS;";

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// A ZIP archive written entry by entry to a file: local headers and data as
// they come, the central directory and end records at Finish.
class ZipStreamWriter {
 public:
  static Result<ZipStreamWriter> Create(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return Error{"cannot create " + path + ": " + std::strerror(errno)};
    return ZipStreamWriter(path, std::move(file));
  }

  Status Add(const std::string& name, std::string_view content, bool deflate) {
    std::string data;
    if (deflate) {
      Result<std::string> deflated = RawDeflate(content);
      if (!deflated.ok()) return deflated.error();
      data = std::move(deflated).value();
    }
    const std::string_view stored = deflate ? std::string_view(data) : content;
    zip::LocalHeader local;
    local.version_needed = deflate ? 20 : 10;
    local.method = deflate ? zip::kMethodDeflated : zip::kMethodStored;
    local.mod_time = 12 << 11;
    local.mod_date = static_cast<uint16_t>((2020 - 1980) << 9 | 1 << 5 | 1);
    local.crc32 = zip::Crc32(0, content);
    local.compressed_size = static_cast<uint32_t>(stored.size());
    local.size = static_cast<uint32_t>(content.size());
    zip::CentralRecord central;
    central.version_made_by = 3 << 8 | 20;
    central.version_needed = local.version_needed;
    central.method = local.method;
    central.mod_time = local.mod_time;
    central.mod_date = local.mod_date;
    central.crc32 = local.crc32;
    central.compressed_size = stored.size();
    central.size = content.size();
    central.external_attributes = 0100644u << 16;
    central.local_header_offset = offset_;
    central.name = name;
    if (Status s = Write(zip::EncodeLocalHeader(local, name, {})); !s.ok()) return s;
    if (Status s = Write(stored); !s.ok()) return s;
    records_.push_back(std::move(central));
    return Status::Ok();
  }

  Status Finish() {
    zip::EndRecord end;
    end.entries_on_disk = records_.size();
    end.total_entries = records_.size();
    end.central_directory_offset = offset_;
    for (const zip::CentralRecord& record : records_) {
      Result<std::string> bytes = zip::EncodeCentralRecord(record);
      if (!bytes.ok()) return bytes.error();
      if (Status s = Write(*bytes); !s.ok()) return s;
    }
    end.central_directory_size = offset_ - end.central_directory_offset;
    if (Status s = Write(zip::EncodeEndRecords(end, offset_)); !s.ok()) return s;
    if (std::fclose(file_.release()) != 0) return Error{"cannot write " + path_};
    return Status::Ok();
  }

  uint64_t size() const { return offset_; }

 private:
  ZipStreamWriter(std::string path, std::unique_ptr<std::FILE, FileCloser> file)
      : path_(std::move(path)), file_(std::move(file)) {}

  Status Write(std::string_view bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
      return Error{"cannot write " + path_ + ": " + std::strerror(errno)};
    }
    offset_ += bytes.size();
    return Status::Ok();
  }

  std::string path_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  uint64_t offset_ = 0;
  std::vector<zip::CentralRecord> records_;
};

std::string Padded(uint64_t n, int width) {
  std::string digits = std::to_string(n);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

// One index line for book (CR LF ended).
std::string IndexLine(const SampleBook& book, const std::string& file, uint64_t size,
                      const std::string& lib_id, bool deleted) {
  std::string line;
  for (const PersonName& author : book.authors) {
    line.append(author.last).append(",").append(author.first).append(",");
    line.append(author.middle).append(":");
  }
  line += kSeparator;
  for (std::string_view genre : book.genres) line.append(genre).append(":");
  line += kSeparator;
  line += book.title;
  line += kSeparator;
  if (book.sequence) line += book.sequence->name;
  line += kSeparator;
  if (book.sequence && book.sequence->number) line += std::to_string(*book.sequence->number);
  line += kSeparator;
  line += file;
  line += kSeparator;
  line += std::to_string(size);
  line += kSeparator;
  line += lib_id;
  line += kSeparator;
  if (deleted) line += "1";
  line += kSeparator;
  line += "fb2";
  line += kSeparator;
  line += book.document_date;
  line += kSeparator;
  line += LanguageCode(book.language);
  line += kSeparator;
  line += "0";  // LIBRATE
  line += kSeparator;
  for (size_t i = 0; i < book.keywords.size(); ++i) {
    if (i > 0) line += ", ";
    line += book.keywords[i];
  }
  line += kSeparator;
  line += "\r\n";
  return line;
}

}  // namespace

Result<SampleCollectionSummary> WriteSampleCollection(const SampleLibraryOptions& options) {
  if (options.out.empty()) return Error{"no library folder given"};
  if (options.collection.empty()) return Error{"no collection name given"};
  if (options.per_archive == 0) return Error{"an archive must hold at least one book"};
  if (Status made = platform::CreateFolders(options.out); !made.ok()) return made.error();
  SampleCollectionSummary summary;
  BookXmlWriter writer;
  BookXmlOptions xml_options;
  xml_options.body_bytes = static_cast<size_t>(options.body_kb) * 1024;
  BookPlanner planner(options.seed);
  SampleRandom random(SampleRandom::Derive(options.seed, kCollectionStream));

  summary.index = options.out + "/" + options.collection + ".inpx";
  Result<ZipStreamWriter> index = ZipStreamWriter::Create(summary.index);
  if (!index.ok()) return index.error();
  const std::string info = options.collection + "\r\n" + options.collection +
                           ".inpx\r\n0\r\nSample collection written by tomeva-sample-library\r\n";
  if (Status s = index->Add("collection.info", info, true); !s.ok()) return s.error();
  if (Status s = index->Add("version.info", "20261209\r\n", true); !s.ok()) return s.error();
  if (Status s = index->Add("structure.info", std::string(kStructure) + "\r\n", true); !s.ok()) {
    return s.error();
  }

  for (uint64_t first = 1; first <= options.count; first += options.per_archive) {
    const uint64_t last = std::min(options.count, first + options.per_archive - 1);
    const std::string stem = "fb2-" + Padded(first, 6) + "-" + Padded(last, 6);
    Result<ZipStreamWriter> archive = ZipStreamWriter::Create(options.out + "/" + stem + ".zip");
    if (!archive.ok()) return archive.error();
    std::string inp;
    for (uint64_t n = first; n <= last; ++n) {
      SampleBook book = planner.Next();
      // Two draws for every book, whatever the percentages.
      const bool deflated = random.Percent(options.zipped_percent);
      const bool deleted = random.Percent(options.deleted_percent);
      const std::string file = Padded(n, 6);
      const std::string lib_id = std::to_string(n);
      uint64_t size = xml_options.body_bytes;
      if (!options.index_only) {
        const std::string bytes = writer.Render(book, xml_options);
        size = bytes.size();
        if (Status s = archive->Add(file + ".fb2", bytes, deflated); !s.ok()) return s.error();
      }
      inp += IndexLine(book, file, size, lib_id, deleted);
      ++summary.books_written;
      summary.deleted += deleted ? 1 : 0;
      if (options.list_books) {
        CollectionBook record;
        record.archive = stem + ".zip";
        record.member = file + ".fb2";
        record.lib_id = lib_id;
        record.title = book.title;
        record.last_name = std::string(book.authors.front().last);
        if (book.sequence) record.series = book.sequence->name;
        for (std::string_view genre : book.genres) record.genres.emplace_back(genre);
        record.deleted = deleted;
        record.deflated = deflated;
        summary.books.push_back(std::move(record));
      }
    }
    if (Status s = archive->Finish(); !s.ok()) return s.error();
    summary.bytes += archive->size();
    ++summary.archives;
    if (Status s = index->Add(stem + ".inp", inp, true); !s.ok()) return s.error();
  }
  if (Status s = index->Finish(); !s.ok()) return s.error();
  return summary;
}

}  // namespace tomeva
