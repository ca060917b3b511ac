// Planning, rendering, encoding, zipping and writing the books of a library.
#include "sample_library/library_writer.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "platform/files.h"
#include "sample_library/book_xml.h"
#include "sample_library/book_zip.h"
#include "sample_library/file_naming.h"
#include "sample_library/windows1251.h"

namespace tomeva {
namespace {

constexpr uint64_t kFormatStream = 0x666f726d6174;  // containers and encodings
constexpr uint64_t kDamagedStream = 0x64616d61676564;  // the books damaged ones come from

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Writes bytes to path, replacing the file.
Status WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return Error{"cannot create " + path + ": " + std::strerror(errno)};
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  int error = errno;
  if (std::fclose(file.release()) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) return Error{"cannot write " + path + ": " + std::strerror(error)};
  return Status::Ok();
}

// The entry date of a zipped book: its document date ("YYYY-MM-DD").
ZipDate ZipDateOf(std::string_view date) {
  ZipDate zip_date;
  auto number = [&](size_t pos, size_t length, int& value) {
    if (date.size() < pos + length) return;
    std::from_chars(date.data() + pos, date.data() + pos + length, value);
  };
  number(0, 4, zip_date.year);
  number(5, 2, zip_date.month);
  number(8, 2, zip_date.day);
  return zip_date;
}

// Writes the files of a library, creating each folder once.
class LibraryOutput {
 public:
  explicit LibraryOutput(std::string root) : root_(std::move(root)) {}

  Status Write(const std::string& folder, const std::string& name, std::string_view bytes,
               WrittenBook& record) {
    std::string relative = folder.empty() ? name : folder + "/" + name;
    if (!folder.empty() && created_.insert(folder).second) {
      Status made = platform::CreateFolders(root_ + "/" + folder);
      if (!made.ok()) return made;
    }
    Status written = WriteWholeFile(root_ + "/" + relative, bytes);
    if (!written.ok()) return written;
    record.path = std::move(relative);
    record.bytes = bytes.size();
    return Status::Ok();
  }

 private:
  std::string root_;
  std::set<std::string> created_;
};

}  // namespace

Result<SampleLibrarySummary> WriteSampleLibrary(const SampleLibraryOptions& options) {
  if (options.out.empty()) return Error{"no library folder given"};
  Status made = platform::CreateFolders(options.out);
  if (!made.ok()) return made.error();

  SampleLibrarySummary summary;
  LibraryOutput output(options.out);
  BookXmlWriter writer;
  BookPlanner planner(options.seed);
  SampleRandom format(SampleRandom::Derive(options.seed, kFormatStream));
  BookXmlOptions xml_options;
  xml_options.body_bytes = static_cast<size_t>(options.body_kb) * 1024;
  int width = BookNumberWidth(options.count);

  for (uint64_t i = 1; i <= options.count; ++i) {
    SampleBook book = planner.Next();
    // Three draws for every book, whatever the percentages.
    bool windows1251 = format.Percent(options.cp1251_percent);
    bool zipped = format.Percent(options.zipped_percent);
    uint64_t container_roll = format.Below(24);

    WrittenBook record;
    record.title = book.title;
    record.last_name = std::string(book.authors.front().last);
    record.encoding = windows1251 ? BookEncoding::kWindows1251 : BookEncoding::kUtf8;
    xml_options.encoding = windows1251 ? "windows-1251" : "UTF-8";
    std::string bytes = writer.Render(book, xml_options);
    if (windows1251) bytes = Utf8ToWindows1251Xml(bytes);

    std::string stem = BookFileStem(i, width, record.last_name, book.title);
    std::string name = stem + ".fb2";
    if (zipped) {
      // A third of the zipped books are .fbz; one in eight is stored, not deflated.
      record.container = container_roll < 8 ? BookContainer::kFbz : BookContainer::kFb2Zip;
      ZipMethod method = container_roll % 8 == 3 ? ZipMethod::kStored : ZipMethod::kDeflated;
      Result<std::string> zip =
          MakeSingleEntryZip(name, bytes, method, ZipDateOf(book.document_date));
      if (!zip.ok()) return zip.error();
      bytes = std::move(zip).value();
      record.entry_name = name;
      name = record.container == BookContainer::kFbz ? stem + ".fbz" : name + ".zip";
    }
    std::string folder = options.flat ? "" : FirstLetterFolder(record.last_name);
    Status written = output.Write(folder, name, bytes, record);
    if (!written.ok()) return written.error();
    summary.bytes += record.bytes;
    summary.zipped += zipped ? 1 : 0;
    summary.windows1251 += windows1251 ? 1 : 0;
    ++summary.files;
    if (options.list_books) summary.books.push_back(std::move(record));
  }

  BookPlanner damaged_planner(SampleRandom::Derive(options.seed, kDamagedStream));
  int damaged_width = BookNumberWidth(options.damaged);
  for (uint64_t i = 1; i <= options.damaged; ++i) {
    SampleBook book = damaged_planner.Next();
    Result<DamagedBook> damaged = MakeDamagedBook(i, damaged_width, book, writer);
    if (!damaged.ok()) return damaged.error();
    WrittenBook record;
    record.title = book.title;
    record.last_name = std::string(book.authors.front().last);
    record.damage = damaged->kind;
    if (damaged->kind == DamageKind::kNotZip) record.container = BookContainer::kFb2Zip;
    if (damaged->kind == DamageKind::kCutZip) record.container = BookContainer::kFb2Zip;
    Status written = output.Write("", damaged->file_name, damaged->bytes, record);
    if (!written.ok()) return written.error();
    summary.bytes += record.bytes;
    ++summary.damaged;
    ++summary.files;
    if (options.list_books) summary.books.push_back(std::move(record));
  }
  return summary;
}

}  // namespace tomeva
