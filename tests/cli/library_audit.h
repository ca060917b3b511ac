// Test support: a library checked the way a careful user would after any
// operation, however it ended: the stock sqlite3 shell finds the catalog
// sound, every book row has its stored file, no stored file lacks its row,
// no book is there twice, the listing tables agree with the links, and
// (when the sources are known) every stored file holds its source's bytes.
#ifndef TOMEVA_TESTS_CLI_LIBRARY_AUDIT_H_
#define TOMEVA_TESTS_CLI_LIBRARY_AUDIT_H_

#include <map>
#include <string>
#include <vector>

namespace tomeva::testing {

// Column 0 of every row of sql on the catalog file, opened read-only with the
// SQLite library (a failure is a test failure).
std::vector<std::string> CatalogColumn(const std::string& catalog, const std::string& sql);

// What the stock sqlite3 shell answers to PRAGMA integrity_check ("ok").
std::string ShellIntegrityCheck(const std::string& catalog);

// The rows of the catalog's listing tables (genres, authors) that differ from
// what the links, books and authors give, one line each; empty when they
// agree or the catalog has no listing tables.
std::vector<std::string> FolderListingProblems(const std::string& catalog);

// The problems of the library in folder (Tomeva.sqlite and Lib/), one line
// each; empty when there is none. sources maps a book's title to the bytes its
// stored file must hold (titles not in it are not compared).
std::vector<std::string> AuditLibrary(const std::string& folder,
                                      const std::map<std::string, std::string>& sources = {});

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_CLI_LIBRARY_AUDIT_H_
