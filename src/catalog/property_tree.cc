// Property tree persistence.
#include "catalog/property_tree.h"

#include <cctype>

#include "catalog/catalog_keys.h"
#include "catalog/jet_functions.h"
#include "catalog/statements.h"
#include "common/node_path.h"
#include "common/params.h"
#include "common/template.h"
#include "common/text.h"

namespace tomeva::catalog {
namespace {

const std::string kCrLfText(kCrLf);

// Relationship between the book table (t1) and a related table (t2) declared in
// either direction.
constexpr std::string_view kDirectTemplate =
    "'SELECT MSysRelationships.szColumn, MSysRelationships.szReferencedColumn FROM "
    "MSysRelationships WHERE (((MSysRelationships.szObject)='t1') AND "
    "((MSysRelationships.szReferencedObject)='t2')) OR (((MSysRelationships.szObject)='t2') "
    "AND ((MSysRelationships.szReferencedObject)='t1'));'";

// A table related to both the book table (t1) and the related table (t2): a link table.
constexpr std::string_view kLinkTemplate =
    "'SELECT MSysRelationships.szColumn, MSysRelationships_1.szColumn, "
    "MSysRelationships.szObject FROM MSysRelationships INNER JOIN MSysRelationships AS "
    "MSysRelationships_1 ON (MSysRelationships.szReferencedObject <> "
    "MSysRelationships_1.szReferencedObject) AND (MSysRelationships.szObject = "
    "MSysRelationships_1.szObject) WHERE (MSysRelationships.szReferencedObject='t1')AND"
    "(MSysRelationships_1.szReferencedObject='t2');'";

std::string RelationshipQuery(std::string_view tmpl, std::string_view book_table,
                              std::string_view table) {
  return ExpandTemplate(tmpl, "t1=\"" + std::string(book_table) + "\"" + kCrLfText + "t2=\"" +
                                  std::string(table) + "\"" + kCrLfText);
}

bool IsSafeName(std::string_view name) {
  return !name.empty() && name.find_first_of("\"'[]; ") == std::string_view::npos;
}

// Gathers the lines of table out of values: the rest of the current line and every
// later line of that table, as Column=value lines; other lines stay in values.
std::string TakeTableLines(std::string& values, std::string_view table) {
  std::string related = CutToken(values, kCrLf) + kCrLfText;
  std::string others;
  while (!values.empty()) {
    std::string line = CutToken(values, kCrLf);
    if (line.empty()) continue;
    std::string_view line_table = TextBeforeChar(line, '.');
    if (line_table.size() < line.size() && line_table == table) {
      related += line.substr(line_table.size() + 1) + kCrLfText;
    } else {
      others += line + kCrLfText;
    }
  }
  values = others;
  return related;
}

bool IsIdentifier(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  }
  return true;
}

// The key of the related row that lines describe. Lines naming plain columns
// find, complete or insert the row by their values. A line may instead name an
// expression over the table's columns (a folder shown as "Last First Middle"
// captures the expression that computes that name): the row is then only found,
// as the one for which the expression gives the value.
int32_t RelatedRowKey(const PropertyContext& ctx, const std::string& table,
                      const std::string& key_column, const std::string& lines) {
  std::vector<Param> entries = SplitParams(lines);
  // A computed column (a folder's shown name) identifies a row like an
  // expression does: it is never written.
  bool plain = true;
  for (const Param& p : entries) {
    plain = plain && IsIdentifier(p.name) && !IsComputedColumn(table, p.name);
  }
  if (plain) return FindOrInsertRow(ctx.db, table, key_column, lines, FindMode::kFindOrInsert);
  std::string where;
  for (const Param& p : entries) {
    if (!where.empty()) where += " AND ";
    if (IsIdentifier(p.name)) {
      where += "(" + table + "." + p.name + "=" + SqlValue(p.value) + ")";
    } else {
      where += "((" + table + "." + p.name + ")=" + DoubleQuoted(p.value) + ")";
    }
  }
  const int32_t found = QueryInt(ctx.db, "SELECT " + table + "." + key_column + " FROM " + table +
                                             " WHERE " + where + ";");
  if (found >= 0 || entries.size() != 1) return found;
  // A folder shown under a name no row has yet (a new series): the row whose
  // shown name this is, found or made by its source column, provided the
  // text is shown as itself (not cut, no key of its own).
  const Param& only = entries.front();
  const std::optional<std::string_view> source = ShownNameSource(table, only.name);
  if (!source || ShownNameWithKey(only.value, "0", false, 255, "", 259) != only.value) return found;
  return FindOrInsertRow(ctx.db, table, key_column,
                         std::string(*source) + "=" + SqlValue(only.value), FindMode::kFindOrInsert);
}

// The child of the book element whose name attribute is column.
XmlNode BookElementChild(const PropertyContext& ctx, std::string_view column) {
  XmlNode book = NodeByPath(ctx.settings_root, "properties/simple/id", /*create=*/false);
  if (!book) return {};
  for (XmlNode child : book.ChildElements()) {
    if (child.Attribute("name").value_or("") == column) return child;
  }
  return {};
}

// The catalog row named by key_line ("Col=value") of table, as parameter text;
// empty values when key_line names no row.
std::string RowValues(const PropertyContext& ctx, XmlNode definition, std::string_view key_line) {
  if (key_line.empty() || key_line.back() == '=') return {};
  std::string table = GetPathText(definition, "table");
  std::string_view column = TextBeforeChar(key_line, '=');
  std::string_view value = key_line.substr(std::min(key_line.size(), column.size() + 1));
  if (!IsSafeName(table) || !IsSafeName(column)) return {};
  return SelectRowParams(ctx.db, table, std::string(column) + "=" + SqlValue(value));
}

Error NoRelatedRow(const std::string& table, const std::string& lines) {
  std::string values;
  for (const Param& p : SplitParams(lines)) values += (values.empty() ? "" : ", ") + p.value;
  return Error{"no row of table " + table + " is \"" + values + "\""};
}

}  // namespace

bool ChangeContentOn(const PropertyContext& ctx) {
  return GetPathText(ctx.settings_root, "changecont") == "-1";
}

Result<BookProperties> BuildPropertyTree(const PropertyContext& ctx, std::string_view values_in,
                                         std::string_view book_line) {
  BookProperties list;
  std::string values = JoinParams(values_in, kCrLf);
  const std::string key_field(TextBeforeChar(book_line, '='));
  const std::string key(book_line.substr(std::min(book_line.size(), key_field.size() + 1)));
  while (!values.empty()) {
    // A value named without a table (the words of a search folder) is no
    // column of the book nor of a related row: it files nothing.
    const std::string_view first_name = TextBeforeChar(values, '=');
    if (first_name.find('.') == std::string_view::npos) {
      (void)CutToken(values, kCrLf);
      continue;
    }
    BookProperty p;
    p.book_table = ctx.book_id_table;
    p.book_key_field = key_field;
    p.book_key = key;
    std::string table = CutTokenChar(values, '.');
    if (table == ctx.book_id_table) {
      p.kind = BookProperty::Kind::kColumn;
      p.column = CutTokenChar(values, '=');
      p.name = p.column;
      p.value = CutToken(values, kCrLf);
      // An expression over the book row or a computed column (a shown book
      // name) identifies the book; it is no value to store.
      if (IsIdentifier(p.column) && !IsComputedColumn(ctx.book_id_table, p.column)) {
        list.push_back(std::move(p));
      }
      continue;
    }
    std::string related = TakeTableLines(values, table);
    if (!IsSafeName(table)) continue;
    std::unique_ptr<ResultSet> direct =
        OpenQuery(ctx.db, RelationshipQuery(kDirectTemplate, ctx.book_id_table, table));
    if (!direct) return Error{"cannot read the relationships of table " + table};
    if (!direct->AtEnd()) {
      p.kind = BookProperty::Kind::kColumn;
      p.ref_table = table;
      p.column = direct->Text(0);
      p.ref_column = direct->Text(1);
      direct.reset();
      p.name = table + "." + p.ref_column;
      int32_t ref = RelatedRowKey(ctx, table, p.ref_column, related);
      // No related row (a shown value no row has, or a failed insert): the
      // path names nothing to apply, and dropping it would lose the change.
      if (ref < 0) return NoRelatedRow(table, related);
      p.value = std::to_string(ref);
      list.push_back(std::move(p));
      continue;
    }
    direct.reset();
    std::unique_ptr<ResultSet> link =
        OpenQuery(ctx.db, RelationshipQuery(kLinkTemplate, ctx.book_id_table, table));
    if (!link) return Error{"cannot read the relationships of table " + table};
    if (link->AtEnd()) continue;  // not related to books: dropped
    p.kind = BookProperty::Kind::kLink;
    p.ref_table = table;
    p.column = link->Text(0);
    p.ref_column = link->Text(1);
    p.link_table = link->Text(2);
    link.reset();
    p.name = table + "." + p.ref_column;
    int32_t ref = RelatedRowKey(ctx, table, p.ref_column, related);
    if (ref < 0) return NoRelatedRow(table, related);
    p.ref_key = std::to_string(ref);
    list.push_back(std::move(p));
  }
  return list;
}

namespace {

Status Run(const PropertyContext& ctx, const std::string& sql) {
  if (ctx.db == nullptr) return Error{"no catalog is open"};
  return ctx.db->Execute(sql);
}

bool WritesContent(const PropertyContext& ctx, const std::string& file) {
  return ChangeContentOn(ctx) && ctx.fields != nullptr && !file.empty();
}

Error FileRefused(const std::string& file) {
  return Error{"the book file cannot take the change (it cannot be read whole or saved): " +
               file};
}

std::string LinkCondition(const BookProperty& p) {
  return "((" + p.book_key_field + "=" + p.book_key + ")AND(" + p.ref_column + "=" + p.ref_key +
         "))";
}

}  // namespace

Status SetBookColumn(const PropertyContext& ctx, const BookProperty& p, const std::string& file) {
  Status ran = Run(ctx, "UPDATE " + p.book_table + " SET " + p.column + "=" + SqlValue(p.value) +
                            " WHERE " + p.book_key_field + "=" + p.book_key + ";");
  if (!ran.ok()) return ran;
  if (!WritesContent(ctx, file)) return Status::Ok();
  XmlNode child = BookElementChild(ctx, p.column);
  if (!child) return Status::Ok();
  bool written = true;
  if (child.Name() == "field") {
    const std::string reference = child.Attribute("path").value_or("");
    written = ctx.fields->SetFieldValue(reference, file, p.value) ||
              (p.value.empty() && ctx.fields->GetFieldValue(reference, file).empty());
  } else if (child.Name() == "id") {
    written = WriteBackFields(ctx, child, file, p.column + "=" + p.value, 0);
  }
  return written ? Status::Ok() : Status(FileRefused(file));
}

Status AddLink(const PropertyContext& ctx, const BookProperty& p, const std::string& file,
               bool* added) {
  if (added != nullptr) *added = false;
  if (ctx.db == nullptr) return Error{"no catalog is open"};
  const int32_t present =
      QueryInt(ctx.db, "SELECT Count(*) FROM " + p.link_table + " WHERE " + LinkCondition(p) + ";");
  if (present < 0) return Error{"cannot read the links of table " + p.link_table};
  if (present > 0) return Status::Ok();
  Status ran = Run(ctx, "INSERT INTO " + p.link_table + " (" + p.column + ", " + p.ref_column +
                            ")" + " VALUES (" + p.book_key + ", " + p.ref_key + " );");
  if (!ran.ok()) return ran;
  if (added != nullptr) *added = true;
  if (!WritesContent(ctx, file)) return Status::Ok();
  XmlNode def = FindLinkDefinition(ctx, p.link_table);
  if (!def) return Status::Ok();
  if (!WriteBackFields(ctx, def.FirstChildElement("id"), file, p.ref_column + "=" + p.ref_key, -1)) {
    return FileRefused(file);
  }
  return Status::Ok();
}

Status ReplaceLink(const PropertyContext& ctx, const BookProperty& old_p, const BookProperty& new_p,
                   const std::string& file) {
  if (old_p.ref_key == new_p.ref_key) return Status::Ok();
  if (ctx.db == nullptr) return Error{"no catalog is open"};
  const int32_t has_new = QueryInt(
      ctx.db, "SELECT Count(*) FROM " + old_p.link_table + " WHERE ((" + new_p.book_key_field +
                  "=" + new_p.book_key + ")AND(" + new_p.ref_column + "=" + new_p.ref_key + "));");
  if (has_new < 0) return Error{"cannot read the links of table " + old_p.link_table};
  const bool moved = has_new == 0;
  // The book already has the new value: the old link must still go, or the
  // move would leave the book where it was.
  Status ran = moved ? Run(ctx, "UPDATE " + old_p.link_table + " SET " + new_p.book_key_field +
                                    "=" + new_p.book_key + ", " + new_p.ref_column + "=" +
                                    new_p.ref_key + " WHERE " + LinkCondition(old_p) + ";")
                     : Run(ctx, "DELETE FROM " + old_p.link_table + " WHERE " +
                                    LinkCondition(old_p) + ";");
  if (!ran.ok()) return ran;
  if (!WritesContent(ctx, file)) return Status::Ok();
  XmlNode def = FindLinkDefinition(ctx, old_p.link_table);
  if (!def) return Status::Ok();
  std::optional<int> k = FindOccurrence(ctx, file, def, old_p.ref_column + "=" + old_p.ref_key);
  if (!k) return Status::Ok();  // the file does not show the old value
  if (!WriteBackFields(ctx, def.FirstChildElement("id"), file,
                       moved ? new_p.ref_column + "=" + new_p.ref_key : old_p.ref_column + "=-1",
                       *k)) {
    return FileRefused(file);
  }
  return Status::Ok();
}

Status RemoveLink(const PropertyContext& ctx, const BookProperty& p, const std::string& file) {
  Status ran = Run(ctx, "DELETE FROM " + p.link_table + " WHERE " + LinkCondition(p) + ";");
  if (!ran.ok()) return ran;
  if (!WritesContent(ctx, file)) return Status::Ok();
  XmlNode def = FindLinkDefinition(ctx, p.link_table);
  if (!def) return Status::Ok();
  std::optional<int> k = FindOccurrence(ctx, file, def, p.ref_column + "=" + p.ref_key);
  if (!k) return Status::Ok();  // the file does not show this value: nothing to empty
  if (!WriteBackFields(ctx, def.FirstChildElement("id"), file, p.ref_column + "=-1", *k)) {
    return FileRefused(file);
  }
  return Status::Ok();
}

bool WriteBackFields(const PropertyContext& ctx, XmlNode definition, const std::string& file,
                     std::string_view key_line, int index) {
  if (!definition || ctx.fields == nullptr) return true;
  std::string row = RowValues(ctx, definition, key_line);
  bool written = true;
  for (XmlNode field : definition.ChildElements()) {
    if (field.Name() != "field") continue;
    std::string value = GetParam(row, field.Attribute("name").value_or(""));
    // A new occurrence is made by its first value; an empty value before it
    // has nothing to empty (written at 0 it would empty another occurrence).
    if (index == -1 && value.empty()) continue;
    const std::string path = field.Attribute("path").value_or("");
    const std::string reference = path + ".[" + std::to_string(index) + "]";
    if (!ctx.fields->SetFieldValue(reference, file, value)) {
      // Emptying a part the occurrence does not have is no failure.
      if (!value.empty() || !ctx.fields->GetFieldValue(reference, file).empty()) written = false;
    }
    if (index == -1) index = 0;
  }
  return written;
}

std::optional<int> FindOccurrence(const PropertyContext& ctx, const std::string& file,
                                  XmlNode link_definition, std::string_view key_line) {
  if (!link_definition || ctx.fields == nullptr) return std::nullopt;
  XmlNode id = link_definition.FirstChildElement("id");
  if (!id) return std::nullopt;
  std::string row = RowValues(ctx, id, key_line);
  for (int n = 0; n < 10; ++n) {
    bool matches = true;
    for (XmlNode field : id.ChildElements()) {
      if (field.Name() != "field") continue;
      std::string reference =
          field.Attribute("path").value_or("") + ".[" + std::to_string(n) + "]";
      if (ctx.fields->GetFieldValue(reference, file) !=
          GetParam(row, field.Attribute("name").value_or(""))) {
        matches = false;
        break;
      }
    }
    if (matches) return n;
  }
  return std::nullopt;
}

XmlNode FindLinkDefinition(const PropertyContext& ctx, std::string_view link_table) {
  XmlNode properties = ctx.settings_root.FirstChildElement("properties");
  if (!properties) return {};
  const std::string wanted = UpperCaseText(link_table);
  for (XmlNode child : properties.ChildElements()) {
    XmlNode link = child.FirstChildElement("linktable");
    if (link && UpperCaseText(link.Text()) == wanted) return child;
  }
  return {};
}

}  // namespace tomeva::catalog
