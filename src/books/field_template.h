// Templates whose bare names are content field references of a book file
// ("wdx_XML.Title", "wdx_XML.AuthorLast.[0]"): the settings' requests
// (bookexists, getbookpathreq) are written this way, so that a request can ask
// about the book being imported before it is in the catalog.
#ifndef TOMEVA_BOOKS_FIELD_TEMPLATE_H_
#define TOMEVA_BOOKS_FIELD_TEMPLATE_H_

#include <string>
#include <string_view>

#include "catalog/content_field_access.h"

namespace tomeva::books {

// The template (common/template.h grammar) with each bare name replaced by the
// field's text read from file_name, inserted unchanged. Without fields every
// name expands to nothing.
std::string ExpandFieldTemplate(std::string_view tmpl, const std::string& file_name,
                                catalog::ContentFieldAccess* fields);

// The same for templates that produce Jet SQL: each value is quoted for the
// place it stands in (tree::ExpandSqlTemplate), so a title holding quotes or
// apostrophes stays one literal. A name that params (parameter text, e.g. a
// book line "BookId=42") holds takes its value from there; any other name is
// a field reference. A field value of exactly "null" (the field host's answer
// for a missing value) counts as empty.
std::string ExpandSqlFieldTemplate(std::string_view tmpl, const std::string& file_name,
                                   catalog::ContentFieldAccess* fields,
                                   std::string_view params = {});

}  // namespace tomeva::books

#endif  // TOMEVA_BOOKS_FIELD_TEMPLATE_H_
