// Reading and writing the XML of an FB2 book, plain (".fb2") or packed in a
// ZIP archive (".zip", ".fbz": the first entry matching "*.fb2").
#ifndef TOMEVA_CONTENT_BOOK_FILE_H_
#define TOMEVA_CONTENT_BOOK_FILE_H_

#include <string>
#include <string_view>

#include "common/result.h"
#include "common/xml_document.h"

namespace tomeva::content {

// True when the last four characters of file_name, ignoring the case of A-Z,
// are ".zip" or ".fbz".
bool IsZipBookName(std::string_view file_name);

// How much of a book to parse.
enum class BookPart {
  kHeader,  // up to the end of <description>; the body is neither parsed nor checked
  kWhole,   // everything, as needed for the body and for saving
};

// The parsed book. Fails for a missing or unreadable file, an archive that
// cannot be read or holds no "*.fb2" entry (or one over the archive limits),
// XML that is not well-formed, and a book that declares an external entity
// (never read: no FB2 book needs one).
Result<XmlDocument> LoadBookDocument(const std::string& file_name, BookPart part);

// Writes doc, which must have been loaded whole, back to file_name in its
// declared encoding. A plain book is written beside the old file and renamed
// over it; in an archive the first "*.fb2" entry is replaced (archive
// attribute 0x20) and the archive rewritten the same way. A failure leaves the
// file as it was.
Status SaveBookDocument(const XmlDocument& doc, const std::string& file_name);

}  // namespace tomeva::content

#endif  // TOMEVA_CONTENT_BOOK_FILE_H_
