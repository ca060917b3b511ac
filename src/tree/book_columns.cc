// Book columns read from the catalog with one query per column.
#include "tree/book_columns.h"

#include <array>
#include <memory>

#include "catalog/statements.h"
#include "tree/path_resolution.h"

namespace tomeva::tree {
namespace {

enum Column {
  kAuthors,
  kTitle,
  kSeries,
  kSeriesNumber,
  kGenres,
  kYear,
  kLanguage,
  kPublisher,
  kIsbn,
  kStoredFile,
  kColumnCount,
};

constexpr std::array<BookColumn, kColumnCount> kColumns = {{
    {"Автор", ColumnKind::kText},
    {"Название", ColumnKind::kText},
    {"Серия", ColumnKind::kText},
    {"Номер в серии", ColumnKind::kNumber},
    {"Жанр", ColumnKind::kText},
    {"Год", ColumnKind::kNumber},
    {"Язык", ColumnKind::kText},
    {"Издательство", ColumnKind::kText},
    {"ISBN", ColumnKind::kText},
    {"Файл", ColumnKind::kText},
}};

constexpr std::array<BookColumn, 3> kDefaultColumns = {
    kColumns[kAuthors], kColumns[kSeries], kColumns[kYear]};

// Column 0 of every row of sql, joined with ", "; empty values are left out.
std::string JoinedRows(const CatalogView& view, const std::string& sql) {
  std::unique_ptr<catalog::ResultSet> rows = catalog::OpenQuery(view.db, sql);
  std::string joined;
  if (!rows || rows->ColumnCount() < 1) return joined;
  while (!rows->AtEnd()) {
    std::string value = rows->Text(0);
    if (!value.empty()) {
      if (!joined.empty()) joined += ", ";
      joined += value;
    }
    if (!rows->Next().ok()) break;
  }
  return joined;
}

// The digits of a positive whole number of at most nine digits; "" for 0, a
// negative, a larger or no number.
std::string PositiveNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return {};
  if (text.find_first_not_of("0123456789") != std::string::npos) return {};
  if (text.find_first_not_of('0') == std::string::npos) return {};
  return text;
}

}  // namespace

std::span<const BookColumn> BookColumns() { return kColumns; }

std::span<const BookColumn> DefaultColumns() { return kDefaultColumns; }

std::vector<std::string> BookColumnValues(const CatalogView& view, int32_t book_id) {
  std::vector<std::string> values(kColumnCount);
  if (book_id < 0 || view.book_id_table.empty() || view.book_id_field.empty()) return values;
  const std::string& table = view.book_id_table;
  const std::string key = table + "." + view.book_id_field;
  const std::string id = std::to_string(book_id);

  // The book's own row: one query for its plain columns.
  std::unique_ptr<catalog::ResultSet> row = catalog::OpenQuery(
      view.db, "SELECT " + table + ".Title, " + table + ".SerNo, " + table + ".Year, " + table +
                   ".Lang, " + table + ".Publisher, " + table + ".ISBN FROM " + table +
                   " WHERE (" + key + ")=" + id + ";");
  if (!row || row->AtEnd()) return values;
  values[kTitle] = row->Text(0);
  values[kSeriesNumber] = PositiveNumber(row->Text(1));
  values[kYear] = PositiveNumber(row->Text(2));
  values[kLanguage] = row->Text(3);
  values[kPublisher] = row->Text(4);
  values[kIsbn] = row->Text(5);
  row.reset();

  values[kAuthors] = JoinedRows(
      view,
      "SELECT iif(Nz(Authors.FullName,\"\")<>\"\",Authors.FullName,Authors.Nick) FROM BookAuthors "
      "INNER JOIN Authors ON BookAuthors.AuthorId=Authors.AuthorId WHERE BookAuthors.BookId=" +
          id + " ORDER BY BookAuthors.AuthorId;");
  values[kSeries] = JoinedRows(view, "SELECT Series.Name FROM " + table +
                                         " INNER JOIN Series ON " + table +
                                         ".SeriesId=Series.SeriesId WHERE (" + key + ")=" + id +
                                         ";");
  values[kGenres] = JoinedRows(
      view,
      "SELECT iif(Nz(Genres.Name,\"\")<>\"\",Genres.Name,Genres.Code) AS GenreName FROM "
      "BookGenres INNER JOIN Genres ON BookGenres.GenreId=Genres.GenreId WHERE "
      "BookGenres.BookId=" +
          id + " ORDER BY 1;");
  values[kStoredFile] = BookFileOfId(view, book_id);
  return values;
}

}  // namespace tomeva::tree
