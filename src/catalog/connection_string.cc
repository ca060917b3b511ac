// Parsing of the catalog connection string and the choice of backend it names.
#include "catalog/connection_string.h"

#include <cctype>
#include <optional>
#include <string>

#include "catalog/database.h"
#include "catalog/sqlite_database.h"

namespace tomeva::catalog {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// True when the piece of text after a ";" at separator starts a new "key=value"
// pair: it holds "=" before the next ";", or it is blank (a trailing separator).
bool StartsNewPair(std::string_view text, size_t separator) {
  std::string_view rest = text.substr(separator + 1);
  std::string_view piece = rest.substr(0, rest.find(';'));
  return piece.find('=') != std::string_view::npos || Trim(piece).empty();
}

// Reads a quoted value starting at text[pos] (the quote); on success sets pos past
// the closing quote and returns the value with doubled quotes undone.
std::optional<std::string> ReadQuoted(std::string_view text, size_t& pos) {
  const char quote = text[pos];
  std::string value;
  for (size_t i = pos + 1; i < text.size(); ++i) {
    if (text[i] != quote) {
      value += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == quote) {
      value += quote;
      ++i;
    } else {
      pos = i + 1;
      return value;
    }
  }
  return std::nullopt;  // unterminated: read as an unquoted value instead
}

}  // namespace

ConnectionString ParseConnectionString(std::string_view text) {
  ConnectionString result;
  size_t pos = 0;
  while (pos < text.size()) {
    if (IsBlank(text[pos]) || text[pos] == ';') {
      ++pos;
      continue;
    }
    const size_t equals = text.find('=', pos);
    const size_t separator = text.find(';', pos);
    if (equals == std::string_view::npos || (separator != std::string_view::npos && separator < equals)) {
      // A piece without "=": nothing to take from it.
      if (separator == std::string_view::npos) break;
      pos = separator + 1;
      continue;
    }
    const std::string key = AsciiLower(Trim(text.substr(pos, equals - pos)));
    size_t value_start = equals + 1;
    while (value_start < text.size() && IsBlank(text[value_start])) ++value_start;

    std::string value;
    bool quoted = false;
    if (value_start < text.size() && (text[value_start] == '"' || text[value_start] == '\'')) {
      size_t after = value_start;
      if (std::optional<std::string> unquoted = ReadQuoted(text, after)) {
        value = std::move(*unquoted);
        quoted = true;
        const size_t next = text.find(';', after);
        pos = next == std::string_view::npos ? text.size() : next + 1;
      }
    }
    if (!quoted) {
      size_t end = text.find(';', value_start);
      while (end != std::string_view::npos && !StartsNewPair(text, end)) {
        end = text.find(';', end + 1);
      }
      if (end == std::string_view::npos) end = text.size();
      value = std::string(Trim(text.substr(value_start, end - value_start)));
      pos = end == text.size() ? end : end + 1;
    }

    if (key == "provider") {
      result.provider = std::move(value);
    } else if (key == "data source") {
      result.data_source = std::move(value);
    }
  }
  return result;
}

Result<std::unique_ptr<Database>> OpenCatalog(std::string_view connection_string,
                                              CatalogAccess access) {
  const ConnectionString parts = ParseConnectionString(connection_string);
  const std::string provider = AsciiLower(parts.provider);
  if (provider == "sqlite" || provider == "sqlite3") {
    if (parts.data_source.empty()) {
      return Error{"the catalog connection string names no Data Source"};
    }
    return OpenSqliteDatabase(parts.data_source, access == CatalogAccess::kReadOnly);
  }
  if (provider.starts_with("microsoft.jet.oledb") || provider.starts_with("microsoft.ace.oledb")) {
    return Error{"catalog provider \"" + parts.provider +
                 "\" is a Microsoft Jet/ACE provider, which cannot be served on Linux; "
                 "use Provider=SQLite with a SQLite catalog file"};
  }
  if (provider.empty()) {
    return Error{"the catalog connection string names no provider (supported: SQLite)"};
  }
  return Error{"unknown catalog provider \"" + parts.provider + "\" (supported: SQLite)"};
}

}  // namespace tomeva::catalog
