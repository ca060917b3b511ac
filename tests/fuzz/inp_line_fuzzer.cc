// Fuzz target of the INPX line parser (collections/inp_line.h): the input's
// first line is a structure (field names separated by ";"), read with
// ParseInpLayout (the default layout when it is refused); every further line
// is parsed as an index line with it. Whatever the bytes, each line must end
// as a record or an error; a record must hold what the importer relies on: a
// FILE and a LIBID, UTF-8 text in every field, a FOLDER that is a plain file
// name, and no repeated author or genre.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "collections/inp_line.h"
#include "fuzz/fuzz_support.h"

namespace {

using tomeva::collections::InpRecord;
using tomeva::fuzz::Fail;

void CheckRecord(const InpRecord& record) {
  if (record.file.empty() || record.lib_id.empty()) Fail("a record without FILE or LIBID");
  for (const std::string* text : {&record.title, &record.series, &record.file, &record.ext,
                                  &record.lib_id, &record.lang, &record.keywords,
                                  &record.folder}) {
    if (!tomeva::collections::IsValidUtf8(*text)) Fail("a field that is not UTF-8", *text);
  }
  if (record.folder.find_first_of("/\\") != std::string::npos || record.folder == ".." ||
      record.folder == ".") {
    Fail("a FOLDER outside the index folder", record.folder);
  }
  if (!record.date.empty() && record.date.size() != 10) Fail("a date not YYYY-MM-DD", record.date);
  if (record.size < 0 || record.series_number < 0) Fail("a negative number");
  for (size_t i = 0; i < record.authors.size(); ++i) {
    for (size_t j = i + 1; j < record.authors.size(); ++j) {
      const auto& a = record.authors[i];
      const auto& b = record.authors[j];
      if (a.last == b.last && a.first == b.first && a.middle == b.middle) Fail("a repeated author");
    }
  }
  for (size_t i = 0; i < record.genres.size(); ++i) {
    if (std::count(record.genres.begin(), record.genres.end(), record.genres[i]) != 1) {
      Fail("a repeated genre", record.genres[i]);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t first_end = input.find('\n');
  const std::string_view structure = input.substr(0, first_end);
  tomeva::Result<tomeva::collections::InpLayout> parsed =
      tomeva::collections::ParseInpLayout(structure);
  const tomeva::collections::InpLayout layout =
      parsed.ok() ? *parsed : tomeva::collections::DefaultInpLayout();
  if (first_end == std::string_view::npos) return 0;
  std::string_view rest = input.substr(first_end + 1);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    tomeva::Result<InpRecord> record = tomeva::collections::ParseInpLine(line, layout);
    if (record.ok()) CheckRecord(*record);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return 0;
}
