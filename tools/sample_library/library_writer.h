// Writing a whole sample library to a folder: the planned books as plain,
// windows-1251 or zipped files in first-letter folders (or all in one), plus the
// damaged books, and a record of what went where.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_LIBRARY_WRITER_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_LIBRARY_WRITER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "sample_library/damaged_books.h"

namespace tomeva {

struct SampleLibraryOptions {
  std::string out;              // the library folder, created when missing
  uint64_t count = 0;           // ordinary books
  uint64_t seed = 1;
  uint64_t body_kb = 8;         // body text of each book, in KiB
  unsigned zipped_percent = 20;   // share of books zipped (.fb2.zip or .fbz)
  unsigned cp1251_percent = 20;   // share of books in windows-1251
  uint64_t damaged = 0;         // damaged books added in the library folder
  bool flat = false;            // all books in the library folder itself
  bool list_books = true;       // keep a WrittenBook per file in the summary
  // A collection (archives + NAME.inpx) instead of loose files when set.
  std::string collection;       // its name
  uint64_t per_archive = 1000;  // books per archive
  unsigned deleted_percent = 0; // index lines marked deleted
  bool index_only = false;      // archives without members
};

enum class BookEncoding { kUtf8, kWindows1251 };
enum class BookContainer { kPlain, kFb2Zip, kFbz };

// One file written.
struct WrittenBook {
  std::string path;        // relative to the library folder, '/'-separated
  std::string title;       // the book-title, UTF-8
  std::string last_name;   // the first author's, UTF-8
  BookEncoding encoding = BookEncoding::kUtf8;
  BookContainer container = BookContainer::kPlain;
  std::string entry_name;  // the .fb2 entry of a zipped book
  std::optional<DamageKind> damage;  // set for a damaged book
  uint64_t bytes = 0;
};

struct SampleLibrarySummary {
  std::vector<WrittenBook> books;  // in the order written, damaged ones last;
                                   // empty unless list_books is set
  uint64_t files = 0;        // files written, damaged ones included
  uint64_t bytes = 0;
  uint64_t zipped = 0;       // ordinary books in a ZIP container
  uint64_t windows1251 = 0;  // ordinary books in windows-1251
  uint64_t damaged = 0;
};

// Writes the library; the same options give the same files, byte for byte.
// Existing files of the same names are replaced, others left alone. Fails on
// the first file that cannot be written.
Result<SampleLibrarySummary> WriteSampleLibrary(const SampleLibraryOptions& options);

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_LIBRARY_WRITER_H_
