// Fuzz target of literal lifting (catalog/sql_literal_lifting.h): a statement
// with its literals lifted into parameters means what it meant as written.
// Each input is an SQL text run on an in-memory SQLite database holding two
// small tables, once as written and once lifted with its values bound; when
// the text as written prepares, the lifted one must prepare too, give the same
// column names and the same rows (compared as text with their types), and the
// lifted text must hold exactly one placeholder per value. Statements that
// would change the database run inside a transaction that is rolled back.
// A mismatch aborts, so libFuzzer reports it with the input.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/sql_literal_lifting.h"
#include "fuzz/fuzz_support.h"

namespace {

using tomeva::catalog::LiftedSql;
using tomeva::fuzz::Fail;

constexpr char kSchema[] =
    "CREATE TABLE t (a INTEGER PRIMARY KEY, b TEXT, c INTEGER, d REAL);"
    "CREATE TABLE u (k TEXT, v TEXT COLLATE NOCASE);"
    "INSERT INTO t VALUES (1,'x',10,1.5),(2,'Y',20,NULL),(3,NULL,'30',2.5),(4,'007',7,0);"
    "INSERT INTO u VALUES ('x','a'),('Y','B'),('007','c'),(NULL,'d');";

// What a statement gives: its column names, then each row's values with
// their types, until it ends or fails; limited to a few hundred rows.
std::string Outcome(sqlite3* db, sqlite3_stmt* statement) {
  std::string out;
  const int columns = sqlite3_column_count(statement);
  for (int i = 0; i < columns; ++i) {
    const char* name = sqlite3_column_name(statement, i);
    out.append(name ? name : "?").push_back('|');
  }
  out.push_back('\n');
  for (int row = 0; row < 300; ++row) {
    const int step = sqlite3_step(statement);
    if (step == SQLITE_DONE) return out + "done";
    if (step != SQLITE_ROW) return out + "error " + std::to_string(sqlite3_errcode(db));
    for (int i = 0; i < columns; ++i) {
      out += std::to_string(sqlite3_column_type(statement, i)) + ":";
      const unsigned char* text = sqlite3_column_text(statement, i);
      if (text) out.append(reinterpret_cast<const char*>(text), sqlite3_column_bytes(statement, i));
      out.push_back('|');
    }
    out.push_back('\n');
  }
  return out + "more";
}

// Prepares sql's first statement; nullptr when it does not prepare.
sqlite3_stmt* Prepare(sqlite3* db, std::string_view sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(statement);
    return nullptr;
  }
  return statement;
}

std::string Run(sqlite3* db, sqlite3_stmt* statement) {
  sqlite3_exec(db, "SAVEPOINT fuzz", nullptr, nullptr, nullptr);
  std::string out = Outcome(db, statement);
  sqlite3_finalize(statement);
  sqlite3_exec(db, "ROLLBACK TO fuzz; RELEASE fuzz", nullptr, nullptr, nullptr);
  return out;
}

sqlite3* Database() {
  static sqlite3* db = [] {
    sqlite3* opened = nullptr;
    if (sqlite3_open(":memory:", &opened) != SQLITE_OK ||
        sqlite3_exec(opened, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
      Fail("cannot make the scratch database");
    }
    // Keep a hostile text from running away.
    sqlite3_limit(opened, SQLITE_LIMIT_LENGTH, 1 << 20);
    sqlite3_progress_handler(opened, 100000, [](void*) { return 1; }, nullptr);
    return opened;
  }();
  return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view sql = tomeva::fuzz::AsText(data, size);
  const std::optional<LiftedSql> lifted = tomeva::catalog::LiftLiterals(sql);
  if (!lifted) return 0;
  for (size_t i = 0; i < lifted->values.size(); ++i) {
    if (lifted->text.find("?" + std::to_string(i + 1)) == std::string::npos) {
      Fail("a lifted value has no placeholder", lifted->text);
    }
  }
  // Functions whose results differ from one run to the next say nothing.
  std::string lower(sql);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  for (const char* varying : {"random", "now", "changes", "last_insert", "sqlite_"}) {
    if (lower.find(varying) != std::string::npos) return 0;
  }

  sqlite3* db = Database();
  sqlite3_stmt* written = Prepare(db, sql);
  if (written == nullptr) return 0;
  sqlite3_stmt* parameterised = Prepare(db, lifted->text);
  if (parameterised == nullptr) {
    sqlite3_finalize(written);
    Fail("a statement that prepares as written does not with its literals lifted", lifted->text);
  }
  for (size_t i = 0; i < lifted->values.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    if (lifted->values[i].is_integer) {
      sqlite3_bind_int64(parameterised, index, lifted->values[i].integer);
    } else {
      sqlite3_bind_text(parameterised, index, lifted->values[i].text.data(),
                        static_cast<int>(lifted->values[i].text.size()), SQLITE_TRANSIENT);
    }
  }
  const std::string as_written = Run(db, written);
  const std::string as_lifted = Run(db, parameterised);
  // A run stopped for taking too long (SQLITE_INTERRUPT) compares nothing.
  if (as_written.ends_with("error 9") || as_lifted.ends_with("error 9")) return 0;
  if (as_written != as_lifted) {
    Fail("lifting the literals changed what the statement gives",
         std::string(sql) + "\n--- as written:\n" + as_written + "\n--- lifted:\n" + as_lifted);
  }
  return 0;
}
