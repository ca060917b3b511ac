// The full-text index of the default catalog's books: its table, the triggers
// that keep it, the set-based filling of a bulk insert, the search query built
// from a user's text and the search itself.
#include "catalog/search_index.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "catalog/schema_edits.h"
#include "common/utf8.h"

namespace tomeva::catalog {
namespace {

// Every word of the indexed text is split off by the built-in tokenizer; the
// text is folded by Tomeva before it gets there (tomeva_search_fold), so the
// tokenizer's own case folding finds nothing left to do. remove_diacritics 2
// lets "café" match "cafe".
constexpr char kCreateTable[] =
    "CREATE VIRTUAL TABLE IF NOT EXISTS BookSearch USING fts5(Title, Authors, Series, "
    "tokenize = 'unicode61 remove_diacritics 2', detail = column)";

// The indexed row of each book the condition after it selects.
constexpr char kIndexedRows[] =
    "INSERT INTO BookSearch (rowid, Title, Authors, Series) SELECT Books.BookId, "
    "tomeva_search_fold(Books.Title), (SELECT group_concat(tomeva_search_fold("
    "coalesce(A.Last, '') || ' ' || coalesce(A.First, '') || ' ' || coalesce(A.Middle, '') || "
    "' ' || coalesce(A.Nick, '')), ' ') FROM BookAuthors AS L JOIN Authors AS A ON A.AuthorId = "
    "L.AuthorId WHERE L.BookId = Books.BookId), (SELECT tomeva_search_fold(S.Name) FROM Series "
    "AS S WHERE S.SeriesId = Books.SeriesId) FROM Books WHERE ";

// Statements that index the books whose keys the expression gives anew.
std::string Reindex(std::string_view keys) {
  const std::string k(keys);
  return "DELETE FROM BookSearch WHERE rowid IN (" + k + "); " + kIndexedRows +
         "Books.BookId IN (" + k + "); ";
}

constexpr char kBookInsertTrigger[] = "BookSearchOnBookInsert";
constexpr char kAuthorLinkTrigger[] = "BookSearchOnAuthorLink";

// While a transaction indexes its new books at its end (SuspendSearchIndexing),
// this table holds the largest book key before them; it is empty otherwise, in
// every committed state. The triggers of a book's insert and author links
// index only books up to that key.
constexpr char kCreatePauseTable[] =
    "CREATE TABLE IF NOT EXISTS BookSearchPause (LastBookBefore INTEGER NOT NULL)";
constexpr char kNotPaused[] =
    "WHEN NEW.BookId <= coalesce((SELECT min(LastBookBefore) FROM BookSearchPause), NEW.BookId)";

std::string AuthorLinkTrigger(std::string_view when) {
  return "AFTER INSERT ON BookAuthors " + std::string(when) + " BEGIN " + Reindex("NEW.BookId") +
         "END";
}

bool HasPauseTable(sqlite3* db) { return HasTable(db, "BookSearchPause"); }

// Pairs of a trigger's name and the rest of its CREATE TRIGGER statement.
std::vector<std::pair<std::string, std::string>> Triggers() {
  const std::string of_author =
      "SELECT BookAuthors.BookId FROM BookAuthors WHERE BookAuthors.AuthorId = NEW.AuthorId";
  return {
      {kBookInsertTrigger,
       "AFTER INSERT ON Books " + std::string(kNotPaused) + " BEGIN " + Reindex("NEW.BookId") +
           "END"},
      {"BookSearchOnBookUpdate", "AFTER UPDATE OF BookId, Title, SeriesId ON Books BEGIN " +
                                     Reindex("OLD.BookId, NEW.BookId") + "END"},
      {"BookSearchOnBookDelete",
       "AFTER DELETE ON Books BEGIN DELETE FROM BookSearch WHERE rowid = OLD.BookId; END"},
      {kAuthorLinkTrigger, AuthorLinkTrigger(kNotPaused)},
      {"BookSearchOnAuthorUnlink",
       "AFTER DELETE ON BookAuthors BEGIN " + Reindex("OLD.BookId") + "END"},
      {"BookSearchOnAuthorRelink",
       "AFTER UPDATE ON BookAuthors BEGIN " + Reindex("OLD.BookId, NEW.BookId") + "END"},
      {"BookSearchOnAuthorRename",
       "AFTER UPDATE OF Last, First, Middle, Nick ON Authors BEGIN " + Reindex(of_author) + "END"},
      {"BookSearchOnSeriesRename",
       "AFTER UPDATE OF Name ON Series BEGIN " +
           Reindex("SELECT Books.BookId FROM Books WHERE Books.SeriesId = NEW.SeriesId") + "END"},
  };
}

Status Exec(sqlite3* db, const std::string& sql) {
  return RunCatalogSql(db, sql, "keep the search index");
}

Status CreateTrigger(sqlite3* db, const std::string& name, const std::string& definition) {
  return ReplaceTrigger(db, name, definition, "keep the search index");
}

// Collects the tokens the tokenizer hands out, up to kMaxSearchWords.
struct TokenCollector {
  std::vector<std::string> tokens;
};

int CollectToken(void* context, int /*flags*/, const char* token, int size, int /*start*/,
                 int /*end*/) {
  auto* collector = static_cast<TokenCollector*>(context);
  if (size <= 0) return SQLITE_OK;
  collector->tokens.emplace_back(
      Utf8PrefixBytes(std::string_view(token, static_cast<size_t>(size)), kMaxSearchWordBytes));
  // Enough words: the rest of a long text is not read.
  return collector->tokens.size() >= kMaxSearchWords ? SQLITE_DONE : SQLITE_OK;
}

// The FTS5 interface of db (it is part of every SQLite library built with it).
fts5_api* Fts5Api(sqlite3* db) {
  fts5_api* api = nullptr;
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    return nullptr;
  }
  sqlite3_bind_pointer(raw, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
  (void)sqlite3_step(raw);
  sqlite3_finalize(raw);
  return api;
}

// The length of the well-formed UTF-8 sequence at text[pos] (RFC 3629: no
// overlong forms, surrogates or code points above U+10FFFF); 0 when none
// starts there.
size_t WellFormedLength(std::string_view text, size_t pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char c = byte(0);
  if (c < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (pos + length > text.size() || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

// text with every byte that is not part of well-formed UTF-8 made a space: the
// tokenizer reads such bytes differently in a word alone than in the whole
// text, and a word it would split again becomes a phrase, which the index
// (detail=column) refuses.
std::string WithoutStrayBytes(std::string text) {
  for (size_t pos = 0; pos < text.size();) {
    const size_t length = WellFormedLength(text, pos);
    if (length == 0) {
      text[pos++] = ' ';
    } else {
      pos += length;
    }
  }
  return text;
}

}  // namespace

std::string SearchFold(std::string_view text) {
  std::string folded = Utf8Lower(text);
  // "ё" (D1 91) as "е" (D0 B5); the lead byte D1 never continues a sequence.
  for (size_t i = 0; i + 1 < folded.size(); ++i) {
    if (folded[i] == '\xD1' && folded[i + 1] == '\x91') {
      folded[i] = '\xD0';
      folded[i + 1] = '\xB5';
      ++i;
    }
  }
  return folded;
}

Result<std::string> BuildSearchQuery(sqlite3* db, std::string_view text) {
  std::string folded = WithoutStrayBytes(SearchFold(text));
  for (char& c : folded) {
    if (c == '\0') c = ' ';
  }
  fts5_api* api = Fts5Api(db);
  if (api == nullptr) return Error{"this SQLite library has no full-text search (FTS5)"};
  void* user_data = nullptr;
  fts5_tokenizer tokenizer{};
  if (api->xFindTokenizer(api, "unicode61", &user_data, &tokenizer) != SQLITE_OK) {
    return Error{"this SQLite library has no unicode61 tokenizer"};
  }
  // The options the index was made with (kCreateTable).
  const char* options[] = {"remove_diacritics", "2"};
  Fts5Tokenizer* instance = nullptr;
  if (tokenizer.xCreate(user_data, options, 2, &instance) != SQLITE_OK) {
    return Error{"cannot start the search's tokenizer"};
  }
  TokenCollector collector;
  // The words are split exactly as the index's were, so that a word of
  // punctuation alone ("«", "—") is no word at all rather than a phrase
  // that matches nothing.
  (void)tokenizer.xTokenize(instance, &collector, FTS5_TOKENIZE_QUERY, folded.data(),
                           static_cast<int>(folded.size()), CollectToken);
  tokenizer.xDelete(instance);
  std::string query;
  for (const std::string& token : collector.tokens) {
    if (token.empty()) continue;
    if (!query.empty()) query += " AND ";
    // Quoted (inner quotes doubled), a token is one string to the query
    // parser whatever it holds, and "*" makes it a prefix.
    query += '"';
    for (char c : token) {
      if (c == '"') query += '"';
      query += c;
    }
    query += "\"*";
  }
  return query;
}

bool HasSearchIndex(sqlite3* db) {
  // Read from the schema: a virtual table's columns are known to SQLite only
  // once it has been used on the connection.
  return HasTable(db, "BookSearch");
}

Status AddSearchIndex(sqlite3* db) {
  if (!HasColumns(db, "Books", {"BookId", "Title", "SeriesId"}) ||
      !HasColumns(db, "Authors", {"AuthorId", "Last", "First", "Middle", "Nick"}) ||
      !HasColumns(db, "BookAuthors", {"BookId", "AuthorId"}) ||
      !HasColumns(db, "Series", {"SeriesId", "Name"})) {
    return Status::Ok();
  }
  if (Status s = Exec(db, kCreateTable); !s.ok()) return s;
  if (Status s = UpdateSearchTriggers(db); !s.ok()) return s;
  if (Status s = Exec(db, "DELETE FROM BookSearch"); !s.ok()) return s;
  return Exec(db, std::string(kIndexedRows) + "1");
}

Status UpdateSearchTriggers(sqlite3* db) {
  if (!HasSearchIndex(db)) return Status::Ok();
  if (Status s = Exec(db, kCreatePauseTable); !s.ok()) return s;
  for (const auto& [name, definition] : Triggers()) {
    if (Status s = CreateTrigger(db, name, definition); !s.ok()) return s;
  }
  return Status::Ok();
}

Status SuspendSearchIndexing(sqlite3* db, int64_t last_book_before) {
  if (!HasSearchIndex(db)) return Status::Ok();
  // The triggers read the pause: no change to the schema, so the connection's
  // prepared statements stay valid.
  if (HasPauseTable(db)) {
    return Exec(db, "INSERT INTO BookSearchPause (LastBookBefore) VALUES (" +
                        std::to_string(last_book_before) + ")");
  }
  // A catalog of the version before the pause (only ever open read-only by
  // now, or mid-upgrade): the triggers are suspended by replacing them.
  if (Status s = Exec(db, std::string("DROP TRIGGER IF EXISTS ") + kBookInsertTrigger); !s.ok()) {
    return s;
  }
  // Authors linked to books of earlier transactions still reindex them.
  return CreateTrigger(db, kAuthorLinkTrigger,
                       AuthorLinkTrigger("WHEN NEW.BookId <= " + std::to_string(last_book_before)));
}

Result<int64_t> LastBookKey(sqlite3* db) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT coalesce(max(BookId), 0) FROM Books", -1, &raw, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(raw);
    return Error{std::string("cannot read the books' keys: ") + sqlite3_errmsg(db)};
  }
  int64_t last = 0;
  if (sqlite3_step(raw) == SQLITE_ROW) last = sqlite3_column_int64(raw, 0);
  sqlite3_finalize(raw);
  return last;
}

Result<int64_t> SuspendSearchIndexingOfNewBooks(sqlite3* db) {
  if (!HasSearchIndex(db)) return int64_t{-1};
  Result<int64_t> last = LastBookKey(db);
  if (!last.ok()) return last;
  if (Status s = SuspendSearchIndexing(db, *last); !s.ok()) return s.error();
  return last;
}

Status FinishSearchIndexing(sqlite3* db, int64_t last_book_before) {
  if (last_book_before < 0 || !HasSearchIndex(db)) return Status::Ok();
  const std::string after = std::to_string(last_book_before);
  // A new book changed after its insert (its series set) was indexed by the
  // update trigger already: its row is made once more with the others.
  if (Status s = Exec(db, "DELETE FROM BookSearch WHERE rowid > " + after + "; " + kIndexedRows +
                              "Books.BookId > " + after);
      !s.ok()) {
    return s;
  }
  if (HasPauseTable(db)) {
    return Exec(db, "DELETE FROM BookSearchPause WHERE LastBookBefore = " + after);
  }
  for (const auto& [name, definition] : Triggers()) {
    if (name != kBookInsertTrigger && name != kAuthorLinkTrigger) continue;
    // The definitions of the version before the pause.
    const std::string old_definition =
        name == kBookInsertTrigger
            ? "AFTER INSERT ON Books BEGIN " + Reindex("NEW.BookId") + "END"
            : AuthorLinkTrigger("");
    if (Status s = CreateTrigger(db, name, old_definition); !s.ok()) return s;
  }
  return Status::Ok();
}

Status MergeSearchIndex(sqlite3* db) {
  if (!HasSearchIndex(db)) return Status::Ok();
  return Exec(db, "INSERT INTO BookSearch (BookSearch) VALUES ('optimize')");
}

Result<std::vector<int64_t>> SearchBooks(sqlite3* db, std::string_view text, int64_t limit,
                                         int64_t offset) {
  if (!HasSearchIndex(db)) {
    return Error{"the catalog has no search index yet: run \"tomeva upgrade\" to add it"};
  }
  std::vector<int64_t> keys;
  Result<std::string> built = BuildSearchQuery(db, text);
  if (!built.ok()) return built.error();
  const std::string& query = *built;
  if (query.empty() || limit <= 0) return keys;
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT rowid FROM BookSearch WHERE BookSearch MATCH ?1 ORDER BY "
                         "bm25(BookSearch, 10.0, 4.0, 2.0), rowid LIMIT ?2 OFFSET ?3",
                         -1, &raw, nullptr) != SQLITE_OK) {
    return Error{std::string("cannot search the catalog: ") + sqlite3_errmsg(db)};
  }
  sqlite3_bind_text(raw, 1, query.data(), static_cast<int>(query.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int64(raw, 2, limit);
  sqlite3_bind_int64(raw, 3, offset < 0 ? 0 : offset);
  int step;
  while ((step = sqlite3_step(raw)) == SQLITE_ROW) keys.push_back(sqlite3_column_int64(raw, 0));
  std::string failure = step == SQLITE_DONE ? "" : sqlite3_errmsg(db);
  sqlite3_finalize(raw);
  if (!failure.empty()) return Error{"cannot search the catalog: " + failure};
  return keys;
}

}  // namespace tomeva::catalog
