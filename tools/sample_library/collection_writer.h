// Writing a sample collection: ZIP archives of FB2 books (members stored or
// deflated) and the INPX index that describes them (collection.info,
// version.info, structure.info and one .inp file per archive), as library
// distributions ship them. Tests, the benchmark and the demo import it.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_COLLECTION_WRITER_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_COLLECTION_WRITER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"
#include "sample_library/library_writer.h"

namespace tomeva {

// One book of a written collection.
struct CollectionBook {
  std::string archive;    // the archive's file name ("fb2-000001-001000.zip")
  std::string member;     // the member's name ("000001.fb2")
  std::string lib_id;
  std::string title;
  std::string last_name;  // the first author's
  std::string series;     // "" outside a series
  std::vector<std::string> genres;
  bool deleted = false;   // marked deleted in the index (its member is still written)
  bool deflated = false;  // the member is deflated, not stored
};

struct SampleCollectionSummary {
  std::string index;  // the index's path
  std::vector<CollectionBook> books;  // empty unless list_books is set
  uint64_t archives = 0;
  uint64_t books_written = 0;
  uint64_t deleted = 0;
  uint64_t bytes = 0;  // of the archives
};

// Writes options.count books as the collection options.collection into
// options.out: OUT/NAME.inpx and its archives of options.per_archive books.
// options.zipped_percent is the share of deflated members (the others are
// stored); options.deleted_percent of the index lines are marked deleted;
// with options.index_only the archives are written without members (for
// measuring the import alone). The same options give the same bytes.
Result<SampleCollectionSummary> WriteSampleCollection(const SampleLibraryOptions& options);

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_COLLECTION_WRITER_H_
