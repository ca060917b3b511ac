// What the catalog layer needs of the book's content fields: reading and writing
// a field of a book file by its reference ("wdx_XML.Title", "wdx_XML.Genre.[2]").
// The content layer's field host implements it; the catalog never loads sources.
#ifndef TOMEVA_CATALOG_CONTENT_FIELD_ACCESS_H_
#define TOMEVA_CATALOG_CONTENT_FIELD_ACCESS_H_

#include <string>
#include <string_view>

#include "common/xml_document.h"

namespace tomeva::catalog {

class ContentFieldAccess {
 public:
  virtual ~ContentFieldAccess() = default;
  // The field's text; "" or "null" when it is empty, absent or unreadable.
  virtual std::string GetFieldValue(std::string_view reference, std::string_view file_name) = 0;
  // Writes the value into the book file; false, the file unchanged, when it
  // cannot (no such field, a source that cannot write, a book that cannot be
  // parsed or saved, an empty value for an occurrence that does not exist).
  virtual bool SetFieldValue(std::string_view reference, std::string_view file_name,
                             std::string_view value) = 0;
  // Forgets whatever was read of book files so far: the next read reads the
  // file again. Called when an operation begins, so that a file is never
  // answered from what another file of the same name once held.
  virtual void ForgetReadFiles() = 0;
  // Hands over the header of file_name as the caller has just parsed it, so
  // that the fields read next need not parse it again. Sources that cannot
  // use it ignore it. private_copy: file_name is the operation's own working
  // copy, which nothing else changes until the operation ends (its file
  // stamp need not be checked at each field read).
  virtual void OfferParsedHeader(const std::string& /*file_name*/, XmlDocument /*header*/,
                                 bool /*private_copy*/) {}
};

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_CONTENT_FIELD_ACCESS_H_
