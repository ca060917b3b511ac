// Cover images of books: the picture the FB2 book's title-info/coverpage names,
// taken from the book's <binary> element, and a small cache of the covers read
// so that a feed page of covers does not parse its books again.
#ifndef TOMEVA_SERVER_BOOK_COVER_H_
#define TOMEVA_SERVER_BOOK_COVER_H_

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "server/book_source.h"

namespace tomeva::server {

struct CoverImage {
  std::string media_type;  // the binary's content-type ("image/jpeg" when missing)
  std::string bytes;
};

// The cover of the book at source (a plain or zipped FB2 file, or a member of a
// collection archive); nullopt when the book names no cover, the named binary
// is missing or not valid base64, or the book cannot be read.
std::optional<CoverImage> ReadCover(const BookSource& source);

// The bytes of base64 text (whitespace ignored); nullopt when it is not base64.
std::optional<std::string> DecodeBase64(std::string_view text);

// Covers by book source, the least recently used ones dropped beyond capacity.
// A book without a cover is remembered as such. Safe for many threads.
class CoverCache {
 public:
  explicit CoverCache(size_t capacity) : capacity_(capacity) {}

  // The cover of the book at source, read once and then served from memory
  // while the file holding it (the book's file or its archive) keeps its size
  // and modification time.
  std::shared_ptr<const CoverImage> Get(const BookSource& source);

 private:
  struct Slot {
    std::string stamp;  // size and modification time of the file read
    std::shared_ptr<const CoverImage> cover;  // null: the book has none
    std::list<std::string>::iterator use;
  };
  std::mutex mutex_;
  size_t capacity_;
  std::list<std::string> uses_;  // most recent first
  std::unordered_map<std::string, Slot> slots_;  // by BookSource::Key
};

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_BOOK_COVER_H_
