// The genre names a new catalog starts with: config/genres.tsv, one genre per
// line as "code<TAB>name", stored into Genres(Code, Name).
#ifndef TOMEVA_CLI_GENRE_NAMES_H_
#define TOMEVA_CLI_GENRE_NAMES_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace tomeva::cli {

struct GenreName {
  std::string code;
  std::optional<std::string> name;  // none when the line gives only a code
};

// The genres of a genres.tsv text. Empty lines and lines starting with "#" are
// skipped, a UTF-8 byte order mark and CR line ends are ignored, code and name
// are trimmed of spaces.
std::vector<GenreName> ParseGenreNames(std::string_view tsv);

// Inserts genres into the Genres table of the SQLite catalog at catalog_path in
// one transaction; a code already present (or repeated) keeps its first name.
// Returns the number of genres added.
Result<int> StoreGenreNames(const std::string& catalog_path, const std::vector<GenreName>& genres);

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_GENRE_NAMES_H_
