// A book's metadata as the catalog holds it (its row and its authors, genres and
// series), read for feeds and pages without ever opening the book itself.
#ifndef TOMEVA_SERVER_BOOK_RECORD_H_
#define TOMEVA_SERVER_BOOK_RECORD_H_

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "catalog/database.h"

namespace tomeva::server {

struct BookGenre {
  std::string code;
  std::string name;  // may be empty
};

// What the catalog says about one book; empty texts where it says nothing.
struct BookRecord {
  int32_t id = -1;
  std::string title;
  std::vector<std::string> authors;  // "Last First Middle", or the nickname
  std::vector<BookGenre> genres;
  std::string series;
  int32_t series_number = 0;  // 0: none
  std::string language;
  std::string annotation;
  int64_t size = 0;
  int32_t year = 0;  // 0: none
  std::optional<std::chrono::sys_seconds> updated;  // file date, else the date added
};

// The records of the books with keys ids, by key; books the catalog does not
// have (or cannot read) are missing from it.
std::map<int32_t, BookRecord> ReadBookRecords(catalog::Database& db,
                                              const std::vector<int32_t>& ids);

// The record of the book with key id; nullopt when the catalog has no such book
// or cannot be read.
std::optional<BookRecord> ReadBookRecord(catalog::Database& db, int32_t id);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_BOOK_RECORD_H_
