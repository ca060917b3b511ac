// The content fields an import with the default settings reads from a book:
// every field path of properties/simple, each multi-valued property's field
// paths by occurrence (".[0]", ".[1]", ... until a whole occurrence is empty),
// and the fields the requests bookexists and getbookpathreq name. The content
// benchmark reads exactly these, and the import phase split counts them as
// the parsing part of an import.
#ifndef TOMEVA_BENCH_DEFAULT_FIELDS_H_
#define TOMEVA_BENCH_DEFAULT_FIELDS_H_

#include <string>
#include <vector>

#include "common/xml_document.h"
#include "content/field_host.h"

namespace tomeva::bench {

class DefaultFields {
 public:
  // The fields of the settings document rooted at settings_root.
  explicit DefaultFields(XmlNode settings_root);

  // Reads every field of file through host; returns how many had a value.
  int ReadAll(content::FieldHost& host, const std::string& file) const;

  const std::vector<std::string>& single() const { return single_; }

 private:
  std::vector<std::string> single_;              // read once each
  std::vector<std::vector<std::string>> multi_;  // per property, read by occurrence
};

}  // namespace tomeva::bench

#endif  // TOMEVA_BENCH_DEFAULT_FIELDS_H_
