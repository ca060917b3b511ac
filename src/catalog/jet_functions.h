// The SQLite functions that translated Jet statements rely on: Jet's "+" on
// mixed operands, Unicode UCase/LCase, character-based Left/Right/Mid, Str, Val,
// CInt/CLng, Format; and those the catalog's triggers compute keys and shown
// names with. SQLite's own NOCASE collation stays as it is, so that every index
// is ordered the way any SQLite (the stock sqlite3 shell among them) orders it.
#ifndef TOMEVA_CATALOG_JET_FUNCTIONS_H_
#define TOMEVA_CATALOG_JET_FUNCTIONS_H_

#include <sqlite3.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "common/result.h"

namespace tomeva::catalog {

// Registers on db the functions that translated statements call, and those of
// the catalog's triggers:
//   tomeva_fold(text)   the case-folded key of text (Utf8Lower), Null for Null;
//   tomeva_shown_name(text, key, force_key, max_characters, tail, max_bytes)
//                       ShownNameWithKey;
//   tomeva_search_fold(text)   the folded text the search index holds
//                       (SearchFold);
//   tomeva_search_query(text)  the full-text query of a user's search text
//                       (BuildSearchQuery), one that matches nothing when
//                       text holds no word (the Jet function BookMatches).
Status RegisterJetFunctions(sqlite3* db);

// Replaces NOCASE on db by the order catalogs of earlier versions were indexed
// in (Cyrillic letters folded as well). Only for reading such a catalog that
// could not be reindexed (a read-only file): lookups through its indexes then
// still find their rows.
Status UseLegacyNoCase(sqlite3* db);

// A shown name made unique by a key: text cut to max_characters characters,
// then " [key]" when force_key is set, when text had to be cut or when it ends
// in " [digits]" itself, then tail. When the shown form (ShownText) of the
// whole would exceed max_bytes bytes, text is cut further (and keyed) until it
// fits. So two names made from different keys, or one with and one without a
// key, never coincide.
std::string ShownNameWithKey(std::string_view text, std::string_view key, bool force_key,
                             size_t max_characters, std::string_view tail, size_t max_bytes);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_JET_FUNCTIONS_H_
