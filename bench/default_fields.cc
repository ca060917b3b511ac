// The default settings' content fields, collected and read.
#include "default_fields.h"

#include <algorithm>
#include <regex>

#include "common/node_path.h"
#include "books/book_import.h"

namespace tomeva::bench {
namespace {

void AddUnique(std::vector<std::string>& list, std::string reference) {
  if (std::find(list.begin(), list.end(), reference) == list.end()) {
    list.push_back(std::move(reference));
  }
}

// The field paths of id and of the ids nested in it.
void CollectPaths(XmlNode id, std::vector<std::string>& paths) {
  for (XmlNode child : id.ChildElements()) {
    if (child.Name() == "field") {
      if (std::optional<std::string> path = child.Attribute("path"); path && !path->empty()) {
        AddUnique(paths, *path);
      }
    } else if (child.Name() == "id") {
      CollectPaths(child, paths);
    }
  }
}

bool HasValue(const std::string& value) { return !value.empty() && value != "null"; }

}  // namespace

DefaultFields::DefaultFields(XmlNode settings_root) {
  XmlNode properties = settings_root.FirstChildElement("properties");
  CollectPaths(NodeByPath(properties, "simple/id", /*create=*/false), single_);
  for (XmlNode multi : properties.ChildElements()) {
    if (multi.Name() != "multi") continue;
    std::vector<std::string> paths;
    CollectPaths(multi.FirstChildElement("id"), paths);
    if (!paths.empty()) multi_.push_back(std::move(paths));
  }
  // Field names in the request templates: source.field with an optional
  // occurrence (wdx_XML.AuthorLast.[0]).
  static const std::regex kReference(R"(wdx_[A-Za-z]+\.[A-Za-z]+(\.\[[0-9]+\])?)");
  for (const char* request : {"requests/bookexists", "requests/getbookpathreq"}) {
    const std::string text = GetPathText(settings_root, request);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kReference);
         it != std::sregex_iterator(); ++it) {
      AddUnique(single_, it->str());
    }
  }
}

int DefaultFields::ReadAll(content::FieldHost& host, const std::string& file) const {
  int values = 0;
  for (const std::string& reference : single_) {
    values += HasValue(host.GetFieldValue(reference, file)) ? 1 : 0;
  }
  for (const std::vector<std::string>& paths : multi_) {
    for (int k = 0; k < books::kMaxMultiValues; ++k) {
      int found = 0;
      for (const std::string& path : paths) {
        found += HasValue(host.GetFieldValue(path + ".[" + std::to_string(k) + "]", file)) ? 1 : 0;
      }
      if (found == 0) break;
      values += found;
    }
  }
  return values;
}

}  // namespace tomeva::bench
