// Generated catalogs: rows written with prepared statements in one transaction.
#include "catalog_generator.h"

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "catalog/catalog_file.h"
#include "catalog/catalog_keys.h"
#include "catalog/jet_functions.h"

namespace tomeva::bench {
namespace {

const char* kLastNames[] = {"Толстой", "Достоевский", "Чехов", "Пушкин", "Гоголь", "Тургенев",
                            "Булгаков", "Набоков", "Smith", "Doe", "Adams", "Brown", "Clarke",
                            "Asimov", "Heinlein", "Le Guin", "Bradbury", "Дюма", "Верн", "Уэллс"};
const char* kFirstNames[] = {"Лев", "Фёдор", "Антон", "Александр", "Николай", "Иван",
                             "Михаил", "Владимир", "John", "Jane", "Douglas", "Arthur"};
const char* kWords[] = {"Война", "мир", "звёзды", "тень", "дорога", "город", "ночь", "ветер",
                        "Ship", "Star", "Time", "Machine", "river", "stone", "house", "sea"};

std::string AuthorLast(int author) {
  return std::string(kLastNames[author % 20]) + (author > 20 ? std::to_string(author) : "");
}

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : "?";
    sqlite3_free(error);
    throw std::runtime_error(message);
  }
}

struct Statement {
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db));
    }
  }
  ~Statement() { sqlite3_finalize(stmt); }
  void Run() {
    const int step = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (step != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(sqlite3_db_handle(stmt)));
  }
  sqlite3_stmt* stmt = nullptr;
};

}  // namespace

std::string SourceFile(const std::string& relative) {
  std::ifstream in(std::string(TOMEVA_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int64_t PeakMemoryKib() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  // The catalog is read through a memory map: its pages a listing touched
  // count in the resident memory, though they are the file system's cache
  // and not the process's own. They stay mapped until the catalog closes,
  // so the peak less the catalog's pages resident now is the process's own.
  std::ifstream maps("/proc/self/smaps");
  std::string line;
  bool in_catalog = false;
  int64_t catalog_kib = 0;
  while (std::getline(maps, line)) {
    if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) &&
        line.find('-') < line.find(' ')) {
      in_catalog = line.size() > 7 && line.compare(line.size() - 7, 7, ".sqlite") == 0;
    } else if (in_catalog && line.rfind("Rss:", 0) == 0) {
      catalog_kib += std::strtoll(line.c_str() + 4, nullptr, 10);
    }
  }
  return std::max<int64_t>(0, usage.ru_maxrss - catalog_kib);
}

int CatalogShape::AuthorCount() const { return authors > 0 ? authors : std::max(1, books / 10); }

std::string CatalogShape::Key() const {
  // FNV-1a of the schema, the version of the computed columns and the way the
  // catalog is filled, so that a changed schema or filling gets catalogs of its
  // own (2: the search index merged into one piece, as a first import leaves it).
  constexpr uint32_t kFilling = 2;
  uint32_t hash = 2166136261u;
  for (const char c : SourceFile("config/schema.sql")) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  }
  char schema[16];
  hash = (hash ^ static_cast<uint32_t>(catalog::kCatalogKeysVersion)) * 16777619u;
  hash = (hash ^ kFilling) * 16777619u;
  std::snprintf(schema, sizeof schema, "%08x", hash);
  return std::to_string(books) + "b-" + std::to_string(AuthorCount()) + "a-" +
         std::to_string(genres) + "g-" + std::to_string(big_genre_books) + "x-" + schema;
}

std::string BenchCacheFolder() {
  const char* configured = std::getenv("TOMEVA_BENCH_CACHE");
  std::filesystem::path folder = configured != nullptr && *configured
                                     ? std::filesystem::path(configured)
                                     : std::filesystem::temp_directory_path() / "tomeva-bench";
  std::filesystem::create_directories(folder);
  return folder.string();
}

std::string GeneratedAuthorName(int author) {
  return AuthorLast(author) + " " + kFirstNames[author % 12];
}

std::string CachedCatalog(const CatalogShape& shape) {
  const std::string path = BenchCacheFolder() + "/catalog-" + shape.Key() + ".sqlite";
  if (std::filesystem::exists(path)) return path;
  const std::string part = path + ".part";
  GenerateCatalog(part, shape);
  std::filesystem::rename(part, path);
  std::filesystem::remove(part + ".shape");
  return path;
}

std::string GenerateCatalog(const std::string& path, const CatalogShape& shape) {
  const std::string marker = path + ".shape";
  const std::string wanted = shape.Key();
  {
    std::ifstream in(marker);
    std::string have;
    if (in >> have && have == wanted) return path;
  }
  std::remove(path.c_str());
  std::remove((path + "-wal").c_str());
  std::remove((path + "-shm").c_str());
  if (!catalog::CreateCatalogFile(path, SourceFile("config/schema.sql")).ok()) {
    throw std::runtime_error("cannot create " + path);
  }
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  // The catalog's triggers compute the keys and shown names of every row
  // inserted below with these functions.
  if (!catalog::RegisterJetFunctions(db).ok()) throw std::runtime_error("cannot register functions");
  Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF; BEGIN;");
  // The books' keys, shown names and search index are computed once for the
  // whole catalog, as a collection import computes them.
  Result<catalog::BookBulkInsert> bulk = catalog::SuspendBookInsertTrigger(db);
  if (!bulk.ok()) throw std::runtime_error(bulk.message());
  const int authors = shape.AuthorCount();
  {
    Statement genre(db, "INSERT INTO Genres (GenreId, Code, Name) VALUES (?, ?, ?)");
    for (int g = 1; g <= shape.genres; ++g) {
      std::string code = "genre_" + std::to_string(g);
      std::string name = "Жанр " + std::to_string(g);
      sqlite3_bind_int(genre.stmt, 1, g);
      sqlite3_bind_text(genre.stmt, 2, code.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(genre.stmt, 3, name.c_str(), -1, SQLITE_TRANSIENT);
      genre.Run();
    }
    Statement series(db, "INSERT INTO Series (SeriesId, Name) VALUES (?, ?)");
    for (int s = 1; s <= shape.books / 50 + 1; ++s) {
      std::string name = std::string(kWords[s % 16]) + " " + std::to_string(s);
      sqlite3_bind_int(series.stmt, 1, s);
      sqlite3_bind_text(series.stmt, 2, name.c_str(), -1, SQLITE_TRANSIENT);
      series.Run();
    }
    Statement author(db, "INSERT INTO Authors (AuthorId, Last, First) VALUES (?, ?, ?)");
    for (int a = 1; a <= authors; ++a) {
      const std::string last = AuthorLast(a);
      sqlite3_bind_int(author.stmt, 1, a);
      sqlite3_bind_text(author.stmt, 2, last.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(author.stmt, 3, kFirstNames[a % 12], -1, SQLITE_STATIC);
      author.Run();
    }
    Statement book(db,
                   "INSERT INTO Books (BookId, Title, Link, fSize, fDate, Year, SeriesId, SerNo) "
                   "VALUES (?, ?, ?, ?, '2024-05-06 07:08:09', ?, ?, ?)");
    Statement by(db, "INSERT INTO BookAuthors (BookId, AuthorId) VALUES (?, ?)");
    Statement in(db, "INSERT INTO BookGenres (BookId, GenreId) VALUES (?, ?)");
    const int total = shape.books + shape.big_genre_books;
    for (int b = 1; b <= total; ++b) {
      std::string title = std::string(kWords[b % 16]) + " " + kWords[(b / 16) % 16] + " " +
                          std::to_string(b);
      std::string link = "books/" + std::to_string(b) + ".fb2";
      sqlite3_bind_int(book.stmt, 1, b);
      sqlite3_bind_text(book.stmt, 2, title.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(book.stmt, 3, link.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(book.stmt, 4, 500000 + b % 1000);
      sqlite3_bind_int(book.stmt, 5, 1900 + b % 120);
      if (b % 3 == 0) {
        sqlite3_bind_int(book.stmt, 6, b / 50 + 1);
        sqlite3_bind_int(book.stmt, 7, b % 12 + 1);
      } else {
        sqlite3_bind_null(book.stmt, 6);
        sqlite3_bind_null(book.stmt, 7);
      }
      book.Run();
      sqlite3_bind_int(by.stmt, 1, b);
      sqlite3_bind_int(by.stmt, 2, (b % authors) + 1);
      by.Run();
      sqlite3_bind_int(in.stmt, 1, b);
      sqlite3_bind_int(in.stmt, 2, b > shape.books ? 1 : (b % shape.genres) + 1);
      in.Run();
    }
  }
  if (!catalog::FinishBookInserts(db, *bulk).ok()) {
    throw std::runtime_error("cannot compute the books' keys, names and search index");
  }
  Exec(db, "COMMIT; ANALYZE;");
  if (sqlite3_close(db) != SQLITE_OK) throw std::runtime_error("cannot close " + path);
  std::ofstream(marker) << wanted;
  return path;
}

}  // namespace tomeva::bench
