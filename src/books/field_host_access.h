// The catalog layer's view of content fields (catalog::ContentFieldAccess)
// served by the session's content field host, so that property tree
// persistence can rewrite book files without knowing about field sources.
#ifndef TOMEVA_BOOKS_FIELD_HOST_ACCESS_H_
#define TOMEVA_BOOKS_FIELD_HOST_ACCESS_H_

#include <string>
#include <string_view>

#include "catalog/content_field_access.h"
#include "content/field_host.h"

namespace tomeva::books {

// Forwards every call to a FieldHost that outlives this object.
class FieldHostAccess : public catalog::ContentFieldAccess {
 public:
  explicit FieldHostAccess(content::FieldHost& host) : host_(host) {}

  // FieldHost::GetFieldValue: the text, "" or "null" when there is none.
  std::string GetFieldValue(std::string_view reference, std::string_view file_name) override;
  // FieldHost::SetFieldValue: false when the field cannot be written.
  bool SetFieldValue(std::string_view reference, std::string_view file_name,
                     std::string_view value) override;
  // FieldHost::ForgetReadFiles.
  void ForgetReadFiles() override;
  // FieldHost::OfferParsedHeader.
  void OfferParsedHeader(const std::string& file_name, XmlDocument header,
                         bool private_copy) override;

 private:
  content::FieldHost& host_;
};

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_FIELD_HOST_ACCESS_H_
