// Field templates: requests filled with values read from a book file.
#include "books/field_template.h"

#include "common/params.h"
#include "common/template.h"
#include "tree/sql_template.h"

namespace tomeva::books {

std::string ExpandFieldTemplate(std::string_view tmpl, const std::string& file_name,
                                catalog::ContentFieldAccess* fields) {
  return ExpandTemplate(tmpl, [&](std::string_view name) -> std::string {
    if (fields == nullptr) return {};
    return fields->GetFieldValue(name, file_name);
  });
}

std::string ExpandSqlFieldTemplate(std::string_view tmpl, const std::string& file_name,
                                   catalog::ContentFieldAccess* fields, std::string_view params) {
  const std::vector<Param> entries = SplitParams(params);
  return tree::ExpandSqlTemplate(tmpl, [&](std::string_view name) -> std::string {
    for (const Param& entry : entries) {
      if (entry.name == name) return entry.value;
    }
    if (fields == nullptr) return {};
    std::string value = fields->GetFieldValue(name, file_name);
    return value == "null" ? std::string() : value;
  });
}

}  // namespace tomeva::books
