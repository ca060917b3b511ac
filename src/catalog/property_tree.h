// Property tree persistence: a book's values, as Table.Column=value lines that a
// virtual path stands for, become property records classified by the catalog's
// declared relationships (a column of the book row, or a link row to a related
// table); the operations here write one record into the catalog and, with the
// settings flag changecont on, into the book file's content fields as well.
#ifndef TOMEVA_CATALOG_PROPERTY_TREE_H_
#define TOMEVA_CATALOG_PROPERTY_TREE_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/content_field_access.h"
#include "catalog/database.h"
#include "common/xml_document.h"
#include "platform/result.h"

namespace tomeva::catalog {

// One property of one book.
struct BookProperty {
  enum class Kind {
    kColumn = 0,     // a column of the book row (plain, or a key of a related row)
    kLink = 1,       // a row of a link table between the book table and a related table
    kUnrelated = 2,  // not related to the book table; never kept in a list
  };
  Kind kind = Kind::kUnrelated;
  std::string name;            // identity pairing old and new records
  std::string book_table;
  std::string ref_table;       // the related table; empty for a plain column
  std::string link_table;      // kLink
  std::string book_key_field;  // from the book line
  std::string column;          // kColumn: book column; kLink: link column of the book
  std::string ref_column;      // related table's key; kLink: link column of the related row
  std::string book_key;
  std::string value;           // kColumn: value to store
  std::string ref_key;         // kLink: the related row's key
};
using BookProperties = std::vector<BookProperty>;

// What the operations work on.
struct PropertyContext {
  Database* db = nullptr;
  XmlNode settings_root;
  std::string book_id_table;
  ContentFieldAccess* fields = nullptr;  // null: content is never written
};

// True when the settings flag changecont is on (its text is exactly "-1").
bool ChangeContentOn(const PropertyContext& ctx);

// The records for values (Table.Column=value lines) of the book named by
// book_line ("BookId=42"). Related rows are found or created on the way. A
// relationship query that cannot run is an error, and so is a related row that
// can be neither found nor made (a shown value that no row has): the values
// then name nothing the caller could apply.
Result<BookProperties> BuildPropertyTree(const PropertyContext& ctx, std::string_view values,
                                         std::string_view book_line);

// The operations below change the catalog, and with changecont and a file the
// book file's content fields as well. Each fails, telling why, when a catalog
// statement fails or the file cannot take the change; the caller then rolls
// its transaction back (the file is the operation's own working copy).

// Writes the record's value into its book column.
Status SetBookColumn(const PropertyContext& ctx, const BookProperty& p, const std::string& file);
// Inserts the record's link row and adds the value to the file. A link the
// book already has changes nothing (the file gets no second occurrence);
// *added (when given) tells whether a row was inserted.
Status AddLink(const PropertyContext& ctx, const BookProperty& p, const std::string& file,
               bool* added = nullptr);
// Points the old record's link row at the new related row and rewrites that
// occurrence in the file; when the book already has the new value the old
// link is removed instead. Nothing when both keys are equal.
Status ReplaceLink(const PropertyContext& ctx, const BookProperty& old_p,
                   const BookProperty& new_p, const std::string& file);
// Deletes the record's link row and empties that occurrence in the file.
Status RemoveLink(const PropertyContext& ctx, const BookProperty& p, const std::string& file);

// Writes the fields of the catalog row named by key_line into the index-th
// occurrence of the definition's content fields (-1: a new occurrence in
// front of the others, made by the first field that has a value). False when
// a value could not be written; emptying a part the file lacks is no failure.
bool WriteBackFields(const PropertyContext& ctx, XmlNode definition, const std::string& file,
                     std::string_view key_line, int index);
// The occurrence (0..9) of the file whose content fields hold the values of the
// row named by key_line; nullopt when none does.
std::optional<int> FindOccurrence(const PropertyContext& ctx, const std::string& file,
                                  XmlNode link_definition, std::string_view key_line);
// The child of properties whose linktable names link_table, or a null node.
XmlNode FindLinkDefinition(const PropertyContext& ctx, std::string_view link_table);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_PROPERTY_TREE_H_
