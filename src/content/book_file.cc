// Loading and saving book documents, plain and zipped.
#include "content/book_file.h"

#include <libxml/entities.h>
#include <libxml/tree.h>

#include "content/zip_archive.h"

namespace tomeva::content {
namespace {

constexpr std::string_view kBookEntryMask = "*.fb2";
constexpr uint32_t kArchiveAttribute = 0x20;

XmlParseOptions ParseOptions(BookPart part) {
  XmlParseOptions options;
  if (part == BookPart::kHeader) options.stop_after_element = "description";
  return options;
}

bool DeclaresExternalEntity(const xmlDtd* dtd) {
  if (dtd == nullptr) return false;
  for (const xmlNode* node = dtd->children; node != nullptr; node = node->next) {
    if (node->type != XML_ENTITY_DECL) continue;
    const auto* entity = reinterpret_cast<const xmlEntity*>(node);
    if (entity->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
        entity->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY ||
        entity->etype == XML_EXTERNAL_PARAMETER_ENTITY) {
      return true;
    }
  }
  return false;
}

Result<XmlDocument> CheckedBook(Result<XmlDocument> doc, const std::string& file_name) {
  if (!doc.ok()) return doc;
  const xmlDoc* raw = doc->raw();
  if (DeclaresExternalEntity(raw->intSubset) || DeclaresExternalEntity(raw->extSubset)) {
    return Error{file_name + " declares an external entity"};
  }
  return doc;
}

}  // namespace

bool IsZipBookName(std::string_view file_name) {
  if (file_name.size() < 4) return false;
  std::string tail(file_name.substr(file_name.size() - 4));
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return tail == ".zip" || tail == ".fbz";
}

Result<XmlDocument> LoadBookDocument(const std::string& file_name, BookPart part) {
  if (!IsZipBookName(file_name)) {
    return CheckedBook(XmlDocument::LoadFile(file_name, ParseOptions(part)), file_name);
  }
  Result<ZipArchive> archive = ZipArchive::Open(file_name, ZipArchive::Mode::kRead);
  if (!archive.ok()) return archive.error();
  const std::optional<ZipEntryInfo> entry = archive->FindFirstEntry(kBookEntryMask);
  if (!entry) return Error{file_name + " holds no FB2 book"};
  // Inflated only as far as the parse reads: a header's parse stops at its
  // end, long before the end of the book.
  return CheckedBook(XmlDocument::LoadPieces(
                         [&](const XmlDocument::PieceFeed& feed) {
                           return archive->ExtractPieces(entry->name, feed);
                         },
                         ParseOptions(part)),
                     file_name);
}

Status SaveBookDocument(const XmlDocument& doc, const std::string& file_name) {
  if (file_name.empty()) return Error{"no book file named"};
  if (!IsZipBookName(file_name)) return doc.SaveFile(file_name);
  Result<std::string> text = doc.Serialize();
  if (!text.ok()) return text.error();
  Result<ZipArchive> archive = ZipArchive::Open(file_name, ZipArchive::Mode::kReadWrite);
  if (!archive.ok()) return archive.error();
  const std::optional<ZipEntryInfo> entry = archive->FindFirstEntry(kBookEntryMask);
  if (!entry) return Error{file_name + " holds no FB2 book"};
  if (Status replaced = archive->Replace(entry->name, *text, kArchiveAttribute); !replaced.ok()) {
    return replaced;
  }
  return archive->Commit();
}

}  // namespace tomeva::content
