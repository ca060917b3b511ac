// The SQLite catalog backend: one connection with its caches of Jet translations and
// prepared statements, the Database that runs statements on it and the streaming
// result sets it lends statements to.
#include "catalog/sqlite_database.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <list>
#include <optional>
#include <string>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalog/catalog_keys.h"
#include "catalog/folder_listings.h"
#include "catalog/jet_functions.h"
#include "catalog/jet_text_shape.h"
#include "catalog/jet_translator.h"
#include "catalog/lifted_shape.h"
#include "catalog/relationships_view.h"
#include "catalog/search_index.h"
#include "catalog/sql_literal_lifting.h"
#include "common/utf8.h"
#include "platform/files.h"

namespace tomeva::catalog {
namespace {

constexpr size_t kStatementCacheCapacity = 64;
constexpr size_t kTranslationCacheCapacity = 256;
// How long an operation waits for another program's write to the catalog to
// end before it gives up with "the catalog is busy". TOMEVA_BUSY_TIMEOUT_MS
// sets another wait (tests use a short one).
constexpr int kBusyTimeoutMs = 15000;
// The memory map of a catalog on a local disk (OpenCatalogConnection).
constexpr const char kMapCatalogPragma[] = "PRAGMA mmap_size=1073741824";

int BusyTimeoutMs() {
  const char* text = std::getenv("TOMEVA_BUSY_TIMEOUT_MS");
  if (text == nullptr || *text == '\0') return kBusyTimeoutMs;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return *end == '\0' && value >= 0 && value <= 3600000 ? static_cast<int>(value) : kBusyTimeoutMs;
}
// Waits for a catalog another connection is writing: tries again every 2 ms
// until the busy timeout has passed. SQLite's own wait backs off to a try
// every 100 ms, which a writer that commits and begins again at once (an
// import of many books in batches) could keep out for the whole timeout; a
// short, steady interval takes the catalog in the pause between batches.
// data: the timeout in milliseconds, as an intptr_t.
int WaitForCatalog(void* data, int tries) {
  constexpr int kIntervalMs = 2;
  const intptr_t timeout_ms = reinterpret_cast<intptr_t>(data);
  if (static_cast<intptr_t>(tries) * kIntervalMs >= timeout_ms) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(kIntervalMs));
  return 1;
}

constexpr const char kRolledBackByEngine[] =
    "the transaction was rolled back by the database engine after an error";

// A bounded map from text keys to values that forgets the least recently used entry
// when full.
template <typename Value>
class LruMap {
 public:
  explicit LruMap(size_t capacity) : capacity_(capacity) {}

  // The value stored under key, marked as just used; nullptr when absent.
  Value* Find(const std::string& key) {
    auto found = index_.find(key);
    if (found == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, found->second);
    return &found->second->second;
  }

  // Removes and returns the value stored under key.
  std::optional<Value> Take(const std::string& key) {
    auto found = index_.find(key);
    if (found == index_.end()) return std::nullopt;
    Value value = std::move(found->second->second);
    entries_.erase(found->second);
    index_.erase(found);
    return value;
  }

  bool Contains(const std::string& key) const { return index_.contains(key); }

  // Stores value under key (replacing an older one), evicting the least recently
  // used entry beyond the capacity.
  void Put(const std::string& key, Value value) {
    if (std::optional<Value> old = Take(key)) old.reset();
    entries_.emplace_front(key, std::move(value));
    index_.emplace(entries_.front().first, entries_.begin());
    while (entries_.size() > capacity_) {
      index_.erase(entries_.back().first);
      entries_.pop_back();
    }
  }

 private:
  using Entry = std::pair<std::string, Value>;
  size_t capacity_;
  std::list<Entry> entries_;  // most recently used first
  std::unordered_map<std::string, typename std::list<Entry>::iterator> index_;
};

// The prepared statements of one translated text, in order.
using StatementBatch = std::vector<SqliteStatementHandle>;

bool IsBlankText(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';';
  });
}

std::string_view RestOf(std::string_view text, const char* tail) {
  return text.substr(static_cast<size_t>(tail - text.data()));
}

// Prepares the first statement of sql for repeated use. Sets *tail past it; the
// statement is null when sql holds only blanks or comments.
Result<SqliteStatementHandle> PrepareFirst(sqlite3* db, std::string_view sql,
                                           std::string_view* tail) {
  sqlite3_stmt* raw = nullptr;
  const char* end = nullptr;
  if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                         SQLITE_PREPARE_PERSISTENT, &raw, &end) != SQLITE_OK) {
    return SqliteError(db, sql);
  }
  *tail = RestOf(sql, end);
  return SqliteStatementHandle(raw);
}

// The text of statement with its parameters' values in place, for messages.
std::string StatementText(sqlite3_stmt* statement) {
  char* expanded = sqlite3_expanded_sql(statement);
  if (expanded == nullptr) return sqlite3_sql(statement) ? sqlite3_sql(statement) : "";
  std::string text(expanded);
  sqlite3_free(expanded);
  return text;
}

// Binds the values lifted out of a statement's text to its parameters.
void BindLifted(sqlite3_stmt* statement, const std::vector<LiftedValue>& values) {
  const int count = std::min(sqlite3_bind_parameter_count(statement), static_cast<int>(values.size()));
  for (int i = 0; i < count; ++i) {
    const LiftedValue& value = values[static_cast<size_t>(i)];
    if (value.is_integer) {
      sqlite3_bind_int64(statement, i + 1, value.integer);
    } else {
      sqlite3_bind_text(statement, i + 1, value.text.data(), static_cast<int>(value.text.size()),
                        SQLITE_TRANSIENT);
    }
  }
}

// Steps statement until it is done (rows are not read), then resets it.
Status RunToCompletion(sqlite3* db, sqlite3_stmt* statement) {
  int step = SQLITE_ROW;
  while (step == SQLITE_ROW) step = sqlite3_step(statement);
  Status status;
  if (step != SQLITE_DONE) status = SqliteError(db, StatementText(statement));
  sqlite3_reset(statement);
  return status;
}

// Parses exactly `count` decimal digits at text[pos], advancing pos.
std::optional<int> ReadDigits(std::string_view text, size_t& pos, size_t count) {
  if (pos + count > text.size()) return std::nullopt;
  int value = 0;
  for (size_t i = 0; i < count; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  pos += count;
  return value;
}

// 'YYYY-MM-DD[( |T)HH:MM[:SS[.fff]]]' with blanks around it.
std::optional<std::chrono::sys_seconds> ParseIsoDateTime(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  size_t pos = 0;
  const std::optional<int> year = ReadDigits(text, pos, 4);
  if (!year || pos >= text.size() || text[pos++] != '-') return std::nullopt;
  const std::optional<int> month = ReadDigits(text, pos, 2);
  if (!month || pos >= text.size() || text[pos++] != '-') return std::nullopt;
  const std::optional<int> day = ReadDigits(text, pos, 2);
  if (!day) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(*year),
                                         std::chrono::month(static_cast<unsigned>(*month)),
                                         std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok()) return std::nullopt;
  int hours = 0, minutes = 0, seconds = 0;
  if (pos < text.size()) {
    if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
    ++pos;
    const std::optional<int> h = ReadDigits(text, pos, 2);
    if (!h || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    const std::optional<int> m = ReadDigits(text, pos, 2);
    if (!m) return std::nullopt;
    hours = *h;
    minutes = *m;
    if (pos < text.size()) {
      if (text[pos++] != ':') return std::nullopt;
      const std::optional<int> s = ReadDigits(text, pos, 2);
      if (!s) return std::nullopt;
      seconds = *s;
      if (pos < text.size() && text[pos] == '.') {
        ++pos;
        if (pos >= text.size()) return std::nullopt;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
      }
      if (pos != text.size()) return std::nullopt;
    }
    if (hours > 23 || minutes > 59 || seconds > 59) return std::nullopt;
  }
  return std::chrono::sys_days(date) + std::chrono::hours(hours) +
         std::chrono::minutes(minutes) + std::chrono::seconds(seconds);
}

// A Jet date serial: whole days since 1899-12-30 (negative before it), the fraction's
// magnitude is the time of day. Limited to Jet's years 100 to 9999.
std::optional<std::chrono::sys_seconds> FromJetSerial(double serial) {
  if (!std::isfinite(serial) || serial < -657434.0 || serial >= 2958466.0) return std::nullopt;
  const double whole_days = std::trunc(serial);
  const auto time_of_day = static_cast<int64_t>(std::llround(std::fabs(serial - whole_days) * 86400.0));
  constexpr std::chrono::sys_days kJetEpoch{std::chrono::year(1899) / 12 / 30};
  return kJetEpoch + std::chrono::days(static_cast<int64_t>(whole_days)) +
         std::chrono::seconds(time_of_day);
}

// The connection shared by a SqliteDatabase and the result sets it opened, so that
// a set outliving its Database still reads from an open connection.
// The sampled ANALYZE: at most this many index entries are read per index.
constexpr int kAnalysisRowLimit = 1000;

Status RefreshSqliteStatistics(sqlite3* db) {
  const std::string sql =
      "PRAGMA analysis_limit=" + std::to_string(kAnalysisRowLimit) + "; ANALYZE;";
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    Error error{std::string("cannot refresh the catalog statistics: ") +
                (message ? message : sqlite3_errmsg(db))};
    sqlite3_free(message);
    return error;
  }
  return Status::Ok();
}

// True when the catalog has never been analysed or its books table has rows
// the statistics do not know of at all.
bool StatisticsMissing(sqlite3* db) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_stat1", -1, &raw, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(raw);
    return true;  // no sqlite_stat1 table yet
  }
  SqliteStatementHandle statement(raw);
  return sqlite3_step(raw) != SQLITE_ROW || sqlite3_column_int64(raw, 0) == 0;
}

class Connection {
 public:
  Connection(SqliteConnectionHandle db, std::string file_name, bool maps_pages)
      : db_(std::move(db)),
        file_name_(std::move(file_name)),
        maps_pages_(maps_pages),
        translations_(kTranslationCacheCapacity),
        lifted_shapes_(kTranslationCacheCapacity),
        statements_(kStatementCacheCapacity) {}

  sqlite3* db() const { return db_.get(); }
  const std::string& file_name() const { return file_name_; }
  // Whether the catalog is read through a memory map (OpenCatalogConnection).
  bool maps_pages() const { return maps_pages_; }

  // The SQLite text of jet_sql, translated once per distinct text.
  Result<std::string> Translate(std::string_view jet_sql) {
    const std::string key(jet_sql);
    if (const std::string* known = translations_.Find(key)) return *known;
    // Texts that differ only in their text values share one translation.
    if (std::optional<JetTextShape> shape = ShapeOfJetText(jet_sql)) {
      const std::string* shape_sql = translations_.Find(shape->text);
      if (shape_sql == nullptr) {
        Result<std::string> translated = TranslateJetSql(shape->text);
        if (translated.ok()) {
          translations_.Put(shape->text, *translated);
          shape_sql = translations_.Find(shape->text);
        }
      }
      if (shape_sql != nullptr) {
        if (std::optional<std::string> filled = FillShape(*shape_sql, shape->values)) {
          return std::move(*filled);
        }
      }
    }
    Result<std::string> translated = TranslateJetSql(jet_sql);
    if (!translated.ok()) {
      return Error{"cannot translate the SQL statement: " + translated.message() +
                   " [SQL: " + key + "]"};
    }
    translations_.Put(key, *translated);
    return translated;
  }

  // The lifted statement of jet_sql made straight from the lifted translation
  // of its shape (LiftShape), kept per shape: the same as lifting the
  // translation of the text itself, without making and tokenizing that text.
  // nullopt when the text has no shape or its shape cannot serve so.
  std::optional<LiftedSql> LiftedFromShape(std::string_view jet_sql) {
    // A text translated as itself (no shape, or one that did not serve) is
    // known by its own text.
    if (translations_.Contains(std::string(jet_sql))) return std::nullopt;
    std::optional<JetTextShape> shape = ShapeOfJetText(jet_sql);
    if (!shape) return std::nullopt;
    const std::optional<LiftedShape>* known = lifted_shapes_.Find(shape->text);
    if (known == nullptr) {
      std::optional<LiftedShape> made;
      const std::string* translated = translations_.Find(shape->text);
      if (translated != nullptr) {
        made = LiftShape(*translated, shape->values.size());
      } else if (Result<std::string> fresh = TranslateJetSql(shape->text); fresh.ok()) {
        made = LiftShape(*fresh, shape->values.size());
        translations_.Put(shape->text, std::move(fresh).value());
      }
      lifted_shapes_.Put(shape->text, std::move(made));
      known = lifted_shapes_.Find(shape->text);
    }
    if (known == nullptr || !*known) return std::nullopt;
    return FillLiftedShape(**known, shape->values);
  }

  // Runs the one statement of a lifted text with its values bound (prepared
  // once per text); nullopt when the text is not one statement that prepares
  // so, to be run as written instead.
  std::optional<Status> RunLifted(const LiftedSql& lifted) {
    if (std::optional<StatementBatch> batch = statements_.Take(lifted.text)) {
      if (batch->size() == 1) {
        BindLifted(batch->front().get(), lifted.values);
        Status status = RunToCompletion(db(), batch->front().get());
        statements_.Put(lifted.text, std::move(*batch));
        return status;
      }
      statements_.Put(lifted.text, std::move(*batch));
    }
    std::string_view rest = lifted.text;
    Result<SqliteStatementHandle> statement = PrepareFirst(db(), rest, &rest);
    if (statement.ok() && *statement != nullptr && IsBlankText(rest)) {
      BindLifted(statement->get(), lifted.values);
      Status status = RunToCompletion(db(), statement->get());
      StatementBatch batch;
      batch.push_back(std::move(*statement));
      statements_.Put(lifted.text, std::move(batch));
      return status;
    }
    return std::nullopt;
  }

  // Runs every statement of the translated text. Statements of a text seen for the
  // first time are prepared one after the other, each once the one before it has
  // run, so a text may create a table and then fill it. A statement's literal
  // values are bound as parameters, so that its text is prepared once for all
  // values.
  Status Execute(std::string_view jet_sql) {
    if (std::optional<LiftedSql> lifted = LiftedFromShape(jet_sql)) {
      if (std::optional<Status> ran = RunLifted(*lifted)) return *ran;
    }
    Result<std::string> sql = Translate(jet_sql);
    if (!sql.ok()) return sql.error();
    if (IsBlankText(*sql)) return Error{"empty SQL statement"};
    if (std::optional<LiftedSql> lifted = LiftLiterals(*sql)) {
      if (std::optional<Status> ran = RunLifted(*lifted)) return *ran;
      // A statement that does not take its literals as parameters runs as written.
    }
    if (std::optional<StatementBatch> batch = statements_.Take(*sql)) {
      Status status;
      for (const SqliteStatementHandle& statement : *batch) {
        status = RunToCompletion(db(), statement.get());
        if (!status.ok()) break;
      }
      statements_.Put(*sql, std::move(*batch));
      return status;
    }
    StatementBatch batch;
    std::string_view rest = *sql;
    while (!rest.empty()) {
      Result<SqliteStatementHandle> statement = PrepareFirst(db(), rest, &rest);
      if (!statement.ok()) return statement.error();
      if (*statement == nullptr) continue;  // blanks or a comment
      if (Status status = RunToCompletion(db(), statement->get()); !status.ok()) return status;
      batch.push_back(std::move(*statement));
    }
    if (batch.empty()) return Error{"empty SQL statement [SQL: " + *sql + "]"};
    statements_.Put(*sql, std::move(batch));
    return Status::Ok();
  }

  // A statement for the one statement of jet_sql, lent to the caller exclusively
  // with its literal values bound: the cached one when idle, else a newly
  // prepared one. `key` receives the cache key to give it back under.
  Result<SqliteStatementHandle> LendQueryStatement(std::string_view jet_sql, std::string* key) {
    if (std::optional<LiftedSql> lifted = LiftedFromShape(jet_sql)) {
      Result<SqliteStatementHandle> statement = LendPrepared(lifted->text, key);
      if (statement.ok()) {
        BindLifted(statement->get(), lifted->values);
        return statement;
      }
    }
    Result<std::string> sql = Translate(jet_sql);
    if (!sql.ok()) return sql.error();
    if (IsBlankText(*sql)) return Error{"empty SQL query"};
    if (std::optional<LiftedSql> lifted = LiftLiterals(*sql)) {
      Result<SqliteStatementHandle> statement = LendPrepared(lifted->text, key);
      if (statement.ok()) {
        BindLifted(statement->get(), lifted->values);
        return statement;
      }
      // A statement that does not take its literals as parameters runs as written.
    }
    return LendPrepared(*sql, key);
  }

  // The statement of sql (one statement), cached or newly prepared.
  Result<SqliteStatementHandle> LendPrepared(const std::string& sql, std::string* key) {
    *key = sql;
    if (std::optional<StatementBatch> batch = statements_.Take(sql)) {
      if (batch->size() == 1) return std::move(batch->front());
      statements_.Put(sql, std::move(*batch));
      return Error{"a query must be a single statement [SQL: " + sql + "]"};
    }
    std::string_view rest = sql;
    Result<SqliteStatementHandle> statement = PrepareFirst(db(), rest, &rest);
    while (statement.ok() && *statement == nullptr && !rest.empty()) {
      statement = PrepareFirst(db(), rest, &rest);
    }
    if (!statement.ok()) return statement.error();
    if (*statement == nullptr) return Error{"empty SQL query [SQL: " + sql + "]"};
    while (!rest.empty()) {
      Result<SqliteStatementHandle> more = PrepareFirst(db(), rest, &rest);
      if (!more.ok() || *more != nullptr) {
        return Error{"a query must be a single statement [SQL: " + sql + "]"};
      }
    }
    return statement;
  }

  // Runs one statement without values (a transaction's BEGIN, SAVEPOINT,
  // RELEASE or COMMIT), prepared once per text: each book of a batch opens and
  // ends a savepoint, which sqlite3_exec would parse anew every time.
  Status RunPrepared(const std::string& sql) {
    std::string key;
    Result<SqliteStatementHandle> statement = LendPrepared(sql, &key);
    if (!statement.ok()) return statement.error();
    Status status = RunToCompletion(db(), statement->get());
    ReturnStatement(key, std::move(*statement));
    return status;
  }

  // Takes back a lent statement, reset and without bindings, to be reused for the
  // same text; a spare one (another is already idle) is finalized.
  void ReturnStatement(const std::string& key, SqliteStatementHandle statement) {
    sqlite3_reset(statement.get());
    sqlite3_clear_bindings(statement.get());
    if (statements_.Contains(key)) return;
    StatementBatch batch;
    batch.push_back(std::move(statement));
    statements_.Put(key, std::move(batch));
  }

 private:
  // Statements are declared after db_ so they are finalized before it closes.
  SqliteConnectionHandle db_;
  std::string file_name_;
  bool maps_pages_;
  LruMap<std::string> translations_;
  LruMap<std::optional<LiftedShape>> lifted_shapes_;  // by shape text
  LruMap<StatementBatch> statements_;
};

class SqliteResultSet final : public ResultSet {
 public:
  explicit SqliteResultSet(std::shared_ptr<Connection> connection)
      : connection_(std::move(connection)) {}
  ~SqliteResultSet() override { Close(); }

  SqliteResultSet(const SqliteResultSet&) = delete;
  SqliteResultSet& operator=(const SqliteResultSet&) = delete;

  // Opens jet_sql and moves to its first row. With read_only, a statement that
  // could write is refused before it runs.
  Status Open(std::string_view jet_sql, bool read_only = false) {
    Result<SqliteStatementHandle> statement = connection_->LendQueryStatement(jet_sql, &key_);
    if (!statement.ok()) return statement.error();
    statement_ = std::move(*statement);
    if (read_only && !sqlite3_stmt_readonly(statement_.get())) {
      Close();
      return Error{"this statement would change the catalog; listing and lookup statements "
                   "may only read it [SQL: " + std::string(jet_sql) + "]"};
    }
    at_end_ = false;
    Status status = Step();
    if (!status.ok()) Close();
    return status;
  }

  bool AtEnd() const override { return at_end_; }

  Status Next() override {
    if (at_end_) return Error{"the result set is past its last row"};
    return Step();
  }

  int ColumnCount() const override {
    return statement_ ? sqlite3_column_count(statement_.get()) : 0;
  }

  std::string ColumnName(int index) const override {
    if (index < 0 || index >= ColumnCount()) return {};
    const char* name = sqlite3_column_name(statement_.get(), index);
    return name ? name : "";
  }

  std::optional<int> ColumnIndex(std::string_view name) const override {
    const std::string wanted = Utf8Upper(name);
    for (int i = 0; i < ColumnCount(); ++i) {
      if (Utf8Upper(ColumnName(i)) == wanted) return i;
    }
    return std::nullopt;
  }

  bool IsNull(int index) const override { return TypeOf(index) == SQLITE_NULL; }

  std::string Text(int index) const override {
    if (IsNull(index)) return {};
    const unsigned char* text = sqlite3_column_text(statement_.get(), index);
    const int bytes = sqlite3_column_bytes(statement_.get(), index);
    if (text == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
  }

  int32_t Int(int index) const override {
    return static_cast<int32_t>(std::clamp<int64_t>(
        Int64(index), std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  }

  int64_t Int64(int index) const override {
    if (IsNull(index)) return 0;
    return sqlite3_column_int64(statement_.get(), index);
  }

  std::optional<std::chrono::sys_seconds> DateTime(int index) const override {
    switch (TypeOf(index)) {
      case SQLITE_INTEGER:
      case SQLITE_FLOAT:
        return FromJetSerial(sqlite3_column_double(statement_.get(), index));
      case SQLITE_TEXT:
        return ParseIsoDateTime(Text(index));
      default:
        return std::nullopt;
    }
  }

  Status Reopen(std::string_view jet_sql) override {
    Close();
    return Open(jet_sql);
  }

  void Close() override {
    at_end_ = true;
    types_.clear();
    if (statement_) connection_->ReturnStatement(key_, std::move(statement_));
    statement_.reset();
  }

 private:
  // Advances to the next row and notes its column types (read before any
  // conversion, since reading a value as text may change the type SQLite reports).
  Status Step() {
    const int step = sqlite3_step(statement_.get());
    types_.clear();
    if (step == SQLITE_ROW) {
      const int count = sqlite3_column_count(statement_.get());
      types_.reserve(static_cast<size_t>(count));
      for (int i = 0; i < count; ++i) types_.push_back(sqlite3_column_type(statement_.get(), i));
      return Status::Ok();
    }
    at_end_ = true;
    if (step == SQLITE_DONE) return Status::Ok();
    Error error = SqliteError(connection_->db(), StatementText(statement_.get()));
    sqlite3_reset(statement_.get());
    return error;
  }

  // The current row's type of column index; SQLITE_NULL off a row or out of range.
  int TypeOf(int index) const {
    if (at_end_ || index < 0 || static_cast<size_t>(index) >= types_.size()) return SQLITE_NULL;
    return types_[static_cast<size_t>(index)];
  }

  std::shared_ptr<Connection> connection_;
  std::string key_;
  SqliteStatementHandle statement_;
  bool at_end_ = true;
  std::vector<int> types_;
};

class SqliteBoundStatement final : public BoundStatement {
 public:
  SqliteBoundStatement(std::shared_ptr<Connection> connection, SqliteStatementHandle statement)
      : connection_(std::move(connection)), statement_(std::move(statement)) {}

  void BindNull(int index) override { sqlite3_bind_null(statement_.get(), index); }
  void BindInt(int index, int64_t value) override {
    sqlite3_bind_int64(statement_.get(), index, value);
  }
  void BindText(int index, std::string_view value) override {
    sqlite3_bind_text(statement_.get(), index, value.data(), static_cast<int>(value.size()),
                      SQLITE_STATIC);
  }

  Result<std::optional<int64_t>> Run() override {
    sqlite3_stmt* statement = statement_.get();
    std::optional<int64_t> first;
    int step = sqlite3_step(statement);
    if (step == SQLITE_ROW && sqlite3_column_count(statement) > 0 &&
        sqlite3_column_type(statement, 0) != SQLITE_NULL) {
      first = sqlite3_column_int64(statement, 0);
    }
    while (step == SQLITE_ROW) step = sqlite3_step(statement);
    sqlite3_reset(statement);
    if (step != SQLITE_DONE) return SqliteError(connection_->db(), sqlite3_sql(statement));
    return first;
  }

 private:
  std::shared_ptr<Connection> connection_;
  SqliteStatementHandle statement_;
};

class SqliteDatabase final : public Database {
 public:
  // Join plans remembered at most (a settings document names a few dozen).
  static constexpr size_t kMaxRememberedJoins = 256;

  explicit SqliteDatabase(std::shared_ptr<Connection> connection)
      : connection_(std::move(connection)) {}

  Status Execute(std::string_view jet_sql) override { return connection_->Execute(jet_sql); }

  Result<std::unique_ptr<ResultSet>> Query(std::string_view jet_sql) override {
    auto set = std::make_unique<SqliteResultSet>(connection_);
    if (Status status = set->Open(jet_sql); !status.ok()) return status.error();
    return std::unique_ptr<ResultSet>(std::move(set));
  }

  Result<std::unique_ptr<ResultSet>> ReadQuery(std::string_view jet_sql) override {
    auto set = std::make_unique<SqliteResultSet>(connection_);
    if (Status status = set->Open(jet_sql, /*read_only=*/true); !status.ok()) {
      return status.error();
    }
    return std::unique_ptr<ResultSet>(std::move(set));
  }

  int64_t LastInsertKey() const override { return sqlite3_last_insert_rowid(connection_->db()); }

  Status KeepRowsExcept(std::string_view table, std::string_view key_column,
                        int64_t key) override {
    if (!IsPlainName(table) || !IsPlainName(key_column)) {
      return Error{"not a table and column name: " + std::string(table) + "." +
                   std::string(key_column)};
    }
    (void)EndKeepRows();
    // A temporary trigger lives on this connection only; RAISE(IGNORE) skips
    // the row's deletion, and with it any cascade.
    return Control("CREATE TEMP TRIGGER tomeva_keep_rows BEFORE DELETE ON main.\"" +
                   std::string(table) + "\" WHEN OLD.\"" + std::string(key_column) +
                   "\" IS NOT " + std::to_string(key) + " BEGIN SELECT RAISE(IGNORE); END");
  }

  Status EndKeepRows() override { return Control("DROP TRIGGER IF EXISTS temp.tomeva_keep_rows"); }

  Status BeginTransaction() override {
    if (EngineRolledBack()) return Error{kRolledBackByEngine};
    // Transactions are for changes: on a catalog opened read-only they would
    // fail statement by statement, so they fail here, saying why.
    if (depth_ == 0 && sqlite3_db_readonly(connection_->db(), "main") == 1) {
      return Error{std::string(SqliteFailureMeaning(SQLITE_READONLY)) +
                   " (its file or folder cannot be written): " + connection_->file_name()};
    }
    // The outermost transaction takes the write lock at once (waiting out other
    // writers with the busy timeout) rather than failing later when it first writes.
    const std::string sql =
        depth_ == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT " + SavepointName(depth_ + 1);
    if (Status status = connection_->RunPrepared(sql); !status.ok()) return status;
    ++depth_;
    return Status::Ok();
  }

  Status Commit() override {
    if (depth_ == 0) return Error{"no transaction is open"};
    // Nothing is left to finish (or to run outside a transaction) once the
    // engine has rolled the transaction back.
    if (EngineRolledBack()) {
      LeaveLevel();
      return Error{kRolledBackByEngine};
    }
    // A bulk insert of books ends before its level commits: the names are
    // computed and the trigger is back in what becomes durable.
    if (bulk_books_ && depth_ <= bulk_depth_) {
      if (Status finished = EndBulkBookInsert(); !finished.ok()) {
        (void)Rollback();
        return finished;
      }
    }
    if (search_after_ && depth_ <= search_depth_) {
      const int64_t after = *search_after_;
      search_after_.reset();
      Status finished = FillListingsOfNewBooks(connection_->db(), after);
      if (finished.ok()) finished = FinishSearchIndexing(connection_->db(), after);
      if (!finished.ok()) {
        (void)Rollback();
        return finished;
      }
    }
    if (depth_ > 1) {
      if (Status status = connection_->RunPrepared("RELEASE " + SavepointName(depth_));
          !status.ok()) {
        return status;
      }
      LeaveLevel();
      return Status::Ok();
    }
    Status status = connection_->RunPrepared("COMMIT");
    if (!status.ok() && !sqlite3_get_autocommit(connection_->db())) {
      // A commit that cannot complete must not leave the transaction (and its
      // locks) open behind a reported failure.
      (void)Control("ROLLBACK");
    }
    LeaveLevel();
    return status;
  }

  Status Rollback() override {
    if (depth_ == 0) return Error{"no transaction is open"};
    if (EngineRolledBack()) {  // already undone
      LeaveLevel();
      return Status::Ok();
    }
    if (depth_ > 1) {
      const std::string name = SavepointName(depth_);
      if (Status status = Control("ROLLBACK TO " + name); !status.ok()) return status;
      if (Status status = Control("RELEASE " + name); !status.ok()) return status;
      LeaveLevel();
      return Status::Ok();
    }
    Status status = Control("ROLLBACK");
    LeaveLevel();
    return status;
  }

  std::string FileName() const override { return connection_->file_name(); }

  std::optional<std::string> PlannedJoin(std::string_view tables) override {
    std::lock_guard lock(joins_mutex_);
    ForgetJoinsOfAnOldSchema();
    auto found = joins_.find(std::string(tables));
    if (found == joins_.end()) return std::nullopt;
    return found->second;
  }

  void RememberJoin(std::string_view tables, std::string clause) override {
    std::lock_guard lock(joins_mutex_);
    ForgetJoinsOfAnOldSchema();
    if (joins_.size() >= kMaxRememberedJoins) joins_.clear();
    joins_[std::string(tables)] = std::move(clause);
  }

  Status RefreshStatistics() override { return RefreshSqliteStatistics(connection_->db()); }

  Status RebuildFolderListings() override {
    if (Status begun = BeginTransaction(); !begun.ok()) return begun;
    if (Status rebuilt = catalog::RebuildFolderListings(connection_->db()); !rebuilt.ok()) {
      (void)Rollback();
      return rebuilt;
    }
    return Commit();
  }

  Status SetBulkWriteMode(bool on) override {
    // 256 MiB of page cache while on; SQLite's default (2 MiB) otherwise.
    if (Status s = Control(on ? "PRAGMA cache_size=-262144" : "PRAGMA cache_size=-2000");
        !s.ok()) {
      return s;
    }
    // Imports of many books ran 6-8 % slower with the memory map on
    // (alternating runs): the map is set aside while the mode is on.
    if (!connection_->maps_pages()) return Status::Ok();
    return Control(on ? "PRAGMA mmap_size=0" : kMapCatalogPragma);
  }

  Status BeginBulkBookInsert() override {
    if (depth_ == 0) return Error{"a bulk insert of books needs a transaction"};
    if (bulk_books_) return Status::Ok();
    Result<BookBulkInsert> insert = SuspendBookInsertTrigger(connection_->db());
    if (!insert.ok()) return insert.error();
    bulk_books_ = std::move(insert).value();
    bulk_depth_ = depth_;
    return Status::Ok();
  }

  Status DeferSearchIndexing() override {
    if (depth_ == 0) return Error{"deferred search indexing needs a transaction"};
    // A bulk insert of books defers it already.
    if (search_after_ || bulk_books_) return Status::Ok();
    Result<int64_t> last = SuspendSearchIndexingOfNewBooks(connection_->db());
    if (!last.ok()) return last.error();
    search_after_ = *last;
    search_depth_ = depth_;
    return Status::Ok();
  }

  Status EndBulkBookInsert() override {
    if (!bulk_books_) return Status::Ok();
    BookBulkInsert insert = std::move(*bulk_books_);
    bulk_books_.reset();
    return FinishBookInserts(connection_->db(), insert);
  }

  Result<std::vector<int64_t>> SearchBooks(std::string_view text, int64_t limit,
                                           int64_t offset) override {
    return catalog::SearchBooks(connection_->db(), text, limit, offset);
  }

  Result<std::unique_ptr<BoundStatement>> Prepare(std::string_view native_sql) override {
    std::string_view rest;
    Result<SqliteStatementHandle> statement = PrepareFirst(connection_->db(), native_sql, &rest);
    if (!statement.ok()) return statement.error();
    if (*statement == nullptr) return Error{"empty SQL statement"};
    return std::unique_ptr<BoundStatement>(
        std::make_unique<SqliteBoundStatement>(connection_, std::move(*statement)));
  }

 private:
  // SQLite's schema cookies of the main and temporary schemas: a schema change
  // on any connection changes them. Asked before every path lookup, so the two
  // statements come from the connection's cache of prepared statements.
  std::pair<int64_t, int64_t> SchemaCookies() {
    std::pair<int64_t, int64_t> cookies{-1, -1};
    int64_t* out[] = {&cookies.first, &cookies.second};
    const std::string pragmas[] = {"PRAGMA main.schema_version", "PRAGMA temp.schema_version"};
    for (int i = 0; i < 2; ++i) {
      std::string key;
      Result<SqliteStatementHandle> statement = connection_->LendPrepared(pragmas[i], &key);
      if (!statement.ok()) continue;
      if (sqlite3_step(statement->get()) == SQLITE_ROW) {
        *out[i] = sqlite3_column_int64(statement->get(), 0);
      }
      connection_->ReturnStatement(key, std::move(*statement));
    }
    return cookies;
  }
  void ForgetJoinsOfAnOldSchema() {
    const std::pair<int64_t, int64_t> cookies = SchemaCookies();
    if (cookies != joins_schema_) {
      joins_.clear();
      joins_schema_ = cookies;
    }
  }

  static bool IsPlainName(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name) {
      if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    }
    return true;
  }

  static std::string SavepointName(int level) { return "tomeva_level_" + std::to_string(level); }

  // Runs a transaction control statement of this class's own.
  Status Control(const std::string& sql) {
    if (sqlite3_exec(connection_->db(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      return SqliteError(connection_->db(), sql);
    }
    return Status::Ok();
  }

  // SQLite rolls a transaction back by itself after some errors (a full disk, an
  // I/O error). True when that happened to the open transaction: its remaining
  // levels then only unwind, Commit reporting the loss.
  bool EngineRolledBack() {
    if (depth_ > 0 && sqlite3_get_autocommit(connection_->db())) rolled_back_ = true;
    return rolled_back_;
  }

  void LeaveLevel() {
    // Leaving the level a bulk insert began in ends it: a rollback has put the
    // trigger back, and a commit must not happen without EndBulkBookInsert.
    if (bulk_books_ && depth_ <= bulk_depth_) bulk_books_.reset();
    if (search_after_ && depth_ <= search_depth_) search_after_.reset();
    if (--depth_ == 0) rolled_back_ = false;
  }

  std::shared_ptr<Connection> connection_;
  int depth_ = 0;
  bool rolled_back_ = false;
  std::optional<BookBulkInsert> bulk_books_;  // a bulk insert of books is open
  int bulk_depth_ = 0;
  std::optional<int64_t> search_after_;  // search indexing of new books is deferred
  int search_depth_ = 0;
  std::mutex joins_mutex_;
  std::unordered_map<std::string, std::string> joins_;  // planned joins by table list
  std::pair<int64_t, int64_t> joins_schema_{-1, -1};   // the schema they were planned on
};

Status RunPragma(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return SqliteError(db, sql);
  return Status::Ok();
}

// With TOMEVA_TRACE_SQL set, every statement the catalog runs is written to
// standard error with the time it took once it has been stepped to its end or
// reset: a developer's view of what a listing or an import costs.
int TraceStatement(unsigned type, void* /*context*/, void* statement, void* nanoseconds) {
  if (type != SQLITE_TRACE_PROFILE) return 0;
  const double ms = static_cast<double>(*static_cast<sqlite3_int64*>(nanoseconds)) / 1e6;
  std::fprintf(stderr, "[sql %8.3f ms] %s\n", ms, sqlite3_sql(static_cast<sqlite3_stmt*>(statement)));
  return 0;
}

}  // namespace

std::string_view SqliteFailureMeaning(int code) {
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return "the catalog is busy: another program kept it locked for writing";
    case SQLITE_READONLY: return "the catalog is read-only";
    case SQLITE_FULL: return "the disk is full";
    case SQLITE_NOTADB: return "the file is not a Tomeva catalog (not an SQLite database)";
    case SQLITE_CORRUPT: return "the catalog file is damaged";
    case SQLITE_CANTOPEN: return "the catalog file cannot be opened";
    case SQLITE_IOERR: return "the catalog file cannot be read or written";
    case SQLITE_PERM: return "no permission to use the catalog file";
    case SQLITE_NOMEM: return "out of memory";
  }
  return {};
}

Error SqliteError(sqlite3* db, std::string_view sql) {
  std::string message;
  const std::string_view meaning =
      db != nullptr ? SqliteFailureMeaning(sqlite3_extended_errcode(db)) : "out of memory";
  if (!meaning.empty()) {
    message += meaning;
    message += " (";
  }
  message += "SQLite: ";
  message += db != nullptr ? sqlite3_errmsg(db) : "out of memory";
  if (!meaning.empty()) message += ")";
  if (!sql.empty()) {
    message += " [SQL: ";
    message += sql;
    message += "]";
  }
  return Error{std::move(message)};
}

Result<SqliteConnectionHandle> OpenSqliteConnection(const std::string& path, int flags) {
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_FULLMUTEX, nullptr);
  SqliteConnectionHandle db(raw);
  if (opened != SQLITE_OK) {
    return Error{"cannot open the catalog file " + path + ": " +
                 (db ? sqlite3_errmsg(db.get()) : "out of memory")};
  }
  sqlite3_extended_result_codes(db.get(), 1);
  return db;
}

namespace {

// The URI that opens path without locks, for a catalog in a folder nobody may
// write to (SQLite cannot make the files WAL reading needs there).
std::string ImmutableUri(const std::string& path) {
  std::string uri = "file:";
  for (unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#' || c < 0x20) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      uri += escaped;
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri + "?immutable=1";
}

bool IsReadOnlyFailure(int code) {
  code &= 0xff;
  return code == SQLITE_READONLY || code == SQLITE_CANTOPEN || code == SQLITE_PERM;
}

// Opens the catalog file at name (a path, or a URI with SQLITE_OPEN_URI) and
// sets the connection up; a writable connection is switched to WAL. The first
// statement reads the file header, so a file that is not an SQLite database
// fails here. *code receives SQLite's result code of a failure.
//
// A connection to a catalog on a local disk reads it through a memory map of
// up to 1 GiB: pages come straight from the page cache instead of being
// copied by a read call each time a statement needs them again (a search
// folder of 12,000 books lists in 29 instead of 36 ms). The bulk write mode
// sets the map aside (SetBulkWriteMode). A catalog on a network file system
// is read by read calls only: there a failed read through the map would kill
// the process instead of failing the statement.
Result<SqliteConnectionHandle> OpenCatalogConnection(const std::string& name, int flags,
                                                     bool map_pages, int* code) {
  *code = SQLITE_OK;
  Result<SqliteConnectionHandle> db = OpenSqliteConnection(name, flags);
  if (!db.ok()) {
    *code = SQLITE_CANTOPEN;
    return db.error();
  }
  sqlite3* handle = db->get();
  sqlite3_busy_handler(handle, WaitForCatalog,
                       reinterpret_cast<void*>(static_cast<intptr_t>(BusyTimeoutMs())));
  const bool writable = (flags & SQLITE_OPEN_READWRITE) != 0;
  // A writable connection keeps its undo of nested transactions (each book of
  // a batch) and its sorting in memory: past 64 KB SQLite writes that undo to
  // a temporary file page by page, two calls a page, about 36 calls for each
  // book of a batch. Set before any temporary object exists (changing it drops
  // them). The default folders read their indexes in order and sort little.
  for (const char* pragma : {writable ? "PRAGMA journal_mode=WAL" : "SELECT count(*) FROM sqlite_master",
                             writable ? "PRAGMA temp_store=MEMORY" : "SELECT 1",
                             "PRAGMA synchronous=NORMAL", "PRAGMA foreign_keys=ON",
                             map_pages ? kMapCatalogPragma : "PRAGMA mmap_size=0"}) {
    if (Status status = RunPragma(handle, pragma); !status.ok()) {
      *code = sqlite3_extended_errcode(handle);
      return status.error();
    }
  }
  return db;
}

}  // namespace

Result<std::unique_ptr<Database>> OpenSqliteDatabase(const std::string& path, bool read_only) {
  if (path.empty()) return Error{"no catalog file is named"};
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(path, ignored)) {
    return Error{"the catalog file " + path + " does not exist"};
  }
  int code = SQLITE_OK;
  const bool map_pages = platform::OnLocalFileSystem(path);
  Result<SqliteConnectionHandle> db = OpenCatalogConnection(
      path, read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, map_pages, &code);
  // A catalog that cannot be written (its file or folder is read-only) is
  // still read: listings work, and every change is refused as read-only.
  if (!db.ok() && IsReadOnlyFailure(code)) {
    db = OpenCatalogConnection(path, SQLITE_OPEN_READONLY, map_pages, &code);
    if (!db.ok() && IsReadOnlyFailure(code)) {
      db = OpenCatalogConnection(ImmutableUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                                  map_pages, &code);
    }
  }
  if (!db.ok()) {
    if ((code & 0xff) == SQLITE_NOTADB) return Error{"not a Tomeva catalog: " + path};
    return Error{"cannot open the catalog file " + path + ": " + db.message()};
  }
  sqlite3* handle = db->get();
  if (Status status = RegisterJetFunctions(handle); !status.ok()) return status.error();
  // A catalog of an earlier version gets its computed columns and its indexes
  // rebuilt in SQLite's own NOCASE order (a read-only one is read in the order
  // its indexes were written in).
  if (Status status = PrepareCatalogKeys(handle); !status.ok()) {
    return Error{"cannot open the catalog file " + path + ": " + status.message()};
  }
  if (const char* trace = std::getenv("TOMEVA_TRACE_SQL"); trace != nullptr && *trace != '\0') {
    sqlite3_trace_v2(handle, SQLITE_TRACE_PROFILE, TraceStatement, nullptr);
  }
  if (Status status = EnsureRelationshipsView(handle); !status.ok()) return status.error();
  // A catalog filled by other means than Tomeva's operations (or never
  // analysed) gets its statistics once; a read-only catalog simply goes without.
  if (StatisticsMissing(handle)) (void)RefreshSqliteStatistics(handle);
  auto connection = std::make_shared<Connection>(std::move(*db), path, map_pages);
  return std::unique_ptr<Database>(std::make_unique<SqliteDatabase>(std::move(connection)));
}

}  // namespace tomeva::catalog
