// The checks a file passes before it is imported: its extension against the
// settings' detect string, and, for FictionBook names, that it is a readable
// FictionBook at all.
#ifndef TOMEVA_BOOKS_IMPORT_CHECK_H_
#define TOMEVA_BOOKS_IMPORT_CHECK_H_

#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"
#include "common/xml_document.h"

namespace tomeva::books {

// True when detect_string (e.g. EXT="FB2" EXT="ZIP") accepts file_name: the
// detect string, ASCII letters upper-cased, holds no "EXT=" at all, or holds
// EXT=" + the file's extension (from the last "." after the last "/", "\" or
// ":", without the dot, ASCII upper-cased) + ". An empty detect string accepts
// every file; a file without an extension is refused by any EXT= list.
bool IsImportable(std::string_view file_name, std::string_view detect_string);

// True when file_name names a book file format the system reads itself (".fb2",
// or an archive ".zip" / ".fbz", any letter case).
bool IsFictionBookName(std::string_view file_name);

// Ok when file_name is not a FictionBook name (other formats are left to
// their field sources), or when its header parses as a FictionBook document
// (root element FictionBook). A damaged header, a file that is not XML, or an
// archive without a book fail, saying why (the parser's reason and line).
Status CheckReadableBook(const std::string& file_name);
// CheckReadableBook that also gives the header it parsed (nullopt for a name
// that is not a FictionBook name), so that its reader need not parse it again.
Result<std::optional<XmlDocument>> ParseReadableBook(const std::string& file_name);
// CheckReadableBook(file_name).ok().
bool IsReadableBook(const std::string& file_name);

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_IMPORT_CHECK_H_
