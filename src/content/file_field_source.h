// The built-in field source "wdx_tc": fields of a book taken from its file name
// and its directory entry, without reading the file. Field numbers 0 and 1
// (FullName, Ext) are fixed; settings and catalogs refer to them by number.
#ifndef TOMEVA_CONTENT_FILE_FIELD_SOURCE_H_
#define TOMEVA_CONTENT_FILE_FIELD_SOURCE_H_

#include <string>
#include <string_view>
#include <vector>

#include "content/field_source.h"

namespace tomeva::content {

// The extension of file_name: from the last "." after the last "\", "/" or ":",
// the dot included; "" when the final name component has none.
std::string_view FileNameExtension(std::string_view file_name);

// Fields, by number:
//   0 FullName  string  the file name exactly as received
//   1 Ext       string  FileNameExtension of it
//   2 Name      string  the part after the last "/" or "\"
//   3 Path      string  the part up to and including the last "/" or "\"
//   4 Size      int64   the file's size in bytes (file error when it is missing)
//   5 Modified  string  the file's modification time, UTC, "YYYY-MM-DD HH:MM:SS"
// Read-only; units and flags are ignored.
class FileFieldSource : public FieldSource {
 public:
  FieldInfo GetSupportedField(int index) override;
  int GetValue(std::string_view file_name, int field, int unit, std::vector<char>& value,
               int flags) override;
};

}  // namespace tomeva::content

#endif  // TOMEVA_CONTENT_FILE_FIELD_SOURCE_H_
