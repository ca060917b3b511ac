// Reading "wdx_xml.xml" into FieldDefinitions.
#include "content/field_definitions.h"

#include "common/node_path.h"
#include "common/xml_document.h"
#include "platform/files.h"

namespace tomeva::content {
namespace {

// The text of a child element; "" when missing or when it holds elements.
std::string ChildText(XmlNode node, std::string_view name) {
  try {
    return GetPathText(node, name);
  } catch (const XmlError&) {
    return std::string();
  }
}

}  // namespace

std::optional<FieldDefinitions> LoadFieldDefinitions(const std::string& path) {
  if (!platform::FileExists(path)) return std::nullopt;
  Result<XmlDocument> doc = XmlDocument::LoadFile(path);
  if (!doc.ok()) return std::nullopt;
  XmlNode settings = FindTopNode(*doc, "settings");
  if (!settings) return std::nullopt;
  FieldDefinitions definitions;
  definitions.positions = ChildText(settings, "positions");
  for (XmlNode field : settings.FirstChildElement("fields").ChildElements()) {
    definitions.fields.push_back({ChildText(field, "name"), ChildText(field, "xpath"),
                                  ChildText(field, "special"), ChildText(field, "template"),
                                  ChildText(field, "div")});
  }
  return definitions;
}

}  // namespace tomeva::content
