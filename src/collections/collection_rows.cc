// Bulk writing of collection books' catalog rows.
#include "collections/collection_rows.h"

#include <ctime>

#include "common/utf8.h"

namespace tomeva::collections {
namespace {

using Statement = std::unique_ptr<catalog::BoundStatement>;

std::string Fold(std::string_view text) { return Utf8Lower(text); }

std::string AuthorKey(std::string_view last, std::string_view first, std::string_view middle) {
  std::string key = Fold(last);
  key += '\x1f';
  key += Fold(first);
  key += '\x1f';
  key += Fold(middle);
  return key;
}

void BindTextOrNull(catalog::BoundStatement& statement, int index, std::string_view text) {
  if (text.empty()) {
    statement.BindNull(index);
  } else {
    statement.BindText(index, text);
  }
}

Status Prepare(catalog::Database* db, const char* sql, Statement& out) {
  Result<Statement> statement = db->Prepare(sql);
  if (!statement.ok()) return statement.error();
  out = std::move(statement).value();
  return Status::Ok();
}

// Runs an INSERT; the key of the row it added or the error.
Result<int64_t> RunForKey(catalog::Database* db, catalog::BoundStatement& statement) {
  Result<std::optional<int64_t>> ran = statement.Run();
  if (!ran.ok()) return ran.error();
  return db->LastInsertKey();
}

// Reads rows of a native query: every row's columns as text and its key.
template <typename Each>
Status ForEachRow(catalog::Database* db, std::string_view jet_sql, Each&& each) {
  auto rows = db->Query(jet_sql);
  if (!rows.ok()) return rows.error();
  catalog::ResultSet& set = **rows;
  while (!set.AtEnd()) {
    each(set);
    if (Status status = set.Next(); !status.ok()) return status;
  }
  return Status::Ok();
}

// The current UTC time as catalog text, 'YYYY-MM-DD HH:MM:SS'.
std::string NowText() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
  return text;
}

}  // namespace

Result<std::unique_ptr<CollectionRows>> CollectionRows::Start(catalog::Database* db,
                                                              std::string_view folder,
                                                              std::string_view index_file,
                                                              std::string_view name,
                                                              std::string_view version) {
  if (db == nullptr) return Error{"no catalog is open"};
  std::unique_ptr<CollectionRows> rows(new CollectionRows());
  rows->db_ = db;
  rows->added_ = NowText();

  Statement find;
  if (Status s = Prepare(db,
                         "SELECT CollectionId FROM Collections WHERE Folder = ? AND IndexFile = ?",
                         find);
      !s.ok()) {
    return Error{"the catalog has no collections (run 'tomeva upgrade'): " + s.message()};
  }
  find->BindText(1, folder);
  find->BindText(2, index_file);
  Result<std::optional<int64_t>> found = find->Run();
  if (!found.ok()) return found.error();
  if (found->has_value()) {
    rows->collection_id_ = **found;
    Statement update;
    if (Status s = Prepare(db, "UPDATE Collections SET Name = ?, Version = ? WHERE CollectionId = ?",
                           update);
        !s.ok()) {
      return s.error();
    }
    update->BindText(1, name);
    BindTextOrNull(*update, 2, version);
    update->BindInt(3, rows->collection_id_);
    if (auto ran = update->Run(); !ran.ok()) return ran.error();
  } else {
    Statement insert;
    if (Status s = Prepare(db,
                           "INSERT INTO Collections (Name, Folder, IndexFile, Version) "
                           "VALUES (?, ?, ?, ?)",
                           insert);
        !s.ok()) {
      return s.error();
    }
    insert->BindText(1, name);
    insert->BindText(2, folder);
    insert->BindText(3, index_file);
    BindTextOrNull(*insert, 4, version);
    Result<int64_t> key = RunForKey(db, *insert);
    if (!key.ok()) return key.error();
    rows->collection_id_ = *key;
  }

  struct Text {
    const char* sql;
    Statement* out;
  };
  const Text statements[] = {
      {"INSERT INTO Books (Title, fSize, fDate, Lang, Keywords, SeriesId, SerNo, Compressed, "
       "Added, CollectionId, Archive, Member, LibId) "
       "VALUES (?, ?, ?, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?)",
       &rows->insert_book_},
      {"INSERT INTO Authors (Last, First, Middle) VALUES (?, ?, ?)",
       &rows->insert_author_},
      {"INSERT INTO Genres (Code) VALUES (?)", &rows->insert_genre_},
      {"INSERT INTO Series (Name) VALUES (?)", &rows->insert_series_},
      {"INSERT OR IGNORE INTO BookAuthors (BookId, AuthorId) VALUES (?, ?)", &rows->link_author_},
      {"INSERT OR IGNORE INTO BookGenres (BookId, GenreId) VALUES (?, ?)", &rows->link_genre_},
      {"DELETE FROM Books WHERE BookId = ?", &rows->delete_book_},
  };
  for (const Text& text : statements) {
    if (Status s = Prepare(db, text.sql, *text.out); !s.ok()) return s.error();
  }
  if (Status s = rows->LoadKnownKeys(db); !s.ok()) return s.error();
  return rows;
}

Status CollectionRows::LoadKnownKeys(catalog::Database* db) {
  Status s = ForEachRow(db, "SELECT AuthorId, Last, First, Middle FROM Authors;",
                        [&](const catalog::ResultSet& row) {
                          authors_.emplace(AuthorKey(row.Text(1), row.Text(2), row.Text(3)),
                                           row.Int(0));
                        });
  if (!s.ok()) return s;
  s = ForEachRow(db, "SELECT GenreId, Code FROM Genres;", [&](const catalog::ResultSet& row) {
    genres_.emplace(Fold(row.Text(1)), row.Int(0));
  });
  if (!s.ok()) return s;
  s = ForEachRow(db, "SELECT SeriesId, Name FROM Series;", [&](const catalog::ResultSet& row) {
    series_.emplace(Fold(row.Text(1)), row.Int(0));
  });
  if (!s.ok()) return s;
  return ForEachRow(db,
                    "SELECT BookId, LibId FROM Books WHERE CollectionId=" +
                        std::to_string(collection_id_) + ";",
                    [&](const catalog::ResultSet& row) { books_.emplace(row.Text(1), row.Int(0)); });
}

Result<int64_t> CollectionRows::AuthorId(const InpAuthor& author) {
  std::string key = AuthorKey(author.last, author.first, author.middle);
  if (auto known = authors_.find(key); known != authors_.end()) return known->second;
  // A book without any author name is linked to the nameless author, as an
  // imported file without authors is.
  insert_author_->BindText(1, author.last);
  BindTextOrNull(*insert_author_, 2, author.first);
  BindTextOrNull(*insert_author_, 3, author.middle);
  Result<int64_t> id = RunForKey(db_, *insert_author_);
  if (id.ok()) authors_.emplace(std::move(key), *id);
  return id;
}

Result<int64_t> CollectionRows::GenreId(std::string_view code) {
  std::string key = Fold(code);
  if (auto known = genres_.find(key); known != genres_.end()) return known->second;
  insert_genre_->BindText(1, code);
  Result<int64_t> id = RunForKey(db_, *insert_genre_);
  if (id.ok()) genres_.emplace(std::move(key), *id);
  return id;
}

Result<int64_t> CollectionRows::SeriesId(std::string_view name) {
  std::string key = Fold(name);
  if (auto known = series_.find(key); known != series_.end()) return known->second;
  insert_series_->BindText(1, name);
  Result<int64_t> id = RunForKey(db_, *insert_series_);
  if (id.ok()) series_.emplace(std::move(key), *id);
  return id;
}

Status CollectionRows::Add(const InpRecord& record, std::string_view archive) {
  std::optional<int64_t> series;
  if (!record.series.empty()) {
    Result<int64_t> id = SeriesId(record.series);
    if (!id.ok()) return id.error();
    series = *id;
  }
  const std::string date = record.date.empty() ? std::string() : record.date + " 00:00:00";
  const std::string member = record.MemberName();
  catalog::BoundStatement& book = *insert_book_;
  BindTextOrNull(book, 1, record.title);
  book.BindInt(2, record.size);
  BindTextOrNull(book, 3, date);
  BindTextOrNull(book, 4, record.lang);
  BindTextOrNull(book, 5, record.keywords);
  if (series) {
    book.BindInt(6, *series);
  } else {
    book.BindNull(6);
  }
  if (series && record.series_number > 0) {
    book.BindInt(7, record.series_number);
  } else {
    book.BindNull(7);
  }
  book.BindText(8, added_);
  book.BindInt(9, collection_id_);
  book.BindText(10, archive);
  book.BindText(11, member);
  book.BindText(12, record.lib_id);
  Result<int64_t> book_id = RunForKey(db_, book);
  if (!book_id.ok()) return book_id.error();

  static const InpAuthor kNameless{};
  const std::vector<InpAuthor> nameless_only{kNameless};
  const std::vector<InpAuthor>& authors = record.authors.empty() ? nameless_only : record.authors;
  for (const InpAuthor& author : authors) {
    Result<int64_t> author_id = AuthorId(author);
    if (!author_id.ok()) return author_id.error();
    link_author_->BindInt(1, *book_id);
    link_author_->BindInt(2, *author_id);
    if (auto ran = link_author_->Run(); !ran.ok()) return ran.error();
  }
  for (const std::string& code : record.genres) {
    Result<int64_t> genre_id = GenreId(code);
    if (!genre_id.ok()) return genre_id.error();
    link_genre_->BindInt(1, *book_id);
    link_genre_->BindInt(2, *genre_id);
    if (auto ran = link_genre_->Run(); !ran.ok()) return ran.error();
  }
  books_.emplace(record.lib_id, *book_id);
  return Status::Ok();
}

Result<bool> CollectionRows::Remove(std::string_view lib_id) {
  auto known = books_.find(std::string(lib_id));
  if (known == books_.end()) return false;
  delete_book_->BindInt(1, known->second);
  if (auto ran = delete_book_->Run(); !ran.ok()) return ran.error();
  books_.erase(known);
  return true;
}

Status CollectionRows::RemoveOrphans() {
  return db_->Execute(
      "DELETE Authors.* FROM Authors WHERE NOT EXISTS (SELECT BookAuthors.AuthorId FROM "
      "BookAuthors WHERE BookAuthors.AuthorId=Authors.AuthorId); "
      "DELETE Series.* FROM Series WHERE NOT EXISTS (SELECT Books.SeriesId FROM Books WHERE "
      "Books.SeriesId=Series.SeriesId); "
      "DELETE Genres.* FROM Genres WHERE Nz(Genres.Name,\"\")=\"\" AND NOT EXISTS (SELECT "
      "BookGenres.GenreId FROM BookGenres WHERE BookGenres.GenreId=Genres.GenreId);");
}

}  // namespace tomeva::collections
