// Content entry points: the book columns (tree/book_columns.h) as the host's
// custom columns. The field list is fixed, so the host may ask for it before
// FsInit; values come from the catalog through the session, folders have none.
#include <cstring>
#include <span>
#include <string>

#include "frame/column_values.h"
#include "frame/exports/export_util.h"
#include "frame/host_paths.h"
#include "frame/plugin.h"
#include "tree/book_columns.h"

using tomeva::frame::Guarded;
using tomeva::frame::Session;
using tomeva::tree::BookColumn;
using tomeva::tree::ColumnKind;

namespace {

int FieldType(const BookColumn& column) {
  return column.kind == ColumnKind::kNumber ? ft_numeric_32 : ft_string;
}

// The host's separator of column entries: a backslash and "n".
constexpr const char* kViewSeparator = "\\n";

}  // namespace

TOMEVA_EXPORT int FsContentGetSupportedField(int FieldIndex, char* FieldName, char* Units,
                                             int maxlen) {
  const std::span<const BookColumn> columns = tomeva::tree::BookColumns();
  if (Units != nullptr && maxlen > 0) Units[0] = '\0';
  if (FieldIndex < 0 || static_cast<size_t>(FieldIndex) >= columns.size()) return ft_nomorefields;
  const BookColumn& column = columns[FieldIndex];
  tomeva::frame::CopyToHost(std::string(column.name), FieldName, maxlen);
  return FieldType(column);
}

TOMEVA_EXPORT int FsContentGetSupportedFieldFlags(int /*FieldIndex*/) {
  // Values cannot be edited and stand in for none of the host's own columns.
  return 0;
}

TOMEVA_EXPORT int FsContentGetValue(char* FileName, int FieldIndex, int /*UnitIndex*/,
                                    void* FieldValue, int maxlen, int /*flags*/) {
  const std::span<const BookColumn> columns = tomeva::tree::BookColumns();
  if (FieldIndex < 0 || static_cast<size_t>(FieldIndex) >= columns.size()) return ft_nosuchfield;
  if (FileName == nullptr || FieldValue == nullptr) return ft_fileerror;
  const std::string path = tomeva::frame::FileFromHost(FileName);
  return Guarded(static_cast<int>(ft_fileerror), [&](Session& session) -> int {
    const std::vector<std::string>& values = tomeva::frame::ColumnValuesOf(session, path);
    if (static_cast<size_t>(FieldIndex) >= values.size() || values[FieldIndex].empty()) {
      return ft_fieldempty;
    }
    const std::string& value = values[FieldIndex];
    const BookColumn& column = columns[FieldIndex];
    if (column.kind == ColumnKind::kNumber) {
      if (maxlen < static_cast<int>(sizeof(int32_t))) return ft_fieldempty;
      const int32_t number = static_cast<int32_t>(std::stol(value));
      std::memcpy(FieldValue, &number, sizeof(number));
    } else {
      tomeva::frame::CopyToHost(value, static_cast<char*>(FieldValue), maxlen);
    }
    return FieldType(column);
  });
}

TOMEVA_EXPORT BOOL FsContentGetDefaultView(char* ViewContents, char* ViewHeaders,
                                           char* ViewWidths, char* ViewOptions, int maxlen) {
  std::string contents;
  std::string headers;
  // The name and extension columns come first.
  std::string widths = "260,50";
  for (const BookColumn& column : tomeva::tree::DefaultColumns()) {
    if (!contents.empty()) {
      contents += kViewSeparator;
      headers += kViewSeparator;
    }
    contents += "[Plugin(FS)." + std::string(column.name) + "{}]";
    headers += column.name;
    // Numbers are narrow and aligned right (a negative width).
    widths += column.kind == ColumnKind::kNumber ? ",-50" : ",200";
  }
  tomeva::frame::CopyToHost(contents, ViewContents, maxlen);
  tomeva::frame::CopyToHost(headers, ViewHeaders, maxlen);
  tomeva::frame::CopyToHost(widths, ViewWidths, maxlen);
  tomeva::frame::CopyToHost("-1|0", ViewOptions, maxlen);
  return TRUE;
}
