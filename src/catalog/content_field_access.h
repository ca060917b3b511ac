// What the catalog layer needs of the book's content fields: reading and writing
// a field of a book file by its reference ("wdx_XML.Title", "wdx_XML.Genre.[2]").
// The content layer's field host implements it; the catalog never loads sources.
#ifndef TOMEVA_CATALOG_CONTENT_FIELD_ACCESS_H_
#define TOMEVA_CATALOG_CONTENT_FIELD_ACCESS_H_

#include <string>
#include <string_view>

namespace tomeva::catalog {

class ContentFieldAccess {
 public:
  virtual ~ContentFieldAccess() = default;
  // The field's text; "" or "null" when it is empty, absent or unreadable.
  virtual std::string GetFieldValue(std::string_view reference, std::string_view file_name) = 0;
  // Writes the value into the book file; silently nothing when it cannot.
  virtual void SetFieldValue(std::string_view reference, std::string_view file_name,
                             std::string_view value) = 0;
};

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_CONTENT_FIELD_ACCESS_H_
