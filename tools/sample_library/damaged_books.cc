// Making the damaged books out of ordinary ones.
#include "sample_library/damaged_books.h"

#include "common/utf8.h"
#include "sample_library/book_zip.h"
#include "sample_library/sample_random.h"

namespace tomeva {
namespace {

constexpr DamageKind kKinds[] = {DamageKind::kTruncatedXml, DamageKind::kNotXml,
                                 DamageKind::kNoDescription, DamageKind::kNotZip,
                                 DamageKind::kCutZip};
constexpr size_t kDamagedBodyBytes = 2 * 1024;

std::string Padded(uint64_t number, int width) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < width) {
    digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  }
  return digits;
}

// A document header that promises a PDF, then random bytes.
std::string NotXmlBytes(uint64_t seed) {
  SampleRandom random(seed);
  std::string bytes = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
  size_t size = static_cast<size_t>(random.Between(1024, 4096));
  while (bytes.size() < size) bytes += static_cast<char>(random.Next() & 0xff);
  return bytes;
}

}  // namespace

std::string_view DamageLabel(DamageKind kind) {
  switch (kind) {
    case DamageKind::kTruncatedXml:
      return "truncated";
    case DamageKind::kNotXml:
      return "not-xml";
    case DamageKind::kNoDescription:
      return "no-description";
    case DamageKind::kNotZip:
      return "not-zip";
    case DamageKind::kCutZip:
      return "cut-zip";
  }
  return "damaged";
}

Result<DamagedBook> MakeDamagedBook(uint64_t index, int width, const SampleBook& book,
                                    const BookXmlWriter& writer) {
  DamagedBook damaged;
  damaged.kind = kKinds[(index - 1) % std::size(kKinds)];
  std::string stem = "damaged-" + Padded(index, width) + "-" +
                     std::string(DamageLabel(damaged.kind));
  bool zipped = damaged.kind == DamageKind::kNotZip || damaged.kind == DamageKind::kCutZip;
  damaged.file_name = stem + (zipped ? ".fb2.zip" : ".fb2");

  BookXmlOptions options;
  options.body_bytes = kDamagedBodyBytes;
  options.with_description = damaged.kind != DamageKind::kNoDescription;
  switch (damaged.kind) {
    case DamageKind::kNotXml:
      damaged.bytes = NotXmlBytes(book.text_seed);
      break;
    case DamageKind::kTruncatedXml: {
      // Cut inside the body, well before the root element closes.
      std::string xml = writer.Render(book, options);
      damaged.bytes = std::string(Utf8PrefixBytes(xml, xml.size() / 2));
      break;
    }
    case DamageKind::kNoDescription:
    case DamageKind::kNotZip:
      damaged.bytes = writer.Render(book, options);
      break;
    case DamageKind::kCutZip: {
      // The local header and part of the data survive; the central directory
      // and end record are gone.
      Result<std::string> zip = MakeSingleEntryZip(stem + ".fb2", writer.Render(book, options),
                                                   ZipMethod::kDeflated);
      if (!zip.ok()) return zip.error();
      damaged.bytes = zip->substr(0, zip->size() / 2);
      break;
    }
  }
  return damaged;
}

}  // namespace tomeva
