// One line of an INPX index's .inp file: the fields of one book of a
// collection, 0x04-separated, in the order the index's structure names. The
// parser maps fields by name, ignores names it does not know, accepts a
// missing trailing separator and refuses a line with fewer fields than the
// structure names or with text that is not UTF-8.
#ifndef TOMEVA_COLLECTIONS_INP_LINE_H_
#define TOMEVA_COLLECTIONS_INP_LINE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace tomeva::collections {

// The fields of a line a book record is made of.
enum class InpField {
  kUnknown,
  kAuthor,
  kGenre,
  kTitle,
  kSeries,
  kSerNo,
  kFile,
  kSize,
  kLibId,
  kDel,
  kExt,
  kDate,
  kLang,
  kKeywords,
  kFolder,
};

// The order of a line's fields: one entry per field of the line.
struct InpLayout {
  std::vector<InpField> fields;
};

// The layout an index without structure.info uses:
// AUTHOR;GENRE;TITLE;SERIES;SERNO;FILE;SIZE;LIBID;DEL;EXT;DATE;
InpLayout DefaultInpLayout();

// The layout structure.info's text names ("AUTHOR;GENRE;...", letter case and
// blanks ignored, an empty last name after the final ";" dropped). Fails when
// it names no field at all or does not name FILE and LIBID.
Result<InpLayout> ParseInpLayout(std::string_view structure);

// One author as the index writes it: "Last,First,Middle".
struct InpAuthor {
  std::string last;
  std::string first;
  std::string middle;
};

// A book of the index.
struct InpRecord {
  std::vector<InpAuthor> authors;  // in the index's order; repeated authors once
  std::vector<std::string> genres; // FB2 genre codes, repeated ones once
  std::string title;
  std::string series;
  int64_t series_number = 0;  // 0: none or unreadable
  std::string file;           // the member's name without extension
  std::string ext;            // the member's extension without the dot ("fb2")
  int64_t size = 0;           // the member's size in bytes
  std::string lib_id;         // the library's id of the book
  bool deleted = false;       // DEL is set (anything but "" and "0")
  std::string date;           // "YYYY-MM-DD" when the line has a readable one, else ""
  std::string lang;
  std::string keywords;
  std::string folder;         // the archive named by the line; "" when it names none

  // The member's name in its archive: FILE, then "." and EXT when EXT is set.
  std::string MemberName() const;
};

// Parses one line (without its CR LF) with layout. The error says why the line
// is refused: too few fields, text that is not UTF-8, no FILE or LIBID value,
// or a FOLDER that is not a plain file name (an archive lies in the index's
// own folder: "/", "\\", "." and ".." are refused).
Result<InpRecord> ParseInpLine(std::string_view line, const InpLayout& layout);

// True when text is well-formed UTF-8 (no overlong forms, surrogates or values
// past U+10FFFF).
bool IsValidUtf8(std::string_view text);

}  // namespace tomeva::collections

#endif  // TOMEVA_COLLECTIONS_INP_LINE_H_
