// Acceptance checks of book import.
#include "books/import_check.h"

#include "common/xml_document.h"
#include "content/book_file.h"

namespace tomeva::books {
namespace {

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// The extension without its dot: the text after the last "." that follows the
// last separator; "" when there is none.
std::string_view ExtensionWithoutDot(std::string_view file_name) {
  const size_t separator = file_name.find_last_of("/\\:");
  const size_t start = separator == std::string_view::npos ? 0 : separator + 1;
  const size_t dot = file_name.rfind('.');
  if (dot == std::string_view::npos || dot < start) return {};
  return file_name.substr(dot + 1);
}

}  // namespace

bool IsImportable(std::string_view file_name, std::string_view detect_string) {
  const std::string detect = AsciiUpper(detect_string);
  if (detect.find("EXT=") == std::string::npos) return true;
  const std::string wanted = "EXT=\"" + AsciiUpper(ExtensionWithoutDot(file_name)) + "\"";
  return detect.find(wanted) != std::string::npos;
}

bool IsFictionBookName(std::string_view file_name) {
  const std::string ext = AsciiUpper(ExtensionWithoutDot(file_name));
  return ext == "FB2" || ext == "ZIP" || ext == "FBZ";
}

Result<std::optional<XmlDocument>> ParseReadableBook(const std::string& file_name) {
  if (!IsFictionBookName(file_name)) return std::optional<XmlDocument>();
  Result<XmlDocument> doc = content::LoadBookDocument(file_name, content::BookPart::kHeader);
  if (!doc.ok()) return doc.error();
  XmlNode root = doc->RootElement();
  if (!root || root.Name() != "FictionBook") {
    return Error{"the document is not a FictionBook (its root element is <" +
                 (root ? root.Name() : std::string()) + ">)"};
  }
  return std::optional<XmlDocument>(std::move(doc).value());
}

Status CheckReadableBook(const std::string& file_name) {
  Result<std::optional<XmlDocument>> parsed = ParseReadableBook(file_name);
  return parsed.ok() ? Status::Ok() : Status(parsed.error());
}

bool IsReadableBook(const std::string& file_name) { return CheckReadableBook(file_name).ok(); }

}  // namespace tomeva::books
