// The ZIP container of a zipped sample book (".fb2.zip", ".fbz"): one entry,
// stored or deflated, built in memory from the record encoders of
// content/zip_format.h.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_BOOK_ZIP_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_BOOK_ZIP_H_

#include <string>
#include <string_view>

#include "common/result.h"

namespace tomeva {

enum class ZipMethod { kStored, kDeflated };

// The entry's modification date (time of day is noon); 1980-2107.
struct ZipDate {
  int year = 2020;
  int month = 1;
  int day = 1;
};

// content raw-deflated (no zlib header), as ZIP entries hold it.
Result<std::string> RawDeflate(std::string_view content);

// A whole ZIP archive holding content as its only entry, entry_name (UTF-8,
// flagged as such when it is not ASCII). Fails when compression fails or the
// content or name is too large for a classic (non-ZIP64) archive.
Result<std::string> MakeSingleEntryZip(std::string_view entry_name, std::string_view content,
                                       ZipMethod method, ZipDate date = {});

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_BOOK_ZIP_H_
