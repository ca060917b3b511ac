// Reading a book's metadata from the catalog's tables.
#include "server/book_record.h"

#include <string_view>

namespace tomeva::server {
namespace {

std::string JoinedName(catalog::ResultSet& rows) {
  std::string name;
  for (int column = 0; column < 3; ++column) {
    std::string part = rows.Text(column);
    if (part.empty()) continue;
    if (!name.empty()) name += ' ';
    name += part;
  }
  return name.empty() ? rows.Text(3) : name;
}

}  // namespace

std::optional<BookRecord> ReadBookRecord(catalog::Database& db, int32_t id) {
  if (id < 0) return std::nullopt;
  const std::string key = std::to_string(id);
  auto book = db.ReadQuery(
      "SELECT Books.Title, Books.fSize, Books.fDate, Books.Lang, Books.Annotation, "
      "Books.SerNo, Series.Name, Books.Added, Books.Year "
      "FROM Books LEFT JOIN Series ON Books.SeriesId = Series.SeriesId "
      "WHERE Books.BookId = " + key);
  if (!book.ok() || (*book)->AtEnd()) return std::nullopt;
  catalog::ResultSet& row = **book;
  BookRecord record;
  record.id = id;
  record.title = row.Text(0);
  record.size = row.Int(1);
  record.updated = row.DateTime(2);
  if (!record.updated) record.updated = row.DateTime(7);
  record.language = row.Text(3);
  record.annotation = row.Text(4);
  record.series_number = row.Int(5);
  record.series = row.Text(6);
  record.year = row.Int(8);

  auto authors = db.ReadQuery(
      "SELECT Authors.Last, Authors.First, Authors.Middle, Authors.Nick "
      "FROM BookAuthors INNER JOIN Authors ON BookAuthors.AuthorId = Authors.AuthorId "
      "WHERE BookAuthors.BookId = " + key + " ORDER BY Authors.AuthorId");
  if (authors.ok()) {
    for (catalog::ResultSet& rows = **authors; !rows.AtEnd(); (void)rows.Next()) {
      std::string name = JoinedName(rows);
      if (!name.empty()) record.authors.push_back(std::move(name));
    }
  }
  auto genres = db.ReadQuery(
      "SELECT Genres.Code, Genres.Name "
      "FROM BookGenres INNER JOIN Genres ON BookGenres.GenreId = Genres.GenreId "
      "WHERE BookGenres.BookId = " + key + " ORDER BY Genres.Code");
  if (genres.ok()) {
    for (catalog::ResultSet& rows = **genres; !rows.AtEnd(); (void)rows.Next()) {
      record.genres.push_back({rows.Text(0), rows.Text(1)});
    }
  }
  return record;
}

}  // namespace tomeva::server
