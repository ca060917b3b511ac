// Content field access through the session's field host.
#include "books/field_host_access.h"

namespace tomeva::books {

std::string FieldHostAccess::GetFieldValue(std::string_view reference, std::string_view file_name) {
  return host_.GetFieldValue(reference, file_name);
}

bool FieldHostAccess::SetFieldValue(std::string_view reference, std::string_view file_name,
                                    std::string_view value) {
  return host_.SetFieldValue(reference, file_name, value);
}

void FieldHostAccess::ForgetReadFiles() { host_.ForgetReadFiles(); }

void FieldHostAccess::OfferParsedHeader(const std::string& file_name, XmlDocument header,
                                        bool private_copy) {
  host_.OfferParsedHeader(file_name, std::move(header), private_copy);
}

}  // namespace tomeva::books
