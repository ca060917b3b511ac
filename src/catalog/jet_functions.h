// The SQLite functions and collation that translated Jet statements rely on:
// Jet's "+" on mixed operands, Unicode UCase/LCase, character-based Left/Right/
// Mid, Str, Val, CInt/CLng, Format and a NOCASE that folds Cyrillic letters.
#ifndef TOMEVA_CATALOG_JET_FUNCTIONS_H_
#define TOMEVA_CATALOG_JET_FUNCTIONS_H_

#include <sqlite3.h>

#include "common/result.h"

namespace tomeva::catalog {

// Registers on db the functions that translated statements call, and replaces the
// built-in NOCASE collation by one that ignores the case of Cyrillic letters as
// well as Latin ones (so the catalog still opens in the stock sqlite3 shell, whose
// NOCASE folds ASCII only).
Status RegisterJetFunctions(sqlite3* db);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_JET_FUNCTIONS_H_
