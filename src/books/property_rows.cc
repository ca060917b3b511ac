// Rows from property definitions.
#include "books/property_rows.h"

#include <cstdint>
#include <optional>

#include "catalog/statements.h"
#include "common/node_path.h"
#include "common/params.h"
#include "common/path_rules.h"
#include "common/text.h"
#include "tree/sql_template.h"

namespace tomeva::books {
namespace {

constexpr int kMaxDepth = 32;

// A decimal integer after optional blanks, with an optional sign.
std::optional<long long> ParseNumber(std::string_view text) {
  text = TrimLeftChars(text, " \t");
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 18) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

// value with every CR turned into LF (a CR LF pair into one LF): parameter text
// separates its entries with CR LF, so a value must not carry one.
std::string WithoutCarriageReturns(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\r') {
      out.push_back(value[i]);
    } else if (i + 1 >= value.size() || value[i + 1] != '\n') {
      out.push_back('\n');
    }
  }
  return out;
}

// The raw text of a value that FieldLine may have made an SQL literal: one
// double-quoted literal loses its quotes (inner doubled quotes become single),
// "null" becomes empty, anything else stays.
std::string RawValue(std::string_view value) {
  if (value == "null") return {};
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::string(value);
  std::string out;
  for (size_t i = 1; i + 1 < value.size(); ++i) {
    if (value[i] == '"') {
      if (i + 2 >= value.size() || value[i + 1] != '"') return std::string(value);
      ++i;
    }
    out.push_back(value[i]);
  }
  return out;
}

// The key a mode-2 request selects: its template filled with the field lines,
// each value quoted for its place in the SQL.
int32_t RequestKey(const BookContext& ctx, XmlNode element, const std::string& params) {
  const std::vector<Param> entries = SplitParams(params);
  const std::string sql = tree::ExpandSqlTemplate(GetPathText(element, "request"),
                                                  [&](std::string_view name) -> std::string {
                                                    for (const Param& entry : entries) {
                                                      if (entry.name == name)
                                                        return RawValue(entry.value);
                                                    }
                                                    return {};
                                                  });
  return catalog::QueryInt(ctx.view.db, sql);
}

Result<std::string> Walk(const BookContext& ctx, XmlNode element, const std::string& file_name,
                         int index, std::string_view key_line, int depth) {
  if (depth > kMaxDepth) return Error{"property definitions nest too deeply"};
  std::string params;
  for (XmlNode child : element.ChildElements()) {
    if (child.Name() == "field") {
      Result<std::string> line = FieldLine(ctx, child, file_name, index);
      if (!line.ok()) return line.error();
      params += *line;
    } else if (child.Name() == "id") {
      Result<std::string> nested = Walk(ctx, child, file_name, -1, {}, depth + 1);
      if (!nested.ok()) return nested.error();
      params += *nested;
    } else {
      continue;
    }
    params += kCrLf;
  }
  if (!key_line.empty()) params += std::string(key_line) + std::string(kCrLf);

  const size_t first = params.find_first_not_of(std::string_view("\0\r\n", 3));
  params.erase(0, first == std::string::npos ? params.size() : first);
  if (params.empty()) return std::string();

  const std::optional<std::string> mode_text = element.Attribute("mode");
  const std::optional<long long> mode_number = ParseNumber(mode_text.value_or(""));
  if (!mode_number) return Error{"property element without a numeric mode"};
  const auto mode = static_cast<int8_t>(static_cast<uint64_t>(*mode_number) & 0xFF);
  const std::optional<std::string> name = element.Attribute("name");

  int32_t id = -1;
  if (mode == 1 || mode == 3 || mode == -1) {
    if (!name) return Error{"property element without a name"};
    id = catalog::FindOrInsertRow(ctx.view.db, GetPathText(element, "table"), *name, params,
                                  catalog::FindMode::kFindOrInsert);
  } else if (mode == 2) {
    id = RequestKey(ctx, element, params);
  }
  if (id == -1) return std::string();
  if (!name) return Error{"property element without a name"};
  return *name + "=" + std::to_string(id);
}

}  // namespace

Result<std::string> FieldLine(const BookContext& ctx, XmlNode field, const std::string& file_name,
                              int index) {
  std::string value;
  if (std::optional<std::string> constant = field.Attribute("value")) {
    value = std::move(*constant);
  } else if (field.Attribute("special").value_or("") == "OriginalFileName") {
    value = file_name;
    if (RelativeLinksOn(ctx)) {
      const platform::PathStyle style = platform::NativePathStyle();
      value = RelativePath(style, LibraryRoot(ctx) + platform::Separator(style), file_name);
    }
  } else if (std::optional<std::string> path = field.Attribute("path")) {
    if (!path->empty()) {
      std::string reference = *path;
      if (index >= 0) reference += ".[" + std::to_string(index) + "]";
      if (ctx.fields != nullptr) {
        value = ReplaceChar(ctx.fields->GetFieldValue(reference, file_name), '\\', '/');
      }
      if (value.empty() || value == "null") return std::string();
    }
  } else {
    return Error{"property field without value, special or path"};
  }
  value = WithoutCarriageReturns(value);

  if (std::optional<std::string> q = field.Attribute("q")) {
    std::optional<long long> number = ParseNumber(*q);
    if (!number) return Error{"property field with a non-numeric q"};
    if (*number == 1) value = catalog::SqlValue(value);
  }
  std::optional<std::string> name = field.Attribute("name");
  if (!name) return Error{"property field without a name"};
  return *name + "=" + value;
}

Result<std::string> BuildRows(const BookContext& ctx, XmlNode element, const std::string& file_name,
                              int index, std::string_view key_line) {
  if (!element) return Error{"no property element"};
  return Walk(ctx, element, file_name, index, key_line, 0);
}

}  // namespace tomeva::books
