// The catalog's OLE DB style connection string ("Provider=SQLite; Data Source=
// /path/catalog.db; Persist Security Info=False") and its parts that pick and open
// the backend.
#ifndef TOMEVA_CATALOG_CONNECTION_STRING_H_
#define TOMEVA_CATALOG_CONNECTION_STRING_H_

#include <string>
#include <string_view>

namespace tomeva::catalog {

// The parts of a connection string the catalog uses; other keys are ignored.
struct ConnectionString {
  std::string provider;
  std::string data_source;
};

// Splits "key=value; key=value ..." into its parts. Keys are matched ignoring case
// and surrounding blanks; values are trimmed. A value may be quoted with " or '
// (a doubled quote inside stands for one), so it can hold ";". An unquoted value
// keeps any ";" that is not followed by another "key=": a piece without "=" belongs
// to the value before it, so a file name with ";" in it survives. When a key repeats,
// the last value wins.
ConnectionString ParseConnectionString(std::string_view text);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_CONNECTION_STRING_H_
