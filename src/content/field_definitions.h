// The field definitions of the "wdx_XML" source, read from "wdx_xml.xml": one
// definition per field naming a location path into an FB2 book, a join
// template, or a computed value.
#ifndef TOMEVA_CONTENT_FIELD_DEFINITIONS_H_
#define TOMEVA_CONTENT_FIELD_DEFINITIONS_H_

#include <optional>
#include <string>
#include <vector>

namespace tomeva::content {

// One field; every member is the text of the child element of that name in the
// definition file ("" when the child is missing).
struct FieldDefinition {
  std::string name;
  std::string xpath;          // location path below the FictionBook element
  std::string special;        // "1" text length, "2" encoding, "3" packed flag
  std::string template_text;  // child "template": join mode when not empty
  std::string div;            // separator of join mode
};

struct FieldDefinitions {
  std::vector<FieldDefinition> fields;  // by field number
  std::string positions;                // the units of every repeated field
};

// The definitions in the file at path: the child elements of "fields" of its
// first top-level "settings" element, in order, and the text of "positions".
// nullopt when the file is missing or not well-formed or has no "settings".
std::optional<FieldDefinitions> LoadFieldDefinitions(const std::string& path);

}  // namespace tomeva::content

#endif  // TOMEVA_CONTENT_FIELD_DEFINITIONS_H_
