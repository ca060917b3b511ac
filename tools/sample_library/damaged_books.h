// Deliberately damaged books, for exercising how the catalog copes with bad
// input: FB2 text cut short, a file that is not XML at all, an FB2 without its
// <description>, a ".fb2.zip" that is plain FB2 text, and a ".fb2.zip" cut short.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_DAMAGED_BOOKS_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_DAMAGED_BOOKS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "common/result.h"
#include "sample_library/book_plan.h"
#include "sample_library/book_xml.h"

namespace tomeva {

enum class DamageKind { kTruncatedXml, kNotXml, kNoDescription, kNotZip, kCutZip };

// "truncated", "not-xml", "no-description", "not-zip", "cut-zip".
std::string_view DamageLabel(DamageKind kind);

struct DamagedBook {
  DamageKind kind = DamageKind::kTruncatedXml;
  std::string file_name;  // "damaged-0003-no-description.fb2"
  std::string bytes;
};

// The index-th damaged book (1-based; the kinds take turns), made from book.
// The number in its name is zero-padded to width.
Result<DamagedBook> MakeDamagedBook(uint64_t index, int width, const SampleBook& book,
                                    const BookXmlWriter& writer);

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_DAMAGED_BOOKS_H_
