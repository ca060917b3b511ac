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

std::map<int32_t, BookRecord> ReadBookRecords(catalog::Database& db,
                                              const std::vector<int32_t>& ids) {
  std::map<int32_t, BookRecord> records;
  // One query per table for all the books: a page of a hundred books costs
  // three statements, not three hundred.
  std::string keys;
  for (const int32_t id : ids) {
    if (id < 0) continue;
    if (!keys.empty()) keys += ",";
    keys += std::to_string(id);
  }
  if (keys.empty()) return records;
  auto books = db.ReadQuery(
      "SELECT Books.Title, Books.fSize, Books.fDate, Books.Lang, Books.Annotation, "
      "Books.SerNo, Series.Name, Books.Added, Books.Year, Books.BookId "
      "FROM Books LEFT JOIN Series ON Books.SeriesId = Series.SeriesId "
      "WHERE Books.BookId IN (" + keys + ")");
  if (!books.ok()) return records;
  for (catalog::ResultSet& row = **books; !row.AtEnd(); (void)row.Next()) {
    BookRecord record;
    record.id = row.Int(9);
    record.title = row.Text(0);
    record.size = row.Int(1);
    record.updated = row.DateTime(2);
    if (!record.updated) record.updated = row.DateTime(7);
    record.language = row.Text(3);
    record.annotation = row.Text(4);
    record.series_number = row.Int(5);
    record.series = row.Text(6);
    record.year = row.Int(8);
    records[record.id] = std::move(record);
  }
  auto authors = db.ReadQuery(
      "SELECT Authors.Last, Authors.First, Authors.Middle, Authors.Nick, BookAuthors.BookId "
      "FROM BookAuthors INNER JOIN Authors ON BookAuthors.AuthorId = Authors.AuthorId "
      "WHERE BookAuthors.BookId IN (" + keys + ") ORDER BY BookAuthors.BookId, Authors.AuthorId");
  if (authors.ok()) {
    for (catalog::ResultSet& rows = **authors; !rows.AtEnd(); (void)rows.Next()) {
      auto record = records.find(rows.Int(4));
      if (record == records.end()) continue;
      std::string name = JoinedName(rows);
      if (!name.empty()) record->second.authors.push_back(std::move(name));
    }
  }
  auto genres = db.ReadQuery(
      "SELECT Genres.Code, Genres.Name, BookGenres.BookId "
      "FROM BookGenres INNER JOIN Genres ON BookGenres.GenreId = Genres.GenreId "
      "WHERE BookGenres.BookId IN (" + keys + ") ORDER BY BookGenres.BookId, Genres.Code");
  if (genres.ok()) {
    for (catalog::ResultSet& rows = **genres; !rows.AtEnd(); (void)rows.Next()) {
      auto record = records.find(rows.Int(2));
      if (record != records.end()) record->second.genres.push_back({rows.Text(0), rows.Text(1)});
    }
  }
  return records;
}

std::optional<BookRecord> ReadBookRecord(catalog::Database& db, int32_t id) {
  std::map<int32_t, BookRecord> records = ReadBookRecords(db, {id});
  auto found = records.find(id);
  if (found == records.end()) return std::nullopt;
  return std::move(found->second);
}

}  // namespace tomeva::server
