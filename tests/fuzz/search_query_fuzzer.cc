// Fuzz target of the search query built from a user's text
// (catalog/search_index.h). Checked on a real catalog (the default schema in a
// scratch folder) holding one book whose title is the input itself:
//   - BuildSearchQuery gives at most kMaxSearchWords quoted prefixes joined by
//     AND, none empty or longer than kMaxSearchWordBytes, and no '"' inside a
//     word;
//   - the search never fails, through SearchBooks and through the Jet
//     function BookMatches that folder listings use;
//   - a text of valid UTF-8 with a word finds the book titled with that very
//     text (every word of the query is the beginning of a word of the title;
//     bytes of no valid sequence the tokenizer reads in a way of its own).
// A mismatch aborts, so libFuzzer reports it with the input.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "catalog/catalog_file.h"
#include "catalog/database.h"
#include "catalog/search_index.h"
#include "catalog/sqlite_database.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/scratch_catalog.h"

namespace {

using tomeva::catalog::Database;
using tomeva::fuzz::Fail;

// The scratch catalog every input is checked against, and a memory database
// for building queries.
class ScratchCatalog : public tomeva::fuzz::ScratchCatalog {
 public:
  sqlite3* memory() { return memory_.get(); }

 private:
  tomeva::catalog::SqliteConnectionHandle memory_ = [] {
    sqlite3* raw = nullptr;
    if (sqlite3_open(":memory:", &raw) != SQLITE_OK) Fail("cannot open a memory database");
    return tomeva::catalog::SqliteConnectionHandle(raw);
  }();
};

// Checks the query's shape: "w"* joined by " AND ".
void CheckShape(std::string_view text, const std::string& query) {
  size_t words = 0;
  size_t i = 0;
  while (i < query.size()) {
    if (words > 0) {
      if (query.compare(i, 5, " AND ") != 0) Fail("words not joined by AND", query);
      i += 5;
    }
    if (query[i] != '"') Fail("a word is not quoted", query);
    const size_t close = query.find('"', i + 1);
    if (close == std::string::npos || close + 1 >= query.size() || query[close + 1] != '*') {
      Fail("a word is not a quoted prefix", query);
    }
    if (close - i - 1 == 0 || close - i - 1 > tomeva::catalog::kMaxSearchWordBytes) {
      Fail("a word is empty or too long", query);
    }
    ++words;
    i = close + 2;
  }
  if (words > tomeva::catalog::kMaxSearchWords) Fail("too many words", query);
  if (query.find('\0') != std::string::npos) Fail("a NUL in the query", std::string(text));
}

std::string JetText(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\0') continue;  // a Jet statement is C text
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchCatalog catalog;
  const std::string_view text = tomeva::fuzz::AsText(data, size);
  auto built = tomeva::catalog::BuildSearchQuery(catalog.memory(), text);
  if (!built.ok()) Fail("no query built", built.message());
  const std::string& query = *built;
  CheckShape(text, query);
  Database* db = catalog.db();
  if (!db->BeginTransaction().ok()) Fail("cannot begin a transaction");
  auto book = db->Prepare("INSERT INTO Books (Title) VALUES (?)");
  if (!book.ok()) Fail("cannot prepare the insert", book.message());
  (*book)->BindText(1, text);
  if (!(*book)->Run().ok()) Fail("cannot insert the book", std::string(text));
  const int64_t key = db->LastInsertKey();
  auto found = db->SearchBooks(text, 1000, 0);
  if (!found.ok()) Fail("the search failed", std::string(text) + ": " + found.message());
  bool has_book = false;
  for (int64_t k : *found) has_book = has_book || k == key;
  if (!query.empty() && !has_book && tomeva::fuzz::IsValidUtf8(text)) Fail("the search misses the book of its own title", query);
  if (query.empty() && !found->empty()) Fail("a text without words found books", query);
  auto rows = db->Query("SELECT Books.BookId FROM Books WHERE BookMatches(Books.BookId, " +
                        JetText(text) + ")");
  if (!rows.ok()) Fail("BookMatches failed", std::string(text) + ": " + rows.message());
  if (!db->Rollback().ok()) Fail("cannot roll back");
  return 0;
}
