// Fuzz target of the Jet SQL translator (catalog/jet_translator.h, with its
// tokenizer catalog/jet_lexer.h): any text is translated; a translation must
// then be SQL that SQLite either prepares or refuses cleanly, on an in-memory
// database holding the default catalog schema, a few rows and the Jet
// functions. Read-only statements are also run, with a bound on the work and
// on the size of any value, so the Jet functions they call see fuzzed input.
// A text translated through its shape (catalog/jet_text_shape.h: the text
// values replaced by markers, translated, the values put back) must give the
// very translation of the text itself, and its shape's lifted translation
// (catalog/lifted_shape.h) the very statement and values of that text lifted.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/jet_functions.h"
#include "catalog/jet_text_shape.h"
#include "catalog/jet_translator.h"
#include "catalog/lifted_shape.h"
#include "catalog/sql_literal_lifting.h"
#include "catalog/relationships_view.h"
#include "fuzz/fuzz_support.h"

namespace {

using tomeva::fuzz::Fail;

bool SameLifted(const tomeva::catalog::LiftedSql& a, const tomeva::catalog::LiftedSql& b) {
  if (a.text != b.text || a.values.size() != b.values.size()) return false;
  for (size_t i = 0; i < a.values.size(); ++i) {
    const tomeva::catalog::LiftedValue& x = a.values[i];
    const tomeva::catalog::LiftedValue& y = b.values[i];
    if (x.is_integer != y.is_integer || x.integer != y.integer || x.text != y.text) return false;
  }
  return true;
}

constexpr char kRows[] =
    "INSERT INTO Authors VALUES (1, 'Толстой', 'Лев', 'Николаевич', NULL), "
    "(2, 'Doe', 'Jane', NULL, 'jd');"
    "INSERT INTO Series VALUES (1, 'Эпопея');"
    "INSERT INTO Genres VALUES (1, 'sf_history', 'Альтернативная история');"
    "INSERT INTO Books (BookId, Title, Link, fSize, fDate, Lang, Year, SeriesId, SerNo, "
    "Compressed, Added) VALUES (1, 'Война и мир', 'T/War.fb2', 1234, '2005-03-07 10:30:00', "
    "'ru', 1869, 1, 2, 0, '2024-01-01 00:00:00'), (2, 'Tales', 'D/Tales.fb2.zip', 99, NULL, "
    "'en', NULL, NULL, NULL, 1, NULL);"
    "INSERT INTO BookAuthors VALUES (1, 1), (2, 2);"
    "INSERT INTO BookGenres VALUES (1, 1);";

// Virtual machine steps one statement may take before it is interrupted.
constexpr int kProgressSteps = 1000;
constexpr int kMaxProgressCalls = 200;  // so at most 200,000 steps
constexpr int kMaxRows = 100;

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct Finalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

// The in-memory catalog every input is prepared against.
class MemoryCatalog {
 public:
  MemoryCatalog() {
    sqlite3* raw = nullptr;
    if (sqlite3_open(":memory:", &raw) != SQLITE_OK) Fail("cannot open an in-memory database");
    db_.reset(raw);
    if (!tomeva::catalog::RegisterJetFunctions(raw).ok()) Fail("cannot register Jet functions");
    const std::string schema = tomeva::fuzz::ReadOrDie(tomeva::fuzz::ConfigFolder() + "/schema.sql");
    for (const std::string& sql : {schema, std::string(kRows)}) {
      if (sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail("cannot set up the catalog", sqlite3_errmsg(raw));
      }
    }
    if (!tomeva::catalog::EnsureRelationshipsView(raw).ok()) Fail("cannot make MSysRelationships");
    // No value may grow beyond 1 MB: a statement asking for more fails.
    sqlite3_limit(raw, SQLITE_LIMIT_LENGTH, 1 << 20);
    sqlite3_progress_handler(raw, kProgressSteps, &MemoryCatalog::Progress, this);
  }

  // Prepares every statement of sql; read-only ones are stepped too.
  void Check(const std::string& sql) {
    const char* tail = sql.c_str();
    const char* const end = sql.c_str() + sql.size();
    while (tail < end) {
      sqlite3_stmt* raw = nullptr;
      const char* next = nullptr;
      const int rc = sqlite3_prepare_v2(db_.get(), tail, static_cast<int>(end - tail), &raw, &next);
      std::unique_ptr<sqlite3_stmt, Finalizer> statement(raw);
      if (rc != SQLITE_OK || next == nullptr || next <= tail) return;  // refused cleanly
      tail = next;
      if (statement && sqlite3_stmt_readonly(statement.get())) Run(statement.get());
    }
  }

 private:
  static int Progress(void* self) {
    return ++static_cast<MemoryCatalog*>(self)->progress_calls_ > kMaxProgressCalls;
  }

  void Run(sqlite3_stmt* statement) {
    progress_calls_ = 0;
    for (int rows = 0; rows < kMaxRows && sqlite3_step(statement) == SQLITE_ROW; ++rows) {
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        (void)sqlite3_column_text(statement, i);
      }
    }
  }

  std::unique_ptr<sqlite3, Closer> db_;
  int progress_calls_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MemoryCatalog catalog;
  const std::string_view text = tomeva::fuzz::AsText(data, size);
  tomeva::Result<std::string> sql = tomeva::catalog::TranslateJetSql(text);
  if (std::optional<tomeva::catalog::JetTextShape> shape = tomeva::catalog::ShapeOfJetText(text)) {
    tomeva::Result<std::string> shaped = tomeva::catalog::TranslateJetSql(shape->text);
    if (shaped.ok()) {
      std::optional<std::string> filled = tomeva::catalog::FillShape(*shaped, shape->values);
      if (filled && (!sql.ok() || *filled != *sql)) {
        Fail("a translation through the text's shape differs from the text's own",
             std::string(text) + "\n--- own: " + (sql.ok() ? *sql : sql.message()) +
                 "\n--- shaped: " + *filled);
      }
      // The shape's lifted translation, filled, is the filled text lifted.
      std::optional<tomeva::catalog::LiftedShape> lifted_shape =
          tomeva::catalog::LiftShape(*shaped, shape->values.size());
      if (filled && lifted_shape) {
        std::optional<tomeva::catalog::LiftedSql> quick =
            tomeva::catalog::FillLiftedShape(*lifted_shape, shape->values);
        std::optional<tomeva::catalog::LiftedSql> slow = tomeva::catalog::LiftLiterals(*filled);
        if (quick && (!slow || !SameLifted(*quick, *slow))) {
          Fail("a statement lifted through its shape differs from its text lifted",
               std::string(text) + "\n--- shape lifted: " + quick->text +
                   "\n--- text lifted: " + (slow ? slow->text : "(nothing lifted)"));
        }
      }
    }
  }
  if (!sql.ok()) {
    if (sql.message().empty()) Fail("a translation failed without saying why");
    return 0;
  }
  catalog.Check(*sql);
  return 0;
}
