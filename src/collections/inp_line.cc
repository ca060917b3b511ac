// Parsing of .inp lines and of the structure that orders their fields.
#include "collections/inp_line.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace tomeva::collections {
namespace {

constexpr char kFieldSeparator = '\x04';

constexpr std::array<std::pair<std::string_view, InpField>, 14> kFieldNames = {{
    {"AUTHOR", InpField::kAuthor},
    {"GENRE", InpField::kGenre},
    {"TITLE", InpField::kTitle},
    {"SERIES", InpField::kSeries},
    {"SERNO", InpField::kSerNo},
    {"FILE", InpField::kFile},
    {"SIZE", InpField::kSize},
    {"LIBID", InpField::kLibId},
    {"DEL", InpField::kDel},
    {"EXT", InpField::kExt},
    {"DATE", InpField::kDate},
    {"LANG", InpField::kLang},
    {"KEYWORDS", InpField::kKeywords},
    {"FOLDER", InpField::kFolder},
}};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' ||
                        s.front() == '\n')) {
    s.remove_prefix(1);
  }
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
    s.remove_suffix(1);
  }
  return s;
}

InpField FieldNamed(std::string_view name) {
  std::string upper(Trim(name));
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  for (const auto& [known, field] : kFieldNames) {
    if (upper == known) return field;
  }
  return InpField::kUnknown;
}

// The parts of text between separators; a text ending in the separator has no
// empty last part.
std::vector<std::string_view> SplitTerminated(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

int64_t ReadNumber(std::string_view text) {
  text = Trim(text);
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return 0;
  return value;
}

// "YYYY-MM-DD" with digits where they belong; "" otherwise.
std::string ReadDate(std::string_view text) {
  text = Trim(text);
  if (text.size() < 10) return {};
  text = text.substr(0, 10);
  for (size_t i = 0; i < 10; ++i) {
    const bool dash = i == 4 || i == 7;
    if (dash ? text[i] != '-' : (text[i] < '0' || text[i] > '9')) return {};
  }
  return std::string(text);
}

void AddAuthors(std::string_view text, std::vector<InpAuthor>& authors) {
  for (std::string_view one : SplitTerminated(text, ':')) {
    std::vector<std::string_view> names = SplitTerminated(one, ',');
    InpAuthor author;
    if (!names.empty()) author.last = Trim(names[0]);
    if (names.size() > 1) author.first = Trim(names[1]);
    if (names.size() > 2) author.middle = Trim(names[2]);
    if (author.last.empty() && author.first.empty() && author.middle.empty()) continue;
    const bool known = std::any_of(authors.begin(), authors.end(), [&](const InpAuthor& a) {
      return a.last == author.last && a.first == author.first && a.middle == author.middle;
    });
    if (!known) authors.push_back(std::move(author));
  }
}

void AddGenres(std::string_view text, std::vector<std::string>& genres) {
  for (std::string_view code : SplitTerminated(text, ':')) {
    code = Trim(code);
    if (code.empty()) continue;
    if (std::find(genres.begin(), genres.end(), code) == genres.end()) genres.emplace_back(code);
  }
}

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string_view::npos;
}

}  // namespace

InpLayout DefaultInpLayout() {
  return *ParseInpLayout("AUTHOR;GENRE;TITLE;SERIES;SERNO;FILE;SIZE;LIBID;DEL;EXT;DATE;");
}

Result<InpLayout> ParseInpLayout(std::string_view structure) {
  structure = Trim(structure);
  InpLayout layout;
  bool any = false, file = false, lib_id = false;
  for (std::string_view name : SplitTerminated(structure, ';')) {
    const InpField field = FieldNamed(name);
    layout.fields.push_back(field);
    any = any || field != InpField::kUnknown;
    file = file || field == InpField::kFile;
    lib_id = lib_id || field == InpField::kLibId;
  }
  if (!any) return Error{"the structure names no known field"};
  if (!file || !lib_id) return Error{"the structure names no FILE or no LIBID field"};
  return layout;
}

std::string InpRecord::MemberName() const { return ext.empty() ? file : file + "." + ext; }

Result<InpRecord> ParseInpLine(std::string_view line, const InpLayout& layout) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (!IsValidUtf8(line)) return Error{"the line is not UTF-8 text"};
  std::vector<std::string_view> values = SplitTerminated(line, kFieldSeparator);
  // A line whose last fields are empty and unterminated lost their separators
  // only when the structure's last field is empty too: count the separators.
  const size_t present = static_cast<size_t>(std::count(line.begin(), line.end(), kFieldSeparator)) + 1;
  const size_t needed = layout.fields.size();
  if (present < needed) {
    return Error{"too few fields (" + std::to_string(present) + " of " + std::to_string(needed) +
                 ")"};
  }
  InpRecord record;
  for (size_t i = 0; i < needed && i < values.size(); ++i) {
    const std::string_view value = values[i];
    switch (layout.fields[i]) {
      case InpField::kAuthor: AddAuthors(value, record.authors); break;
      case InpField::kGenre: AddGenres(value, record.genres); break;
      case InpField::kTitle: record.title = Trim(value); break;
      case InpField::kSeries: record.series = Trim(value); break;
      case InpField::kSerNo: record.series_number = ReadNumber(value); break;
      case InpField::kFile: record.file = Trim(value); break;
      case InpField::kSize: record.size = ReadNumber(value); break;
      case InpField::kLibId: record.lib_id = Trim(value); break;
      case InpField::kDel: {
        const std::string_view del = Trim(value);
        record.deleted = !del.empty() && del != "0";
        break;
      }
      case InpField::kExt: {
        std::string_view ext = Trim(value);
        if (!ext.empty() && ext.front() == '.') ext.remove_prefix(1);
        record.ext = ext;
        break;
      }
      case InpField::kDate: record.date = ReadDate(value); break;
      case InpField::kLang: record.lang = Trim(value); break;
      case InpField::kKeywords: record.keywords = Trim(value); break;
      case InpField::kFolder: record.folder = Trim(value); break;
      case InpField::kUnknown: break;
    }
  }
  if (record.file.empty()) return Error{"the line names no FILE"};
  if (record.lib_id.empty()) return Error{"the line has no LIBID"};
  if (!record.folder.empty() && !IsPlainFileName(record.folder)) {
    return Error{"the FOLDER " + record.folder + " is not a file name beside the index"};
  }
  return record;
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    uint32_t value = 0;
    if (c >= 0xc2 && c <= 0xdf) {
      length = 2;
      value = c & 0x1f;
    } else if (c >= 0xe0 && c <= 0xef) {
      length = 3;
      value = c & 0x0f;
    } else if (c >= 0xf0 && c <= 0xf4) {
      length = 4;
      value = c & 0x07;
    } else {
      return false;
    }
    if (i + length > n) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      value = (value << 6) | (next & 0x3f);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) ||
        (value >= 0xd800 && value <= 0xdfff) || value > 0x10ffff) {
      return false;
    }
    i += length;
  }
  return true;
}

}  // namespace tomeva::collections
