// The computed columns of the default catalog: their definitions, triggers and
// the upgrade that adds them to a catalog of an earlier version.
#include "catalog/catalog_keys.h"

#include <algorithm>
#include <string>
#include <vector>

#include "catalog/folder_listings.h"
#include "catalog/jet_functions.h"
#include "catalog/search_index.h"
#include "common/text.h"

namespace tomeva::catalog {
namespace {

// The shown name of a book: its title (or "Без названия") cut to 80
// characters, " [BookId]" when the title is empty, cut, ends in a key itself or
// an earlier book has the same folded title, then ".fb2.zip" for a zipped book
// and ".fb2" for the others. At most 240 bytes shown, so that a series number
// in front of it still fits the host's 259.
constexpr char kBookFileName[] =
    "tomeva_shown_name(coalesce(nullif(Title, ''), 'Без названия'), BookId, "
    "coalesce(Title, '') = '' OR EXISTS (SELECT 1 FROM Books AS Earlier WHERE "
    "Earlier.TitleKey = Books.TitleKey AND Earlier.BookId < Books.BookId), 80, "
    "CASE WHEN coalesce(Compressed, 0) <> 0 THEN '.fb2.zip' ELSE '.fb2' END, 240)";

// One table's computed columns.
struct ComputedTable {
  std::string_view table;
  // The columns they are computed from; without any of them nothing is added.
  std::vector<std::string_view> sources;
  // Pairs of a computed column's name and declaration; the first ones are the
  // folded keys, each named for its source column with "Key" appended.
  std::vector<std::pair<std::string_view, std::string_view>> columns;
  std::vector<std::string_view> indexes;
  // Statements that compute every row's columns (the triggers are made by
  // Triggers).
  std::vector<std::string> fill;
};

std::string AuthorsComputed() {
  return "UPDATE Authors SET LastKey = tomeva_fold(Last), FirstKey = tomeva_fold(First), "
         "MiddleKey = tomeva_fold(Middle), NickKey = tomeva_fold(Nick), "
         "FolderName = tomeva_shown_name(FullName, AuthorId, 0, 255, '', 259)";
}

std::string SeriesComputed() {
  return "UPDATE Series SET NameKey = tomeva_fold(Name), "
         "FolderName = tomeva_shown_name(Name, SeriesId, 0, 255, '', 259)";
}

const std::vector<ComputedTable>& ComputedTables() {
  static const std::vector<ComputedTable> tables = [] {
    std::vector<ComputedTable> t;
    t.push_back(ComputedTable{
        "Authors",
        {"AuthorId", "Last", "First", "Middle", "Nick", "FullName", "Letter"},
        {{"LastKey", "TEXT COLLATE NOCASE"},
         {"FirstKey", "TEXT COLLATE NOCASE"},
         {"MiddleKey", "TEXT COLLATE NOCASE"},
         {"NickKey", "TEXT COLLATE NOCASE"},
         {"FolderName", "TEXT COLLATE NOCASE"}},
        {"CREATE INDEX IF NOT EXISTS AuthorsByKey ON Authors (LastKey, FirstKey, MiddleKey)",
         "CREATE INDEX IF NOT EXISTS AuthorsByFolderName ON Authors (Letter, FolderName)"},
        {AuthorsComputed()}});
    t.push_back(ComputedTable{"Series",
                              {"SeriesId", "Name"},
                              {{"NameKey", "TEXT COLLATE NOCASE"},
                               {"FolderName", "TEXT COLLATE NOCASE"}},
                              {"CREATE INDEX IF NOT EXISTS SeriesByNameKey ON Series (NameKey)",
                               "CREATE INDEX IF NOT EXISTS SeriesByFolderName ON Series "
                               "(FolderName)"},
                              {SeriesComputed()}});
    t.push_back(ComputedTable{"Genres",
                              {"GenreId", "Code"},
                              {{"CodeKey", "TEXT COLLATE NOCASE"}},
                              {"CREATE INDEX IF NOT EXISTS GenresByCodeKey ON Genres (CodeKey)"},
                              {"UPDATE Genres SET CodeKey = tomeva_fold(Code)"}});
    t.push_back(ComputedTable{
        "Books",
        {"BookId", "Title", "Compressed"},
        {{"TitleKey", "TEXT COLLATE NOCASE"}, {"FileName", "TEXT COLLATE NOCASE"}},
        {"CREATE INDEX IF NOT EXISTS BooksByTitleKey ON Books (TitleKey, BookId)",
         "CREATE INDEX IF NOT EXISTS BooksByFileName ON Books (FileName)"},
        {"UPDATE Books SET TitleKey = tomeva_fold(Title)",
         std::string("UPDATE Books SET FileName = ") + kBookFileName}});
    return t;
  }();
  return tables;
}

// The triggers of a table, each "CREATE TRIGGER ..." text with its name first
// in the pair.
std::vector<std::pair<std::string, std::string>> Triggers(std::string_view table) {
  const std::string file_name = std::string("UPDATE Books SET FileName = ") + kBookFileName;
  if (table == "Authors") {
    const std::string body = "BEGIN " + AuthorsComputed() + " WHERE AuthorId = NEW.AuthorId; END";
    return {{"AuthorsComputedOnInsert", "AFTER INSERT ON Authors " + body},
            {"AuthorsComputedOnUpdate",
             "AFTER UPDATE OF AuthorId, Last, First, Middle, Nick ON Authors " + body}};
  }
  if (table == "Series") {
    const std::string body = "BEGIN " + SeriesComputed() + " WHERE SeriesId = NEW.SeriesId; END";
    return {{"SeriesComputedOnInsert", "AFTER INSERT ON Series " + body},
            {"SeriesComputedOnUpdate", "AFTER UPDATE OF SeriesId, Name ON Series " + body}};
  }
  if (table == "Genres") {
    const std::string body =
        "BEGIN UPDATE Genres SET CodeKey = tomeva_fold(Code) WHERE GenreId = NEW.GenreId; END";
    return {{"GenresComputedOnInsert", "AFTER INSERT ON Genres " + body},
            {"GenresComputedOnUpdate", "AFTER UPDATE OF GenreId, Code ON Genres " + body}};
  }
  if (table == "Books") {
    // Only the book itself and the first book of the folded title it leaves
    // or joins can change their names: the group is never walked whole.
    const std::string key = "UPDATE Books SET TitleKey = tomeva_fold(Title) WHERE BookId = NEW.BookId; ";
    return {
        {"BooksComputedOnInsert",
         "AFTER INSERT ON Books BEGIN " + key + file_name +
             " WHERE BookId IN (NEW.BookId, (SELECT min(Other.BookId) FROM Books AS Other WHERE "
             "Other.TitleKey = tomeva_fold(NEW.Title) AND Other.BookId <> NEW.BookId)); END"},
        {"BooksComputedOnUpdate",
         "AFTER UPDATE OF BookId, Title, Compressed ON Books BEGIN " + key + file_name +
             " WHERE BookId IN (NEW.BookId, (SELECT min(Other.BookId) FROM Books AS Other WHERE "
             "Other.TitleKey = OLD.TitleKey AND Other.BookId <> NEW.BookId), (SELECT "
             "min(Other.BookId) FROM Books AS Other WHERE Other.TitleKey = tomeva_fold(NEW.Title) "
             "AND Other.BookId <> NEW.BookId)); END"},
        {"BooksComputedOnDelete",
         "AFTER DELETE ON Books BEGIN " + file_name +
             " WHERE BookId = (SELECT min(Other.BookId) FROM Books AS Other WHERE "
             "Other.TitleKey = OLD.TitleKey); END"}};
  }
  return {};
}

Status Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message != nullptr ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return Error{"cannot bring the catalog up to date: " + text + " [SQL: " + sql + "]"};
  }
  return Status::Ok();
}

bool HasColumn(sqlite3* db, std::string_view table, std::string_view column) {
  const std::string t(table), c(column);
  return sqlite3_table_column_metadata(db, "main", t.c_str(), c.c_str(), nullptr, nullptr, nullptr,
                                       nullptr, nullptr) == SQLITE_OK;
}

bool SameName(std::string_view a, std::string_view b) {
  return UpperCaseText(a) == UpperCaseText(b);
}

const ComputedTable* FindTable(std::string_view table) {
  for (const ComputedTable& t : ComputedTables()) {
    if (SameName(t.table, table)) return &t;
  }
  return nullptr;
}

Status AddTo(sqlite3* db, const ComputedTable& t) {
  for (std::string_view source : t.sources) {
    if (!HasColumn(db, t.table, source)) return Status::Ok();
  }
  for (const auto& [column, declaration] : t.columns) {
    if (HasColumn(db, t.table, column)) continue;
    if (Status s = Exec(db, "ALTER TABLE " + std::string(t.table) + " ADD COLUMN " +
                                std::string(column) + " " + std::string(declaration));
        !s.ok()) {
      return s;
    }
  }
  for (std::string_view index : t.indexes) {
    if (Status s = Exec(db, std::string(index)); !s.ok()) return s;
  }
  for (const auto& [name, definition] : Triggers(t.table)) {
    if (Status s = Exec(db, "DROP TRIGGER IF EXISTS " + name + "; CREATE TRIGGER " + name + " " +
                                definition);
        !s.ok()) {
      return s;
    }
  }
  for (const std::string& fill : t.fill) {
    if (Status s = Exec(db, fill); !s.ok()) return s;
  }
  return Status::Ok();
}

Status Update(sqlite3* db) {
  // The oldest catalogs lack Books.Compressed, which the shown names read.
  if (HasColumn(db, "Books", "BookId") && HasColumn(db, "Books", "Title") &&
      !HasColumn(db, "Books", "Compressed")) {
    if (Status s = Exec(db, "ALTER TABLE Books ADD COLUMN Compressed SMALLINT"); !s.ok()) return s;
  }
  for (const ComputedTable& t : ComputedTables()) {
    if (Status s = AddTo(db, t); !s.ok()) return s;
  }
  // Indexes written while NOCASE folded Cyrillic letters are rebuilt in
  // SQLite's own order.
  return Exec(db, "REINDEX");
}

// Brings a catalog of version from to kCatalogVersion inside the open
// transaction.
Status UpdateFrom(sqlite3* db, int from) {
  if (from < kCatalogKeysVersion) {
    if (Status s = Update(db); !s.ok()) return s;
  }
  if (from < kSearchIndexVersion) {
    if (Status s = AddSearchIndex(db); !s.ok()) return s;
  } else if (from < kSearchPauseVersion) {
    if (Status s = UpdateSearchTriggers(db); !s.ok()) return s;
  }
  if (Status s = AddFolderListings(db, from); !s.ok()) return s;
  return Exec(db, "PRAGMA user_version = " + std::to_string(kCatalogVersion));
}

}  // namespace

std::optional<std::string_view> FoldedKeyColumn(std::string_view table, std::string_view column) {
  const ComputedTable* t = FindTable(table);
  if (t == nullptr) return std::nullopt;
  for (const auto& [name, declaration] : t->columns) {
    if (name.size() == column.size() + 3 && name.ends_with("Key") &&
        SameName(name.substr(0, column.size()), column)) {
      return name;
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> ShownNameSource(std::string_view table, std::string_view column) {
  if (!SameName(column, "FolderName")) return std::nullopt;
  if (SameName(table, "Series")) return "Name";
  if (SameName(table, "Authors")) return "FullName";
  return std::nullopt;
}

bool IsComputedColumn(std::string_view table, std::string_view column) {
  const ComputedTable* t = FindTable(table);
  if (t == nullptr) return false;
  for (const auto& [name, declaration] : t->columns) {
    if (SameName(name, column)) return true;
  }
  return false;
}

namespace {

constexpr char kBookInsertTrigger[] = "BooksComputedOnInsert";

}  // namespace

Result<BookBulkInsert> SuspendBookInsertTrigger(sqlite3* db) {
  if (sqlite3_get_autocommit(db)) return Error{"a bulk insert of books needs a transaction"};
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name = "
                         "'BooksComputedOnInsert'",
                         -1, &raw, nullptr) != SQLITE_OK) {
    return Error{std::string("cannot read the catalog's triggers: ") + sqlite3_errmsg(db)};
  }
  const bool has_trigger = sqlite3_step(raw) == SQLITE_ROW && sqlite3_column_int(raw, 0) > 0;
  sqlite3_finalize(raw);
  BookBulkInsert insert;
  if (!has_trigger) return insert;  // a catalog without computed names
  Result<int64_t> last_key = LastBookKey(db);
  if (!last_key.ok()) return last_key.error();
  insert.last_book_before = *last_key;
  if (Status s = Exec(db, std::string("DROP TRIGGER IF EXISTS ") + kBookInsertTrigger); !s.ok()) {
    return s.error();
  }
  if (Status s = SuspendSearchIndexing(db, insert.last_book_before); !s.ok()) return s.error();
  // Into a catalog without books (a collection's first import), every new row
  // would go into every index at a random place: the indexes are built after.
  if (insert.last_book_before == 0) {
    Result<std::vector<DeferredIndex>> aside =
        SetIndexesAside(db, {"Books", "BookAuthors", "BookGenres"});
    if (!aside.ok()) return aside.error();
    insert.indexes_aside = std::move(aside).value();
  }
  return insert;
}

Status FinishBookInserts(sqlite3* db, BookBulkInsert& insert) {
  if (insert.last_book_before < 0) return Status::Ok();
  const std::string after = " WHERE BookId > " + std::to_string(insert.last_book_before);
  // Keys first: a new book's name asks whether an earlier book has its key.
  if (Status s = Exec(db, "UPDATE Books SET TitleKey = tomeva_fold(Title)" + after); !s.ok()) {
    return s;
  }
  // That question goes through the title key's index; indexes of the names
  // themselves are built once the names are there.
  auto without_names = [](const DeferredIndex& index) {
    return std::find(index.columns.begin(), index.columns.end(), "FileName") ==
           index.columns.end();
  };
  if (Status s = RestoreIndexes(db, insert.indexes_aside, without_names); !s.ok()) return s;
  if (Status s = Exec(db, std::string("UPDATE Books SET FileName = ") + kBookFileName + after);
      !s.ok()) {
    return s;
  }
  if (Status s = RestoreIndexes(db, insert.indexes_aside); !s.ok()) return s;
  if (Status s = FillListingsOfNewBooks(db, insert.last_book_before); !s.ok()) return s;
  if (Status s = FinishSearchIndexing(db, insert.last_book_before); !s.ok()) return s;
  // A catalog filled from empty has its search index made in many pieces.
  if (insert.last_book_before == 0) {
    if (Status s = MergeSearchIndex(db); !s.ok()) return s;
  }
  for (const auto& [name, definition] : Triggers("Books")) {
    if (name != kBookInsertTrigger) continue;
    return Exec(db, "DROP TRIGGER IF EXISTS " + name + "; CREATE TRIGGER " + name + " " +
                        definition);
  }
  return Error{"no insert trigger of the book table is defined"};
}

std::optional<int> CatalogVersion(sqlite3* db) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    return std::nullopt;
  }
  std::optional<int> version;
  if (sqlite3_step(raw) == SQLITE_ROW) version = sqlite3_column_int(raw, 0);
  sqlite3_finalize(raw);
  return version;
}

Status UpdateCatalogKeys(sqlite3* db) {
  std::optional<int> version = CatalogVersion(db);
  if (!version) return Error{"cannot read the catalog's version: " + std::string(sqlite3_errmsg(db))};
  if (*version >= kCatalogVersion) return Status::Ok();
  if (Status s = Exec(db, "BEGIN IMMEDIATE"); !s.ok()) return s;
  // Another process may have brought the catalog up to date meanwhile.
  version = CatalogVersion(db);
  Status status = !version                       ? Error{"cannot read the catalog's version"}
                  : *version >= kCatalogVersion ? Status::Ok()
                                                 : UpdateFrom(db, *version);
  if (status.ok()) status = Exec(db, "COMMIT");
  if (!status.ok()) (void)Exec(db, "ROLLBACK");
  return status;
}

Status PrepareCatalogKeys(sqlite3* db) {
  std::optional<int> version = CatalogVersion(db);
  if (version && *version >= kCatalogVersion) return Status::Ok();
  if (sqlite3_db_readonly(db, "main") == 1) {
    // A read-only catalog with keys but no search index is read as it is
    // (searches report the missing index); its folders list through views
    // where it lacks the listing tables.
    if (version && *version >= kCatalogKeysVersion) return ViewFolderListings(db);
    return UseLegacyNoCase(db);
  }
  return UpdateCatalogKeys(db);
}

}  // namespace tomeva::catalog
